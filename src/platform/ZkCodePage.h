#pragma once
// Conversions between UTF-8 (the system's own strings) and the single-byte
// code pages of older files: CP852 (the DOS code page of zip entry names on
// Central European systems) and Windows-1250 (legacy ANSI text).

#include <optional>
#include <string>
#include <string_view>

namespace zk::platform {

enum class TCodePage { cp852, cp1250 };

// The text in the code page, byte for character; nothing when the text is
// not valid UTF-8 or holds a character the code page has no byte for.
std::optional<std::string> Utf8ToCodePage(std::string_view utf8, TCodePage codePage);

// The bytes as UTF-8; nothing when a byte has no character in the code page
// (CP852 defines all 256, Windows-1250 leaves five unassigned).
std::optional<std::string> CodePageToUtf8(std::string_view bytes, TCodePage codePage);

}  // namespace zk::platform

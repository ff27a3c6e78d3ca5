#include "platform/ZkCodePage.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>

namespace zk::platform {

namespace {

const char* IconvName(TCodePage codePage) {
  switch (codePage) {
    case TCodePage::cp852:
      return "CP852";
    case TCodePage::cp1250:
      return "CP1250";
  }
  return "CP852";
}

// One conversion without transliteration, so an unmappable character fails
// the whole text instead of turning into a substitute.
class Converter {
public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (IsOpen()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool IsOpen() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  std::optional<std::string> Convert(std::string_view input) {
    if (!IsOpen()) return std::nullopt;
    std::string output;
    // A single-byte page never needs more than 3 UTF-8 bytes per byte, and
    // never more bytes than UTF-8 input has.
    output.resize(input.size() * 3 + 4);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    if (iconv(handle_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
    if (iconv(handle_, nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
    output.resize(output.size() - outLeft);
    return output;
  }

private:
  iconv_t handle_;
};

// Both code pages keep ASCII as it is, so most names need no converter.
bool IsAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

std::optional<std::string> Utf8ToCodePage(std::string_view utf8, TCodePage codePage) {
  if (IsAscii(utf8)) return std::string(utf8);
  Converter converter(IconvName(codePage), "UTF-8");
  return converter.Convert(utf8);
}

std::optional<std::string> CodePageToUtf8(std::string_view bytes, TCodePage codePage) {
  if (IsAscii(bytes)) return std::string(bytes);
  Converter converter("UTF-8", IconvName(codePage));
  return converter.Convert(bytes);
}

}  // namespace zk::platform

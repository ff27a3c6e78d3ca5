#include <string>
#include <string_view>

#include "util/ZkUtil.h"
#include "zip/ZkZip.h"

namespace zk {

namespace {

// Removes everything up to and including the first occurrence of `mark`;
// the text stays as it is when there is none.
void DropThrough(std::string& text, std::string_view mark) {
  const std::size_t at = text.find(mark);
  if (at != std::string::npos) text.erase(0, at + mark.size());
}

std::string RelativeName(std::string_view path, bool keepDrive, PathStyle style) {
  std::string name(path);
  if (style == PathStyle::Posix) {
    name.erase(0, name.find_first_not_of('/'));
    return name;
  }
  name = ReplaceText(name, "\\", "/");
  if (keepDrive)
    name = ReplaceText(name, ":/", "/");
  else
    DropThrough(name, ":/");
  if (name.find("//") != std::string::npos) {
    DropThrough(name, "//");
    DropThrough(name, "/");  // the server
    DropThrough(name, "/");  // the share
  }
  return name;
}

}  // namespace

std::string ToZipName(std::string_view path, bool keepDrive, PathStyle style) {
  return RelativeName(path, keepDrive, style);
}

std::string FromZipName(std::string_view name, bool keepDrive, PathStyle style) {
  std::string result = RelativeName(name, keepDrive, style);
  if (style == PathStyle::Windows) result = ReplaceText(result, "/", "\\");
  return result;
}

std::string EntryNameKey(std::string_view name, PathStyle style) {
  return style == PathStyle::Windows ? LowerAsciiText(name) : std::string(name);
}

std::string ZipDisplayName(std::string_view name, PathStyle style) {
  if (style == PathStyle::Posix) return std::string(name);
  std::string result = ReplaceText(ReplaceText(name, "//", "\\"), "/", "\\");
  DropThrough(result, ":\\");
  return result;
}

}  // namespace zk

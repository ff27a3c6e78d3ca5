// The XML file of the tree document: a node is an element, an attribute an
// XML attribute, a node's value the element's text. Nothing is written for
// layout, and layout whitespace in hand-edited files is ignored on reading.

#include <iconv.h>

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cerrno>
#include <istream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

#include "base/ZkError.h"
#include "platform/ZkAtomicFile.h"
#include "platform/ZkFileHandle.h"
#include "store/ZkTreeData.h"
#include "util/ZkUtil.h"

namespace zk {
namespace {

// Deeper documents are refused: no job file comes near it, and reading,
// copying and destroying a tree recurse once per level.
constexpr int kMaxNestingDepth = 1000;

// The name of the document node in the tree, as an XML DOM names it.
constexpr const char* kDocumentNodeName = "#document";

// Whitespace-only text is kept where it is an element's only content (a
// value of blanks) and dropped between elements. Comments, processing
// instructions and CDATA sections are parsed as nodes of their own, so that
// an element holding one beside its text has no plain text value; they are
// never read into the tree. The document type is skipped.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_ws_pcdata_single | pugi::parse_comments | pugi::parse_pi;

// Encodings the parser reads as UTF-8 whatever the declaration says (UTF-16
// and UTF-32 it tells from the bytes themselves).
constexpr std::array<std::string_view, 8> kUtf8Encodings = {"UTF-8", "UTF8",  "US-ASCII", "ASCII",
                                                            "UTF-16", "UTF-32", "UCS-2",   "UCS-4"};
// The declaration is looked for this far into the text.
constexpr std::size_t kMaxDeclarationLength = 1024;

// A name the XML file can carry as an element or attribute name.
bool IsXmlName(const std::string& name) {
  auto start = [](unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
  };
  auto rest = [&](unsigned char c) { return start(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; };
  if (name.empty() || !start(static_cast<unsigned char>(name[0]))) return false;
  return std::all_of(name.begin() + 1, name.end(), [&](char c) { return rest(static_cast<unsigned char>(c)); });
}

void CheckName(const std::string& name) {
  if (!IsXmlName(name)) throw EZkXmlError(FormatMessage("Invalid XML name: '%s'", {name}));
}

void WriteNode(const TZkTreeDataNode& node, pugi::xml_node element) {
  if (!node.Value().empty()) element.text().set(node.Value().c_str());
  const TZkTreeAttributes& attributes = node.Attributes();
  for (int i = 0; i < attributes.Count(); ++i) {
    const TZkTreeAttribute& attribute = attributes.Items(i);
    CheckName(attribute.Name());
    // Set by name: of two attributes with one name the later value wins.
    pugi::xml_attribute xmlAttribute = element.attribute(attribute.Name().c_str());
    if (!xmlAttribute) xmlAttribute = element.append_attribute(attribute.Name().c_str());
    xmlAttribute.set_value(attribute.Value().c_str());
  }
  const TZkTreeDataNodes& children = node.Nodes();
  for (int i = 0; i < children.Count(); ++i) {
    const TZkTreeDataNode& child = children.Items(i);
    CheckName(child.Name());
    WriteNode(child, element.append_child(child.Name().c_str()));
  }
}

bool HasOnlyText(pugi::xml_node element) {
  const pugi::xml_node first = element.first_child();
  return first && first == element.last_child() && first.type() == pugi::node_pcdata;
}

void ReadNode(pugi::xml_node element, TZkTreeDataNode& node, int depth) {
  if (depth > kMaxNestingDepth)
    throw EZkXmlError(FormatMessage("XML elements nested deeper than %s levels", {std::to_string(kMaxNestingDepth)}));
  node.SetName(element.type() == pugi::node_document ? kDocumentNodeName : element.name());
  if (element.type() == pugi::node_element && HasOnlyText(element)) node.SetValue(element.first_child().value());
  for (const pugi::xml_attribute attribute : element.attributes())
    node.Attributes().AddAttribute(attribute.name()).SetValue(attribute.value());
  for (const pugi::xml_node child : element.children())
    if (child.type() == pugi::node_element) ReadNode(child, node.Nodes().Add(), depth + 1);
}

// The encoding named by the XML declaration at the start of the text, empty
// when there is none (or a byte-order mark decides).
std::string DeclaredEncoding(std::string_view text) {
  if (!text.starts_with("<?xml")) return {};
  const std::string_view declaration = text.substr(0, std::min(text.find("?>"), kMaxDeclarationLength));
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  for (std::size_t at = declaration.find("encoding"); at != std::string_view::npos;
       at = declaration.find("encoding", at + 1)) {
    if (!blank(declaration[at - 1])) continue;
    std::size_t i = at + 8;
    while (i < declaration.size() && blank(declaration[i])) ++i;
    if (i >= declaration.size() || declaration[i] != '=') continue;
    ++i;
    while (i < declaration.size() && blank(declaration[i])) ++i;
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) continue;
    const std::size_t end = declaration.find(declaration[i], i + 1);
    if (end == std::string_view::npos) return {};
    return std::string(declaration.substr(i + 1, end - i - 1));
  }
  return {};
}

// Whether the parser reads the text as it is, telling its encoding itself.
bool ReadAsItIs(const std::string& encoding) {
  return encoding.empty() || std::any_of(kUtf8Encodings.begin(), kUtf8Encodings.end(),
                                         [&](std::string_view utf8) { return SameText(encoding, utf8); });
}

// The text as UTF-8, from the code page its declaration names (windows-1250,
// ISO-8859-2 and the like). An encoding the system does not know fails.
std::string ToUtf8(std::string text, const std::string& encoding, const std::string& where) {
  const iconv_t converter = iconv_open("UTF-8", encoding.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1))
    throw EZkXmlError(where + FormatMessage("Unknown XML encoding: '%s'", {encoding}));
  std::string utf8(text.size() * 4 + 4, '\0');
  char* in = text.data();
  std::size_t inLeft = text.size();
  char* out = utf8.data();
  std::size_t outLeft = utf8.size();
  const bool converted = iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1) &&
                         iconv(converter, nullptr, nullptr, &out, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(converter);
  if (!converted)
    throw EZkXmlError(where + FormatMessage("Byte %s is not %s text", {std::to_string(text.size() - inLeft + 1),
                                                                      encoding}));
  utf8.resize(utf8.size() - outLeft);
  return utf8;
}

// "line L, column C" of a byte offset into the parsed text.
std::string Location(const std::string& text, std::ptrdiff_t offset) {
  const auto end = text.begin() + std::clamp<std::ptrdiff_t>(offset, 0, static_cast<std::ptrdiff_t>(text.size()));
  const auto line = std::count(text.begin(), end, '\n') + 1;
  const auto lineStart = std::find(std::make_reverse_iterator(end), text.rend(), '\n').base();
  return "line " + std::to_string(line) + ", column " + std::to_string(end - lineStart + 1);
}

}  // namespace

void TZkTreeData::Load(std::string text, const std::string& sourceName) {
  BeginUpdate();
  try {
    root_->nodes_.Clear();
    root_->attributes_.Clear();
    const std::string where = sourceName.empty() ? "" : sourceName + ": ";
    pugi::xml_encoding encoding = pugi::encoding_auto;
    if (const std::string declared = DeclaredEncoding(text); !ReadAsItIs(declared)) {
      text = ToUtf8(std::move(text), declared, where);
      encoding = pugi::encoding_utf8;
    }
    pugi::xml_document xml;
    const pugi::xml_parse_result parsed = xml.load_buffer(text.data(), text.size(), kParseOptions, encoding);
    if (!parsed) throw EZkXmlError(where + Location(text, parsed.offset) + ": " + parsed.description());
    ReadNode(xml, *root_, 0);
  } catch (...) {
    root_->nodes_.Clear();
    root_->attributes_.Clear();
    EndUpdate();
    modified_ = false;
    DoAfterLoad();
    throw;
  }
  EndUpdate();
  modified_ = false;
  DoAfterLoad();
}

void TZkTreeData::Save(std::ostream& stream, const std::string& targetName) {
  try {
    pugi::xml_document xml;
    pugi::xml_node declaration = xml.append_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("UTF-8");
    const TZkTreeDataNodes& children = root_->Nodes();
    for (int i = 0; i < children.Count(); ++i) {
      const TZkTreeDataNode& child = children.Items(i);
      CheckName(child.Name());
      WriteNode(child, xml.append_child(child.Name().c_str()));
    }
    xml.save(stream, "", pugi::format_raw, pugi::encoding_utf8);
    stream.flush();
    if (!stream)
      throw EZkFileWriteError(targetName.empty() ? "Írási hiba" : FormatMessage("Írási hiba (%s)", {targetName}));
  } catch (...) {
    DoAfterSave();
    throw;
  }
  DoAfterSave();
}

void TZkTreeData::LoadFromStream(std::istream& stream) {
  // Read whole before the tree is touched: a stream that fails changes nothing.
  std::ostringstream buffer;
  // An empty stream sets failbit on the copy; only a read error counts.
  if (stream.peek() != std::char_traits<char>::eof()) buffer << stream.rdbuf();
  if (stream.bad()) throw EZkFileReadError("Olvasási hiba");
  Load(std::move(buffer).str(), {});
}

void TZkTreeData::SaveToStream(std::ostream& stream) {
  Save(stream, {});
}

void TZkTreeData::LoadFromFile(const std::string& path) {
  // Only a regular file: a folder would open and then fail every read.
  platform::FileHandle file = platform::FileHandle::OpenForReading(path);
  if (!file.IsOpen()) throw EZkFileOpenError(FormatMessage("Megnyitási hiba (%s)", {path}));
  std::string text;
  char buffer[1 << 16];
  for (std::ptrdiff_t got; (got = file.Read(buffer, sizeof buffer)) != 0;) {
    if (got < 0) throw EZkFileReadError(FormatMessage("Olvasási hiba (%s)", {path}));
    text.append(buffer, static_cast<std::size_t>(got));
  }
  Load(std::move(text), path);
}

void TZkTreeData::SaveToFile(const std::string& path) {
  platform::WriteFileAtomically(path, [this, &path](std::ostream& out) { Save(out, path); });
  modified_ = false;
}

}  // namespace zk

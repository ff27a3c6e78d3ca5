// The XML file of the tree document: a node is an element, an attribute an
// XML attribute, a node's value the element's text. Nothing is written for
// layout, and layout whitespace in hand-edited files is ignored on reading.

#include <pugixml.hpp>

#include <algorithm>
#include <fstream>
#include <istream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>

#include "platform/ZkAtomicFile.h"
#include "store/ZkTreeData.h"
#include "util/ZkError.h"

namespace zk {
namespace {

// Deeper documents are refused: no job file comes near it, and reading,
// copying and destroying a tree recurse once per level.
constexpr int kMaxNestingDepth = 1000;

// The name of the document node in the tree, as an XML DOM names it.
constexpr const char* kDocumentNodeName = "#document";

// Whitespace-only text is kept where it is an element's only content (a
// value of blanks) and dropped between elements; comments, processing
// instructions and the document type are skipped; CDATA sections are read as
// nodes of their own, so an element holding one has no plain text value.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

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

// "line L, column C" of a byte offset into the parsed text.
std::string Location(const std::string& text, std::ptrdiff_t offset) {
  const auto end = text.begin() + std::clamp<std::ptrdiff_t>(offset, 0, static_cast<std::ptrdiff_t>(text.size()));
  const auto line = std::count(text.begin(), end, '\n') + 1;
  const auto lineStart = std::find(std::make_reverse_iterator(end), text.rend(), '\n').base();
  return "line " + std::to_string(line) + ", column " + std::to_string(end - lineStart + 1);
}

}  // namespace

void TZkTreeData::Load(std::istream& stream, const std::string& sourceName) {
  BeginUpdate();
  try {
    root_->nodes_.Clear();
    root_->attributes_.Clear();
    std::ostringstream buffer;
    // An empty stream sets failbit on the copy; only a read error counts.
    if (stream.peek() != std::char_traits<char>::eof()) buffer << stream.rdbuf();
    if (stream.bad()) throw EZkFileReadError("Olvasási hiba");
    const std::string text = std::move(buffer).str();
    pugi::xml_document xml;
    const pugi::xml_parse_result parsed = xml.load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_auto);
    if (!parsed) {
      const std::string where = sourceName.empty() ? "" : sourceName + ": ";
      throw EZkXmlError(where + Location(text, parsed.offset) + ": " + parsed.description());
    }
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
  Load(stream, {});
}

void TZkTreeData::SaveToStream(std::ostream& stream) {
  Save(stream, {});
}

void TZkTreeData::LoadFromFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw EZkFileOpenError(FormatMessage("Megnyitási hiba (%s)", {path}));
  Load(file, path);
}

void TZkTreeData::SaveToFile(const std::string& path) {
  platform::WriteFileAtomically(path, [this, &path](std::ostream& out) { Save(out, path); });
  modified_ = false;
}

}  // namespace zk

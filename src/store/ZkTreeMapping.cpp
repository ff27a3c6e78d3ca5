#include "store/ZkTreeMapping.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "base/ZkError.h"
#include "store/Published.h"
#include "store/ZkTreeData.h"
#include "util/ZkUtil.h"

namespace zk {
namespace {

bool PreferStringsOf(const TZkTreeDataNode& node) {
  const TZkTreeData* document = node.TreeData();
  return document != nullptr && document->PreferStrings();
}

// The object a property holds. The mapping only reads through it when the
// owner is const; the accessor itself needs a mutable owner.
TZkPersistent& HeldObject(const TPropInfo& property, const TZkPersistent& owner) {
  return property.ObjectOf(const_cast<TZkPersistent&>(owner));
}

std::string SetToNames(std::uint32_t mask, const std::vector<std::string>& elements) {
  std::string text;
  for (std::size_t i = 0; i < elements.size() && i < 32; ++i) {
    if (((mask >> i) & 1u) == 0) continue;
    if (!text.empty()) text += ',';
    text += elements[i];
  }
  return text;
}

std::int64_t ElementIndex(std::string_view name, const std::vector<std::string>& elements) {
  for (std::size_t i = 0; i < elements.size(); ++i)
    if (SameText(elements[i], name)) return static_cast<std::int64_t>(i);
  throw EZkPropertyError(FormatMessage("Invalid property element: %s", {name}));
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// "a,b", "[a, b]", "" and the like.
std::uint32_t NamesToSet(std::string_view text, const std::vector<std::string>& elements) {
  text = Trim(text);
  if (!text.empty() && text.front() == '[') text.remove_prefix(1);
  if (!text.empty() && text.back() == ']') text.remove_suffix(1);
  std::uint32_t mask = 0;
  while (!Trim(text).empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view name = Trim(text.substr(0, comma));
    mask |= 1u << ElementIndex(name, elements);
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
  }
  return mask;
}

void WriteValue(const TPropInfo& property, const TPropValue& value, TZkTreeValue& target, bool preferStrings) {
  switch (property.Kind) {
    case TPropKind::Integer:
    case TPropKind::Char:
      target.SetAsInteger(static_cast<std::int32_t>(std::get<std::int64_t>(value)));
      break;
    case TPropKind::Enumeration: {
      const auto ordinal = std::get<std::int64_t>(value);
      if (preferStrings && ordinal >= 0 && ordinal < static_cast<std::int64_t>(property.ElementNames.size()))
        target.SetValue(property.ElementNames[static_cast<std::size_t>(ordinal)]);
      else
        target.SetAsInteger(static_cast<std::int32_t>(ordinal));
      break;
    }
    case TPropKind::Float:
      target.SetAsFloat(std::get<double>(value));
      break;
    case TPropKind::String:
      target.SetValue(std::get<std::string>(value));
      break;
    case TPropKind::Set: {
      const auto mask = static_cast<std::uint32_t>(std::get<std::int64_t>(value));
      if (preferStrings)
        target.SetValue(SetToNames(mask, property.ElementNames));
      else
        target.SetValue(std::to_string(mask));
      break;
    }
    case TPropKind::Int64:
      // All 64 bits: a size or count above 2^31 must read back the same.
      target.SetValue(std::to_string(std::get<std::int64_t>(value)));
      break;
    case TPropKind::Object:
    case TPropKind::Other:
      break;
  }
}

TPropValue ReadValue(const TPropInfo& property, const TZkTreeValue& source, bool preferStrings) {
  switch (property.Kind) {
    case TPropKind::Integer:
    case TPropKind::Char:
      return std::int64_t{source.AsInteger()};
    case TPropKind::Enumeration:
      if (preferStrings) return ElementIndex(source.Value(), property.ElementNames);
      return std::int64_t{source.AsInteger()};
    case TPropKind::Float:
      return source.AsFloat();
    case TPropKind::String:
      return source.Value();
    case TPropKind::Set:
      if (preferStrings) return std::int64_t{NamesToSet(source.Value(), property.ElementNames)};
      return std::int64_t{static_cast<std::uint32_t>(source.AsInteger())};
    case TPropKind::Int64:
      return LeadingInt64(source.Value());
    case TPropKind::Object:
    case TPropKind::Other:
      break;
  }
  return {};
}

}  // namespace

void MapObjectToNode(const TZkPersistent& object, TZkTreeDataNode& node) {
  if (dynamic_cast<const TZkCollectionItem*>(&object) != nullptr) node.SetName("Item");
  const bool preferStrings = PreferStringsOf(node);
  for (const TPropInfo& property : object.Properties()) {
    if (property.Kind == TPropKind::Object) {
      const TZkPersistent& held = HeldObject(property, object);
      if (dynamic_cast<const TZkCollection*>(&held) != nullptr)
        node.AddNode(property.Name).Nodes().Assign(held);
      else
        MapObjectToNode(held, node);
      continue;
    }
    TZkTreeValue& target = SameText(property.Name, "name")
                               ? static_cast<TZkTreeValue&>(node.Attributes().AddAttribute(property.Name))
                               : static_cast<TZkTreeValue&>(node.AddNode(property.Name));
    if (property.Kind != TPropKind::Other) WriteValue(property, property.Get(object), target, preferStrings);
  }
}

void MapNodeToObject(const TZkTreeDataNode& node, TZkPersistent& object) {
  const bool preferStrings = PreferStringsOf(node);
  for (const TPropInfo& property : object.Properties()) {
    if (property.Kind == TPropKind::Object) {
      TZkPersistent& held = property.ObjectOf(object);
      if (dynamic_cast<TZkCollection*>(&held) == nullptr) {
        MapNodeToObject(node, held);
      } else if (const TZkTreeDataNode* list = node.FindNode(property.Name)) {
        held.Assign(list->Nodes());
      }
      continue;
    }
    if (property.Kind == TPropKind::Other) continue;
    const TZkTreeValue* source = node.FindNode(property.Name);
    if (source == nullptr) source = node.FindAttribute(property.Name);
    if (source != nullptr) property.Set(object, ReadValue(property, *source, preferStrings));
  }
}

}  // namespace zk

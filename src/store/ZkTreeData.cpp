#include "store/ZkTreeData.h"

#include <string>

#include "base/ZkError.h"
#include "store/ZkTreeMapping.h"
#include "util/ZkUtil.h"

namespace zk {

// ---------------------------------------------------------------- values

TZkTreeValue::~TZkTreeValue() {
  if (TZkTreeData* document = TreeData(); document != nullptr && document->AutoFreeObject()) delete data_;
}

void TZkTreeValue::SetName(const std::string& name) {
  if (name_ == name) return;
  name_ = name;
  Changed();
}

void TZkTreeValue::SetValue(const std::string& value) {
  if (value_ == value) return;
  value_ = value;
  Changed();
}

void TZkTreeValue::SetTag(std::int32_t tag) {
  if (tag_ == tag) return;
  tag_ = tag;
  Changed();
}

TZkTreeData* TZkTreeValue::TreeData() const {
  const TZkTreeValue* value = this;
  while (value->Collection() != nullptr) value = &static_cast<TZkTreeValues*>(value->Collection())->OwnerNode();
  return value->document_;
}

const TFormatSettings& TZkTreeValue::FormatSettings() const {
  const TZkTreeData* document = TreeData();
  return document != nullptr ? document->FormatSettings() : UserFormatSettings();
}

std::int32_t TZkTreeValue::AsInteger() const {
  return LeadingInt(value_);
}

void TZkTreeValue::SetAsInteger(std::int32_t value) {
  SetValue(std::to_string(value));
}

bool TZkTreeValue::AsBoolean() const {
  return SameText(value_, "igen") || SameText(value_, "True") || SameText(value_, "Yes") || AsInteger() != 0;
}

void TZkTreeValue::SetAsBoolean(bool value) {
  SetValue(value ? "Igen" : "Nem");
}

double TZkTreeValue::AsFloat() const {
  return LeadingFloat(value_);
}

void TZkTreeValue::SetAsFloat(double value) {
  SetValue(FloatToStr(value, FormatSettings()));
}

TDateTime TZkTreeValue::AsDate() const {
  TDateTime result = 0;
  return TryStrToDate(value_, FormatSettings(), result) ? result : 0;
}

void TZkTreeValue::SetAsDate(TDateTime value) {
  SetValue(DateToStr(value, FormatSettings()));
}

TDateTime TZkTreeValue::AsTime() const {
  TDateTime result = 0;
  return TryStrToTime(value_, FormatSettings(), result) ? result : 0;
}

void TZkTreeValue::SetAsTime(TDateTime value) {
  SetValue(TimeToStr(value, FormatSettings()));
}

TDateTime TZkTreeValue::AsDateTime() const {
  TDateTime result = 0;
  return TryStrToDateTime(value_, FormatSettings(), result) ? result : 0;
}

void TZkTreeValue::SetAsDateTime(TDateTime value) {
  SetValue(DateTimeToStr(value, FormatSettings()));
}

void TZkTreeValue::CopyValue(const TZkTreeValue& source) {
  // Copied first: the setters may run handlers that change the source.
  const std::string name = source.name_;
  const std::string value = source.value_;
  const std::int32_t tag = source.tag_;
  SetName(name);
  SetValue(value);
  SetTag(tag);
}

void TZkTreeValue::Assign(const TZkPersistent& source) {
  if (const auto* value = dynamic_cast<const TZkTreeValue*>(&source)) {
    CopyValue(*value);
    return;
  }
  TZkCollectionItem::Assign(source);
}

const TPropList& TZkTreeValue::ClassProperties() {
  static const TPropList list = TPropTable<TZkTreeValue>(TZkCollectionItem::ClassProperties())
                                    .String("Name", &TZkTreeValue::Name, &TZkTreeValue::SetName)
                                    .String("Value", &TZkTreeValue::Value, &TZkTreeValue::SetValue)
                                    .Integer("Tag", &TZkTreeValue::Tag, &TZkTreeValue::SetTag)
                                    .List();
  return list;
}

// ----------------------------------------------------------- collections

TZkTreeValues::TZkTreeValues(TZkTreeDataNode& owner) : TZkCollection(&owner), owner_(owner) {}

TZkTreeValues::~TZkTreeValues() {
  Clear();
}

TZkTreeData* TZkTreeValues::TreeData() const {
  return owner_.TreeData();
}

int TZkTreeValues::IndexOfName(std::string_view name) const {
  for (int i = Count() - 1; i >= 0; --i)
    if (SameText(Items(i).Name(), name)) return i;
  return -1;
}

TZkTreeValue* TZkTreeValues::FindByName(std::string_view name) const {
  const int index = IndexOfName(name);
  return index < 0 ? nullptr : &Items(index);
}

void TZkTreeValues::Assign(const TZkPersistent& source) {
  const auto* list = dynamic_cast<const TZkTreeValues*>(&source);
  const TZkTreeDataNode* from = list != nullptr ? &list->OwnerNode() : nullptr;
  if (from == nullptr || (from != &owner_ && !owner_.Contains(*from) && !from->Contains(owner_))) {
    TZkCollection::Assign(source);
    return;
  }
  // The source list lies in the tree this copy changes: clearing this list
  // would free it, or the copy would grow it while it is read. A copy of it
  // as it is now is taken first.
  TZkTreeDataNode holder;
  if (list == &from->Nodes()) {
    holder.Nodes().Assign(*list);
    TZkCollection::Assign(holder.Nodes());
  } else {
    holder.Attributes().Assign(*list);
    TZkCollection::Assign(holder.Attributes());
  }
}

void TZkTreeValues::ItemInserted(TZkCollectionItem& item) {
  static_cast<TZkTreeValue&>(item).Inserted();
}

void TZkTreeValues::ItemRemoving(TZkCollectionItem& item) {
  static_cast<TZkTreeValue&>(item).Removing();
}

TZkTreeAttribute& TZkTreeAttributes::AddAttribute(const std::string& name) {
  TZkTreeAttribute& attribute = Add();
  attribute.SetName(name);
  return attribute;
}

TZkTreeAttribute* TZkTreeAttributes::FindAttribute(std::string_view name) const {
  return static_cast<TZkTreeAttribute*>(FindByName(name));
}

TZkTreeDataNode& TZkTreeDataNodes::AddNode(const std::string& name) {
  return InsertNode(Count(), name);
}

TZkTreeDataNode& TZkTreeDataNodes::InsertNode(int index, const std::string& name) {
  TZkTreeDataNode& node = Insert(index);
  node.SetName(name);
  return node;
}

TZkTreeDataNode* TZkTreeDataNodes::FindNode(std::string_view name) const {
  return static_cast<TZkTreeDataNode*>(FindByName(name));
}

// ------------------------------------------------------------ attributes

void TZkTreeAttribute::Assign(const TZkPersistent& source) {
  if (const auto* value = dynamic_cast<const TZkTreeValue*>(&source)) {
    CopyValue(*value);
    return;
  }
  AssignError(source);
}

void TZkTreeAttribute::Changed() {
  if (TZkTreeData* document = TreeData()) document->DoAttributeUpdate(*this);
}

void TZkTreeAttribute::Removing() {
  if (TZkTreeData* document = TreeData()) document->DoAttributeDelete(*this);
}

void TZkTreeAttribute::Inserted() {
  if (TZkTreeData* document = TreeData()) document->DoAttributeInsert(*this);
}

// ----------------------------------------------------------------- nodes

TZkTreeDataNode::TZkTreeDataNode() : attributes_(*this), nodes_(*this) {}

TZkTreeDataNode::~TZkTreeDataNode() {
  // Children first, then the attributes, while the node is still whole.
  nodes_.Clear();
  attributes_.Clear();
}

TZkTreeDataNode& TZkTreeDataNode::AddCopy(const TZkPersistent& source) {
  const auto* from = dynamic_cast<const TZkTreeDataNode*>(&source);
  if (from != nullptr && (from == this || from->Contains(*this))) {
    // The new child would be part of what it copies: copy the source first.
    TZkTreeDataNode detached;
    detached.Assign(*from);
    return AddCopy(detached);
  }
  TZkTreeDataNode& node = nodes_.Add();
  node.Assign(source);
  return node;
}

TZkTreeDataNode& TZkTreeDataNode::NodeByName(const std::string& name) {
  if (TZkTreeDataNode* node = FindNode(name)) return *node;
  const TZkTreeData* document = TreeData();
  if (document != nullptr && document->AutoNode()) return AddNode(name);
  throw EZkTreeDataError(FormatMessage("A %s Node nem létezik !", {name}));
}

TZkTreeAttribute& TZkTreeDataNode::AttributeByName(const std::string& name) {
  if (TZkTreeAttribute* attribute = FindAttribute(name)) return *attribute;
  const TZkTreeData* document = TreeData();
  if (document != nullptr && document->AutoAttribute()) return attributes_.AddAttribute(name);
  throw EZkTreeDataError(FormatMessage("A %s attributum nem létezik !", {name}));
}

std::string TZkTreeDataNode::ChildValue(std::string_view name, const std::string& defaultValue) const {
  const TZkTreeDataNode* node = FindNode(name);
  return node != nullptr ? node->Value() : defaultValue;
}

void TZkTreeDataNode::DeleteNode(TZkTreeDataNode& node) {
  if (node.Collection() != &nodes_) return;
  nodes_.Delete(node.Index());
}

bool TZkTreeDataNode::Contains(const TZkTreeValue& value) const {
  for (const TZkTreeValue* v = &value; v->Collection() != nullptr;) {
    v = &static_cast<TZkTreeValues*>(v->Collection())->OwnerNode();
    if (v == this) return true;
  }
  return false;
}

void TZkTreeDataNode::Assign(const TZkPersistent& source) {
  const auto* node = dynamic_cast<const TZkTreeDataNode*>(&source);
  if (node == nullptr) {
    if (const auto* value = dynamic_cast<const TZkTreeValue*>(&source)) {
      CopyValue(*value);
    } else if (dynamic_cast<const TZkTreeData*>(&source) != nullptr) {
      // A document is copied into a document only, never mapped.
      AssignError(source);
    } else {
      MapObjectToNode(source, *this);
    }
    return;
  }
  if (node == this) return;
  if (Contains(*node) || node->Contains(*this)) {
    // The source lives in the subtree this copy replaces, or holds this node
    // and would grow with the copy: copy it out first.
    TZkTreeDataNode detached;
    detached.Assign(*node);
    Assign(detached);
    return;
  }
  CopyValue(*node);
  attributes_.Assign(node->attributes_);
  nodes_.Assign(node->nodes_);
}

void TZkTreeDataNode::AssignTo(TZkPersistent& dest) const {
  if (dynamic_cast<TZkTreeValue*>(&dest) != nullptr || dynamic_cast<TZkTreeData*>(&dest) != nullptr) {
    TZkTreeValue::AssignTo(dest);
    return;
  }
  MapNodeToObject(*this, dest);
}

void TZkTreeDataNode::Changed() {
  if (TZkTreeData* document = TreeData()) document->DoNodeUpdate(*this);
}

void TZkTreeDataNode::Removing() {
  if (TZkTreeData* document = TreeData()) document->DoNodeDelete(*this);
}

void TZkTreeDataNode::Inserted() {
  if (TZkTreeData* document = TreeData()) document->DoNodeInsert(*this);
}

const TPropList& TZkTreeDataNode::ClassProperties() {
  static const TPropList list =
      TPropTable<TZkTreeDataNode>(TZkTreeValue::ClassProperties())
          .Object("Nodes", [](TZkTreeDataNode& n) -> TZkPersistent& { return n.Nodes(); })
          .Object("Attributes", [](TZkTreeDataNode& n) -> TZkPersistent& { return n.Attributes(); })
          .List();
  return list;
}

// -------------------------------------------------------------- document

TZkTreeData::TZkTreeData(const TFormatSettings& settings)
    : settings_(settings), root_(std::make_unique<TZkTreeDataNode>()) {
  root_->document_ = this;
}

TZkTreeData::~TZkTreeData() {
  BeginUpdate();
  root_.reset();
}

void TZkTreeData::SetActive(bool value) {
  if (active_ == value) return;
  active_ = value;
  if (active_)
    DoAfterOpen();
  else
    DoAfterClose();
}

void TZkTreeData::Clear() {
  BeginUpdate();
  root_->nodes_.Clear();
  root_->attributes_.Clear();
  root_->SetName({});
  root_->SetValue({});
  EndUpdate();
  DoAfterEmpty();
}

void TZkTreeData::Assign(const TZkPersistent& source) {
  const auto* other = dynamic_cast<const TZkTreeData*>(&source);
  if (other == nullptr) {
    TZkPersistent::Assign(source);
    return;
  }
  if (other == this) return;
  root_->Assign(*other->root_);
  autoAttribute_ = other->autoAttribute_;
  autoFreeObject_ = other->autoFreeObject_;
  autoNode_ = other->autoNode_;
  fileName_ = other->fileName_;
  SetActive(other->active_);
  preferStrings_ = other->preferStrings_;
}

template <class Value, class Event>
void TZkTreeData::Notify(Value& value, const Event& event) {
  modified_ = true;
  if (event && updateCount_ == 0) event(*this, value);
}

void TZkTreeData::DoAttributeUpdate(TZkTreeAttribute& attribute) {
  Notify(attribute, OnAttributeUpdate);
}

void TZkTreeData::DoAttributeDelete(TZkTreeAttribute& attribute) {
  Notify(attribute, OnAttributeDelete);
}

void TZkTreeData::DoAttributeInsert(TZkTreeAttribute& attribute) {
  Notify(attribute, OnAttributeInsert);
}

void TZkTreeData::DoNodeUpdate(TZkTreeDataNode& node) {
  Notify(node, OnNodeUpdate);
}

void TZkTreeData::DoNodeInsert(TZkTreeDataNode& node) {
  Notify(node, OnNodeInsert);
}

void TZkTreeData::DoNodeDelete(TZkTreeDataNode& node) {
  Notify(node, OnNodeDelete);
}

void TZkTreeData::DoAfterClose() {
  if (OnAfterClose) OnAfterClose(*this);
}

void TZkTreeData::DoAfterEmpty() {
  if (OnAfterEmpty) OnAfterEmpty(*this);
}

void TZkTreeData::DoAfterOpen() {
  if (OnAfterOpen) OnAfterOpen(*this);
}

void TZkTreeData::DoAfterSave() {
  if (OnAfterSave) OnAfterSave(*this);
}

void TZkTreeData::DoAfterLoad() {
  if (OnAfterLoad) OnAfterLoad(*this);
}

}  // namespace zk

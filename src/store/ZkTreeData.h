#pragma once
// TZkTreeData: a small in-memory document of named nodes, each with a text
// value, an ordered list of attributes and an ordered list of child nodes,
// kept on disk as an XML file. On top of it sits the object mapping: any
// object with published properties is written into a node and read back
// from one, owned collections becoming lists of "Item" children.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "base/ZkDateTime.h"
#include "store/Published.h"
#include "util/ZkFormatSettings.h"

namespace zk {

class TZkTreeData;
class TZkTreeDataNode;
class TZkTreeAttribute;

// An object a caller attaches to a value (`Data`).
class TZkTreeObject {
public:
  virtual ~TZkTreeObject() = default;
};

// Base of nodes and attributes: name, text value and a caller's tag.
class TZkTreeValue : public TZkCollectionItem {
public:
  ~TZkTreeValue() override;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  const std::string& Value() const { return value_; }
  void SetValue(const std::string& value);
  std::int32_t Tag() const { return tag_; }
  void SetTag(std::int32_t tag);
  // Destroyed with the value when the document's AutoFreeObject is set at
  // that moment; otherwise the caller keeps ownership.
  TZkTreeObject* Data() const { return data_; }
  void SetData(TZkTreeObject* data) { data_ = data; }

  // Typed views of Value. Readers never fail: text that is not of the form
  // gives 0 (False).
  const std::string& AsString() const { return value_; }
  void SetAsString(const std::string& text) { SetValue(text); }
  std::int32_t AsInteger() const;
  void SetAsInteger(std::int32_t value);
  bool AsBoolean() const;
  void SetAsBoolean(bool value);
  double AsFloat() const;
  void SetAsFloat(double value);
  TDateTime AsDate() const;
  void SetAsDate(TDateTime value);
  TDateTime AsTime() const;
  void SetAsTime(TDateTime value);
  TDateTime AsDateTime() const;
  void SetAsDateTime(TDateTime value);

  // The owning document, or none for a value outside any document.
  TZkTreeData* TreeData() const;

  // From another value: Name, Value and Tag.
  void Assign(const TZkPersistent& source) override;

  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties();

protected:
  // Notifications to the owning document.
  virtual void Changed() = 0;
  virtual void Removing() = 0;
  virtual void Inserted() = 0;

  const TFormatSettings& FormatSettings() const;
  void CopyValue(const TZkTreeValue& source);

private:
  friend class TZkTreeData;
  friend class TZkTreeValues;
  std::string name_;
  std::string value_;
  std::int32_t tag_ = 0;
  TZkTreeObject* data_ = nullptr;
  TZkTreeData* document_ = nullptr;  // set on the root node only
};

// The collection of nodes or attributes owned by a node.
class TZkTreeValues : public TZkCollection {
public:
  explicit TZkTreeValues(TZkTreeDataNode& owner);
  ~TZkTreeValues() override;

  TZkTreeDataNode& OwnerNode() const { return owner_; }
  TZkTreeData* TreeData() const;
  TZkTreeValue& Items(int index) const { return static_cast<TZkTreeValue&>(TZkCollection::Items(index)); }
  // The highest index whose item has this name, -1 when there is none.
  int IndexOfName(std::string_view name) const;
  TZkTreeValue* FindByName(std::string_view name) const;

  // From another list, also one of this list's own tree (its own, a
  // descendant's or an ancestor's): the source as it was before the copy.
  void Assign(const TZkPersistent& source) override;

protected:
  void ItemInserted(TZkCollectionItem& item) override;
  void ItemRemoving(TZkCollectionItem& item) override;

private:
  TZkTreeDataNode& owner_;
};

class TZkTreeAttribute : public TZkTreeValue {
public:
  // Only values can be assigned to an attribute.
  void Assign(const TZkPersistent& source) override;

protected:
  void Changed() override;
  void Removing() override;
  void Inserted() override;
};

class TZkTreeAttributes : public TZkOwnedCollection<TZkTreeAttribute, TZkTreeValues> {
public:
  using TZkOwnedCollection::TZkOwnedCollection;
  TZkTreeAttribute& AddAttribute(const std::string& name);
  TZkTreeAttribute* FindAttribute(std::string_view name) const;
};

class TZkTreeDataNodes : public TZkOwnedCollection<TZkTreeDataNode, TZkTreeValues> {
public:
  using TZkOwnedCollection::TZkOwnedCollection;
  TZkTreeDataNode& AddNode(const std::string& name);
  TZkTreeDataNode& InsertNode(int index, const std::string& name);
  TZkTreeDataNode* FindNode(std::string_view name) const;
};

class TZkTreeDataNode : public TZkTreeValue {
public:
  TZkTreeDataNode();
  ~TZkTreeDataNode() override;

  TZkTreeDataNodes& Nodes() { return nodes_; }
  const TZkTreeDataNodes& Nodes() const { return nodes_; }
  TZkTreeAttributes& Attributes() { return attributes_; }
  const TZkTreeAttributes& Attributes() const { return attributes_; }

  TZkTreeDataNode& AddNode(const std::string& name) { return nodes_.AddNode(name); }
  TZkTreeDataNode& InsertNode(int index, const std::string& name) { return nodes_.InsertNode(index, name); }
  // Appends a child assigned from the source: a deep copy of a node, the
  // object mapping of anything else.
  TZkTreeDataNode& AddCopy(const TZkPersistent& source);
  // The last child (attribute) with this name, or none.
  TZkTreeDataNode* FindNode(std::string_view name) const { return nodes_.FindNode(name); }
  TZkTreeAttribute* FindAttribute(std::string_view name) const { return attributes_.FindAttribute(name); }
  // As FindNode, creating the child when the document's AutoNode is set,
  // failing with "A %s Node nem létezik !" otherwise.
  TZkTreeDataNode& NodeByName(const std::string& name);
  // As FindAttribute, creating it when AutoAttribute is set, failing with
  // "A %s attributum nem létezik !" otherwise.
  TZkTreeAttribute& AttributeByName(const std::string& name);
  std::string ChildValue(std::string_view name, const std::string& defaultValue) const;
  // Deletes the child with its subtree; a node of another parent is left alone.
  void DeleteNode(TZkTreeDataNode& node);

  // From a node: deep copy (name, value, tag, attributes, children). From any
  // other value: name, value and tag. From any other object: the object
  // mapping, object to node.
  void Assign(const TZkPersistent& source) override;

  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties();

protected:
  // Into any object that is not a value: the object mapping, node to object.
  void AssignTo(TZkPersistent& dest) const override;

  void Changed() override;
  void Removing() override;
  void Inserted() override;

private:
  friend class TZkTreeData;
  friend class TZkTreeValues;
  // Whether the value lies below this node (not this node itself).
  bool Contains(const TZkTreeValue& value) const;

  TZkTreeAttributes attributes_;
  TZkTreeDataNodes nodes_;
};

// The document.
class TZkTreeData : public TZkPersistent {
public:
  using TNodeEvent = std::function<void(TZkTreeData& sender, TZkTreeDataNode& node)>;
  using TAttributeEvent = std::function<void(TZkTreeData& sender, TZkTreeAttribute& attribute)>;
  using TNotifyEvent = std::function<void(TZkTreeData& sender)>;

  // Floating-point, date and time texts of the typed views use `settings`.
  explicit TZkTreeData(const TFormatSettings& settings = UserFormatSettings());
  ~TZkTreeData() override;

  TZkTreeDataNode& Root() { return *root_; }
  const TZkTreeDataNode& Root() const { return *root_; }

  bool PreferStrings() const { return preferStrings_; }
  void SetPreferStrings(bool value) { preferStrings_ = value; }
  // True after any change of names, values, tags or membership; False at
  // creation, after every load (also a failed one) and after a saved file.
  bool Modified() const { return modified_; }
  // A batch of changes that does not count as one (defaults filled in while
  // a window loads) clears the flag itself.
  void SetModified(bool value) { modified_ = value; }
  bool Active() const { return active_; }
  void SetActive(bool value);
  bool AutoAttribute() const { return autoAttribute_; }
  void SetAutoAttribute(bool value) { autoAttribute_ = value; }
  bool AutoFreeObject() const { return autoFreeObject_; }
  void SetAutoFreeObject(bool value) { autoFreeObject_ = value; }
  bool AutoNode() const { return autoNode_; }
  void SetAutoNode(bool value) { autoNode_ = value; }
  // The caller's file; loading and saving take their path as an argument.
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& value) { fileName_ = value; }
  const TFormatSettings& FormatSettings() const { return settings_; }
  void SetFormatSettings(const TFormatSettings& settings) { settings_ = settings; }

  // Replaces the tree by the file's XML. Fails with EZkFileOpenError when the
  // file cannot be opened (nothing changed) and EZkXmlError when it is not
  // well-formed (the document is then empty).
  void LoadFromFile(const std::string& path);
  // Writes the tree as the file's whole new content; the old content stays
  // when anything fails.
  void SaveToFile(const std::string& path);
  void LoadFromStream(std::istream& stream);
  void SaveToStream(std::ostream& stream);

  void Clear();
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate() {
    if (updateCount_ > 0) --updateCount_;
  }
  bool Updating() const { return updateCount_ > 0; }

  // From another document: its tree, then its flags.
  void Assign(const TZkPersistent& source) override;

  TAttributeEvent OnAttributeUpdate, OnAttributeInsert, OnAttributeDelete;
  TNodeEvent OnNodeUpdate, OnNodeInsert, OnNodeDelete;
  TNotifyEvent OnAfterClose, OnAfterEmpty, OnAfterOpen, OnAfterSave, OnAfterLoad;

protected:
  virtual void DoAttributeUpdate(TZkTreeAttribute& attribute);
  virtual void DoAttributeDelete(TZkTreeAttribute& attribute);
  virtual void DoAttributeInsert(TZkTreeAttribute& attribute);
  virtual void DoNodeUpdate(TZkTreeDataNode& node);
  virtual void DoNodeInsert(TZkTreeDataNode& node);
  virtual void DoNodeDelete(TZkTreeDataNode& node);
  virtual void DoAfterClose();
  virtual void DoAfterEmpty();
  virtual void DoAfterOpen();
  virtual void DoAfterSave();
  virtual void DoAfterLoad();

private:
  friend class TZkTreeAttribute;
  friend class TZkTreeDataNode;
  void Load(std::string text, const std::string& sourceName);
  void Save(std::ostream& stream, const std::string& targetName);
  template <class Value, class Event>
  // Marks the document modified and raises the event unless updating.
  void Notify(Value& value, const Event& event);

  TFormatSettings settings_;
  std::unique_ptr<TZkTreeDataNode> root_;
  bool preferStrings_ = false;
  bool modified_ = false;
  bool active_ = false;
  bool autoAttribute_ = false;
  bool autoFreeObject_ = false;
  bool autoNode_ = false;
  std::string fileName_;
  int updateCount_ = 0;
};

// A batch of changes to a document: Updating() holds until the batch ends,
// so that whoever saves after each change waits for the whole batch.
class TZkTreeUpdate {
public:
  explicit TZkTreeUpdate(TZkTreeData& document) : document_(document) { document_.BeginUpdate(); }
  ~TZkTreeUpdate() { document_.EndUpdate(); }
  TZkTreeUpdate(const TZkTreeUpdate&) = delete;
  TZkTreeUpdate& operator=(const TZkTreeUpdate&) = delete;

private:
  TZkTreeData& document_;
};

}  // namespace zk

#include "store/Published.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <typeinfo>

#include "base/ZkError.h"

namespace zk {

bool TPropInfo::IsDefault(const TZkPersistent& object) const {
  return Get && Get(object) == Default;
}

void TZkPersistent::Assign(const TZkPersistent& source) {
  source.AssignTo(*this);
}

void TZkPersistent::AssignTo(TZkPersistent& dest) const {
  dest.AssignError(*this);
}

void TZkPersistent::AssignError(const TZkPersistent& source) const {
  throw EZkConvertError(FormatMessage("Cannot assign a %s to a %s", {source.ClassName(), ClassName()}));
}

std::string TZkPersistent::ClassName() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                        &std::free);
  std::string name = status == 0 && demangled ? demangled.get() : mangled;
  // The name without its namespaces or template arguments' scope.
  const auto scope = name.rfind("::", name.find('<'));
  return scope == std::string::npos ? name : name.substr(scope + 2);
}

const TPropList& TZkPersistent::Properties() const {
  return ClassProperties();
}

const TPropList& TZkPersistent::ClassProperties() {
  static const TPropList none;
  return none;
}

void TZkPersistent::AssignProperties(const TZkPersistent& source, const TPropList& properties) {
  for (const TPropInfo& p : properties) {
    if (p.Kind == TPropKind::Object) {
      // The getter does not change the source; it only hands out its object.
      p.ObjectOf(*this).Assign(p.ObjectOf(const_cast<TZkPersistent&>(source)));
    } else if (p.Get && p.Set) {
      p.Set(*this, p.Get(source));
    }
  }
}

int TZkCollectionItem::Index() const {
  return collection_ ? collection_->IndexOf(*this) : -1;
}

std::string TZkCollectionItem::DisplayName() const {
  return ClassName();
}

TZkCollection::~TZkCollection() {
  // Derived collections clear themselves first so that their hooks run;
  // whatever is left goes without notice.
  items_.clear();
}

void TZkCollection::CheckIndex(int index, int last) const {
  if (index < 0 || index > last)
    throw EZkError(FormatMessage("List index out of bounds (%s)", {std::to_string(index)}));
}

TZkCollectionItem& TZkCollection::Items(int index) const {
  CheckIndex(index, Count() - 1);
  return *items_[static_cast<std::size_t>(index)];
}

TZkCollectionItem& TZkCollection::Add() {
  return Insert(Count());
}

TZkCollectionItem& TZkCollection::Insert(int index) {
  CheckIndex(index, Count());
  auto item = CreateItem();
  item->collection_ = this;
  TZkCollectionItem& added = *item;
  items_.insert(items_.begin() + index, std::move(item));
  ItemInserted(added);
  return added;
}

void TZkCollection::Delete(int index) {
  CheckIndex(index, Count() - 1);
  const auto position = items_.begin() + index;
  ItemRemoving(**position);
  // The item is destroyed while it still knows its collection, so that its
  // destructor can reach the collection's owner.
  std::unique_ptr<TZkCollectionItem> removed = std::move(*position);
  items_.erase(items_.begin() + index);
  removed.reset();
}

void TZkCollection::Clear() {
  while (!items_.empty()) Delete(Count() - 1);
}

int TZkCollection::IndexOf(const TZkCollectionItem& item) const {
  for (int i = Count() - 1; i >= 0; --i)
    if (items_[static_cast<std::size_t>(i)].get() == &item) return i;
  return -1;
}

void TZkCollection::Sort(const std::function<bool(const TZkCollectionItem&, const TZkCollectionItem&)>& less) {
  std::stable_sort(items_.begin(), items_.end(), [&less](const auto& a, const auto& b) { return less(*a, *b); });
}

void TZkCollection::Assign(const TZkPersistent& source) {
  const auto* from = dynamic_cast<const TZkCollection*>(&source);
  if (from == nullptr) {
    TZkPersistent::Assign(source);
    return;
  }
  if (from == this) return;
  Clear();
  for (int i = 0; i < from->Count(); ++i) Add().Assign(from->Items(i));
}

}  // namespace zk

#pragma once
// Small classes with published properties of every kind, for the tests of
// the property mechanism and the object mapping (and the fuzz target).

#include <cstdint>
#include <string>

#include "store/Published.h"

namespace zk::test {

enum class TColor { clRed, clGreen, clBlue };
enum class TDay { dMon, dTue, dWed };
using TDays = TZkSet<TDay>;

// An owned object that is not a collection: flattened into its owner's node.
class TTestPart : public TZkPersistent {
public:
  std::int32_t Width() const { return width_; }
  void SetWidth(std::int32_t value) { width_ = value; }
  const std::string& Label() const { return label_; }
  void SetLabel(const std::string& value) { label_ = value; }

  void Assign(const TZkPersistent& source) override {
    if (dynamic_cast<const TTestPart*>(&source) == nullptr) return TZkPersistent::Assign(source);
    AssignProperties(source, ClassProperties());
  }
  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties() {
    static const TPropList list = TPropTable<TTestPart>(TZkPersistent::ClassProperties())
                                      .Integer("Width", &TTestPart::Width, &TTestPart::SetWidth, 7)
                                      .String("Label", &TTestPart::Label, &TTestPart::SetLabel)
                                      .List();
    return list;
  }

private:
  std::int32_t width_ = 7;
  std::string label_;
};

class TTestEntry : public TZkCollectionItem {
public:
  const std::string& Name() const { return name_; }
  void SetName(const std::string& value) { name_ = value; }
  bool Flag() const { return flag_; }
  void SetFlag(bool value) { flag_ = value; }

  void Assign(const TZkPersistent& source) override {
    if (dynamic_cast<const TTestEntry*>(&source) == nullptr) return TZkCollectionItem::Assign(source);
    AssignProperties(source, ClassProperties());
  }
  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties() {
    static const TPropList list = TPropTable<TTestEntry>(TZkCollectionItem::ClassProperties())
                                      .String("Name", &TTestEntry::Name, &TTestEntry::SetName)
                                      .Boolean("Flag", &TTestEntry::Flag, &TTestEntry::SetFlag, true)
                                      .List();
    return list;
  }

private:
  std::string name_;
  bool flag_ = true;
};

using TTestEntries = TZkOwnedCollection<TTestEntry>;

// A collection item with one property of every kind, in this order:
// Name, Count, Initial, Enabled, Color, Ratio, Title, Days, Big, Part
// (flattened), Entries (a list), Callback (not carried).
class TTestRecord : public TZkCollectionItem {
public:
  TTestRecord() : entries_(this) {}

  const std::string& Name() const { return name_; }
  void SetName(const std::string& value) { name_ = value; }
  std::int32_t Count() const { return count_; }
  void SetCount(std::int32_t value) { count_ = value; }
  char Initial() const { return initial_; }
  void SetInitial(char value) { initial_ = value; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) { enabled_ = value; }
  TColor Color() const { return color_; }
  void SetColor(TColor value) { color_ = value; }
  double Ratio() const { return ratio_; }
  void SetRatio(double value) { ratio_ = value; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& value) { title_ = value; }
  TDays Days() const { return days_; }
  void SetDays(TDays value) { days_ = value; }
  std::int64_t Big() const { return big_; }
  void SetBig(std::int64_t value) { big_ = value; }
  TTestPart& Part() { return part_; }
  TTestEntries& Entries() { return entries_; }

  std::string DisplayName() const override { return name_.empty() ? TZkCollectionItem::DisplayName() : name_; }

  void Assign(const TZkPersistent& source) override {
    if (dynamic_cast<const TTestRecord*>(&source) == nullptr) return TZkCollectionItem::Assign(source);
    AssignProperties(source, ClassProperties());
  }
  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties() {
    using T = TTestRecord;
    static const TPropList list =
        TPropTable<T>(TZkCollectionItem::ClassProperties())
            .String("Name", &T::Name, &T::SetName)
            .Integer("Count", &T::Count, &T::SetCount, 3)
            .Char("Initial", &T::Initial, &T::SetInitial, 'A')
            .Boolean("Enabled", &T::Enabled, &T::SetEnabled, true)
            .Enumeration("Color", {"clRed", "clGreen", "clBlue"}, &T::Color, &T::SetColor, TColor::clGreen)
            .Float("Ratio", &T::Ratio, &T::SetRatio, 0.5)
            .String("Title", &T::Title, &T::SetTitle, "untitled")
            .Set("Days", {"dMon", "dTue", "dWed"}, &T::Days, &T::SetDays, TDays{TDay::dTue}.Mask())
            .Int64("Big", &T::Big, &T::SetBig)
            .Object("Part", [](T& r) -> TZkPersistent& { return r.Part(); })
            .Object("Entries", [](T& r) -> TZkPersistent& { return r.Entries(); })
            .Other("Callback")
            .List();
    return list;
  }

private:
  std::string name_;
  std::int32_t count_ = 3;
  char initial_ = 'A';
  bool enabled_ = true;
  TColor color_ = TColor::clGreen;
  double ratio_ = 0.5;
  std::string title_ = "untitled";
  TDays days_{TDay::dTue};
  std::int64_t big_ = 0;
  TTestPart part_;
  TTestEntries entries_;
};

using TTestRecords = TZkOwnedCollection<TTestRecord>;

// Owns a list of records, as a component owns its collection.
class TTestBook : public TZkPersistent {
public:
  TTestBook() : records_(this) {}
  TTestRecords& Records() { return records_; }
  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties() {
    static const TPropList list = TPropTable<TTestBook>(TZkPersistent::ClassProperties())
                                      .Object("Records", [](TTestBook& b) -> TZkPersistent& { return b.Records(); })
                                      .List();
    return list;
  }

private:
  TTestRecords records_;
};

}  // namespace zk::test

#include "store/Published.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ZkError.h"
#include "store/TestClasses.h"

namespace zk::test {
namespace {

std::vector<std::string> NamesOf(const TPropList& list) {
  std::vector<std::string> names;
  for (const TPropInfo& p : list) names.push_back(p.Name);
  return names;
}

const TPropInfo& Property(const TZkPersistent& object, const std::string& name) {
  for (const TPropInfo& p : object.Properties())
    if (p.Name == name) return p;
  throw std::runtime_error("no property " + name);
}

TEST(Published, ListsPropertiesInDeclarationOrderWithKindsAndElementNames) {
  TTestRecord record;
  EXPECT_EQ(NamesOf(record.Properties()),
            (std::vector<std::string>{"Name", "Count", "Initial", "Enabled", "Color", "Ratio", "Title", "Days", "Big",
                                      "Part", "Entries", "Callback"}));
  EXPECT_EQ(Property(record, "Color").ElementNames, (std::vector<std::string>{"clRed", "clGreen", "clBlue"}));
  EXPECT_EQ(Property(record, "Enabled").ElementNames, (std::vector<std::string>{"False", "True"}));
  EXPECT_TRUE(Property(record, "Enabled").IsBoolean);
  EXPECT_EQ(Property(record, "Days").Kind, TPropKind::Set);
  EXPECT_EQ(Property(record, "Big").Kind, TPropKind::Int64);
  EXPECT_EQ(Property(record, "Part").Kind, TPropKind::Object);
  EXPECT_EQ(Property(record, "Callback").Kind, TPropKind::Other);
}

TEST(Published, ConstructorValuesAreTheDeclaredDefaults) {
  TTestRecord record;
  for (const TPropInfo& p : record.Properties()) {
    if (p.Kind == TPropKind::Object || p.Kind == TPropKind::Other) continue;
    EXPECT_TRUE(p.IsDefault(record)) << p.Name;
  }
  record.SetCount(4);
  EXPECT_FALSE(Property(record, "Count").IsDefault(record));
}

TEST(Published, GettersAndSettersConvertThroughTheKindsRepresentation) {
  TTestRecord record;
  Property(record, "Initial").Set(record, std::int64_t{'z'});
  Property(record, "Color").Set(record, std::int64_t{2});
  Property(record, "Days").Set(record, std::int64_t{0b101});
  Property(record, "Big").Set(record, std::int64_t{1} << 40);
  EXPECT_EQ(record.Initial(), 'z');
  EXPECT_EQ(record.Color(), TColor::clBlue);
  EXPECT_EQ(record.Days(), (TDays{TDay::dMon, TDay::dWed}));
  EXPECT_EQ(record.Big(), std::int64_t{1} << 40);
  EXPECT_EQ(Property(record, "Days").Get(record), TPropValue{std::int64_t{0b101}});
}

TEST(Published, ValuesOutsideAnEnumerationOrSetAreNotStored) {
  TTestRecord record;
  Property(record, "Color").Set(record, std::int64_t{3});
  Property(record, "Color").Set(record, std::int64_t{-1});
  EXPECT_EQ(record.Color(), TColor::clGreen);
  Property(record, "Days").Set(record, std::int64_t{0xFF});
  EXPECT_EQ(record.Days().Mask(), 0b111u);
  // Any ordinal but 0 makes a Boolean true.
  record.SetEnabled(false);
  Property(record, "Enabled").Set(record, std::int64_t{2});
  EXPECT_TRUE(record.Enabled());
}

TEST(Published, AssignCopiesEveryPropertyDeeply) {
  TTestRecord source;
  source.SetName("Docs");
  source.SetCount(-5);
  source.SetColor(TColor::clRed);
  source.SetRatio(0.25);
  source.SetDays(TDays{TDay::dWed});
  source.SetBig(-(std::int64_t{1} << 50));
  source.Part().SetWidth(99);
  source.Part().SetLabel("wide");
  source.Entries().Add().SetName("a");
  source.Entries().Add().SetFlag(false);

  TTestRecord copy;
  copy.Entries().Add().SetName("old");
  copy.Assign(source);

  EXPECT_EQ(copy.Name(), "Docs");
  EXPECT_EQ(copy.Count(), -5);
  EXPECT_EQ(copy.Color(), TColor::clRed);
  EXPECT_EQ(copy.Ratio(), 0.25);
  EXPECT_EQ(copy.Days(), TDays{TDay::dWed});
  EXPECT_EQ(copy.Big(), -(std::int64_t{1} << 50));
  EXPECT_EQ(copy.Part().Width(), 99);
  EXPECT_EQ(copy.Part().Label(), "wide");
  ASSERT_EQ(copy.Entries().Count(), 2);
  EXPECT_EQ(copy.Entries().Items(0).Name(), "a");
  EXPECT_FALSE(copy.Entries().Items(1).Flag());
  // Separate objects: changing the source leaves the copy alone.
  EXPECT_NE(&copy.Entries().Items(0), &source.Entries().Items(0));
  source.Entries().Items(0).SetName("changed");
  source.Part().SetWidth(1);
  EXPECT_EQ(copy.Entries().Items(0).Name(), "a");
  EXPECT_EQ(copy.Part().Width(), 99);
}

TEST(Published, AssignFromAnUnsuitableClassFailsWithBothClassNames) {
  TTestPart part;
  TTestEntry entry;
  try {
    part.Assign(entry);
    FAIL() << "no error";
  } catch (const EZkConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TTestEntry to a TTestPart");
  }
  TTestEntries entries;
  EXPECT_THROW(entries.Assign(part), EZkConvertError);
}

TEST(Published, CollectionCreatesOwnsAndIndexesItsItems) {
  TTestBook book;
  TTestRecords& records = book.Records();
  EXPECT_EQ(records.Owner(), &book);
  TTestRecord& first = records.Add();
  TTestRecord& inserted = records.Insert(0);
  EXPECT_EQ(records.Count(), 2);
  EXPECT_EQ(inserted.Index(), 0);
  EXPECT_EQ(first.Index(), 1);
  EXPECT_EQ(first.Collection(), &records);
  EXPECT_EQ(records.IndexOf(first), 1);
  EXPECT_EQ(first.DisplayName(), "TTestRecord");
  first.SetName("Docs");
  EXPECT_EQ(first.DisplayName(), "Docs");
  records.Delete(0);
  EXPECT_EQ(first.Index(), 0);
  TTestRecord outside;
  EXPECT_EQ(outside.Index(), -1);
  EXPECT_EQ(records.IndexOf(outside), -1);

  try {
    records.Items(1);
    FAIL() << "no error";
  } catch (const EZkError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (1)");
  }
  EXPECT_THROW(records.Insert(2), EZkError);
  EXPECT_THROW(records.Delete(-1), EZkError);
  records.Clear();
  EXPECT_EQ(records.Count(), 0);
}

TEST(Published, CollectionAssignReplacesItemsAndIgnoresItself) {
  TTestEntries source;
  source.Add().SetName("x");
  source.Add().SetName("y");
  source.Assign(source);
  ASSERT_EQ(source.Count(), 2);

  TTestEntries target;
  target.Add().SetName("gone");
  target.Assign(source);
  ASSERT_EQ(target.Count(), 2);
  EXPECT_EQ(target.Items(0).Name(), "x");
  EXPECT_EQ(target.Items(1).Name(), "y");
  EXPECT_EQ(target.Items(1).Collection(), &target);
}

}  // namespace
}  // namespace zk::test

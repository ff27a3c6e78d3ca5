#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/ZkError.h"
#include "store/TestClasses.h"
#include "store/ZkTreeData.h"

namespace zk::test {
namespace {

void Fill(TTestRecord& record) {
  record.SetName("Docs");
  record.SetCount(-12);
  record.SetInitial('x');
  record.SetEnabled(false);
  record.SetColor(TColor::clBlue);
  record.SetRatio(0.25);
  record.SetTitle("a title");
  record.SetDays(TDays{TDay::dMon, TDay::dWed});
  record.SetBig((std::int64_t{1} << 40) + 5);
  record.Part().SetWidth(31);
  record.Part().SetLabel("wide");
  record.Entries().Add().SetName("one");
  record.Entries().Add().SetFlag(false);
}

std::vector<std::string> ChildNames(const TZkTreeDataNode& node) {
  std::vector<std::string> names;
  for (int i = 0; i < node.Nodes().Count(); ++i) names.push_back(node.Nodes().Items(i).Name());
  return names;
}

TEST(TreeMapping, ObjectToNodeWritesValuesFlattensObjectsAndListsItems) {
  TZkTreeData document(TFormatSettings::Hungarian());
  TTestRecord record;
  Fill(record);
  TZkTreeDataNode& node = document.Root().AddCopy(record);

  EXPECT_EQ(node.Name(), "Item");
  ASSERT_EQ(node.Attributes().Count(), 1);
  EXPECT_EQ(node.Attributes().Items(0).Name(), "Name");
  EXPECT_EQ(node.Attributes().Items(0).Value(), "Docs");
  EXPECT_EQ(ChildNames(node), (std::vector<std::string>{"Count", "Initial", "Enabled", "Color", "Ratio", "Title",
                                                        "Days", "Big", "Width", "Label", "Entries", "Callback"}));
  const std::pair<const char*, const char*> texts[] = {
      {"Count", "-12"}, {"Initial", "120"}, {"Enabled", "0"},  {"Color", "2"}, {"Ratio", "0,25"},
      {"Title", "a title"}, {"Days", "5"}, {"Big", "1099511627781"}, {"Width", "31"}, {"Callback", ""}};
  for (const auto& [name, text] : texts) EXPECT_EQ(node.ChildValue(name, "?"), text) << name;

  const TZkTreeDataNode& entries = *node.FindNode("Entries");
  EXPECT_EQ(ChildNames(entries), (std::vector<std::string>{"Item", "Item"}));
  EXPECT_EQ(entries.Nodes().Items(0).FindAttribute("Name")->Value(), "one");
  EXPECT_EQ(entries.Nodes().Items(1).ChildValue("Flag", "?"), "0");
}

TEST(TreeMapping, PreferStringsWritesAndReadsElementNames) {
  TZkTreeData document;
  document.SetPreferStrings(true);
  TTestRecord record;
  Fill(record);
  TZkTreeDataNode& node = document.Root().AddCopy(record);
  EXPECT_EQ(node.ChildValue("Enabled", "?"), "False");
  EXPECT_EQ(node.ChildValue("Color", "?"), "clBlue");
  EXPECT_EQ(node.ChildValue("Days", "?"), "dMon,dWed");

  node.NodeByName("Days").SetValue(" [dtue , DWED] ");
  node.NodeByName("Color").SetValue("CLRED");
  TTestRecord read;
  read.Assign(node);
  EXPECT_EQ(read.Days(), (TDays{TDay::dTue, TDay::dWed}));
  EXPECT_EQ(read.Color(), TColor::clRed);
  EXPECT_FALSE(read.Enabled());

  node.NodeByName("Days").SetValue("");
  read.Assign(node);
  EXPECT_TRUE(read.Days().Empty());

  node.NodeByName("Color").SetValue("clPurple");
  try {
    read.Assign(node);
    FAIL() << "no error";
  } catch (const EZkPropertyError& e) {
    EXPECT_STREQ(e.what(), "Invalid property element: clPurple");
  }
  node.NodeByName("Color").SetValue("clRed");
  node.NodeByName("Days").SetValue("dMon,dFri");
  EXPECT_THROW(read.Assign(node), EZkPropertyError);
}

TEST(TreeMapping, WrittenObjectReadsBackEqualThroughTheFile) {
  TTestBook book;
  Fill(book.Records().Add());
  book.Records().Add().SetName("Second");
  TZkTreeData written(TFormatSettings::English());
  written.Root().AddNode("Book").Assign(book);
  std::stringstream file;
  written.SaveToStream(file);

  TZkTreeData read(TFormatSettings::Hungarian());
  read.LoadFromStream(file);
  TTestBook copy;
  copy.Assign(read.Root().Nodes().Items(0));
  ASSERT_EQ(copy.Records().Count(), 2);
  const TTestRecord& r = copy.Records().Items(0);
  EXPECT_EQ(r.Name(), "Docs");
  EXPECT_EQ(r.Count(), -12);
  EXPECT_EQ(r.Initial(), 'x');
  EXPECT_FALSE(r.Enabled());
  EXPECT_EQ(r.Color(), TColor::clBlue);
  EXPECT_DOUBLE_EQ(r.Ratio(), 0.25);
  EXPECT_EQ(r.Title(), "a title");
  EXPECT_EQ(r.Days(), (TDays{TDay::dMon, TDay::dWed}));
  EXPECT_EQ(r.Big(), (std::int64_t{1} << 40) + 5);
  TTestRecord& mutableRecord = copy.Records().Items(0);
  EXPECT_EQ(mutableRecord.Part().Width(), 31);
  EXPECT_EQ(mutableRecord.Part().Label(), "wide");
  ASSERT_EQ(mutableRecord.Entries().Count(), 2);
  EXPECT_EQ(mutableRecord.Entries().Items(0).Name(), "one");
  EXPECT_FALSE(mutableRecord.Entries().Items(1).Flag());
  EXPECT_EQ(copy.Records().Items(1).Name(), "Second");
}

TEST(TreeMapping, MissingElementsKeepValuesAndPresentListsReplaceItems) {
  TZkTreeData document;
  TZkTreeDataNode& node = document.Root().AddNode("Item");
  TTestRecord record;
  Fill(record);
  record.Assign(node);  // nothing to read: every value stays
  EXPECT_EQ(record.Count(), -12);
  EXPECT_EQ(record.Entries().Count(), 2);

  node.AddNode("Entries");  // present but empty
  node.AddNode("count").SetValue("8");  // element names match without case
  record.Assign(node);
  EXPECT_EQ(record.Entries().Count(), 0);
  EXPECT_EQ(record.Count(), 8);

  // Items are read whatever their tags.
  TZkTreeDataNode& entries = *node.FindNode("Entries");
  entries.AddNode("item").Attributes().AddAttribute("Name").SetValue("a");
  entries.AddNode("Whatever").AddNode("Name").SetValue("b");
  record.Assign(node);
  ASSERT_EQ(record.Entries().Count(), 2);
  EXPECT_EQ(record.Entries().Items(0).Name(), "a");
  // A child element named like the property wins over the attribute.
  EXPECT_EQ(record.Entries().Items(1).Name(), "b");
}

TEST(TreeMapping, NumbersAreReadAsNumbersWithoutPreferStrings) {
  TZkTreeData document;
  TZkTreeDataNode& node = document.Root().AddNode("Item");
  const std::pair<const char*, bool> booleans[] = {{"1", true}, {"2", true}, {"0", false}, {"True", false}};
  TTestRecord record;
  document.SetAutoNode(true);
  for (const auto& [text, expected] : booleans) {
    SCOPED_TRACE(text);
    node.NodeByName("Enabled").SetValue(text);
    record.Assign(node);
    EXPECT_EQ(record.Enabled(), expected);
  }
  node.NodeByName("Color").SetValue("7");  // no such ordinal: the value stays
  node.NodeByName("Big").SetValue("-9223372036854775807");
  node.NodeByName("Ratio").SetValue("1.5");
  record.Assign(node);
  EXPECT_EQ(record.Color(), TColor::clGreen);
  EXPECT_EQ(record.Big(), -9223372036854775807);
  EXPECT_DOUBLE_EQ(record.Ratio(), 1.5);
}

TEST(TreeMapping, AssigningTwiceAppendsEveryElementTwice) {
  TZkTreeData document;
  TZkTreeDataNode& node = document.Root().AddNode("X");
  TTestEntry entry;
  entry.SetName("e");
  node.Assign(entry);
  node.Assign(entry);
  EXPECT_EQ(node.Attributes().Count(), 2);
  EXPECT_EQ(node.Nodes().Count(), 2);
  EXPECT_EQ(node.Name(), "Item");
}

TEST(TreeMapping, CollectionsOfUnsuitableItemsFailWithTheClassNames) {
  TZkTreeDataNode node;
  node.AddNode("Item");
  TTestEntries entries;
  entries.Assign(node.Nodes());  // nodes map onto any item
  EXPECT_EQ(entries.Count(), 1);
  TTestRecords records;
  records.Add();
  try {
    entries.Assign(records);
    FAIL() << "no error";
  } catch (const EZkConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TTestRecord to a TTestEntry");
  }
}

}  // namespace
}  // namespace zk::test

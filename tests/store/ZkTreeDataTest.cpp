#include "store/ZkTreeData.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/ZkError.h"

namespace zk::test {
namespace {

// Records every notification of a document as "event:name".
struct EventLog {
  explicit EventLog(TZkTreeData& document) {
    auto node = [this](const char* what) {
      return [this, what](TZkTreeData&, TZkTreeDataNode& n) { lines.push_back(std::string(what) + ":" + n.Name()); };
    };
    auto attribute = [this](const char* what) {
      return [this, what](TZkTreeData&, TZkTreeAttribute& a) { lines.push_back(std::string(what) + ":" + a.Name()); };
    };
    auto plain = [this](const char* what) { return [this, what](TZkTreeData&) { lines.emplace_back(what); }; };
    document.OnNodeUpdate = node("NodeUpdate");
    document.OnNodeInsert = node("NodeInsert");
    document.OnNodeDelete = node("NodeDelete");
    document.OnAttributeUpdate = attribute("AttributeUpdate");
    document.OnAttributeInsert = attribute("AttributeInsert");
    document.OnAttributeDelete = attribute("AttributeDelete");
    document.OnAfterClose = plain("AfterClose");
    document.OnAfterEmpty = plain("AfterEmpty");
    document.OnAfterOpen = plain("AfterOpen");
    document.OnAfterSave = plain("AfterSave");
    document.OnAfterLoad = plain("AfterLoad");
  }
  std::vector<std::string> Take() { return std::exchange(lines, {}); }
  std::vector<std::string> lines;
};

using Lines = std::vector<std::string>;

TEST(TreeValue, IntegerAndBooleanViewsReadEveryText) {
  struct Case {
    const char* text;
    std::int32_t integer;
    bool boolean;
  };
  const Case cases[] = {
      {" 42abc", 42, true}, {"$ff", 255, true},   {"abc", 0, false},        {"4294967297", 1, true},
      {"-17", -17, true},   {"0x1", 1, true},     {"IGEN", 0, true},        {"yes", 0, true},
      {"True", 0, true},    {"2", 2, true},       {"-1", -1, true},         {"Nem", 0, false},
      {"False", 0, false},  {"0", 0, false},      {"", 0, false},           {"igenis", 0, false},
  };
  TZkTreeDataNode node;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    node.SetValue(c.text);
    EXPECT_EQ(node.AsInteger(), c.integer);
    EXPECT_EQ(node.AsBoolean(), c.boolean);
  }
  node.SetAsInteger(-2147483647 - 1);
  EXPECT_EQ(node.Value(), "-2147483648");
  node.SetAsBoolean(true);
  EXPECT_EQ(node.Value(), "Igen");
  node.SetAsBoolean(false);
  EXPECT_EQ(node.Value(), "Nem");
}

TEST(TreeValue, FloatViewReadsBothSeparatorsAndWritesTheLocalesOne) {
  TZkTreeData hungarian(TFormatSettings::Hungarian());
  TZkTreeDataNode& node = hungarian.Root().AddNode("X");
  const std::pair<const char*, double> reads[] = {
      {"2,5", 2.5}, {"2.5", 2.5}, {"-1e3", -1000}, {"", 0}, {"abc", 0}, {",", 0}, {"1e99999", 0}, {"--1", 0}};
  for (const auto& [text, value] : reads) {
    SCOPED_TRACE(text);
    node.SetValue(text);
    EXPECT_DOUBLE_EQ(node.AsFloat(), value);
  }
  const std::pair<double, const char*> writes[] = {
      {0.5, "0,5"}, {39448.75, "39448,75"}, {1.0 / 86400, "1,15740740740741E-5"}, {0, "0"}, {1e15, "1E15"}};
  for (const auto& [value, text] : writes) {
    node.SetAsFloat(value);
    EXPECT_EQ(node.Value(), text);
  }
  TZkTreeData english(TFormatSettings::English());
  TZkTreeDataNode& other = english.Root().AddNode("X");
  other.SetAsFloat(39448.75);
  EXPECT_EQ(other.Value(), "39448.75");
  // Written in one locale, read in the other: the same number.
  node.SetAsFloat(0.916666666666667);
  other.SetValue(node.Value());
  EXPECT_DOUBLE_EQ(other.AsFloat(), 0.916666666666667);
}

TEST(TreeValue, DateAndTimeViewsFollowTheDocumentsLocale) {
  const TDateTime moment = EncodeDateTime(2024, 1, 5, 9, 7, 3, 0);
  for (const TFormatSettings& settings : {TFormatSettings::Hungarian(), TFormatSettings::English()}) {
    TZkTreeData document(settings);
    TZkTreeDataNode& node = document.Root().AddNode("X");
    node.SetAsDate(moment);
    EXPECT_EQ(node.Value(), DateToStr(moment, settings));
    EXPECT_DOUBLE_EQ(node.AsDate(), DateOf(moment));
    node.SetAsTime(moment);
    EXPECT_NEAR(node.AsTime(), TimeOf(moment), 1e-9);
    node.SetAsDateTime(moment);
    EXPECT_NEAR(node.AsDateTime(), moment, 1e-9);
    // Midnight leaves the time out.
    node.SetAsDateTime(DateOf(moment));
    EXPECT_EQ(node.Value(), DateToStr(moment, settings));
    for (const char* bad : {"", "tomorrow", "2024.13.45.", "25:99"}) {
      node.SetValue(bad);
      EXPECT_EQ(node.AsDate(), 0) << bad;
      EXPECT_EQ(node.AsTime(), 0) << bad;
      EXPECT_EQ(node.AsDateTime(), 0) << bad;
    }
  }
}

TEST(TreeNode, LookupsByNameFindTheLastMatchIgnoringOnlyAsciiCase) {
  TZkTreeData document;
  TZkTreeDataNode& root = document.Root();
  root.AddNode("Saving").SetValue("first");
  TZkTreeDataNode& later = root.AddNode("Saving");
  later.SetValue("second");
  root.AddNode("Ár").SetValue("accented");

  EXPECT_EQ(root.FindNode("Saving"), &later);
  EXPECT_EQ(root.FindNode("SAVING"), &later);
  EXPECT_EQ(&root.NodeByName("saving"), &later);
  EXPECT_EQ(root.ChildValue("Saving", "none"), "second");
  EXPECT_EQ(root.Nodes().IndexOfName("sAvInG"), 1);
  EXPECT_EQ(root.FindNode("Savin"), nullptr);
  EXPECT_EQ(root.FindNode("áR"), nullptr);
  EXPECT_EQ(root.FindNode("ÁR"), &root.Nodes().Items(2));
  EXPECT_EQ(root.ChildValue("missing", "none"), "none");

  root.Attributes().AddAttribute("Name").SetValue("a");
  root.Attributes().AddAttribute("name").SetValue("b");
  EXPECT_EQ(root.AttributeByName("NAME").Value(), "b");
}

TEST(TreeNode, ByNameLookupsFailOrCreateAsTheDocumentSays) {
  TZkTreeData document;
  TZkTreeDataNode& root = document.Root();
  try {
    root.NodeByName("Job");
    FAIL() << "no error";
  } catch (const EZkTreeDataError& e) {
    EXPECT_STREQ(e.what(), "A Job Node nem létezik !");
  }
  try {
    root.AttributeByName("Name");
    FAIL() << "no error";
  } catch (const EZkTreeDataError& e) {
    EXPECT_STREQ(e.what(), "A Name attributum nem létezik !");
  }
  EXPECT_EQ(root.Nodes().Count(), 0);

  document.SetAutoNode(true);
  document.SetAutoAttribute(true);
  TZkTreeDataNode& created = root.NodeByName("Job");
  EXPECT_EQ(&root.NodeByName("JOB"), &created);
  EXPECT_EQ(root.AttributeByName("Name").Value(), "");
  EXPECT_EQ(root.Nodes().Count(), 1);
  EXPECT_EQ(root.Attributes().Count(), 1);

  // A node of no document behaves as if nothing were switched on.
  TZkTreeDataNode loose;
  EXPECT_THROW(loose.NodeByName("x"), EZkTreeDataError);
}

TEST(TreeNode, AddNodeNeverReusesAndDeleteNodeIgnoresOtherParents) {
  TZkTreeData document;
  TZkTreeDataNode& a = document.Root().AddNode("A");
  document.Root().AddNode("A");
  TZkTreeDataNode& inner = a.AddNode("Inner");
  EXPECT_EQ(document.Root().Nodes().Count(), 2);
  TZkTreeDataNode& first = document.Root().InsertNode(0, "First");
  EXPECT_EQ(&document.Root().Nodes().Items(0), &first);

  document.Root().DeleteNode(inner);  // a grandchild, not a child
  EXPECT_EQ(a.Nodes().Count(), 1);
  a.DeleteNode(inner);
  EXPECT_EQ(a.Nodes().Count(), 0);
}

TEST(TreeData, NotificationsMarkModifiedAndRespectTheUpdateCount) {
  TZkTreeData document;
  EventLog log(document);
  EXPECT_FALSE(document.Modified());

  TZkTreeDataNode& node = document.Root().AddNode("Job");
  EXPECT_EQ(log.Take(), (Lines{"NodeInsert:", "NodeUpdate:Job"}));
  EXPECT_TRUE(document.Modified());

  node.Attributes().AddAttribute("Name");
  node.SetValue("v");
  node.SetValue("v");  // the same value changes nothing
  node.SetTag(5);
  EXPECT_EQ(log.Take(), (Lines{"AttributeInsert:", "AttributeUpdate:Name", "NodeUpdate:Job", "NodeUpdate:Job"}));

  document.BeginUpdate();
  document.BeginUpdate();
  node.SetName("Other");
  node.AddNode("Child");
  document.EndUpdate();
  EXPECT_TRUE(document.Updating());
  document.EndUpdate();
  document.EndUpdate();  // never below zero
  EXPECT_FALSE(document.Updating());
  EXPECT_EQ(log.Take(), Lines{});

  document.Root().DeleteNode(node);
  EXPECT_EQ(log.Take(), (Lines{"NodeDelete:Other", "NodeDelete:Child", "AttributeDelete:Name"}));
}

TEST(TreeData, ClearEmptiesWithOneNoticeAndLeavesModified) {
  TZkTreeData document;
  document.Root().AddNode("A").AddNode("B");
  document.Root().SetName("root");
  document.Root().Attributes().AddAttribute("x");
  EventLog log(document);
  document.Clear();
  EXPECT_EQ(log.Take(), Lines{"AfterEmpty"});
  EXPECT_TRUE(document.Modified());
  EXPECT_EQ(document.Root().Nodes().Count(), 0);
  EXPECT_EQ(document.Root().Attributes().Count(), 0);
  EXPECT_EQ(document.Root().Name(), "");
  EXPECT_FALSE(document.Updating());
}

TEST(TreeData, ActiveRaisesOpenAndCloseOnChangesOnly) {
  TZkTreeData document;
  EventLog log(document);
  document.SetActive(false);
  document.SetActive(true);
  document.SetActive(true);
  document.SetActive(false);
  EXPECT_EQ(log.Take(), (Lines{"AfterOpen", "AfterClose"}));
  EXPECT_FALSE(document.Modified());
}

TEST(TreeData, AssignCopiesTheTreeAndTheFlags) {
  TZkTreeData source;
  source.Root().AddNode("Saving").AddNode("Item").Attributes().AddAttribute("Name").SetValue("Docs");
  source.Root().Nodes().Items(0).SetTag(9);
  source.SetAutoNode(true);
  source.SetAutoAttribute(true);
  source.SetAutoFreeObject(true);
  source.SetPreferStrings(true);
  source.SetFileName("jobs.xml");
  source.SetActive(true);

  TZkTreeData target;
  target.Root().AddNode("Old");
  EventLog log(target);
  target.Assign(source);
  EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), "AfterOpen"), log.lines.end());
  ASSERT_EQ(target.Root().Nodes().Count(), 1);
  const TZkTreeDataNode& saving = target.Root().Nodes().Items(0);
  EXPECT_EQ(saving.Name(), "Saving");
  EXPECT_EQ(saving.Tag(), 9);
  EXPECT_EQ(saving.Nodes().Items(0).FindAttribute("Name")->Value(), "Docs");
  EXPECT_NE(&saving, &source.Root().Nodes().Items(0));
  EXPECT_TRUE(target.AutoNode() && target.AutoAttribute() && target.AutoFreeObject() && target.PreferStrings());
  EXPECT_EQ(target.FileName(), "jobs.xml");
  EXPECT_TRUE(target.Active());

  TZkTreeDataNode node;
  try {
    node.Assign(source);  // a document is no value
    FAIL() << "no error";
  } catch (const EZkError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TZkTreeData to a TZkTreeDataNode");
  }
  EXPECT_THROW(source.Assign(node), EZkConvertError);
}

TEST(TreeNode, AssignFromOwnDescendantCopiesBeforeReplacing) {
  TZkTreeData document;
  TZkTreeDataNode& top = document.Root().AddNode("Top");
  TZkTreeDataNode& middle = top.AddNode("Middle");
  middle.SetValue("m");
  middle.AddNode("Leaf").SetValue("l");
  top.Assign(middle);
  EXPECT_EQ(top.Name(), "Middle");
  EXPECT_EQ(top.Value(), "m");
  ASSERT_EQ(top.Nodes().Count(), 1);
  EXPECT_EQ(top.Nodes().Items(0).Name(), "Leaf");
  EXPECT_EQ(top.Nodes().Items(0).Value(), "l");
}

// "Name=value[attributes](children)" of a subtree, values and lists only
// where they are not empty.
std::string Shape(const TZkTreeDataNode& node) {
  std::string text = node.Name();
  if (!node.Value().empty()) text += "=" + node.Value();
  if (node.Attributes().Count() > 0) {
    text += "[";
    for (int i = 0; i < node.Attributes().Count(); ++i)
      text += (i > 0 ? "," : "") + node.Attributes().Items(i).Name() + "=" + node.Attributes().Items(i).Value();
    text += "]";
  }
  if (node.Nodes().Count() > 0) {
    text += "(";
    for (int i = 0; i < node.Nodes().Count(); ++i) text += (i > 0 ? "," : "") + Shape(node.Nodes().Items(i));
    text += ")";
  }
  return text;
}

TEST(TreeNode, CopiesWithinOneTreeTakeTheSourceAsItWasBefore) {
  struct Case {
    const char* what;
    std::function<void(TZkTreeDataNode& top, TZkTreeDataNode& middle)> copy;
    const char* after;  // the shape of "Top"
  };
  const Case cases[] = {
      {"a node from its ancestor", [](TZkTreeDataNode& top, TZkTreeDataNode& middle) { middle.Assign(top); },
       "Top[a=1](Top[a=1](Middle=m[b=2](Leaf=l)))"},
      {"a node into itself", [](TZkTreeDataNode& top, TZkTreeDataNode&) { top.AddCopy(top); },
       "Top[a=1](Middle=m[b=2](Leaf=l),Top[a=1](Middle=m[b=2](Leaf=l)))"},
      {"a node into its descendant", [](TZkTreeDataNode& top, TZkTreeDataNode& middle) { middle.AddCopy(top); },
       "Top[a=1](Middle=m[b=2](Leaf=l,Top[a=1](Middle=m[b=2](Leaf=l))))"},
      {"a list from a descendant's list",
       [](TZkTreeDataNode& top, TZkTreeDataNode& middle) { top.Nodes().Assign(middle.Nodes()); }, "Top[a=1](Leaf=l)"},
      {"a list from an ancestor's list",
       [](TZkTreeDataNode& top, TZkTreeDataNode& middle) { middle.Nodes().Assign(top.Nodes()); },
       "Top[a=1](Middle=m[b=2](Middle=m[b=2](Leaf=l)))"},
      {"a list from itself", [](TZkTreeDataNode& top, TZkTreeDataNode&) { top.Nodes().Assign(top.Nodes()); },
       "Top[a=1](Middle=m[b=2](Leaf=l))"},
      {"attributes from themselves",
       [](TZkTreeDataNode& top, TZkTreeDataNode&) { top.Attributes().Assign(top.Attributes()); },
       "Top[a=1](Middle=m[b=2](Leaf=l))"},
      {"attributes from a descendant's",
       [](TZkTreeDataNode& top, TZkTreeDataNode& middle) { top.Attributes().Assign(middle.Attributes()); },
       "Top[b=2](Middle=m[b=2](Leaf=l))"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TZkTreeData document;
    TZkTreeDataNode& top = document.Root().AddNode("Top");
    top.Attributes().AddAttribute("a").SetValue("1");
    TZkTreeDataNode& middle = top.AddNode("Middle");
    middle.SetValue("m");
    middle.Attributes().AddAttribute("b").SetValue("2");
    middle.AddNode("Leaf").SetValue("l");
    c.copy(top, middle);
    EXPECT_EQ(Shape(top), c.after);
  }
}

TEST(TreeValue, AttributesTakeOnlyValues) {
  TZkTreeDataNode node;
  node.SetName("n");
  node.SetValue("v");
  node.AddNode("child");
  TZkTreeAttribute attribute;
  attribute.Assign(node);
  EXPECT_EQ(attribute.Name(), "n");
  EXPECT_EQ(attribute.Value(), "v");
  TZkTreeData document;
  EXPECT_THROW(attribute.Assign(document), EZkConvertError);
  // A node from an attribute takes name, value and tag; its lists stay.
  node.Assign(attribute);
  EXPECT_EQ(node.Nodes().Count(), 1);
}

TEST(TreeData, DataObjectsAreFreedOnlyWhenTheDocumentSaysSo) {
  struct Counted : TZkTreeObject {
    explicit Counted(int& count) : count_(count) {}
    ~Counted() override { ++count_; }
    int& count_;
  };
  int destroyed = 0;
  Counted kept(destroyed);
  {
    TZkTreeData document;
    document.Root().AddNode("A").SetData(&kept);
  }
  EXPECT_EQ(destroyed, 0);
  {
    TZkTreeData document;
    document.SetAutoFreeObject(true);
    TZkTreeDataNode& a = document.Root().AddNode("A");
    a.SetData(new Counted(destroyed));
    a.AddNode("B").SetData(new Counted(destroyed));
    document.Root().DeleteNode(a);
    EXPECT_EQ(destroyed, 2);
    document.Root().AddNode("C").Attributes().AddAttribute("x").SetData(new Counted(destroyed));
  }
  EXPECT_EQ(destroyed, 3);
}

}  // namespace
}  // namespace zk::test

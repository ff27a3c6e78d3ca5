#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>

#include "base/ZkError.h"
#include "store/ZkTreeData.h"
#include "support/ZkTempDir.h"

namespace zk::test {
namespace {

// The job of the job-file example: Documents packs C:\Data without *.tmp
// into D:\Backup, dated folder, log file, every day at 22:00.
void BuildJobExample(TZkTreeData& document) {
  TZkTreeDataNode& job = document.Root().AddNode("Saving").AddNode("Item");
  job.Attributes().AddAttribute("Name").SetValue("Documents");
  auto value = [](TZkTreeDataNode& parent, const char* name, const char* text) {
    parent.AddNode(name).SetValue(text);
  };
  value(job, "Disable", "0");
  value(job, "OutputFolder", "D:\\Backup");
  value(job, "OutputFolderDate", "1");
  value(job, "CreateLogFile", "1");
  value(job, "PackMode", "1");
  value(job, "FileName", "");
  auto fileList = [&](const char* list, const char* name) {
    TZkTreeDataNode& item = job.AddNode(list).AddNode("Item");
    item.Attributes().AddAttribute("Name").SetValue(name);
    for (const char* flag : {"SubDir", "Hidden", "System"}) value(item, flag, "1");
  };
  fileList("AddFiles", "C:\\Data");
  fileList("ExtractFiles", "*.tmp");
  TZkTreeDataNode& timer = job.AddNode("TimerList").AddNode("Item");
  timer.Attributes().AddAttribute("Name").SetValue("Nightly");
  value(timer, "TimerType", "0");
  value(timer, "Date", "0");
  value(timer, "Time", "0,916666666666667");
  value(timer, "Timer", "45296,9166666667");
  value(timer, "Interval", "180");
  for (const char* set : {"Months", "Dows", "Days"}) value(timer, set, "0");
  value(timer, "PackMode", "1");
  job.AddNode("BeginFuncList");
  job.AddNode("EndFuncList");
}

// Names, values and attributes of two trees, compared level by level.
void ExpectSameTree(const TZkTreeDataNode& a, const TZkTreeDataNode& b) {
  EXPECT_EQ(a.Name(), b.Name());
  EXPECT_EQ(a.Value(), b.Value()) << a.Name();
  ASSERT_EQ(a.Attributes().Count(), b.Attributes().Count()) << a.Name();
  for (int i = 0; i < a.Attributes().Count(); ++i) {
    EXPECT_EQ(a.Attributes().Items(i).Name(), b.Attributes().Items(i).Name());
    EXPECT_EQ(a.Attributes().Items(i).Value(), b.Attributes().Items(i).Value());
  }
  ASSERT_EQ(a.Nodes().Count(), b.Nodes().Count()) << a.Name();
  for (int i = 0; i < a.Nodes().Count(); ++i) ExpectSameTree(a.Nodes().Items(i), b.Nodes().Items(i));
}

std::string Serialised(TZkTreeData& document) {
  std::ostringstream out;
  document.SaveToStream(out);
  return out.str();
}

void LoadText(TZkTreeData& document, const std::string& text) {
  std::istringstream in(text);
  document.LoadFromStream(in);
}

TEST(TreeDataXml, JobDocumentRoundTripsThroughAWellFormedFileWithoutLayout) {
  TempDir dir;
  TZkTreeData original;
  BuildJobExample(original);
  const std::string path = dir / "Backup.Xml";
  original.SaveToFile(path);
  EXPECT_FALSE(original.Modified());

  const std::string text = TempDir::Read(path);
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << text;
  EXPECT_NE(text.find("<Saving><Item Name=\"Documents\"><Disable>0</Disable><OutputFolder>D:\\Backup</OutputFolder>"),
            std::string::npos)
      << text;
  EXPECT_FALSE(std::regex_search(text, std::regex(">\\s+<"))) << text;

  TZkTreeData loaded;
  loaded.LoadFromFile(path);
  EXPECT_FALSE(loaded.Modified());
  ASSERT_EQ(loaded.Root().Nodes().Count(), 1);
  ExpectSameTree(loaded.Root().Nodes().Items(0), original.Root().Nodes().Items(0));

  if (std::system("command -v xmllint >/dev/null 2>&1") != 0) GTEST_SKIP() << "xmllint is not installed";
  EXPECT_EQ(std::system(("xmllint --noout '" + path + "'").c_str()), 0);
}

TEST(TreeDataXml, SpecialCharactersBlanksAndUtf8SurviveARoundTrip) {
  TZkTreeData document;
  TZkTreeDataNode& node = document.Root().AddNode("Mentés");
  node.Attributes().AddAttribute("Name").SetValue("a<b>&\"c' ő");
  node.AddNode("Blanks").SetValue("  ");
  node.AddNode("Edges").SetValue(" x ");
  node.AddNode("Markup").SetValue("<Item>&amp;</Item>");
  TZkTreeData loaded;
  LoadText(loaded, Serialised(document));
  ExpectSameTree(loaded.Root().Nodes().Items(0), document.Root().Nodes().Items(0));
}

TEST(TreeDataXml, ReadingKeepsOnlyElementsAndPlainTextValues) {
  TZkTreeData document;
  document.Root().AddNode("Stale");
  LoadText(document,
           "<?xml version=\"1.0\"?>\n"
           "<!-- hand edited -->\n"
           "<Saving>\n"
           "  <Item Name=\"Docs\" Extra='2'>\n"
           "    <Mixed>text<Child>c</Child>tail</Mixed>\n"
           "    <Cdata><![CDATA[raw]]></Cdata>\n"
           "    <Empty/><Pair></Pair>\n"
           "    <?pi ignored?>\n"
           "  </Item>\n"
           "</Saving>\n");
  ASSERT_EQ(document.Root().Nodes().Count(), 1);
  const TZkTreeDataNode& saving = document.Root().Nodes().Items(0);
  ASSERT_EQ(saving.Nodes().Count(), 1);
  const TZkTreeDataNode& item = saving.Nodes().Items(0);
  ASSERT_EQ(item.Attributes().Count(), 2);
  EXPECT_EQ(item.Attributes().Items(1).Name(), "Extra");
  EXPECT_EQ(item.Attributes().Items(1).Value(), "2");
  ASSERT_EQ(item.Nodes().Count(), 4);
  EXPECT_EQ(item.Nodes().Items(0).Value(), "");
  EXPECT_EQ(item.Nodes().Items(0).ChildValue("Child", "-"), "c");
  EXPECT_EQ(item.Nodes().Items(1).Value(), "");
  EXPECT_EQ(item.Nodes().Items(2).Value(), "");
  EXPECT_EQ(item.Nodes().Items(3).Value(), "");
  EXPECT_FALSE(document.Modified());
}

TEST(TreeDataXml, OnlyASingleTextChildIsAPlainValue) {
  const std::pair<const char*, const char*> cases[] = {
      {"<X>a</X>", "a"},
      {"<X>a<!--c--></X>", ""},
      {"<X><!--c-->a</X>", ""},
      {"<X>a<?pi x?></X>", ""},
      {"<X><!--c--></X>", ""},
      {"<X>a<Y/>b</X>", ""},
  };
  for (const auto& [text, value] : cases) {
    SCOPED_TRACE(text);
    TZkTreeData document;
    LoadText(document, text);
    ASSERT_EQ(document.Root().Nodes().Count(), 1);
    EXPECT_EQ(document.Root().Nodes().Items(0).Value(), value);
  }
}

TEST(TreeDataXml, DeclaredSingleByteEncodingsAreReadAsUtf8) {
  // "Mentés ősszel" with its accents in each code page.
  const std::pair<const char*, const char*> cases[] = {
      {"windows-1250", "Ment\xE9s \xF5sszel"},
      {"ISO-8859-2", "Ment\xE9s \xF5sszel"},
      {"CP1250", "Ment\xE9s \xF5sszel"},
      {"UTF-8", "Ment\xC3\xA9s \xC5\x91sszel"},
      {"utf-8", "Ment\xC3\xA9s \xC5\x91sszel"},
  };
  for (const auto& [encoding, bytes] : cases) {
    SCOPED_TRACE(encoding);
    TZkTreeData document;
    LoadText(document, std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>\n<Job Name=\"" + bytes +
                           "\"><Path>" + bytes + "</Path></Job>");
    const TZkTreeDataNode& job = document.Root().Nodes().Items(0);
    EXPECT_EQ(job.FindAttribute("Name")->Value(), "Mentés ősszel");
    EXPECT_EQ(job.ChildValue("Path", "-"), "Mentés ősszel");
  }
  // Latin-1 has no "ő".
  TZkTreeData document;
  LoadText(document, "<?xml version='1.0' encoding='ISO-8859-1'?><Job>Ment\xE9s</Job>");
  EXPECT_EQ(document.Root().Nodes().Items(0).Value(), "Mentés");

  document.Root().AddNode("Kept");
  try {
    LoadText(document, "<?xml version=\"1.0\" encoding=\"no-such-code-page\"?><Job/>");
    FAIL() << "no error";
  } catch (const EZkXmlError& e) {
    EXPECT_STREQ(e.what(), "Unknown XML encoding: 'no-such-code-page'");
  }
  EXPECT_EQ(document.Root().Nodes().Count(), 0);
  // A byte the code page leaves unassigned.
  try {
    LoadText(document, "<?xml version=\"1.0\" encoding=\"windows-1250\"?><Job>\x81</Job>");
    FAIL() << "no error";
  } catch (const EZkXmlError& e) {
    EXPECT_STREQ(e.what(), "Byte 51 is not windows-1250 text");
  }
}

TEST(TreeDataXml, MalformedTextEmptiesTheDocumentAndNamesTheLocation) {
  TempDir dir;
  const std::string path = dir.Write("bad.xml", "<Saving>\n<Item>\n</Saving>\n");
  TZkTreeData document;
  document.Root().AddNode("Old").SetValue("kept?");
  int loads = 0;
  document.OnAfterLoad = [&](TZkTreeData&) { ++loads; };
  try {
    document.LoadFromFile(path);
    FAIL() << "no error";
  } catch (const EZkXmlError& e) {
    const std::string message = e.what();
    EXPECT_EQ(message.rfind(path + ": line 3, column ", 0), 0u) << message;
  }
  EXPECT_EQ(document.Root().Nodes().Count(), 0);
  EXPECT_FALSE(document.Modified());
  EXPECT_EQ(loads, 1);

  for (const char* text : {"", "plain text", "<a><b></a>", "<a", "<a b=c/>", "<1a/>", "\xff\xfe<"}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(LoadText(document, text), EZkXmlError);
  }
}

TEST(TreeDataXml, MissingFileFailsAndChangesNothing) {
  TempDir dir;
  TZkTreeData document;
  document.Root().AddNode("Kept");
  try {
    document.LoadFromFile(dir / "none.xml");
    FAIL() << "no error";
  } catch (const EZkFileOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Megnyitási hiba (" + (dir / "none.xml") + ")");
  }
  EXPECT_EQ(document.Root().Nodes().Count(), 1);
}

TEST(TreeDataXml, UnreadablePathFailsAndChangesNothing) {
  TempDir dir;
  TZkTreeData document;
  document.Root().AddNode("Kept");
  int loads = 0;
  document.OnAfterLoad = [&](TZkTreeData&) { ++loads; };
  EXPECT_THROW(document.LoadFromFile(dir.Path().string()), EZkFileError);  // a folder
  EXPECT_EQ(document.Root().Nodes().Count(), 1);
  EXPECT_TRUE(document.Modified());
  EXPECT_EQ(loads, 0);
}

TEST(TreeDataXml, DeeplyNestedInputIsRefusedNotOverflowingTheStack) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "<a>";
  for (int i = 0; i < 100000; ++i) text += "</a>";
  TZkTreeData document;
  EXPECT_THROW(LoadText(document, text), EZkXmlError);
  EXPECT_EQ(document.Root().Nodes().Count(), 0);
}

TEST(TreeDataXml, FailedSaveKeepsTheOldFileAndModified) {
  TempDir dir;
  const std::string path = dir / "Backup.Xml";
  TZkTreeData good;
  BuildJobExample(good);
  good.SaveToFile(path);
  const std::string before = TempDir::Read(path);

  // A name the XML file cannot carry makes the serialiser fail half-way.
  TZkTreeData bad;
  BuildJobExample(bad);
  bad.Root().Nodes().Items(0).Nodes().Items(0).AddNode("not a name");
  int saves = 0;
  bad.OnAfterSave = [&](TZkTreeData&) { ++saves; };
  EXPECT_THROW(bad.SaveToFile(path), EZkXmlError);
  EXPECT_EQ(saves, 1);
  EXPECT_TRUE(bad.Modified());
  EXPECT_EQ(TempDir::Read(path), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "temporary file left behind";

  // A folder that cannot take the temporary file.
  EXPECT_THROW(good.SaveToFile(dir / "Backup.Xml/inside.xml"), EZkFileError);
  EXPECT_EQ(TempDir::Read(path), before);
}

}  // namespace
}  // namespace zk::test

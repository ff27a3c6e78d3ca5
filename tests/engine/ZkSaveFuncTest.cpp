#include "engine/ZkSaveFunc.h"

#include <gtest/gtest.h>

#include "base/ZkError.h"

namespace zk::test {
namespace {

using F = TZkSaveFunc;

TEST(SaveFunc, TextFormIsParsedIntoKindAndParametersAndComposedBack) {
  struct Case {
    const char* text;
    F kind;
    const char* param1;
    const char* param2;
    const char* name;
  };
  const Case cases[] = {
      {"pause;abc", F::sePause, "abc", "", "Pause;0"},
      {"PAUSE;10;x", F::sePause, "10", "", "Pause;10"},
      {"Pause;12abc", F::sePause, "12abc", "", "Pause;12"},
      {"Execute;C:\\a.exe", F::seExeRun, "C:\\a.exe", "", "Execute;C:\\a.exe;"},
      {"Execute;C:\\a.exe;-x;-y", F::seExeRun, "C:\\a.exe", "-x", "Execute;C:\\a.exe;-x"},
      {"EXECUTEWAIT;/usr/bin/tar;-c", F::seExeRunWait, "/usr/bin/tar", "-c", "ExecuteWait;/usr/bin/tar;-c"},
      {"CLOSE;gedit;x", F::seExeClose, "gedit", "", "Close;gedit"},
      {"STOP_SERVICE;Spooler;Print Spooler", F::seServiceStop, "Spooler", "", "Stop_Service;Spooler"},
      {"Start_Service;Spooler;abc", F::seServiceStart, "Spooler", "", "Start_Service;Spooler;"},
      {"PAUSE_SERVICE;cups;", F::seServicePause, "cups", "", "Pause_Service;cups;"},
      {"PAUSE ;5", F::seNone, "", "", ""},
      {"Shut down", F::seNone, "", "", ""},
      {"Shutdown;x;y", F::seShutDown, "", "", "Shutdown"},
      {"RESTART", F::seRestart, "", "", "Restart"},
      {"", F::seNone, "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TZkThreadSaveFunc func;
    func.SetParam2("stale");
    func.SetName(c.text);
    EXPECT_EQ(func.FuncType(), c.kind);
    EXPECT_EQ(func.Param1(), c.param1);
    EXPECT_EQ(func.Param2(), c.param2);
    EXPECT_EQ(func.Name(), c.name);
  }
}

TEST(SaveFunc, CopiesGoThroughTheTextForm) {
  TZkThreadSaveFunc source;
  source.SetName("PAUSE;7 seconds");
  EXPECT_EQ(source.Param1(), "7 seconds");
  TZkThreadSaveFunc copy;
  copy.Assign(source);
  EXPECT_EQ(copy.Param1(), "7");

  source.SetName("Start_Service;Spooler;abc");
  source.SetParam2("abc");  // set directly: shown, but not copied
  EXPECT_EQ(source.Name(), "Start_Service;Spooler;abc");
  copy.Assign(source);
  EXPECT_EQ(copy.Param2(), "");

  source.SetName("Execute;/bin/echo;a");
  source.SetParam2("a;b");
  copy.Assign(source);
  EXPECT_EQ(copy.Param2(), "a");

  EXPECT_EQ(copy.DisplayName(), "Execute;/bin/echo;a");
  EXPECT_EQ(TZkThreadSaveFunc().DisplayName(), "TZkThreadSaveFunc");
  TZkThreadSaveFuncs list;
  EXPECT_THROW(copy.Assign(list), EZkConvertError);
}

}  // namespace
}  // namespace zk::test

#include "engine/ZkSaveFunc.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <string_view>

#include "system/ZkService.h"
#include "system/ZkShutDownWinX.h"
#include "util/ZkUtil.h"
#include "util/ZkUtilFile.h"

namespace zk {
namespace {

struct TKeyword {
  std::string_view Text;
  TZkSaveFunc Kind;
};

// The keywords of the text form, in the order they are tried; each is
// compared with the whole keyword field.
constexpr std::array<TKeyword, 9> kKeywords = {{
    {"Shutdown", TZkSaveFunc::seShutDown},
    {"Restart", TZkSaveFunc::seRestart},
    {"PAUSE", TZkSaveFunc::sePause},
    {"Close", TZkSaveFunc::seExeClose},
    {"Start_Service", TZkSaveFunc::seServiceStart},
    {"Stop_Service", TZkSaveFunc::seServiceStop},
    {"Pause_Service", TZkSaveFunc::seServicePause},
    {"ExecuteWait", TZkSaveFunc::seExeRunWait},
    {"Execute", TZkSaveFunc::seExeRun},
}};

// The text form takes any number of seconds; a wait never goes below 0 or
// beyond a day.
constexpr std::int32_t kMaxPauseSeconds = 24 * 60 * 60;

bool KeepsParam1(TZkSaveFunc kind) {
  return kind != TZkSaveFunc::seNone && kind != TZkSaveFunc::seRestart && kind != TZkSaveFunc::seShutDown;
}

bool KeepsParam2(TZkSaveFunc kind) {
  return kind == TZkSaveFunc::seExeRun || kind == TZkSaveFunc::seExeRunWait;
}

}  // namespace

std::string TZkThreadSaveFunc::Name() const {
  switch (funcType_) {
    case TZkSaveFunc::seNone:
      return {};
    case TZkSaveFunc::sePause:
      return "Pause;" + std::to_string(LeadingInt(param1_));
    case TZkSaveFunc::seExeRun:
      return "Execute;" + param1_ + ";" + param2_;
    case TZkSaveFunc::seExeRunWait:
      return "ExecuteWait;" + param1_ + ";" + param2_;
    case TZkSaveFunc::seExeClose:
      return "Close;" + param1_;
    case TZkSaveFunc::seServiceStart:
      return "Start_Service;" + param1_ + ";" + param2_;
    case TZkSaveFunc::seServiceStop:
      return "Stop_Service;" + param1_;
    case TZkSaveFunc::seServicePause:
      return "Pause_Service;" + param1_ + ";" + param2_;
    case TZkSaveFunc::seRestart:
      return "Restart";
    case TZkSaveFunc::seShutDown:
      return "Shutdown";
  }
  return {};
}

void TZkThreadSaveFunc::SetName(const std::string& text) {
  // The appended separators make both parameter fields exist.
  const std::string fields = text + ";;";
  param1_ = FieldOf(fields, ";", 2);
  param2_ = FieldOf(fields, ";", 3);
  const std::string keyword = FieldOf(text, ";", 1);
  funcType_ = TZkSaveFunc::seNone;
  for (const TKeyword& k : kKeywords) {
    if (SameText(keyword, k.Text)) {
      funcType_ = k.Kind;
      break;
    }
  }
  if (!KeepsParam1(funcType_)) param1_.clear();
  if (!KeepsParam2(funcType_)) param2_.clear();
}

void TZkThreadSaveFunc::Perform(const TZkActionPlatform& platform) const {
  const TZkServiceContext services{platform.Services, platform.Sleeper};
  switch (funcType_) {
    case TZkSaveFunc::seNone:
      return;
    case TZkSaveFunc::sePause:
      platform.Sleeper.Sleep(std::clamp(LeadingInt(param1_), 0, kMaxPauseSeconds) * 1000);
      return;
    case TZkSaveFunc::seExeRun:
      platform.Programs.ShellOpen(param1_, param2_, FolderPart(param1_));
      return;
    case TZkSaveFunc::seExeRunWait:
      platform.Programs.RunAndWait(param1_, param2_, FolderPart(param1_));
      return;
    case TZkSaveFunc::seExeClose:
      // An empty name would match any window without a caption.
      if (param1_.empty()) return;
      if (!platform.Programs.CloseWindowOfClass(param1_)) platform.Programs.CloseWindowWithCaption(param1_);
      return;
    case TZkSaveFunc::seServiceStart:
      // A paused service continues; any failure of that (a stopped service
      // cannot continue) means it is started instead.
      try {
        ServiceContinue(services, "", param1_);
        return;
      } catch (const std::exception&) {
      }
      ServiceStart(services, "", param1_);
      return;
    case TZkSaveFunc::seServiceStop:
      ServiceStop(services, "", param1_);
      return;
    case TZkSaveFunc::seServicePause:
      ServicePause(services, "", param1_);
      return;
    case TZkSaveFunc::seRestart:
      WindowsReboot(platform.Session, true, false);
      return;
    case TZkSaveFunc::seShutDown:
      WindowsShutDown(platform.Session, true, false);
      return;
  }
}

std::string TZkThreadSaveFunc::DisplayName() const {
  const std::string name = Name();
  return name.empty() ? TZkCollectionItem::DisplayName() : name;
}

void TZkThreadSaveFunc::Assign(const TZkPersistent& source) {
  if (const auto* func = dynamic_cast<const TZkThreadSaveFunc*>(&source)) {
    SetName(func->Name());
    return;
  }
  TZkCollectionItem::Assign(source);
}

const TPropList& TZkThreadSaveFunc::ClassProperties() {
  using T = TZkThreadSaveFunc;
  static const TPropList list =
      TPropTable<T>(TZkCollectionItem::ClassProperties())
          .String("Name", &T::Name, &T::SetName)
          .Enumeration("FuncType",
                       {"seNone", "sePause", "seExeRun", "seExeRunWait", "seExeClose", "seServiceStart",
                        "seServiceStop", "seServicePause", "seRestart", "seShutDown"},
                       &T::FuncType, &T::SetFuncType, TZkSaveFunc::seNone)
          .String("Param1", &T::Param1, &T::SetParam1)
          .String("Param2", &T::Param2, &T::SetParam2)
          .List();
  return list;
}

}  // namespace zk

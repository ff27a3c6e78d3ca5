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

// The text form of each kind: its keyword, how many parameters the text
// holds, and how many of them parsing keeps (the rest are cleared). Parsing
// compares the keyword A to Z without case with the whole keyword field.
struct TActionForm {
  TZkSaveFunc Kind;
  std::string_view Keyword;
  int Written;
  int Kept;
  // The first parameter is written as the number it starts with.
  bool Numeric;
};

constexpr std::array<TActionForm, 9> kForms = {{
    {TZkSaveFunc::sePause, "Pause", 1, 1, true},
    {TZkSaveFunc::seExeRun, "Execute", 2, 2, false},
    {TZkSaveFunc::seExeRunWait, "ExecuteWait", 2, 2, false},
    {TZkSaveFunc::seExeClose, "Close", 1, 1, false},
    {TZkSaveFunc::seServiceStart, "Start_Service", 2, 1, false},
    {TZkSaveFunc::seServiceStop, "Stop_Service", 1, 1, false},
    {TZkSaveFunc::seServicePause, "Pause_Service", 2, 1, false},
    {TZkSaveFunc::seRestart, "Restart", 0, 0, false},
    {TZkSaveFunc::seShutDown, "Shutdown", 0, 0, false},
}};

// The text form takes any number of seconds; a wait never goes below 0 or
// beyond a day.
constexpr std::int32_t kMaxPauseSeconds = 24 * 60 * 60;

// Null for seNone.
const TActionForm* FormOfKind(TZkSaveFunc kind) {
  const auto form = std::find_if(kForms.begin(), kForms.end(), [kind](const TActionForm& f) { return f.Kind == kind; });
  return form != kForms.end() ? &*form : nullptr;
}

// Null for an unknown keyword.
const TActionForm* FormOfKeyword(std::string_view keyword) {
  const auto form =
      std::find_if(kForms.begin(), kForms.end(), [keyword](const TActionForm& f) { return SameText(keyword, f.Keyword); });
  return form != kForms.end() ? &*form : nullptr;
}

}  // namespace

std::string TZkThreadSaveFunc::Name() const {
  const TActionForm* form = FormOfKind(funcType_);
  if (form == nullptr) return {};
  std::string text(form->Keyword);
  if (form->Written >= 1) text += ";" + (form->Numeric ? std::to_string(LeadingInt(param1_)) : param1_);
  if (form->Written >= 2) text += ";" + param2_;
  return text;
}

void TZkThreadSaveFunc::SetName(const std::string& text) {
  // The appended separators make both parameter fields exist.
  const std::string fields = text + ";;";
  param1_ = FieldOf(fields, ";", 2);
  param2_ = FieldOf(fields, ";", 3);
  const TActionForm* form = FormOfKeyword(FieldOf(text, ";", 1));
  funcType_ = form != nullptr ? form->Kind : TZkSaveFunc::seNone;
  const int kept = form != nullptr ? form->Kept : 0;
  if (kept < 1) param1_.clear();
  if (kept < 2) param2_.clear();
}

bool TZkThreadSaveFunc::Perform(const TZkActionPlatform& platform,
                                const platform::TZkProgramLauncher::TStopWaiting& stop) const {
  const TZkServiceContext services{platform.Services, platform.Sleeper};
  switch (funcType_) {
    case TZkSaveFunc::seNone:
      return true;
    case TZkSaveFunc::sePause:
      platform.Sleeper.Sleep(std::clamp(LeadingInt(param1_), 0, kMaxPauseSeconds) * 1000);
      return true;
    case TZkSaveFunc::seExeRun:
      platform.Programs.ShellOpen(param1_, param2_, FolderPart(param1_));
      return true;
    case TZkSaveFunc::seExeRunWait:
      platform.Programs.RunAndWait(param1_, param2_, FolderPart(param1_), stop);
      return !stop || !stop();
    case TZkSaveFunc::seExeClose:
      // An empty name would match any window without a caption.
      if (param1_.empty()) return true;
      if (!platform.Programs.CloseWindowOfClass(param1_)) platform.Programs.CloseWindowWithCaption(param1_);
      return true;
    case TZkSaveFunc::seServiceStart:
      // A paused service continues; any failure of that (a stopped service
      // cannot continue) means it is started instead.
      try {
        ServiceContinue(services, "", param1_);
        return true;
      } catch (const std::exception&) {
      }
      ServiceStart(services, "", param1_);
      return true;
    case TZkSaveFunc::seServiceStop:
      ServiceStop(services, "", param1_);
      return true;
    case TZkSaveFunc::seServicePause:
      ServicePause(services, "", param1_);
      return true;
    case TZkSaveFunc::seRestart:
      WindowsReboot(platform.Session, true, false);
      return true;
    case TZkSaveFunc::seShutDown:
      WindowsShutDown(platform.Session, true, false);
      return true;
  }
  return true;
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

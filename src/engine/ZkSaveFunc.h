#pragma once
// Actions run before and after a backup, and their one-line text form
// ("Pause;10", "Execute;/usr/bin/x;-q"): reading Name composes the text from
// the kind and the parameters, writing Name parses it.

#include <string>

#include "platform/ZkClock.h"
#include "platform/ZkDesktopBus.h"
#include "platform/ZkPrograms.h"
#include "platform/ZkServiceControl.h"
#include "platform/ZkSessionEnd.h"
#include "store/Published.h"

namespace zk {

enum class TZkSaveFunc {
  seNone,
  sePause,
  seExeRun,
  seExeRunWait,
  seExeClose,
  seServiceStart,
  seServiceStop,
  seServicePause,
  seRestart,
  seShutDown
};

// What carrying out an action needs of the machine. The engine hands in its
// own; tests hand in fakes. Everything must outlive the call.
struct TZkActionPlatform {
  platform::TZkSleeper& Sleeper;
  platform::TZkServiceControl& Services;
  platform::TZkSessionEnder& Session;
  platform::TZkProgramLauncher& Programs;
  // Holds off sleep while a run works; none: the machine sleeps as it will.
  platform::TZkSleepInhibitor* SleepInhibitor = nullptr;
};

class TZkThreadSaveFunc : public TZkCollectionItem {
public:
  // The text form of the kind and parameters; empty for seNone.
  std::string Name() const;
  // Parses a text form: the keyword before the first ";" (A to Z without
  // case, blanks not trimmed) gives the kind, the next two fields the
  // parameters; what the kind does not use is cleared, an unknown keyword
  // makes seNone.
  void SetName(const std::string& text);

  TZkSaveFunc FuncType() const { return funcType_; }
  void SetFuncType(TZkSaveFunc value) { funcType_ = value; }
  const std::string& Param1() const { return param1_; }
  void SetParam1(const std::string& value) { param1_ = value; }
  const std::string& Param2() const { return param2_; }
  void SetParam2(const std::string& value) { param2_ = value; }

  // Carries out the action on the calling thread and returns when it is
  // done: a pause sleeps (0 to 24 hours), a run-and-wait action waits for
  // its program, the service actions wait for their service. Programs and
  // windows fail silently; service and shutdown failures raise
  // EZkServiceError or EZkShutDownError. A wait for a program ends early
  // when `stop` says so; false then (the program goes on by itself).
  bool Perform(const TZkActionPlatform& platform,
               const platform::TZkProgramLauncher::TStopWaiting& stop = {}) const;

  std::string DisplayName() const override;
  // From another action: through the text form, so the copy holds what
  // parsing this action's Name gives.
  void Assign(const TZkPersistent& source) override;
  const TPropList& Properties() const override { return ClassProperties(); }
  static const TPropList& ClassProperties();

private:
  TZkSaveFunc funcType_ = TZkSaveFunc::seNone;
  std::string param1_;
  std::string param2_;
};

using TZkThreadSaveFuncs = TZkOwnedCollection<TZkThreadSaveFunc>;

}  // namespace zk

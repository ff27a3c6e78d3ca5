#pragma once
// Actions run before and after a backup, and their one-line text form
// ("Pause;10", "Execute;/usr/bin/x;-q"): reading Name composes the text from
// the kind and the parameters, writing Name parses it.

#include <string>

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

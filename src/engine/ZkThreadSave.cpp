#include "engine/ZkThreadSave.h"

#include "store/ZkTreeData.h"

namespace zk {
namespace {

constexpr const char* kJobListNode = "Saving";

}  // namespace

TZkThreadSave::TZkThreadSave(const platform::TZkClock& clock, TDeliver deliver)
    : TZkCustomThread(std::move(deliver)), saving_(this, &clock) {}

TZkThreadSave::~TZkThreadSave() {
  Shutdown();
}

void TZkThreadSave::Stop() {
  stopRequested_.store(true);
  saving_.RecalcAllTimers();
}

void TZkThreadSave::Wait(int milliseconds) {
  if (Throttle) sleeper_->Sleep(milliseconds);
}

std::unique_ptr<TZkThreadProcess> TZkThreadSave::CopyRelay(TCopyUse use) {
  switch (use) {
    case TCopyUse::ctFile:
      return std::make_unique<TZkThreadProcess2>(*this, [this] { DoBeforeAddFile(); }, [this] { DoActionAddFile(); });
    case TCopyUse::ctArchive:
      return std::make_unique<TZkThreadProcess>(*this, [this] { DoBeforeCopy(); }, [this] { DoActionCopy(); });
    case TCopyUse::ctDuplicate:
      break;
  }
  return std::make_unique<TZkThreadProcess>(*this, [this] { DoBeforeDuplicate(); }, [this] { DoActionDuplicate(); });
}

void TZkThreadSave::Raise(const TSaveEvent& event) {
  if (event && activeTask_) event(*this, *activeTask_);
}

void TZkThreadSave::DoActionAddFile() { Raise(OnActionAddFile); }
void TZkThreadSave::DoActionCopy() { Raise(OnActionCopy); }
void TZkThreadSave::DoActionDuplicate() { Raise(OnActionDuplicate); }
void TZkThreadSave::DoAfterAddFile() { Raise(OnAfterAddFile); }
void TZkThreadSave::DoAfterBeginFunc() { Raise(OnAfterBeginFunc); }
void TZkThreadSave::DoAfterCopy() { Raise(OnAfterCopy); }
void TZkThreadSave::DoAfterDuplicate() { Raise(OnAfterDuplicate); }
void TZkThreadSave::DoAfterEndFunc() { Raise(OnAfterEndFunc); }
void TZkThreadSave::DoAfterSave() { Raise(OnAfterSave); }
void TZkThreadSave::DoAfterBackup() { Raise(OnAfterBackup); }
void TZkThreadSave::DoBeforeAddFile() { Raise(OnBeforeAddFile); }
void TZkThreadSave::DoBeforeBeginFunc() { Raise(OnBeforeBeginFunc); }
void TZkThreadSave::DoBeforeCopy() { Raise(OnBeforeCopy); }
void TZkThreadSave::DoBeforeDuplicate() { Raise(OnBeforeDuplicate); }
void TZkThreadSave::DoBeforeEndFunc() { Raise(OnBeforeEndFunc); }
void TZkThreadSave::DoBeforeSave() { Raise(OnBeforeSave); }
void TZkThreadSave::DoBeforeBackup() { Raise(OnBeforeBackup); }

void TZkThreadSave::DoActionBeginFunc(TZkThreadSaveFunc& func) {
  if (OnActionBeginFunc && activeTask_) OnActionBeginFunc(*this, *activeTask_, func);
}

void TZkThreadSave::DoActionEndFunc(TZkThreadSaveFunc& func) {
  if (OnActionEndFunc && activeTask_) OnActionEndFunc(*this, *activeTask_, func);
}

void TZkThreadSave::LoadFromTree(const TZkTreeData& document) {
  if (const TZkTreeDataNode* jobs = document.Root().FindNode(kJobListNode)) saving_.Assign(jobs->Nodes());
}

void TZkThreadSave::SaveToTree(TZkTreeData& document) const {
  document.Root().AddNode(kJobListNode).Nodes().Assign(saving_);
}

void TZkThreadSave::LoadFromFile(const std::string& path) {
  TZkTreeData document;
  document.LoadFromFile(path);
  LoadFromTree(document);
  saving_.RecalcAllTimers();
}

void TZkThreadSave::SaveToFile(const std::string& path) const {
  TZkTreeData document;
  SaveToTree(document);
  document.SaveToFile(path);
}

const TPropList& TZkThreadSave::ClassProperties() {
  static const TPropList list =
      TPropTable<TZkThreadSave>(TZkPersistent::ClassProperties())
          .Object("Saving", [](TZkThreadSave& engine) -> TZkPersistent& { return engine.Saving(); })
          .List();
  return list;
}

}  // namespace zk

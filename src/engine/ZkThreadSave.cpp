#include "engine/ZkThreadSave.h"

#include "store/ZkTreeData.h"

namespace zk {
namespace {

constexpr const char* kJobListNode = "Saving";

}  // namespace

TZkThreadSave::TZkThreadSave(const platform::TZkClock& clock) : saving_(this, &clock) {}

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

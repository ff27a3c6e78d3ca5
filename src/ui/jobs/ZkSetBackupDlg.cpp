#include "ui/jobs/ZkSetBackupDlg.h"

#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>
#include <exception>
#include <sstream>

#include "base/ZkError.h"
#include "base/ZkText.h"
#include "engine/ZkJob.h"
#include "ui/app/ZkQtText.h"
#include "ui/settings/ZkSetBackupForm.h"
#include "util/ZkUtilFile.h"

namespace zk::ui {
namespace {

// The job file's layout as the job list sees it: the jobs are the children
// of "Saving", each named by its attribute "Name". Element names of jobs
// are never examined.
constexpr const char* kSavingNode = "Saving";
constexpr const char* kNameAttribute = "Name";
constexpr const char* kNewJobNode = "item";

// A job document: reading a missing attribute or node creates it.
std::unique_ptr<TZkTreeData> NewJobDocument(const TFormatSettings& settings) {
  auto document = std::make_unique<TZkTreeData>(settings);
  document->SetAutoAttribute(true);
  document->SetAutoNode(true);
  return document;
}

// The clipboard document in use: active and empty while a copy or paste
// runs, and empty and inactive again afterwards, whatever happened.
class TScratchDocument {
public:
  explicit TScratchDocument(TZkTreeData& document) : document_(document) {
    document_.SetActive(true);
    document_.Clear();
  }
  ~TScratchDocument() {
    document_.Clear();
    document_.SetActive(false);
  }
  TScratchDocument(const TScratchDocument&) = delete;
  TScratchDocument& operator=(const TScratchDocument&) = delete;

private:
  TZkTreeData& document_;
};

EZkError ExistingSaving(const std::string& name) { return EZkError("Már létező mentés (" + name + ")"); }

void CheckUsableName(const std::string& name) {
  if (!IsUsableJobName(name)) throw EZkError("A mentés neve nem használható: " + name);
}

}  // namespace

TZkSetBackupDlg::TZkSetBackupDlg(QObject* owner)
    : QObject(owner), formatSettings_(UserFormatSettings()), document_(NewJobDocument(formatSettings_)) {}

TZkSetBackupDlg::TZkSetBackupDlg(const TZkServiceContext& context, QObject* owner) : TZkSetBackupDlg(owner) {
  serviceContext_.emplace(context);
}

TZkSetBackupDlg::~TZkSetBackupDlg() {
  // The window belongs to no one: it goes with the component it edits for.
  delete form_.data();
}

TZkSetBackupForm* TZkSetBackupDlg::Form() const { return form_.data(); }

void TZkSetBackupDlg::SetOptions(TBackupOptions value) {
  options_ = value;
  if (form_) form_->ApplyOptions(options_);
}

void TZkSetBackupDlg::SetReadOnly(bool value) {
  readOnly_ = value;
  if (form_) form_->UpdateActions();
}

void TZkSetBackupDlg::SetFormatSettings(const TFormatSettings& value) {
  formatSettings_ = value;
  document_->SetFormatSettings(value);
}

TZkSetBackupForm& TZkSetBackupDlg::OpenWindow() {
  delete form_.data();
  auto form = std::make_unique<TZkSetBackupForm>(*this);
  form_ = form.get();
  // A window that fails to load is destroyed before it shows; the
  // component then holds none.
  form->LoadAll();
  form->ApplyOptions(options_);
  return *form.release();
}

bool TZkSetBackupDlg::Execute() {
  OpenWindow().exec();
  return true;
}

const std::string& TZkSetBackupDlg::FileName() const { return document_->FileName(); }

void TZkSetBackupDlg::SetFileName(const std::string& value) {
  if (value == FileName()) return;
  std::unique_ptr<TZkTreeData> loaded = NewJobDocument(formatSettings_);
  if (!value.empty()) {
    if (!FileExists(value)) throw EZkFileOpenError("Nem létező file " + value);
    // Loaded aside first: a file that fails to load leaves the open document
    // and its file as they were, and can never be written over by a save.
    loaded->LoadFromFile(value);
    loaded->SetFileName(value);
    loaded->SetActive(true);
  }
  SetSelect({});
  document_ = std::move(loaded);
  RefreshWindow();
}

void TZkSetBackupDlg::SetSelect(const std::string& value) {
  if (value == select_) return;
  if (!value.empty()) SavingByName(value);
  select_ = value;
  RefreshWindow();
}

bool TZkSetBackupDlg::IsOpen() const { return !FileName().empty() && document_->Active(); }

TZkTreeDataNode& TZkSetBackupDlg::SavingNode() {
  if (TZkTreeDataNode* node = document_->Root().FindNode(kSavingNode)) return *node;
  return document_->Root().AddNode(kSavingNode);
}

int TZkSetBackupDlg::IndexOfSaving(const std::string& name) {
  if (!IsOpen()) return -1;
  TZkTreeDataNodes& jobs = SavingNode().Nodes();
  for (int i = jobs.Count() - 1; i >= 0; --i)
    if (SameText(jobs.Items(i).AttributeByName(kNameAttribute).Value(), name)) return i;
  return -1;
}

TZkTreeDataNode* TZkSetBackupDlg::FindSaving(const std::string& name) {
  const int index = IndexOfSaving(name);
  return index < 0 ? nullptr : &SavingNode().Nodes().Items(index);
}

TZkTreeDataNode& TZkSetBackupDlg::SavingByName(const std::string& name) {
  if (TZkTreeDataNode* node = FindSaving(name)) return *node;
  throw EZkError("Nem létező mentés (" + name + ")");
}

std::vector<std::string> TZkSetBackupDlg::GetSavingNames() {
  std::vector<std::string> names;
  if (!IsOpen()) return names;
  TZkTreeDataNodes& jobs = SavingNode().Nodes();
  for (int i = 0; i < jobs.Count(); ++i) names.push_back(jobs.Items(i).AttributeByName(kNameAttribute).Value());
  return names;
}

TZkTreeDataNode* TZkSetBackupDlg::AddSaving(const std::string& name) {
  CheckUsableName(name);
  if (FindSaving(name) != nullptr) throw ExistingSaving(name);
  TZkTreeDataNode* node = nullptr;
  if (IsOpen()) {
    node = &SavingNode().AddNode(kNewJobNode);
    node->AttributeByName(kNameAttribute).SetValue(name);
  }
  AutoSaveNow();
  return node;
}

void TZkSetBackupDlg::RenameSaving(const std::string& oldName, const std::string& newName) {
  CheckUsableName(newName);
  if (!SameText(oldName, newName) && FindSaving(newName) != nullptr) throw ExistingSaving(newName);
  if (IsOpen()) SavingByName(oldName).AttributeByName(kNameAttribute).SetValue(newName);
  if (select_ == oldName) select_ = newName;
  AutoSaveNow();
}

void TZkSetBackupDlg::DeleteSaving(const std::string& name) {
  if (IsOpen()) SavingNode().DeleteNode(SavingByName(name));
  if (select_ == name) select_.clear();
  AutoSaveNow();
}

std::string TZkSetBackupDlg::NewSavingName(std::string base) {
  if (FindSaving(base) == nullptr) return base;
  // "Napi (3)" numbers on from "Napi", whatever stood in the brackets.
  if (const std::size_t open = base.rfind(" ("); open != std::string::npos && base.ends_with(')'))
    base.erase(open);
  for (int n = 1;; ++n) {
    std::string candidate = base + " (" + std::to_string(n) + ")";
    if (FindSaving(candidate) == nullptr) return candidate;
  }
}

void TZkSetBackupDlg::CopySavings(const std::vector<std::string>& names) {
  const TScratchDocument scratch(clipboard_);
  TZkTreeDataNode& copied = clipboard_.Root().AddNode(kSavingNode);
  for (auto name = names.rbegin(); name != names.rend(); ++name) copied.AddCopy(SavingByName(*name));
  std::ostringstream text;
  clipboard_.SaveToStream(text);
  QGuiApplication::clipboard()->setText(ToQString(text.str()));
}

void TZkSetBackupDlg::PasteSavings() {
  const TScratchDocument scratch(clipboard_);
  std::istringstream text(ToUtf8(QGuiApplication::clipboard()->text()));
  clipboard_.LoadFromStream(text);
  TZkTreeDataNode* pasted = clipboard_.Root().FindNode(kSavingNode);
  if (pasted == nullptr || !IsOpen()) return;
  for (int i = 0; i < pasted->Nodes().Count(); ++i)
    if (const TZkTreeAttribute* name = pasted->Nodes().Items(i).FindAttribute(kNameAttribute))
      CheckUsableName(name->Value());
  // One write at the end: the file never holds a pasted job half copied.
  // When a job fails, the ones pasted before it are complete and are
  // written all the same; should that write fail too, its error is the one
  // reported, as the file then holds none of the pasted jobs.
  std::exception_ptr failure;
  {
    const TZkTreeUpdate batch(*document_);
    try {
      for (int i = 0; i < pasted->Nodes().Count(); ++i) PasteSaving(pasted->Nodes().Items(i));
    } catch (...) {
      failure = std::current_exception();
    }
  }
  AutoSaveNow();
  if (failure) std::rethrow_exception(failure);
}

void TZkSetBackupDlg::PasteSaving(TZkTreeDataNode& pasted) {
  const std::string name = NewSavingName(pasted.AttributeByName(kNameAttribute).Value());
  TZkTreeDataNode& node = *AddSaving(name);
  try {
    node.Assign(pasted);
    node.AttributeByName(kNameAttribute).SetValue(name);
  } catch (...) {
    SavingNode().DeleteNode(node);
    throw;
  }
}

TZkSetBackupDlg::TSavingCopy TZkSetBackupDlg::SavingCopy(const std::string& name) {
  const TScratchDocument scratch(clipboard_);
  clipboard_.Root().AddNode(kSavingNode).AddCopy(SavingByName(name));
  std::ostringstream text;
  clipboard_.SaveToStream(text);
  return {IndexOfSaving(name), text.str()};
}

std::vector<std::string> TZkSetBackupDlg::RestoreSavings(const std::vector<TSavingCopy>& copies) {
  std::vector<std::string> names;
  if (!IsOpen()) return names;
  {
    const TZkTreeUpdate batch(*document_);
    for (const TSavingCopy& copy : copies) {
      const TScratchDocument scratch(clipboard_);
      std::istringstream text(copy.Text);
      clipboard_.LoadFromStream(text);
      const TZkTreeDataNode& saved = clipboard_.Root().NodeByName(kSavingNode).Nodes().Items(0);
      const std::string name = NewSavingName(saved.FindAttribute(kNameAttribute)->Value());
      TZkTreeDataNodes& jobs = SavingNode().Nodes();
      TZkTreeDataNode& node = jobs.InsertNode(std::min(copy.Index, jobs.Count()), saved.Name());
      node.Assign(saved);
      node.AttributeByName(kNameAttribute).SetValue(name);
      names.push_back(name);
    }
  }
  AutoSaveNow();
  return names;
}

void TZkSetBackupDlg::AutoSaveNow() {
  if (IsOpen() && autoSave_ && !document_->Updating()) document_->SaveToFile(FileName());
}

void TZkSetBackupDlg::RefreshWindow() {
  if (form_) form_->LoadAll();
}

}  // namespace zk::ui

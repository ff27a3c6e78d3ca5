#include "ui/ZkListPages.h"

#include <QAction>
#include <QDir>
#include <QSignalBlocker>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QTreeWidgetItem>

#include "base/ZkError.h"
#include "base/ZkText.h"
#include "platform/ZkFileSystem.h"
#include "store/ZkTreeData.h"
#include "ui/ZkBinding.h"
#include "ui/ZkBrowseFolder.h"
#include "ui/ZkQtText.h"
#include "ui/ZkServiceDlg.h"
#include "ui/ZkSetBackupForm.h"
#include "ui/controls/ZkTreeView.h"
#include "util/ZkUtil.h"
#include "util/ZkUtilFile.h"

namespace zk::ui {
namespace detail {
namespace {

using R = TRoutine;

constexpr const char* kEditPrompt = "Kijelölt elem szerkesztése";
constexpr const char* kSpecPrompt = "Üsse be a file specifikációt (pl: *.dbf)";
constexpr const char* kRunPrompt = "Program futtatásának paraméterei";

constexpr TCommandRow kCommands[] = {
    // include list
    {"SourceAdd", "Hozzáadás", "SourceList", R::Submenu, "", "", false},
    {"SourceAddFile", "File Hozzáadás", "SourceList", R::AddFromFiles, "", "", false},
    {"SourceAddPath", "Könyvtár hozzáadás", "SourceList", R::AddFolder, "", "", false},
    {"SourceAddHand", "Kézi", "SourceList", R::AddTyped, kSpecPrompt, "", false},
    {"SourceInsert", "Beszúrás", "SourceList", R::Submenu, "", "", true},
    {"SourceInsertFile", "File beszúrás", "SourceList", R::AddFromFiles, "", "", true},
    {"SourceInsertPath", "Könyvtár beszúrás", "SourceList", R::AddFolder, "", "", true},
    {"SourceInsertHand", "Kézi beszúrás", "SourceList", R::AddTyped, kSpecPrompt, "", true},
    {"SourceRename", "Szerkeszt", "SourceList", R::EditListEntry, kEditPrompt, "", false},
    {"SourceDel", "Töröl", "SourceList", R::DeleteListEntry, "", "", false},
    // exclude list
    {"ExtractAdd", "Hozzáadás", "ExtractList", R::Submenu, "", "", false},
    {"ExtractAddFile", "File Hozzáadás", "ExtractList", R::AddFromFiles, "", "", false},
    {"ExtractAddpath", "Könyvtár hozzáadás", "ExtractList", R::AddFolder, "", "", false},
    {"ExtractAddHand", "Kézi", "ExtractList", R::AddTyped, kSpecPrompt, "", false},
    {"ExtractInsert", "Beszúrás", "ExtractList", R::Submenu, "", "", true},
    {"ExtractInsertFile", "File beszúrás", "ExtractList", R::AddFromFiles, "", "", true},
    {"ExtractInsertPath", "Könyvtár beszúrás", "ExtractList", R::AddFolder, "", "", true},
    {"ExtractInsertHand", "Kézi beszúrás", "ExtractList", R::AddTyped, kSpecPrompt, "", true},
    {"ExtractRename", "Szerkeszt", "ExtractList", R::EditListEntry, kEditPrompt, "", false},
    {"ExtractDel", "Töröl", "ExtractList", R::DeleteListEntry, "", "", false},
    // schedule list
    {"TimerAdd", "Hozzáadás", "TimerList", R::AddTyped, "Időzítő neve", "", false},
    {"TimerInsert", "Beszúrás", "TimerList", R::AddTyped, "Időzítő neve", "", true},
    {"TimerRename", "Átnevezés", "TimerList", R::EditListEntry, kEditPrompt, "", false},
    {"TimerDel", "Törlés", "TimerList", R::DeleteListEntry, "", "", false},
    // pre-backup actions
    {"StartAdd", "Hozzáadás", "BeforeList", R::Submenu, "", "", false},
    {"StartPause", "Szünet", "BeforeList", R::AddTyped, "Várakozási idő bevitele (Másodperc)", "PAUSE;%s", false},
    {"StartRun", "Futtatás", "BeforeList", R::AddFromPrograms, kRunPrompt, "EXECUTE;%s;%s", false},
    {"StartRunWait", "Futtatás és várakozás", "BeforeList", R::AddFromPrograms, kRunPrompt, "EXECUTEWAIT;%s;%s",
     false},
    {"StartClose", "Program bezárása", "BeforeList", R::AddTyped, "Felirat vagy osztály név", "CLOSE;%s", false},
    {"StartServiceRun", "Szolgáltatás indítása", "BeforeList", R::AddServiceWithParam, "", "START_SERVICE;%s;%s",
     false},
    {"StartServiceClose", "Szolgáltatás leállítása", "BeforeList", R::AddService, "", "STOP_SERVICE;%s;%s", false},
    {"StartServicePause", "Szolgáltatás felfüggesztése", "BeforeList", R::AddService, "", "PAUSE_SERVICE;%s;%s",
     false},
    {"StartInsert", "Beszúrás", "BeforeList", R::Submenu, "", "", true},
    {"StartInsertPause", "Szünet", "BeforeList", R::AddTyped, "Várakozási idő bevitele (Másodperc)", "PAUSE;%s",
     true},
    {"StartInsertRun", "Futtatás", "BeforeList", R::AddFromPrograms, kRunPrompt, "EXECUTE;%s;%s", true},
    {"StartInsertRunWait", "Futtatás és várakozás", "BeforeList", R::AddFromPrograms, kRunPrompt,
     "EXECUTEWAIT;%s;%s", true},
    {"StartInsertClose", "Program bezárása", "BeforeList", R::AddTyped, "Felirat vagy osztály név", "CLOSE;%s",
     true},
    {"StartInsertServiceRun", "Szolgáltatás indítása", "BeforeList", R::AddServiceWithParam, "",
     "START_SERVICE;%s;%s", true},
    {"StartInsertServiceStop", "Szolgáltatás leállítása", "BeforeList", R::AddService, "", "STOP_SERVICE;%s;%s",
     true},
    {"StartInsertServicePause", "Szolgáltatás felfüggesztése", "BeforeList", R::AddService, "",
     "PAUSE_SERVICE;%s;%s", true},
    {"StartEditor", "Szerkesztés", "BeforeList", R::EditListEntry, kEditPrompt, "", false},
    {"StartDel", "Törlés", "BeforeList", R::DeleteListEntry, "", "", false},
    // post-backup actions
    {"EndAdd", "Hozzáadás", "AfterList", R::Submenu, "", "", false},
    {"EndPause", "Szünet", "AfterList", R::AddTyped, "Várakozási idő bevitele (Másodperc)", "PAUSE;%s", false},
    {"EndRun", "Futtatás", "AfterList", R::AddFromPrograms, kRunPrompt, "EXECUTE;%s;%s", false},
    {"EndRunWait", "Futtatás és várakozás", "AfterList", R::AddFromPrograms, kRunPrompt, "EXECUTEWAIT;%s;%s",
     false},
    {"EndClose", "Program bezárása", "AfterList", R::AddTyped, "Felirat vagy osztály név", "CLOSE;%s", false},
    {"EndServiceRun", "Szolgáltatás indítása", "AfterList", R::AddServiceWithParam, "", "START_SERVICE;%s;%s",
     false},
    {"EndServiceStop", "Szolgáltatás leállítása", "AfterList", R::AddService, "", "STOP_SERVICE;%s;%s", false},
    {"EndServicePause", "Szolgáltatás felfüggesztése", "AfterList", R::AddService, "", "PAUSE_SERVICE;%s;%s",
     false},
    {"EndComputerRestart", "Számítógép újraindítása", "AfterList", R::AddText, "", "RESTART", false},
    {"EndComputerStop", "Számítógép leállítása", "AfterList", R::AddText, "", "SHUTDOWN", false},
    {"EndInsert", "Beszúrás", "AfterList", R::Submenu, "", "", true},
    {"EndInsertPause", "Szünet", "AfterList", R::AddTyped, "Várakozási idő bevitele (Másodperc)", "PAUSE;%s",
     true},
    {"EndInsertRun", "Futtatás", "AfterList", R::AddFromPrograms, kRunPrompt, "EXECUTE;%s;%s", true},
    {"EndInsertRunWait", "Futtatás és várakozás", "AfterList", R::AddFromPrograms, kRunPrompt, "EXECUTEWAIT;%s;%s",
     true},
    {"EndInsertClose", "Program bezárása", "AfterList", R::AddTyped, "Felirat vagy osztály név", "CLOSE;%s", true},
    {"EndInsertServiceRun", "Szolgáltatás indítása", "AfterList", R::AddServiceWithParam, "",
     "START_SERVICE;%s;%s", true},
    {"EndInsertServiceStop", "Szolgáltatás leállítása", "AfterList", R::AddService, "", "STOP_SERVICE;%s;%s",
     true},
    {"EndInsertServicePause", "Szolgáltatás felfüggesztése", "AfterList", R::AddService, "",
     "PAUSE_SERVICE;%s;%s", true},
    {"EndInsertComputerRestart", "Számítógép újraindítása", "AfterList", R::AddText, "", "RESTART", true},
    {"EndInsertComputerStop", "Számítógép leállítása", "AfterList", R::AddText, "", "SHUTDOWN", true},
    {"EndEditor", "Szerkesztés", "AfterList", R::EditListEntry, kEditPrompt, "", false},
    {"EndDel", "Törlés", "AfterList", R::DeleteListEntry, "", "", false},
};

constexpr TMenuRow kSourceMenu[] = {
    {"SourceAdd", nullptr, 0},        {"SourceAddFile", "SourceAdd", 0},       {"SourceAddPath", "SourceAdd", 1},
    {"SourceAddHand", "SourceAdd", 0}, {"SourceInsert", nullptr, 0},           {"SourceInsertFile", "SourceInsert", 0},
    {"SourceInsertPath", "SourceInsert", 4}, {"SourceInsertHand", "SourceInsert", 0}, {"SourceRename", nullptr, 2},
    {"SourceDel", nullptr, 3},
};
constexpr TMenuRow kExtractMenu[] = {
    {"ExtractAdd", nullptr, 0},          {"ExtractAddFile", "ExtractAdd", 0},
    {"ExtractAddpath", "ExtractAdd", 1}, {"ExtractAddHand", "ExtractAdd", 0},
    {"ExtractInsert", nullptr, 0},       {"ExtractInsertFile", "ExtractInsert", 0},
    {"ExtractInsertPath", "ExtractInsert", 4}, {"ExtractInsertHand", "ExtractInsert", 0},
    {"ExtractRename", nullptr, 2},       {"ExtractDel", nullptr, 3},
};
constexpr TMenuRow kTimerMenu[] = {
    {"TimerAdd", nullptr, 1}, {"TimerInsert", nullptr, 4}, {"TimerRename", nullptr, 2}, {"TimerDel", nullptr, 3}};
constexpr TMenuRow kBeforeMenu[] = {
    {"StartAdd", nullptr, 0},
    {"StartPause", "StartAdd", 0},
    {"StartRun", "StartAdd", 1},
    {"StartRunWait", "StartAdd", 0},
    {"StartClose", "StartAdd", 0},
    {"StartServiceRun", "StartAdd", 0},
    {"StartServiceClose", "StartAdd", 0},
    {"StartServicePause", "StartAdd", 0},
    {"StartInsert", nullptr, 0},
    {"StartInsertPause", "StartInsert", 0},
    {"StartInsertRun", "StartInsert", 4},
    {"StartInsertRunWait", "StartInsert", 0},
    {"StartInsertClose", "StartInsert", 0},
    {"StartInsertServiceRun", "StartInsert", 0},
    {"StartInsertServiceStop", "StartInsert", 0},
    {"StartInsertServicePause", "StartInsert", 0},
    {"StartEditor", nullptr, 2},
    {"StartDel", nullptr, 3},
};
constexpr TMenuRow kAfterMenu[] = {
    {"EndAdd", nullptr, 0},
    {"EndPause", "EndAdd", 0},
    {"EndRun", "EndAdd", 1},
    {"EndRunWait", "EndAdd", 0},
    {"EndClose", "EndAdd", 0},
    {"EndServiceRun", "EndAdd", 0},
    {"EndServiceStop", "EndAdd", 0},
    {"EndServicePause", "EndAdd", 0},
    {"EndComputerRestart", "EndAdd", 0},
    {"EndComputerStop", "EndAdd", 0},
    {"EndInsert", nullptr, 0},
    {"EndInsertPause", "EndInsert", 0},
    {"EndInsertRun", "EndInsert", 4},
    {"EndInsertRunWait", "EndInsert", 0},
    {"EndInsertClose", "EndInsert", 0},
    {"EndInsertServiceRun", "EndInsert", 0},
    {"EndInsertServiceStop", "EndInsert", 0},
    {"EndInsertServicePause", "EndInsert", 0},
    {"EndInsertComputerRestart", "EndInsert", 0},
    {"EndInsertComputerStop", "EndInsert", 0},
    {"EndEditor", nullptr, 2},
    {"EndDel", nullptr, 3},
};

constexpr const char* kSourceBar[] = {"SourceAddFile", "SourceAddPath", "SourceAddHand", "SourceRename", "SourceDel"};
constexpr const char* kExtractBar[] = {"ExtractAddFile", "ExtractAddpath", "ExtractAddHand", "ExtractRename",
                                       "ExtractDel"};
constexpr const char* kTimerBar[] = {"TimerAdd", "TimerRename", "TimerDel"};
constexpr const char* kBeforeBar[] = {"StartEditor", "StartDel"};
constexpr const char* kBeforeSide[] = {"StartPause",      "StartRun",          "StartRunWait",     "StartClose",
                                       "StartServiceRun", "StartServiceClose", "StartServicePause"};
constexpr const char* kAfterBar[] = {"EndEditor", "EndDel"};
constexpr const char* kAfterSide[] = {"EndPause",       "EndRun",          "EndRunWait",         "EndClose",
                                      "EndServiceRun",  "EndServiceStop",  "EndServicePause",    "EndComputerRestart",
                                      "EndComputerStop"};

const TListRow kLists[kListCount] = {
    {"SourceList", "Forrás", "SourcePage", "AddFiles;Item;*.*", "SourcePopupMenu", 16, true, true, kSourceMenu,
     kSourceBar, {}},
    {"ExtractList", "Kihagyás", "ExtractPage", "ExtractFiles;Item", "ExtractPopupMenu", 20, true, true, kExtractMenu,
     kExtractBar, {}},
    {"TimerList", "Ütemezés", "TabSheet3", "TimerList;Item", "TimerPopupMenu", kScheduleImage, false, false,
     kTimerMenu, kTimerBar, {}},
    {"BeforeList", "Mentés előtti feladatok", "BeforePage", "BeginFuncList;Item", "BeforeSavePopup", kActionImage,
     false, true, kBeforeMenu, kBeforeBar, kBeforeSide},
    {"AfterList", "Mentés utáni feladatok", "AfterPage", "EndFuncList;Item", "AfterSavePopup", kActionImage, false,
     true, kAfterMenu, kAfterBar, kAfterSide},
};

// The open-file dialog's program filter: folders, files the user may run,
// and the given name patterns; the second filter shows every file.
class TProgramFilter : public QSortFilterProxyModel {
public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void SetActive(bool active) {
    active_ = active;
    invalidateFilter();
  }

protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
    if (!active_ || files == nullptr) return true;
    const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
    if (info.isDir() || info.isExecutable()) return true;
    const QString suffix = info.suffix().toLower();
    return suffix == QLatin1String("exe") || suffix == QLatin1String("com") || suffix == QLatin1String("bat");
  }

private:
  bool active_ = true;
};

const QString kProgramFilter = QStringLiteral("Futtatható programok (*)");
const QString kAllFilter = QStringLiteral("Minden program (*)");

// An input box with the program's caption; false on Cancel.
bool InputBox(QWidget* parent, const QString& prompt, QString& value) {
  QInputDialog box(parent);
  box.setWindowTitle(QStringLiteral("Backup"));
  box.setLabelText(prompt);
  box.setTextValue(value);
  if (box.exec() != QDialog::Accepted) return false;
  value = box.textValue();
  return true;
}

// The pattern with its first "%s" replaced by the text and its second by the
// parameter; the text alone without a pattern.
std::string ApplyPattern(const std::string& pattern, const std::string& text, const std::string& parameter) {
  if (pattern.empty()) return text;
  std::string result;
  int used = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (used < 2 && pattern.compare(i, 2, "%s") == 0) {
      result += used == 0 ? text : parameter;
      ++used;
      ++i;
    } else {
      result += pattern[i];
    }
  }
  return result;
}

[[noreturn]] void FailExistingName() { throw EZkError("Létező név!"); }

// Walks the menu from its last entry to its first; the first entry with
// the tag, or found in an entry's submenu, ends the walk and is clicked
// when it is enabled.
bool ClickTag(QMenu& menu, int tag) {
  const QList<QAction*> entries = menu.actions();
  for (auto entry = entries.crbegin(); entry != entries.crend(); ++entry) {
    QAction* action = *entry;
    if (!action->data().isNull() && action->data().toInt() == tag) {
      if (action->isEnabled()) action->trigger();
      return true;
    }
    if (action->menu() != nullptr && ClickTag(*action->menu(), tag)) return true;
  }
  return false;
}

}  // namespace

std::span<const TCommandRow> Commands() { return kCommands; }

const TListRow& ListRow(TListIndex index) { return kLists[index]; }

}  // namespace detail

int FileEntryImage(const std::string& text, int base) {
  if (IsFolder(text) || FileNamePart(text) == "*.*") return base + 1;
  return ListFiles(text, platform::faAnyFile).size() == 1 ? base + 2 : base;
}

using detail::TRoutine;

void TZkSetBackupForm::RunCommand(const TCommandRow& command) {
  auto* list = findChild<TZkTreeView*>(QLatin1String(command.List));
  if (list == nullptr || IsLocked()) return;
  const QString prompt = QString::fromUtf8(command.Prompt);
  const std::string pattern = command.Pattern;
  switch (command.Routine) {
    case TRoutine::Submenu:
      return;
    case TRoutine::AddFromFiles:
      AddFromFiles(*list, false, prompt, pattern, command.Insert);
      return;
    case TRoutine::AddFromPrograms:
      AddFromFiles(*list, true, prompt, pattern, command.Insert);
      return;
    case TRoutine::AddFolder:
      AddFolder(*list, command.Insert);
      return;
    case TRoutine::AddTyped:
      AddTyped(*list, prompt, pattern, command.Insert);
      return;
    case TRoutine::AddServiceWithParam:
      AddServiceWithParam(*list, pattern, command.Insert);
      return;
    case TRoutine::AddService:
      AddService(*list, pattern, command.Insert);
      return;
    case TRoutine::AddText:
      if (command.Insert) {
        InsertListEntry(*list, pattern);
      } else {
        AddListEntry(*list, pattern);
      }
      return;
    case TRoutine::EditListEntry:
      EditListEntry(*list, prompt);
      return;
    case TRoutine::DeleteListEntry:
      DeleteListEntry(*list);
      return;
  }
}

void TZkSetBackupForm::ListChanged(TZkTreeView& list) {
  LoadPanel(list);
  UpdateActions();
  owner_.AutoSaveNow();
}

void TZkSetBackupForm::AddListEntry(TZkTreeView& list, const std::string& text) {
  const TDescript d = DescribeList(&list);
  if (d.ListNode == nullptr) return;
  TZkTreeDataNode& added = d.ListNode->AddNode(d.NewEntryName);
  added.AttributeByName("name").SetValue(text);
  // The selection stays where it was: no reload of the panel by the list.
  const QSignalBlocker quiet(list);
  AddTreeEntry(list, added, -1);
  ListChanged(list);
}

void TZkSetBackupForm::InsertListEntry(TZkTreeView& list, const std::string& text) {
  const TDescript d = DescribeList(&list);
  if (d.ListNode == nullptr || d.SelectedIndex < 0) return;
  TZkTreeDataNode& inserted = d.ListNode->InsertNode(d.SelectedIndex, d.NewEntryName);
  inserted.AttributeByName("name").SetValue(text);
  const QSignalBlocker quiet(list);
  AddTreeEntry(list, inserted, list.indexOfTopLevelItem(list.currentItem()));
  ListChanged(list);
}

void TZkSetBackupForm::AddFormatted(TZkTreeView& list, const std::string& text, const std::string& parameter,
                                    const std::string& pattern, bool insert) {
  const std::string entry = detail::ApplyPattern(pattern, text, parameter);
  if (insert) {
    InsertListEntry(list, entry);
  } else {
    AddListEntry(list, entry);
  }
}

bool TZkSetBackupForm::HasText(const TZkTreeView& list, const QString& text, const QTreeWidgetItem* except) const {
  const std::string wanted = ToUtf8(text);
  for (int i = 0; i < list.topLevelItemCount(); ++i) {
    const QTreeWidgetItem* entry = list.topLevelItem(i);
    if (entry != except && SameText(ToUtf8(entry->text(0)), wanted)) return true;
  }
  return false;
}

void TZkSetBackupForm::AddTyped(TZkTreeView& list, const QString& prompt, const std::string& pattern, bool insert) {
  QString typed;
  if (!detail::InputBox(this, prompt, typed)) return;
  // The typed text itself is compared, before the pattern makes it an
  // action: two pauses of the same length are both taken.
  if (HasText(list, typed, nullptr)) detail::FailExistingName();
  AddFormatted(list, ToUtf8(typed), {}, pattern, insert);
}

void TZkSetBackupForm::AddFromFiles(TZkTreeView& list, bool programs, const QString& prompt,
                                    const std::string& pattern, bool insert) {
  QFileDialog dialog(this);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (programs) {
    dialog.setFileMode(QFileDialog::ExistingFile);
    auto* filter = new detail::TProgramFilter(&dialog);
    dialog.setProxyModel(filter);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters({detail::kProgramFilter, detail::kAllFilter});
    connect(&dialog, &QFileDialog::filterSelected, filter,
            [filter](const QString& chosen) { filter->SetActive(chosen == detail::kProgramFilter); });
  } else {
    dialog.setFileMode(QFileDialog::ExistingFiles);
  }
  if (dialog.exec() != QDialog::Accepted) return;
  const QStringList files = dialog.selectedFiles();
  QString parameter;
  if (!prompt.isEmpty() && !detail::InputBox(this, prompt, parameter)) return;
  for (const QString& file : files)
    AddFormatted(list, ToUtf8(QDir::toNativeSeparators(file)), ToUtf8(parameter), pattern, insert);
}

void TZkSetBackupForm::AddFolder(TZkTreeView& list, bool insert) {
  QString folder;
  if (!BrowseForFolder(folder, {}, this)) return;
  AddFormatted(list, JoinPath(ToUtf8(folder), "*.*"), {}, {}, insert);
}

std::string TZkSetBackupForm::ServiceName() {
  if (!owner_.ServiceContext()) throw EZkError("A szolgáltatások listája nem érhető el");
  TZkServiceDlg dialog(*owner_.ServiceContext(), this);
  dialog.SetAction(ServiceAction::saSelect);
  return dialog.Execute() ? dialog.SelectedService() : std::string();
}

void TZkSetBackupForm::AddServiceWithParam(TZkTreeView& list, const std::string& pattern, bool insert) {
  const std::string service = ServiceName();
  if (service.empty()) return;
  QString parameter;
  if (!detail::InputBox(this, QStringLiteral("Program futásának paraméterei"), parameter)) return;
  AddFormatted(list, service, ToUtf8(parameter), pattern, insert);
}

void TZkSetBackupForm::AddService(TZkTreeView& list, const std::string& pattern, bool insert) {
  const std::string service = ServiceName();
  if (!service.empty()) AddFormatted(list, service, {}, pattern, insert);
}

void TZkSetBackupForm::EditListEntry(TZkTreeView& list, const QString& prompt) {
  QTreeWidgetItem* entry = list.currentItem();
  if (entry == nullptr) return;
  QString text = entry->text(0);
  if (detail::InputBox(this, prompt, text)) {
    if (HasText(list, text, entry)) detail::FailExistingName();
  } else {
    text = entry->text(0);
  }
  ListEdited(list, *entry, text);
}

void TZkSetBackupForm::DeleteListEntry(TZkTreeView& list) {
  const TDescript d = DescribeList(&list);
  QTreeWidgetItem* entry = list.currentItem();
  if (entry == nullptr || d.ListNode == nullptr || d.Selected == nullptr) return;
  // The list selects a neighbour by itself, which reloads the panel: the
  // node goes first so that nothing loads from it.
  d.ListNode->DeleteNode(*d.Selected);
  delete entry;
  ListChanged(list);
}

void TZkSetBackupForm::ListEdited(TZkTreeView& list, QTreeWidgetItem& entry, QString& text) {
  TZkTreeDataNode* node = EntryNode(&entry);
  // A duplicate, or a window that may not write, keeps the old text.
  if (node == nullptr || IsLocked() || HasText(list, text, &entry)) {
    text = entry.text(0);
    return;
  }
  node->AttributeByName("name").SetValue(ToUtf8(text));
  entry.setText(0, text);
  RefreshImage(list, entry);
  owner_.AutoSaveNow();
}

void TZkSetBackupForm::ListEntryMoved(TZkTreeView& list, QTreeWidgetItem& entry, int index) {
  const TDescript d = DescribeList(&list);
  TZkTreeDataNode* node = EntryNode(&entry);
  if (d.ListNode == nullptr || node == nullptr) return;
  // The node moves by a copy at its new place; the entry follows the copy.
  TZkTreeDataNodes& entries = d.ListNode->Nodes();
  const int from = node->Index();
  TZkTreeDataNode& moved = entries.InsertNode(index > from ? index + 1 : index, node->Name());
  moved.Assign(*node);
  d.ListNode->DeleteNode(*node);
  SetEntryNode(entry, &moved);
  owner_.AutoSaveNow();
}

void TZkSetBackupForm::ListDropFile(TZkTreeView& list, const QString& fileName) {
  if (ListNode(list) == nullptr || IsLocked()) return;
  AddListEntry(list, ToUtf8(fileName));
}

void TZkSetBackupForm::ClickByTag(QMenu& menu, int tag) { detail::ClickTag(menu, tag); }

void TZkSetBackupForm::RefreshImage(TZkTreeView& list, QTreeWidgetItem& entry) const {
  for (std::size_t i = 0; i < detail::kListCount; ++i) {
    const detail::TListRow& row = detail::ListRow(static_cast<detail::TListIndex>(i));
    if (list.objectName() != QLatin1String(row.Name)) continue;
    const int image = row.FileList ? FileEntryImage(ToUtf8(entry.text(0)), row.ImageBase) : row.ImageBase;
    SetEntryImage(entry, image);
    return;
  }
}

}  // namespace zk::ui

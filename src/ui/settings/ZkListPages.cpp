#include "ui/settings/ZkListPages.h"

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

#include <utility>

#include "base/ZkError.h"
#include "base/ZkText.h"
#include "store/ZkTreeData.h"
#include "ui/app/ZkQtText.h"
#include "ui/controls/ZkTreeView.h"
#include "ui/files/ZkBrowseFolder.h"
#include "ui/services/ZkServiceDlg.h"
#include "ui/settings/ZkBinding.h"
#include "ui/settings/ZkJobAccess.h"
#include "ui/settings/ZkListRows.h"
#include "util/ZkUtil.h"
#include "util/ZkUtilFile.h"

namespace zk::ui {
namespace {

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

// True when the walk ended in this menu or one of its submenus.
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

void ClickByTag(QMenu& menu, int tag) { ClickTag(menu, tag); }

TZkListPages::TZkListPages(QWidget& window, TZkJobAccess& jobs, std::function<void(TZkTreeView&)> listChanged)
    : window_(window), jobs_(jobs), listChanged_(std::move(listChanged)) {}

using detail::TRoutine;

void TZkListPages::RunCommand(const detail::TCommandRow& command) {
  auto* list = window_.findChild<TZkTreeView*>(QLatin1String(command.List));
  if (list == nullptr || jobs_.IsLocked()) return;
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

void TZkListPages::AddListEntry(TZkTreeView& list, const std::string& text) {
  const TDescript d = detail::DescribeList(list);
  if (d.ListNode == nullptr) return;
  TZkTreeDataNode& added = d.ListNode->AddNode(d.NewEntryName);
  added.AttributeByName("name").SetValue(text);
  // The selection stays where it was: no reload of the panel by the list.
  const QSignalBlocker quiet(list);
  detail::AddTreeEntry(list, added, -1);
  listChanged_(list);
}

void TZkListPages::InsertListEntry(TZkTreeView& list, const std::string& text) {
  const TDescript d = detail::DescribeList(list);
  if (d.ListNode == nullptr || d.SelectedIndex < 0) return;
  TZkTreeDataNode& inserted = d.ListNode->InsertNode(d.SelectedIndex, d.NewEntryName);
  inserted.AttributeByName("name").SetValue(text);
  const QSignalBlocker quiet(list);
  detail::AddTreeEntry(list, inserted, list.indexOfTopLevelItem(list.currentItem()));
  listChanged_(list);
}

void TZkListPages::AddFormatted(TZkTreeView& list, const std::string& text, const std::string& parameter,
                                    const std::string& pattern, bool insert) {
  const std::string entry = ApplyPattern(pattern, text, parameter);
  if (insert) {
    InsertListEntry(list, entry);
  } else {
    AddListEntry(list, entry);
  }
}

bool TZkListPages::HasText(const TZkTreeView& list, const QString& text, const QTreeWidgetItem* except) const {
  const std::string wanted = ToUtf8(text);
  for (int i = 0; i < list.topLevelItemCount(); ++i) {
    const QTreeWidgetItem* entry = list.topLevelItem(i);
    if (entry != except && SameText(ToUtf8(entry->text(0)), wanted)) return true;
  }
  return false;
}

void TZkListPages::AddTyped(TZkTreeView& list, const QString& prompt, const std::string& pattern, bool insert) {
  QString typed;
  if (!InputBox(&window_, prompt, typed)) return;
  // The typed text itself is compared, before the pattern makes it an
  // action: two pauses of the same length are both taken.
  if (HasText(list, typed, nullptr)) FailExistingName();
  AddFormatted(list, ToUtf8(typed), {}, pattern, insert);
}

void TZkListPages::AddFromFiles(TZkTreeView& list, bool programs, const QString& prompt,
                                    const std::string& pattern, bool insert) {
  QFileDialog dialog(&window_);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (programs) {
    dialog.setFileMode(QFileDialog::ExistingFile);
    auto* filter = new TProgramFilter(&dialog);
    dialog.setProxyModel(filter);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters({kProgramFilter, kAllFilter});
    QObject::connect(&dialog, &QFileDialog::filterSelected, filter,
                     [filter](const QString& chosen) { filter->SetActive(chosen == kProgramFilter); });
  } else {
    dialog.setFileMode(QFileDialog::ExistingFiles);
  }
  if (dialog.exec() != QDialog::Accepted) return;
  const QStringList files = dialog.selectedFiles();
  QString parameter;
  if (!prompt.isEmpty() && !InputBox(&window_, prompt, parameter)) return;
  for (const QString& file : files)
    AddFormatted(list, ToUtf8(QDir::toNativeSeparators(file)), ToUtf8(parameter), pattern, insert);
}

void TZkListPages::AddFolder(TZkTreeView& list, bool insert) {
  QString folder;
  if (!BrowseForFolder(folder, {}, &window_)) return;
  AddFormatted(list, JoinPath(ToUtf8(folder), "*.*"), {}, {}, insert);
}

std::string TZkListPages::ServiceName() {
  if (!jobs_.ServiceContext()) throw EZkError("A szolgáltatások listája nem érhető el");
  TZkServiceDlg dialog(*jobs_.ServiceContext(), &window_);
  dialog.SetAction(ServiceAction::saSelect);
  return dialog.Execute() ? dialog.SelectedService() : std::string();
}

void TZkListPages::AddServiceWithParam(TZkTreeView& list, const std::string& pattern, bool insert) {
  const std::string service = ServiceName();
  if (service.empty()) return;
  QString parameter;
  if (!InputBox(&window_, QStringLiteral("Program futásának paraméterei"), parameter)) return;
  AddFormatted(list, service, ToUtf8(parameter), pattern, insert);
}

void TZkListPages::AddService(TZkTreeView& list, const std::string& pattern, bool insert) {
  const std::string service = ServiceName();
  if (!service.empty()) AddFormatted(list, service, {}, pattern, insert);
}

void TZkListPages::EditListEntry(TZkTreeView& list, const QString& prompt) {
  QTreeWidgetItem* entry = list.currentItem();
  if (entry == nullptr) return;
  QString text = entry->text(0);
  if (InputBox(&window_, prompt, text)) {
    if (HasText(list, text, entry)) FailExistingName();
  } else {
    text = entry->text(0);
  }
  ListEdited(list, *entry, text);
}

void TZkListPages::DeleteListEntry(TZkTreeView& list) {
  const TDescript d = detail::DescribeList(list);
  QTreeWidgetItem* entry = list.currentItem();
  if (entry == nullptr || d.ListNode == nullptr || d.Selected == nullptr) return;
  // The list selects a neighbour by itself, which reloads the panel: the
  // node goes first so that nothing loads from it.
  d.ListNode->DeleteNode(*d.Selected);
  delete entry;
  listChanged_(list);
}

void TZkListPages::ListEdited(TZkTreeView& list, QTreeWidgetItem& entry, QString& text) {
  TZkTreeDataNode* node = EntryNode(&entry);
  // A duplicate, or a window that may not write, keeps the old text.
  if (node == nullptr || jobs_.IsLocked() || HasText(list, text, &entry)) {
    text = entry.text(0);
    return;
  }
  node->AttributeByName("name").SetValue(ToUtf8(text));
  entry.setText(0, text);
  detail::RefreshImage(list, entry);
  jobs_.AutoSaveNow();
}

void TZkListPages::ListEntryMoved(TZkTreeView& list, QTreeWidgetItem& entry, int index) {
  const TDescript d = detail::DescribeList(list);
  TZkTreeDataNode* node = EntryNode(&entry);
  if (d.ListNode == nullptr || node == nullptr) return;
  // The node moves by a copy at its new place; the entry follows the copy.
  TZkTreeDataNodes& entries = d.ListNode->Nodes();
  const int from = node->Index();
  TZkTreeDataNode& moved = entries.InsertNode(index > from ? index + 1 : index, node->Name());
  moved.Assign(*node);
  d.ListNode->DeleteNode(*node);
  SetEntryNode(entry, &moved);
  jobs_.AutoSaveNow();
}

void TZkListPages::ListDropFile(TZkTreeView& list, const QString& fileName) {
  if (ListNode(list) == nullptr || jobs_.IsLocked()) return;
  AddListEntry(list, ToUtf8(fileName));
}

}  // namespace zk::ui

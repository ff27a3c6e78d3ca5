#pragma once
// The job settings window ("Tarnel backup"): one job of the job document
// edited in place. Every control names the node it stands for in its hint;
// the window loads them all through one binder and writes each change back
// at once, so there is no OK and no Cancel. The pages are declared as tables
// of their controls and commands.

#include <QDialog>
#include <QHash>
#include <QString>

#include <cstddef>
#include <span>
#include <string>

#include "ui/ZkSetBackupDlg.h"

class QAction;
class QGridLayout;
class QToolBar;
class QMenu;
class QTabWidget;
class QTreeWidgetItem;

namespace zk {
class TZkTreeDataNode;
}

namespace zk::ui {

class TZkTreeView;

namespace detail {
// The tables the pages are declared in (ZkSetBackupForm.cpp, ZkListPages.cpp).
struct TControlRow;
struct TCommandRow;
struct TListRow;
enum class THandler;
}  // namespace detail

// What the list routines act on: a bound list, or the job level when View
// is none.
struct TDescript {
  std::string ListKey;
  std::string NewEntryName;
  TZkTreeView* View = nullptr;
  TZkTreeDataNode* ListNode = nullptr;
  TZkTreeDataNode* Selected = nullptr;
  // The position of Selected among the children of ListNode, -1 for none.
  int SelectedIndex = -1;
};

// The image an entry of a file list shows: base + 1 for a folder or a
// "*.*" mask, base + 2 for a name that matches exactly one directory entry,
// base otherwise. The include list's base is 16, the exclude list's 20.
int FileEntryImage(const std::string& text, int base);

class TZkSetBackupForm : public QDialog {
  Q_OBJECT

public:
  explicit TZkSetBackupForm(TZkSetBackupDlg& owner);
  ~TZkSetBackupForm() override;

  TZkSetBackupDlg& Owner() const { return owner_; }
  // Control changes reach the document only while this is on: never while a
  // control is being loaded.
  bool Binding() const { return binding_; }

  // Loads every control from the selected job in one batch of changes that
  // leaves the document unmodified; a load that fails leaves the job as it
  // was and passes the failure on.
  void LoadAll();
  void UpdateActions();
  void ApplyOptions(TBackupOptions options);
  // True unless the window may change the job: not read-only, a job file
  // open and a job selected.
  bool IsLocked() const;

  TZkTreeDataNode* JobsNode() const;
  TZkTreeDataNode* CurrentJobNode() const;
  TDescript DescribeList(TZkTreeView* list) const;

  // The command of that name ("SourceAddFile"), for the pages and the tests.
  QAction& Command(const QString& name) const;

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  using TControlRow = detail::TControlRow;
  using TCommandRow = detail::TCommandRow;
  using TListRow = detail::TListRow;
  using THandler = detail::THandler;

  // Building the pages from their tables.
  void AddRows(QWidget& container, QGridLayout& grid, const TControlRow* rows, std::size_t count);
  template <std::size_t N>
  QWidget* BuildPage(const TControlRow (&rows)[N], const char* name);
  QWidget* BuildOutputPages(const char* name, QWidget* save, QWidget* duplicate, const char* saveName,
                            const char* duplicateName);
  QWidget* BuildFilePage(const TListRow& list);
  QWidget* BuildSchedulePage();
  QWidget* BuildParameterPage();
  QWidget* BuildActionPage(const TListRow& list);
  TZkTreeView& BuildList(QWidget& page, const TListRow& list);
  QToolBar& BuildToolBar(QWidget& page, std::span<const char* const> commands, Qt::Orientation orientation);
  void BuildCommands();
  void Connect(QWidget& control, THandler handler);
  QWidget& Control(const char* name) const;

  // The binding.
  void LoadControls(QWidget& container, TZkTreeDataNode* node);
  void LoadControl(QWidget& control, TZkTreeDataNode* node);
  void DataChange(QWidget& sender);
  void BindList(TZkTreeView& list, TZkTreeDataNode* node);
  void FillTree(TZkTreeView& list, TZkTreeDataNode* listNode);
  void AddTreeEntry(TZkTreeView& list, TZkTreeDataNode& node, int position);
  void ListChange(TZkTreeView& list);
  void LoadPanel(TZkTreeView& list);
  void PackModeClick(QWidget& sender);
  void TimerTipusClick(QWidget& sender);
  void TimerExtSavingClick(QWidget& sender);
  void RadioGroup2Click(QWidget& sender);
  void Panel7Resize();

  // The list commands.
  void RunCommand(const TCommandRow& command);
  void AddListEntry(TZkTreeView& list, const std::string& text);
  void InsertListEntry(TZkTreeView& list, const std::string& text);
  void AddFormatted(TZkTreeView& list, const std::string& text, const std::string& parameter,
                    const std::string& pattern, bool insert);
  void AddTyped(TZkTreeView& list, const QString& prompt, const std::string& pattern, bool insert);
  void AddFromFiles(TZkTreeView& list, bool programs, const QString& prompt, const std::string& pattern,
                    bool insert);
  void AddFolder(TZkTreeView& list, bool insert);
  void AddServiceWithParam(TZkTreeView& list, const std::string& pattern, bool insert);
  void AddService(TZkTreeView& list, const std::string& pattern, bool insert);
  void EditListEntry(TZkTreeView& list, const QString& prompt);
  void DeleteListEntry(TZkTreeView& list);
  void ListEdited(TZkTreeView& list, QTreeWidgetItem& entry, QString& text);
  void ListEntryMoved(TZkTreeView& list, QTreeWidgetItem& entry, int index);
  void ListDropFile(TZkTreeView& list, const QString& fileName);
  void ClickByTag(QMenu& menu, int tag);
  bool HasText(const TZkTreeView& list, const QString& text, const QTreeWidgetItem* except) const;
  void RefreshImage(TZkTreeView& list, QTreeWidgetItem& entry) const;
  // Ends every command that changed a list: the panel, the commands, the file.
  void ListChanged(TZkTreeView& list);
  std::string ServiceName();

  TZkSetBackupDlg& owner_;
  bool binding_ = false;
  QTabWidget* pages_ = nullptr;
  QHash<QString, QAction*> commands_;
  QHash<TZkTreeView*, QMenu*> popupMenus_;
};

}  // namespace zk::ui

#pragma once
// The job settings window ("Tarnel backup"): one job of the job document
// edited in place. Every control names the node it stands for in its hint;
// the window loads them all through one binder and writes each change back
// at once, so there is no OK and no Cancel. The pages are declared as tables
// of their controls and commands.

#include <QDialog>
#include <QHash>
#include <QString>

#include <functional>
#include <initializer_list>
#include <memory>
#include <span>

#include "ui/settings/ZkJobAccess.h"
#include "ui/settings/ZkListRows.h"

class QAction;
class QGridLayout;
class QToolBar;
class QMenu;
class QTabWidget;

namespace zk {
class TZkTreeDataNode;
}

namespace zk::ui {

class TZkListPages;
class TZkTreeView;

namespace detail {
// The rows the pages are declared in (ZkPageRows.h).
struct TControlRow;
enum class THandler;
}  // namespace detail

class TZkSetBackupForm : public QDialog {
  Q_OBJECT

public:
  // The job list component hands itself over as `owner`.
  explicit TZkSetBackupForm(TZkJobAccess& owner);
  ~TZkSetBackupForm() override;

  TZkJobAccess& Owner() const { return owner_; }
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

  // Building the pages from their rows: the general page and the schedule
  // page, each with its controls' handlers, in sources of their own
  // (ZkGeneralPage.cpp, ZkSchedulePage.cpp); the pages of file lists and
  // of actions, and the list every list page holds, in ZkPageLists.cpp.
  // A top-level page that holds tabs only, filled by `fill`.
  void AddTabbedPage(const char* name, const char* tabsName, const QString& caption,
                     const std::function<void(QTabWidget&)>& fill);
  // A top-level page with a tab for each of the lists, built by `build`.
  void AddListPages(const char* name, const char* tabsName, const QString& caption,
                    std::initializer_list<detail::TListIndex> lists,
                    QWidget* (TZkSetBackupForm::*build)(const TListRow&));
  void AddRows(QWidget& container, QGridLayout& grid, std::span<const TControlRow> rows);
  QWidget* BuildPage(std::span<const TControlRow> rows, const char* name);
  void AddGeneralPage();
  // Under the remote target's field: the configured remotes, the target tested.
  void AddRemoteButtons(QWidget& page);
  QWidget* BuildFilePage(const TListRow& list);
  void AddSchedulePage();
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
  void ListChange(TZkTreeView& list);
  void LoadPanel(TZkTreeView& list);
  // Ends every command that changed a list: the panel, the commands, the file.
  void ListChanged(TZkTreeView& list);
  void PackModeClick(QWidget& sender);
  void TimerTipusClick(QWidget& sender);
  void TimerExtSavingClick(QWidget& sender);
  void RadioGroup2Click(QWidget& sender);
  void Panel7Resize();

  TZkJobAccess& owner_;
  bool binding_ = false;
  QTabWidget* pages_ = nullptr;
  QHash<QString, QAction*> commands_;
  QHash<TZkTreeView*, QMenu*> popupMenus_;
  std::unique_ptr<TZkListPages> listPages_;
};

}  // namespace zk::ui

#pragma once
// The service list dialog: the services of a machine in a report list, to
// pick one or several of them or to start, stop, pause and continue them
// from a context menu. The dialog knows only the service control interface
// its creator hands in: the program gives the system's, the tests a fake.

#include <QDialog>
#include <QObject>
#include <QRect>
#include <QString>
#include <exception>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "store/Published.h"
#include "system/ZkService.h"

class QAction;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace zk::ui {

enum class ServiceAction { saSelect, saMultiSelect, saControl };
// The optional columns of the list; the service name is always shown.
enum class ServiceColumn { scDisplayName, scState, scStart, scProgram, scDependencies, scOrderGroup, scStartName };
using ServiceColumns = TZkSet<ServiceColumn>;

// The texts the list shows for a state and a start type, and the index of
// the state's image (1 for running, 0 for the rest).
QString ServiceStateText(TServiceCurrentState state);
int ServiceStateImage(TServiceCurrentState state);
QString ServiceStartText(TServiceStart start);

// The window of the dialog, created for one Execute. The list has a row per
// service of ServiceCtrl; its columns are the name and the optional columns
// asked for, in column order.
class TZkServiceForm : public QDialog {
  Q_OBJECT

public:
  // The index of each list column, whether shown or not.
  enum TListColumn { lcName, lcDisplayName, lcState, lcStart, lcProgram, lcDependencies, lcOrderGroup, lcStartName };
  static constexpr int kListColumnCount = 8;

  // The manager and sleeper come from `context`; the window shows its own
  // busy cursor while a service operation waits.
  TZkServiceForm(const TZkServiceContext& context, ServiceAction action, ServiceColumns columns,
                 QWidget* parent = nullptr);
  ~TZkServiceForm() override;

  TZkServiceCtrl& ServiceCtrl() { return serviceCtrl_; }
  QTreeWidget& ListView() { return *listView_; }
  QMenu& PopupMenu() { return *popupMenu_; }
  // The list column that shows `column`, -1 when it is not shown.
  int ShownColumn(TListColumn column) const;
  // The service names of the selected rows, in list order.
  std::vector<std::string> SelectedNames() const;
  // A service operation runs: the window waits to close until it ends.
  bool Busy() const { return worker_.joinable(); }

  // Closing waits for a running operation: the window closes when it ends.
  void done(int result) override;

protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // Hands the busy cursor to the window's thread: a service operation shows
  // and restores it from its worker thread.
  class TWindowWaitCursor final : public TZkWaitCursor {
  public:
    explicit TWindowWaitCursor(TZkServiceForm& form) : form_(form) {}
    void Show() override;
    void Restore() override;

  private:
    TZkServiceForm& form_;
  };

  using TOperation = bool (TZkServiceItem::*)() const;

  void FillList();
  void ShowState(QTreeWidgetItem& row, const TZkServiceItem& service);
  // The menu for the selected service, at `position` of the list's viewport.
  void OpenPopupMenu(const QPoint& position);
  TZkServiceItem* SelectedService() const;
  void RunOperation(TOperation operation);
  void FinishOperation(int serviceIndex, const std::exception_ptr& error);
  void ChangeWaitCursor(int delta);

  ServiceAction action_;
  ServiceColumns columns_;
  TWindowWaitCursor waitCursor_;
  TZkServiceContext context_;
  TZkServiceCtrl serviceCtrl_;
  std::vector<TListColumn> shownColumns_;
  QTreeWidget* listView_ = nullptr;
  QMenu* popupMenu_ = nullptr;
  QAction* startItem_ = nullptr;
  QAction* stopItem_ = nullptr;
  QAction* pauseItem_ = nullptr;
  QAction* continueItem_ = nullptr;
  // The index of the service the menu was last opened for.
  int menuService_ = -1;
  std::thread worker_;
  // Closing asked for while an operation ran, with the result to close with.
  std::optional<int> pendingClose_;
  int waitCursorDepth_ = 0;
};

// The dialog component: its settings, the services last selected, and the
// bounds its window had when it last closed.
class TZkServiceDlg : public QObject {
  Q_OBJECT

public:
  // The context must outlive the component. The window is placed over the
  // owner's window when the owner is a widget.
  explicit TZkServiceDlg(const TZkServiceContext& context, QObject* owner = nullptr);
  ~TZkServiceDlg() override;

  ServiceAction Action() const { return action_; }
  void SetAction(ServiceAction value) { action_ = value; }
  // The machine whose services are listed; empty for this one.
  const std::string& ServerName() const { return serverName_; }
  void SetServerName(const std::string& value) { serverName_ = value; }
  TServiceSorting Sorting() const { return sorting_; }
  void SetSorting(TServiceSorting value) { sorting_ = value; }
  TServiceType ServiceType() const { return serviceType_; }
  void SetServiceType(TServiceType value) { serviceType_ = value; }
  TServiceState ServiceState() const { return serviceState_; }
  void SetServiceState(TServiceState value) { serviceState_ = value; }
  ServiceColumns Columns() const { return columns_; }
  void SetColumns(ServiceColumns value) { columns_ = value; }

  // The first selected service, empty when none.
  const std::string& SelectedService() const { return selectedService_; }
  // Every selected service, in list order.
  const std::vector<std::string>& SelectedServices() const { return selectedServices_; }
  // Where the window was when it last closed; none before the first close.
  const std::optional<QRect>& LastBounds() const { return lastBounds_; }
  // The window while it is shown, null otherwise.
  TZkServiceForm* Form() const { return form_; }

  // Shows the window modally. True for saControl however it closed, and for
  // the select actions when a service was selected in this window.
  bool Execute();

private:
  void TakeSelection();

  TZkServiceContext context_;
  ServiceAction action_ = ServiceAction::saControl;
  std::string serverName_;
  TServiceSorting sorting_ = TServiceSorting::ssServiceName;
  TServiceType serviceType_ = TServiceType::stWIN32;
  TServiceState serviceState_ = TServiceState::ssAll;
  ServiceColumns columns_{ServiceColumn::scDisplayName, ServiceColumn::scState};
  std::string selectedService_;
  std::vector<std::string> selectedServices_;
  std::optional<QRect> lastBounds_;
  TZkServiceForm* form_ = nullptr;
};

}  // namespace zk::ui

#include "ui/services/ZkServiceDlg.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <utility>

#include "ui/app/ZkApplication.h"
#include "ui/app/ZkQtText.h"
#include "ui/app/ZkUiResources.h"

namespace zk::ui {
namespace {

// The images of the states: index 1 is running, index 0 every other state.
QIcon StateIcon(int image) {
  LoadUiResources();
  static const std::array<QIcon, 2> icons = {QIcon(QStringLiteral(":/services/icons/service-stopped.svg")),
                                             QIcon(QStringLiteral(":/services/icons/service-running.svg"))};
  return icons.at(static_cast<std::size_t>(image));
}

struct TColumnInfo {
  const char* Caption;
  // The optional column it shows; none for the name.
  std::optional<ServiceColumn> Column;
};

constexpr std::array<TColumnInfo, TZkServiceForm::kListColumnCount> kColumns = {{
    {"Szolgáltatás neve", std::nullopt},
    {"Szolgáltatás leírása", ServiceColumn::scDisplayName},
    {"Állapot", ServiceColumn::scState},
    {"Indítás típusa", ServiceColumn::scStart},
    {"Program", ServiceColumn::scProgram},
    {"Függőség", ServiceColumn::scDependencies},
    {"Csoport", ServiceColumn::scOrderGroup},
    {"Bejelentkezés mint", ServiceColumn::scStartName},
}};

// The state as the list shows it: a service whose status cannot be read
// counts as stopped.
TServiceCurrentState ShownState(const TZkServiceItem& service) {
  try {
    return service.Status().CurrentState();
  } catch (const EZkServiceError&) {
    return TServiceCurrentState::csStopped;
  }
}

// The cell of a configuration column; raises what reading it raises.
QString ConfigText(const TZkServiceItem& service, TZkServiceForm::TListColumn column) {
  const TZkServiceConfig& config = service.Config();
  switch (column) {
    case TZkServiceForm::lcStart:
      return ServiceStartText(config.StartType());
    case TZkServiceForm::lcProgram:
      return ToQString(config.BinaryPathName());
    case TZkServiceForm::lcDependencies:
      return ToQString(config.Dependencies());
    case TZkServiceForm::lcOrderGroup:
      return ToQString(config.LoadOrderGroup());
    case TZkServiceForm::lcStartName:
      return ToQString(config.ServiceStartName());
    default:
      return {};
  }
}

// No column grows wider than this many average characters on its own; the
// user can still widen it.
constexpr int kMaxColumnChars = 40;
constexpr int kColumnGapChars = 2;

}  // namespace

QString ServiceStateText(TServiceCurrentState state) {
  switch (state) {
    case TServiceCurrentState::csStopped:
      return QStringLiteral("Leállítva");
    case TServiceCurrentState::csStartPending:
      return QStringLiteral("Indítás");
    case TServiceCurrentState::csStopPending:
      return QStringLiteral("Leállítás");
    case TServiceCurrentState::csRunning:
      return QStringLiteral("Elindítva");
    case TServiceCurrentState::csContinuePending:
      return QStringLiteral("Folytatás");
    case TServiceCurrentState::csPausePending:
      return QStringLiteral("Felfüggesztés");
    case TServiceCurrentState::csPaused:
      return QStringLiteral("Felfüggesztve");
  }
  return {};
}

int ServiceStateImage(TServiceCurrentState state) {
  return state == TServiceCurrentState::csRunning ? 1 : 0;
}

QString ServiceStartText(TServiceStart start) {
  switch (start) {
    case TServiceStart::ssBoot:
      return QStringLiteral("Boot");
    case TServiceStart::ssSystem:
      return QStringLiteral("Rendszer");
    case TServiceStart::ssAuto:
      return QStringLiteral("Automatikus");
    case TServiceStart::ssDemand:
      return QStringLiteral("Kézi");
    case TServiceStart::ssDisabled:
      return QStringLiteral("Letiltva");
  }
  return {};
}

// --- TZkServiceForm ----------------------------------------------------------

void TZkServiceForm::TWindowWaitCursor::Show() {
  QMetaObject::invokeMethod(&form_, [form = &form_] { form->ChangeWaitCursor(1); }, Qt::QueuedConnection);
}

void TZkServiceForm::TWindowWaitCursor::Restore() {
  QMetaObject::invokeMethod(&form_, [form = &form_] { form->ChangeWaitCursor(-1); }, Qt::QueuedConnection);
}

TZkServiceForm::TZkServiceForm(const TZkServiceContext& context, ServiceAction action, ServiceColumns columns,
                               QWidget* parent)
    : QDialog(parent),
      action_(action),
      columns_(columns),
      waitCursor_(*this),
      context_{context.Manager, context.Sleeper, &waitCursor_},
      serviceCtrl_(context_) {
  setObjectName(QStringLiteral("ServiceForm"));
  setWindowTitle(QStringLiteral("Szolgáltatások"));
  setSizeGripEnabled(true);
  resize(519, 352);

  serviceCtrl_.SetSorting(TServiceSorting::ssServiceName);
  serviceCtrl_.SetServiceType(TServiceType::stWIN32);
  serviceCtrl_.SetServiceState(TServiceState::ssAll);

  listView_ = new QTreeWidget(this);
  listView_->setObjectName(QStringLiteral("ListView"));
  listView_->setAccessibleName(QStringLiteral("Szolgáltatások"));
  listView_->setRootIsDecorated(false);
  listView_->setItemsExpandable(false);
  listView_->setUniformRowHeights(true);
  listView_->setAllColumnsShowFocus(true);
  listView_->setSelectionBehavior(QAbstractItemView::SelectRows);
  listView_->setSelectionMode(action == ServiceAction::saMultiSelect ? QAbstractItemView::ExtendedSelection
                                                                     : QAbstractItemView::SingleSelection);
  listView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  listView_->setIconSize(QSize(18, 18));
  listView_->header()->setSectionsClickable(false);
  listView_->header()->setSectionsMovable(false);

  for (int column = 0; column < kListColumnCount; ++column) {
    const auto& info = kColumns.at(static_cast<std::size_t>(column));
    if (!info.Column || columns_.Contains(*info.Column)) shownColumns_.push_back(static_cast<TListColumn>(column));
  }
  QStringList captions;
  for (const TListColumn column : shownColumns_)
    captions << QString::fromUtf8(kColumns.at(static_cast<std::size_t>(column)).Caption);
  listView_->setColumnCount(static_cast<int>(captions.size()));
  listView_->setHeaderLabels(captions);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(listView_);

  popupMenu_ = new QMenu(this);
  popupMenu_->setObjectName(QStringLiteral("PopupMenu"));
  const auto addItem = [this](const char* name, const QString& caption, TOperation operation) {
    QAction* item = popupMenu_->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    connect(item, &QAction::triggered, this, Guarded([this, operation](bool) { RunOperation(operation); }));
    return item;
  };
  startItem_ = addItem("StartItem", QStringLiteral("Indítás"), &TZkServiceItem::Start);
  stopItem_ = addItem("StopItem", QStringLiteral("Leállítás"), &TZkServiceItem::Stop);
  pauseItem_ = addItem("PauseItem", QStringLiteral("Felfüggesztés"), &TZkServiceItem::Pause);
  continueItem_ = addItem("ContinueItem", QStringLiteral("Folytatás"), &TZkServiceItem::Continue);

  // The menu comes from the list itself (the keyboard's menu key) and from
  // its viewport (the mouse).
  listView_->installEventFilter(this);
  listView_->viewport()->installEventFilter(this);

  connect(listView_, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (action_ != ServiceAction::saControl && !listView_->selectedItems().isEmpty()) close();
  });
}

TZkServiceForm::~TZkServiceForm() {
  // The operation works on this window's services.
  if (worker_.joinable()) worker_.join();
}

int TZkServiceForm::ShownColumn(TListColumn column) const {
  for (std::size_t i = 0; i < shownColumns_.size(); ++i)
    if (shownColumns_[i] == column) return static_cast<int>(i);
  return -1;
}

std::vector<std::string> TZkServiceForm::SelectedNames() const {
  std::vector<std::string> names;
  for (int row = 0; row < listView_->topLevelItemCount(); ++row)
    if (listView_->topLevelItem(row)->isSelected()) names.push_back(serviceCtrl_.Items(row).ServiceName());
  return names;
}

void TZkServiceForm::done(int result) {
  if (Busy()) {
    pendingClose_ = result;
    return;
  }
  QDialog::done(result);
}

void TZkServiceForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FillList();
}

bool TZkServiceForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ContextMenu && (watched == listView_ || watched == listView_->viewport())) {
    const auto* request = static_cast<QContextMenuEvent*>(event);
    if (request->reason() == QContextMenuEvent::Mouse) {
      // Only a click over a row asks for the menu.
      const QPoint position = listView_->viewport()->mapFrom(static_cast<QWidget*>(watched), request->pos());
      if (listView_->itemAt(position) != nullptr) Guarded([this, position] { OpenPopupMenu(position); })();
    } else if (QTreeWidgetItem* current = listView_->currentItem()) {
      const QPoint position = listView_->visualItemRect(current).center();
      Guarded([this, position] { OpenPopupMenu(position); })();
    }
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TZkServiceForm::FillList() {
  serviceCtrl_.Refresh();
  listView_->clear();
  const TZkServiceList& services = serviceCtrl_.Services();
  for (int index = 0; index < services.Count(); ++index) {
    const TZkServiceItem& service = services.Items(index);
    auto* row = new QTreeWidgetItem(listView_);
    row->setText(ShownColumn(lcName), ToQString(service.ServiceName()));
    if (const int column = ShownColumn(lcDisplayName); column >= 0)
      row->setText(column, ToQString(service.ServiceDisplayName()));
    ShowState(*row, service);
    // A configuration that cannot be read (access denied) leaves the row
    // with what it has: its configuration cells stay empty.
    try {
      for (const TListColumn column : shownColumns_)
        if (column >= lcStart) row->setText(ShownColumn(column), ConfigText(service, column));
    } catch (const EZkServiceError&) {
    }
  }
  // Each column as wide as its widest cell, with a gap before the next one;
  // the last one takes the rest of the width.
  const int gap = fontMetrics().averageCharWidth() * kColumnGapChars;
  const int widest = fontMetrics().averageCharWidth() * kMaxColumnChars;
  for (int column = 0; column + 1 < listView_->columnCount(); ++column) {
    listView_->resizeColumnToContents(column);
    listView_->setColumnWidth(column, std::min(listView_->columnWidth(column) + gap, widest));
  }
}

void TZkServiceForm::ShowState(QTreeWidgetItem& row, const TZkServiceItem& service) {
  const TServiceCurrentState state = ShownState(service);
  row.setIcon(ShownColumn(lcName), StateIcon(ServiceStateImage(state)));
  if (const int column = ShownColumn(lcState); column >= 0) row.setText(column, ServiceStateText(state));
}

TZkServiceItem* TZkServiceForm::SelectedService() const {
  QTreeWidgetItem* row = listView_->currentItem();
  if (row == nullptr || !row->isSelected()) {
    const QList<QTreeWidgetItem*> selected = listView_->selectedItems();
    row = selected.isEmpty() ? nullptr : selected.first();
  }
  return row != nullptr ? &serviceCtrl_.Items(listView_->indexOfTopLevelItem(row)) : nullptr;
}

void TZkServiceForm::OpenPopupMenu(const QPoint& position) {
  // While an operation runs its service belongs to the worker; with no row
  // selected there is nothing to act on.
  if (action_ != ServiceAction::saControl || Busy()) return;
  const TZkServiceItem* service = SelectedService();
  if (service == nullptr) return;
  startItem_->setEnabled(service->IsStopped());
  stopItem_->setEnabled(service->CanStop() && service->IsRunning());
  pauseItem_->setEnabled(service->CanPauseContinue() && !service->IsPaused());
  continueItem_->setEnabled(service->CanPauseContinue() && service->IsPaused());
  menuService_ = service->Index();
  popupMenu_->popup(listView_->viewport()->mapToGlobal(position));
}

void TZkServiceForm::RunOperation(TOperation operation) {
  // The menu acts on the service it was opened for, whatever the selection
  // has become since.
  const int index = menuService_;
  const TZkServiceItem* service = &serviceCtrl_.Items(index);
  // The wait for the new state may be long: it runs on a thread of its own
  // so that the window goes on painting, and the result comes back queued.
  worker_ = std::thread([this, service, operation, index] {
    std::exception_ptr error;
    try {
      (service->*operation)();
    } catch (...) {
      error = std::current_exception();
    }
    QMetaObject::invokeMethod(
        this, [this, index, error] { FinishOperation(index, error); }, Qt::QueuedConnection);
  });
}

void TZkServiceForm::FinishOperation(int serviceIndex, const std::exception_ptr& error) {
  worker_.join();
  if (QTreeWidgetItem* row = listView_->topLevelItem(serviceIndex)) ShowState(*row, serviceCtrl_.Items(serviceIndex));
  if (error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& failure) {
      TZkApplication::ShowError(failure);
    }
  }
  if (const std::optional<int> result = std::exchange(pendingClose_, std::nullopt)) QDialog::done(*result);
}

void TZkServiceForm::ChangeWaitCursor(int delta) {
  waitCursorDepth_ += delta;
  if (waitCursorDepth_ > 0)
    setCursor(Qt::WaitCursor);
  else
    unsetCursor();
}

// --- TZkServiceDlg -----------------------------------------------------------

TZkServiceDlg::TZkServiceDlg(const TZkServiceContext& context, QObject* owner) : QObject(owner), context_(context) {}

TZkServiceDlg::~TZkServiceDlg() = default;

bool TZkServiceDlg::Execute() {
  // Only what is selected in this window counts: a selection left from an
  // earlier Execute would make a window closed without a choice report one.
  selectedService_.clear();
  selectedServices_.clear();

  auto* ownerWidget = qobject_cast<QWidget*>(parent());
  TZkServiceForm form(context_, action_, columns_, ownerWidget != nullptr ? ownerWidget->window() : nullptr);
  form_ = &form;
  const QMetaObject::Connection selection =
      connect(&form.ListView(), &QTreeWidget::itemSelectionChanged, this, [this] { TakeSelection(); });
  TZkServiceCtrl& ctrl = form.ServiceCtrl();
  ctrl.SetServerName(serverName_);
  ctrl.SetSorting(sorting_);
  ctrl.SetServiceType(serviceType_);
  ctrl.SetServiceState(serviceState_);
  // Given bounds keep the window where it was instead of centring it.
  if (lastBounds_) form.setGeometry(*lastBounds_);

  form.exec();

  // The list going away with the window is no change of the user's choice.
  disconnect(selection);
  lastBounds_ = form.geometry();
  form_ = nullptr;
  return action_ == ServiceAction::saControl || !selectedServices_.empty();
}

void TZkServiceDlg::TakeSelection() {
  selectedServices_ = form_->SelectedNames();
  selectedService_ = selectedServices_.empty() ? std::string() : selectedServices_.front();
}

}  // namespace zk::ui

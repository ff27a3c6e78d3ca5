#include "ui/main/BackupMain.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QCollator>
#include <QGuiApplication>
#include <QDesktopServices>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyleHints>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <exception>
#include <utility>

#include "base/ZkError.h"
#include "base/ZkText.h"
#include "engine/ZkJob.h"
#include "engine/ZkJobHealth.h"
#include "engine/ZkLegacyImport.h"
#include "engine/ZkProgramFiles.h"
#include "engine/ZkRunRecords.h"
#include "platform/ZkDesktopBus.h"
#include "platform/ZkFileSystem.h"
#include "store/ZkTreeData.h"
#include "ui/app/ZkApplication.h"
#include "ui/app/ZkQtText.h"
#include "ui/app/ZkUiResources.h"
#include "ui/jobs/ZkSetBackupDlg.h"
#include "ui/main/Nevjegy.h"
#include "ui/main/ZkSchedulerLine.h"
#include "util/ZkUtil.h"
#include "util/ZkUtilFile.h"

namespace zk::ui {
namespace {

constexpr int kIconSize = 48;
constexpr int kMarkSize = 20;
// How long the status bar says what was undone; the line of the last run's
// errors comes back afterwards.
constexpr int kUndoMessageMs = 10000;

// A list entry that sorts by its caption in the order of the user's language.
class TJobItem : public QListWidgetItem {
public:
  TJobItem(const QIcon& icon, const QString& caption, const QCollator& collator)
      : QListWidgetItem(icon, caption, nullptr, UserType), collator_(&collator) {}

  bool operator<(const QListWidgetItem& other) const override { return collator_->compare(text(), other.text()) < 0; }

private:
  const QCollator* collator_;
};

// Hands a confirmed caption edit to the window instead of writing it into
// the entry: the entry takes the new caption only once the job is renamed.
class TCaptionDelegate : public QStyledItemDelegate {
public:
  TCaptionDelegate(QObject* owner, std::function<void(int row, const QString& text)> edited)
      : QStyledItemDelegate(owner), edited_(std::move(edited)) {}

  void setModelData(QWidget* editor, QAbstractItemModel* /*model*/, const QModelIndex& index) const override {
    if (const auto* line = qobject_cast<const QLineEdit*>(editor)) edited_(index.row(), line->text());
  }

private:
  std::function<void(int, const QString&)> edited_;
};

// The job list. A double click on one of several selected entries acts on
// all of them: the click before it, which narrowed the selection down to
// the entry clicked, is undone. A click on the caption of the one selected
// entry opens its editor, unless a second click makes it a double click.
class TJobListView : public QListWidget {
public:
  explicit TJobListView(QWidget* parent) : QListWidget(parent) {
    editDelay_.setSingleShot(true);
    connect(&editDelay_, &QTimer::timeout, this, [this] {
      if (QListWidgetItem* entry = item(editIndex_.row()); entry != nullptr && editIndex_.isValid()) editItem(entry);
    });
  }

  // The line shown over the list area while it is empty; the list keeps it
  // the size of its visible area.
  void SetEmptyLine(QLabel* line) {
    emptyLine_ = line;
    line->setParent(viewport());
    line->setGeometry(viewport()->rect());
  }

protected:
  void resizeEvent(QResizeEvent* event) override {
    QListWidget::resizeEvent(event);
    if (emptyLine_ != nullptr) emptyLine_->setGeometry(viewport()->rect());
  }

  void mousePressEvent(QMouseEvent* event) override {
    const QModelIndex index = indexAt(event->position().toPoint());
    editDelay_.stop();
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    const bool onCaption = index.isValid() && event->button() == Qt::LeftButton &&
                           event->modifiers() == Qt::NoModifier && selected.size() == 1 && selected.front() == index &&
                           event->position().y() > visualRect(index).top() + iconSize().height();
    editIndex_ = onCaption ? QPersistentModelIndex(index) : QPersistentModelIndex();
    const auto interval = static_cast<quint64>(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    const bool secondPress = index.isValid() && index == collapsedIndex_ && event->timestamp() >= collapseTime_ &&
                             event->timestamp() - collapseTime_ <= interval;
    if (!secondPress) collapsedFrom_.clear();
    const bool onSelectedGroup = !secondPress && index.isValid() && event->modifiers() == Qt::NoModifier &&
                                 selectionModel()->isSelected(index) && selectionModel()->selectedIndexes().size() > 1;
    groupPressed_ = onSelectedGroup ? selectionModel()->selection() : QItemSelection();
    pressedIndex_ = index;
    QListWidget::mousePressEvent(event);
  }

  void mouseReleaseEvent(QMouseEvent* event) override {
    const QItemSelection group = std::exchange(groupPressed_, QItemSelection());
    QListWidget::mouseReleaseEvent(event);
    if (editIndex_.isValid() && indexAt(event->position().toPoint()) == editIndex_)
      editDelay_.start(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    if (!group.isEmpty()) {
      collapsedFrom_ = group;
      collapsedIndex_ = pressedIndex_;
      collapseTime_ = event->timestamp();
    }
  }

  void mouseDoubleClickEvent(QMouseEvent* event) override {
    editDelay_.stop();
    editIndex_ = QPersistentModelIndex();
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!collapsedFrom_.isEmpty() && index == collapsedIndex_)
      selectionModel()->select(collapsedFrom_, QItemSelectionModel::ClearAndSelect);
    collapsedFrom_.clear();
    QListWidget::mouseDoubleClickEvent(event);
  }

private:
  QItemSelection groupPressed_;
  QPersistentModelIndex pressedIndex_;
  // The selection a click on one of its entries narrowed, that entry and
  // when.
  QItemSelection collapsedFrom_;
  QPersistentModelIndex collapsedIndex_;
  quint64 collapseTime_ = 0;
  // The entry whose caption was clicked, edited once no second click came.
  QPersistentModelIndex editIndex_;
  QTimer editDelay_;
  QLabel* emptyLine_ = nullptr;
};

// The job icon with the mark of the last run in its lower right corner.
QIcon MarkedIcon(const QIcon& job, const QString& mark, qreal pixelRatio) {
  const QSize size(kIconSize, kIconSize);
  QPixmap pixmap = job.pixmap(size, pixelRatio);
  QPainter painter(&pixmap);
  const QRect corner(kIconSize - kMarkSize, kIconSize - kMarkSize, kMarkSize, kMarkSize);
  QIcon(mark).paint(&painter, corner);
  painter.end();
  return QIcon(pixmap);
}

// The overdue mark in the upper right corner, clear of the last run's.
QIcon OverdueIcon(const QIcon& marked, qreal pixelRatio) {
  QPixmap pixmap = marked.pixmap(QSize(kIconSize, kIconSize), pixelRatio);
  QPainter painter(&pixmap);
  QIcon(QStringLiteral(":/backup/mark-overdue.svg")).paint(&painter, QRect(kIconSize - kMarkSize, 0, kMarkSize, kMarkSize));
  painter.end();
  return QIcon(pixmap);
}

// How long an overdue job has gone without a good backup; empty when it
// is not overdue.
QString OverdueText(const TZkJobHealth& health, TDateTime now) {
  if (!health.Overdue) return {};
  if (!health.LastGood) return QStringLiteral("Elmaradt: még nincs jó mentése");
  return QStringLiteral("Elmaradt: az utolsó jó mentés ") + ToQString(AgeText(now - *health.LastGood)) +
         QStringLiteral(" készült");
}

// "Global" and "Update" are the kinds of run the history knows.
QString KindText(const std::string& kind) {
  if (SameText(kind, "Global")) return QStringLiteral("teljes mentés");
  if (SameText(kind, "Update")) return QStringLiteral("frissítő mentés");
  return ToQString(kind);
}

struct TLastRun {
  TRunMark Mark = TRunMark::rmNever;
  QString Text = QStringLiteral("Még nem futott");
};

// The newest history entry: "status;date;time;kind;path".
TLastRun LastRun(const std::vector<std::string>& history) {
  TLastRun last;
  if (history.empty()) return last;
  const std::string& entry = history.back();
  const std::string status = FieldOf(entry, ";", 1);
  QString outcome = QStringLiteral(", leállítva vagy hibával");
  last.Mark = TRunMark::rmStopped;
  if (SameText(status, "Ok")) {
    last.Mark = TRunMark::rmOk;
    outcome = QStringLiteral(", kész");
  } else if (SameText(status, "Incomplete")) {
    last.Mark = TRunMark::rmIncomplete;
    outcome = QStringLiteral(", hiányos: nem minden fájl került bele");
  }
  last.Text = QStringLiteral("Utolsó futás: ") + ToQString(FieldOf(entry, ";", 2)) + QLatin1Char(' ') +
              ToQString(FieldOf(entry, ";", 3)) + QStringLiteral(", ") + KindText(FieldOf(entry, ";", 4)) + outcome +
              QStringLiteral("\nArchívum: ") + ToQString(FieldOf(entry, ";", 5));
  return last;
}

}  // namespace

TBackupForm::TBackupForm(const TZkServiceContext* services, QWidget* parent)
    : QMainWindow(parent),
      setBackupDlg_(services != nullptr ? new TZkSetBackupDlg(*services, this) : new TZkSetBackupDlg(this)),
      runErrors_(new QLabel(this)),
      listView_(new TJobListView(this)),
      popupMenu1_(new QMenu(this)),
      emptyLine_(new QLabel(QStringLiteral("Még nincs mentés. Új mentés: Ctrl+N"))) {
  LoadUiResources();
  // The main window's settings window leaves out the schedule page, until
  // a background scheduler is installed (SetScheduler).
  setBackupDlg_->SetOptions({TBackupOption::bdShowService, TBackupOption::bdShowFiles});
  OpenFile = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
  runErrors_->setObjectName(QStringLiteral("RunErrors"));
  runErrors_->setTextFormat(Qt::RichText);
  // Reached by Tab only while it shows its link.
  runErrors_->setFocusPolicy(Qt::NoFocus);
  runErrors_->setToolTip(QStringLiteral("A legutóbbi mentés hibasorai"));
  statusBar()->addWidget(runErrors_, 1);
  connect(runErrors_, &QLabel::linkActivated, this, Guarded([this](const QString&) { OpenFile(runErrorFile_); }));
  setObjectName(QStringLiteral("BackupForm"));
  setWindowTitle(QStringLiteral("Backup"));
  resize(640, 440);

  const QIcon job(QStringLiteral(":/backup/job.svg"));
  const qreal ratio = devicePixelRatioF();
  jobIcons_[static_cast<int>(TRunMark::rmNever)] = job;
  jobIcons_[static_cast<int>(TRunMark::rmOk)] = MarkedIcon(job, QStringLiteral(":/backup/mark-ok.svg"), ratio);
  jobIcons_[static_cast<int>(TRunMark::rmStopped)] =
      MarkedIcon(job, QStringLiteral(":/backup/mark-stopped.svg"), ratio);
  jobIcons_[static_cast<int>(TRunMark::rmIncomplete)] =
      MarkedIcon(job, QStringLiteral(":/backup/mark-incomplete.svg"), ratio);
  for (int mark = 0; mark < 4; ++mark) overdueIcons_[mark] = OverdueIcon(jobIcons_[mark], ratio);

  listView_->setObjectName(QStringLiteral("ListView"));
  listView_->setAccessibleName(QStringLiteral("Mentések"));
  listView_->setViewMode(QListView::IconMode);
  listView_->setIconSize(QSize(kIconSize, kIconSize));
  listView_->setMovement(QListView::Static);
  listView_->setResizeMode(QListView::Adjust);
  listView_->setWrapping(true);
  listView_->setWordWrap(true);
  listView_->setSpacing(8);
  listView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  listView_->setSortingEnabled(true);
  // The list opens the caption editor itself: from Rename (F2) and from a
  // click on the selected caption.
  listView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  listView_->setItemDelegate(
      new TCaptionDelegate(listView_, Guarded([this](int row, const QString& text) { ListViewEdited(row, text); })));
  // The selection stays as visible when the list loses the focus.
  QPalette palette = listView_->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Active, QPalette::HighlightedText));
  listView_->setPalette(palette);
  listView_->setContextMenuPolicy(Qt::CustomContextMenu);
  setCentralWidget(listView_);
  emptyLine_->setObjectName(QStringLiteral("EmptyLine"));
  emptyLine_->setAlignment(Qt::AlignCenter);
  emptyLine_->setWordWrap(true);
  emptyLine_->setForegroundRole(QPalette::PlaceholderText);
  // Clicks go through to the list: its context menu opens on the empty area.
  emptyLine_->setAttribute(Qt::WA_TransparentForMouseEvents);
  emptyLine_->hide();
  static_cast<TJobListView*>(listView_)->SetEmptyLine(emptyLine_);

  BuildMenus();

  connect(listView_, &QListWidget::itemSelectionChanged, this, Guarded([this] { UpdateMainMenu(); }));
  connect(listView_, &QAbstractItemView::doubleClicked, this, Guarded([this](const QModelIndex&) {
            if (SelectedCount() > 0 && RunJobs) RunSelected();
          }));
  connect(listView_, &QWidget::customContextMenuRequested, this, Guarded([this](const QPoint& position) {
            PopupMenu1Popup();
            popupMenu1_->popup(listView_->viewport()->mapToGlobal(position));
          }));
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, Guarded([this] { PopupMenu1Popup(); }));
  UpdateMainMenu();
  UpdateUndo();
}

TBackupForm::~TBackupForm() = default;

QAction* TBackupForm::NewAction(const char* name, const QString& caption) {
  auto* action = new QAction(caption, this);
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

void TBackupForm::BuildMenus() {
  popupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
  addMenu_ = NewAction("AddMenu", QStringLiteral("Új létrehozás"));
  renMenu_ = NewAction("RenMenu", QStringLiteral("Átnevezés"));
  copyMenu_ = NewAction("CopyMenu", QStringLiteral("Másolás"));
  pasteMenu_ = NewAction("PasteMenu", QStringLiteral("Beillesztés"));
  delMenu_ = NewAction("DelMenu", QStringLiteral("Törlés"));
  selectAllMenu_ = NewAction("SelectAllMenu", QStringLiteral("Összes kijelölés"));
  runMenu_ = NewAction("RunMenu", QStringLiteral("Mentés elindítás"));
  propMenu_ = NewAction("PropMenu", QStringLiteral("Tulajdonságok"));
  restoreMenu_ = NewAction("RestoreMenu", QStringLiteral("Visszaállítás"));
  undoMenu_ = NewAction("UndoMenu", QStringLiteral("Visszavonás"));
  popupMenu1_->addAction(undoMenu_);
  popupMenu1_->addSeparator()->setObjectName(QStringLiteral("N6"));
  popupMenu1_->addAction(addMenu_);
  popupMenu1_->addAction(renMenu_);
  popupMenu1_->addSeparator()->setObjectName(QStringLiteral("N4"));
  popupMenu1_->addAction(copyMenu_);
  popupMenu1_->addAction(pasteMenu_);
  popupMenu1_->addAction(delMenu_);
  popupMenu1_->addAction(selectAllMenu_);
  popupMenu1_->addSeparator()->setObjectName(QStringLiteral("N1"));
  popupMenu1_->addAction(runMenu_);
  popupMenu1_->addAction(restoreMenu_);
  popupMenu1_->addSeparator()->setObjectName(QStringLiteral("N5"));
  popupMenu1_->addAction(propMenu_);

  QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
  file->setObjectName(QStringLiteral("File1"));
  mainNewMenu_ = NewAction("MainNewMenu", QStringLiteral("Új létrehozás"));
  mainDelMenu_ = NewAction("MainDelMenu", QStringLiteral("Kijelölt(ek) törlése"));
  mainRenMenu_ = NewAction("MainRenMenu", QStringLiteral("Átnevezés"));
  mainPropMenu_ = NewAction("mainPropMenu", QStringLiteral("Tulajdonságok"));
  mainRunMenu_ = NewAction("MainRunMenu", QStringLiteral("Mentés indítás"));
  mainRestoreMenu_ = NewAction("MainRestoreMenu", QStringLiteral("Visszaállítás"));
  mainKilepes_ = NewAction("MainKilepes", QStringLiteral("Kilépés"));
  mainUndoMenu_ = NewAction("MainUndoMenu", QStringLiteral("Visszavonás"));
  file->addAction(mainUndoMenu_);
  file->addSeparator();
  file->addAction(mainNewMenu_);
  file->addAction(mainDelMenu_);
  file->addAction(mainRenMenu_);
  file->addAction(mainPropMenu_);
  file->addSeparator();
  file->addAction(mainRunMenu_);
  file->addAction(mainRestoreMenu_);
  file->addSeparator();
  file->addAction(mainKilepes_);
  nvjegy1_ = NewAction("Nvjegy1", QStringLiteral("Névjegy"));
  menuBar()->addAction(nvjegy1_);

  // The keys of the list commands act while the list has the focus, so that
  // the caption editor keeps Del, Enter and the clipboard keys for itself.
  // The context menu shows the same keys beside its entries.
  const auto listKeys = [this](std::initializer_list<QAction*> actions, const QList<QKeySequence>& keys) {
    for (QAction* action : actions) {
      action->setShortcuts(keys);
      action->setShortcutContext(Qt::WidgetShortcut);
    }
    listView_->addAction(*actions.begin());
  };
  listKeys({mainRenMenu_, renMenu_}, {QKeySequence(Qt::Key_F2)});
  listKeys({mainDelMenu_, delMenu_}, {QKeySequence(QKeySequence::Delete)});
  listKeys({copyMenu_}, {QKeySequence(QKeySequence::Copy)});
  listKeys({pasteMenu_}, {QKeySequence(QKeySequence::Paste)});
  listKeys({selectAllMenu_}, {QKeySequence(QKeySequence::SelectAll)});
  listKeys({mainUndoMenu_, undoMenu_}, {QKeySequence(QKeySequence::Undo)});
  listKeys({mainRunMenu_, runMenu_}, {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
  listKeys({mainPropMenu_, propMenu_},
           {QKeySequence(Qt::AltModifier | Qt::Key_Return), QKeySequence(Qt::AltModifier | Qt::Key_Enter)});
  mainNewMenu_->setShortcut(QKeySequence::New);
  addMenu_->setShortcut(QKeySequence::New);
  addMenu_->setShortcutContext(Qt::WidgetShortcut);
  mainKilepes_->setShortcut(QKeySequence(Qt::ControlModifier | Qt::Key_Q));
  nvjegy1_->setShortcut(QKeySequence(Qt::Key_F1));

  const auto handle = [this](std::initializer_list<QAction*> actions, void (TBackupForm::*handler)()) {
    for (QAction* action : actions)
      connect(action, &QAction::triggered, this, Guarded([this, handler](auto&&...) { (this->*handler)(); }));
  };
  handle({addMenu_, mainNewMenu_}, &TBackupForm::AddMenuClick);
  handle({renMenu_, mainRenMenu_}, &TBackupForm::RenMenuClick);
  handle({delMenu_, mainDelMenu_}, &TBackupForm::DelMenuClick);
  handle({selectAllMenu_}, &TBackupForm::SelectAllMenuClick);
  handle({copyMenu_}, &TBackupForm::CopyMenuClick);
  handle({pasteMenu_}, &TBackupForm::PasteMenuClick);
  handle({runMenu_, mainRunMenu_}, &TBackupForm::RunMenuClick);
  handle({propMenu_, mainPropMenu_}, &TBackupForm::PropMenuClick);
  handle({restoreMenu_, mainRestoreMenu_}, &TBackupForm::RestoreMenuClick);
  handle({nvjegy1_}, &TBackupForm::Nvjegy1Click);
  handle({undoMenu_, mainUndoMenu_}, &TBackupForm::UndoMenuClick);
  handle({mainKilepes_}, &TBackupForm::MainKilepesClick);
}

void TBackupForm::FormCreate(const TBackupStartup& startup) {
  startup_ = startup;
  try {
    const TZkProgramFiles& files = startup_.Files;
    if (platform::PathExists(files.IniFile) && !platform::PathExists(files.JobFile)) ImportIniFile();
    CreateFirstJobFile(files);
    if (platform::PathExists(files.JobFile)) setBackupDlg_->SetFileName(files.JobFile);
    FillList();
    if (HasSwitch(startup_.Arguments, "/Group")) SelectGroup(SwitchValue(startup_.Arguments, "/Group"));
    if (SelectedCount() > 0 && HasSwitch(startup_.Arguments, "/start") && RunJobs) RunSelected();
  } catch (const std::exception& error) {
    TZkApplication::ShowError(error);
  }
}

void TBackupForm::ImportIniFile() {
  ImportLegacyJobs(startup_.Files.IniFile, startup_.Files.JobFile,
                   [](const std::string& message) { TZkApplication::ShowError(ToQString(message)); });
}

void TBackupForm::FillList() {
  listView_->clear();
  for (const std::string& name : setBackupDlg_->GetSavingNames()) {
    auto* item = new TJobItem(jobIcons_[0], ToQString(name), collator_);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    listView_->addItem(item);
  }
  listView_->clearSelection();
  UpdateEmptyLine();
  RefreshMarks();
}

void TBackupForm::UpdateEmptyLine() {
  emptyLine_->setVisible(setBackupDlg_->IsOpen() && listView_->count() == 0);
}

void TBackupForm::RefreshMarks() {
  TZkRunRecords::THistories histories;
  TZkRunRecords::THistories uploads;
  try {
    histories = TZkRunRecords::ReadAllHistories(startup_.Files.IniFile);
    uploads = TZkRunRecords::ReadAllLastUploads(startup_.Files.IniFile);
    if (historyUnreadable_) statusBar()->clearMessage();
    historyUnreadable_ = false;
  } catch (const std::exception& error) {
    // Said until the history can be read again.
    statusBar()->showMessage(QStringLiteral("A futások előzménye nem olvasható: ") + ToQString(error.what()));
    historyUnreadable_ = true;
  }
  // The jobs' schedules, to see which have gone silent.
  TZkThreadSaveTasks jobs;
  if (const TZkTreeDataNode* list = setBackupDlg_->IsOpen() ? setBackupDlg_->Document().Root().FindNode("Saving")
                                                             : nullptr) {
    jobs.Assign(list->Nodes());
    jobs.RecalcAllTimers();
  }
  const TDateTime now = jobs.Clock().Now();
  const std::vector<std::string> none;
  for (int row = 0; row < listView_->count(); ++row) {
    QListWidgetItem& item = *listView_->item(row);
    const auto found = histories.find(TZkRunRecords::HistoryKey(ToUtf8(item.text())));
    const std::vector<std::string>& history = found == histories.end() ? none : found->second;
    const TZkThreadSaveTask* job = jobs.FindByName(ToUtf8(item.text()));
    ApplyMark(item, history, job != nullptr ? OverdueText(JobHealth(*job, history, now), now) : QString());
    // The last good upload to the job's remote target, where it has one.
    if (const auto upload = uploads.find(TZkRunRecords::HistoryKey(ToUtf8(item.text())));
        upload != uploads.end() && !upload->second.empty()) {
      const std::string& value = upload->second.back();
      item.setToolTip(item.toolTip() + QStringLiteral("\nTávoli másolat: ") +
                      ToQString(FieldOf(value, ";", 1) + " " + FieldOf(value, ";", 2)));
    }
  }
}

void TBackupForm::ApplyMark(QListWidgetItem& item, const std::vector<std::string>& history, const QString& overdue) {
  const TLastRun last = LastRun(history);
  const QString text = overdue.isEmpty() ? last.Text : overdue + QLatin1Char('\n') + last.Text;
  item.setIcon((overdue.isEmpty() ? jobIcons_ : overdueIcons_)[static_cast<int>(last.Mark)]);
  item.setData(kRunMarkRole, static_cast<int>(last.Mark));
  item.setData(kOverdueRole, !overdue.isEmpty());
  item.setToolTip(text);
  item.setData(Qt::AccessibleDescriptionRole, text);
}

void TBackupForm::SetScheduler(platform::TZkUserScheduler* scheduler) {
  delete schedulerLine_;
  schedulerLine_ = nullptr;
  TBackupOptions pages{TBackupOption::bdShowService, TBackupOption::bdShowFiles};
  if (scheduler != nullptr && scheduler->Installed()) {
    // Schedules set in the window then have a program that runs them.
    pages.Include(TBackupOption::bdShowTiming);
    schedulerLine_ = new TZkSchedulerLine(*scheduler, this);
    statusBar()->addPermanentWidget(schedulerLine_);
  }
  setBackupDlg_->SetOptions(pages);
}

void TBackupForm::SelectGroup(const std::string& name) {
  const int index = setBackupDlg_->IndexOfSaving(name);
  if (index < 0) throw EZkError("Nincs " + name + " nevű mentés");
  const QString caption = ToQString(setBackupDlg_->SavingNode().Nodes().Items(index).AttributeByName("Name").Value());
  for (int row = 0; row < listView_->count(); ++row) {
    QListWidgetItem* item = listView_->item(row);
    if (item->text() == caption) {
      listView_->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
      return;
    }
  }
}

std::vector<std::string> TBackupForm::SelectedCaptions() const {
  std::vector<std::string> captions;
  for (int row = listView_->count() - 1; row >= 0; --row)
    if (listView_->item(row)->isSelected()) captions.push_back(ToUtf8(listView_->item(row)->text()));
  return captions;
}

int TBackupForm::SelectedCount() const { return static_cast<int>(listView_->selectedItems().size()); }

void TBackupForm::RunSelected() { RunJobs(startup_.Files.JobFile, SelectedCaptions()); }

void TBackupForm::UpdateMainMenu() {
  const int selected = SelectedCount();
  mainDelMenu_->setEnabled(selected >= 1);
  mainRunMenu_->setEnabled(selected >= 1 && RunJobs);
  mainRenMenu_->setEnabled(selected == 1);
  mainPropMenu_->setEnabled(selected == 1 && EditJob);
  mainRestoreMenu_->setEnabled(selected == 1 && RestoreJob);
  // The list keys of the context menu's own entries follow the selection
  // too, not only its opening.
  PopupMenu1Popup();
}

void TBackupForm::PopupMenu1Popup() {
  const int selected = SelectedCount();
  const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
  renMenu_->setEnabled(selected == 1);
  copyMenu_->setEnabled(selected >= 1);
  pasteMenu_->setEnabled(selected == 0 && clipboard != nullptr && clipboard->hasText());
  delMenu_->setEnabled(selected >= 1);
  runMenu_->setEnabled(selected >= 1 && RunJobs);
  propMenu_->setEnabled(selected == 1 && EditJob);
  restoreMenu_->setEnabled(selected == 1 && RestoreJob);
}

void TBackupForm::ListViewEdited(int row, const QString& text) {
  QListWidgetItem* item = listView_->item(row);
  if (item == nullptr || item->text() == text) return;
  const std::string oldName = ToUtf8(item->text());
  const std::string newName = ToUtf8(text);
  setBackupDlg_->RenameSaving(oldName, newName);
  item->setText(text);
  // A job's history is kept under its name: the renamed one has none yet,
  // so it is not overdue either.
  ApplyMark(*item, {}, QString());
  listView_->scrollToItem(item);
  PushUndo(QStringLiteral("átnevezés: %1 → %2").arg(ToQString(oldName), text),
           [this, oldName, newName] { setBackupDlg_->RenameSaving(newName, oldName); });
}

void TBackupForm::AddMenuClick() {
  const std::string name = setBackupDlg_->NewSavingName("Mentés");
  // Without a job file there is nowhere to add to, and nothing to undo.
  if (setBackupDlg_->AddSaving(name) == nullptr) return;
  FillList();
  UpdateMainMenu();
  PushUndo(QStringLiteral("új mentés: ") + ToQString(name), [this, name] { setBackupDlg_->DeleteSaving(name); });
}

void TBackupForm::RenMenuClick() {
  const QList<QListWidgetItem*> selected = listView_->selectedItems();
  if (selected.size() == 1) {
    listView_->setCurrentItem(selected.front(), QItemSelectionModel::NoUpdate);
    listView_->editItem(selected.front());
  }
  UpdateMainMenu();
}

void TBackupForm::DelMenuClick() {
  // The list shows the job file afterwards even when a deletion failed:
  // those made before it stay made, and can be undone.
  std::vector<TZkSetBackupDlg::TSavingCopy> deleted;
  QStringList names;
  const auto done = [&] {
    FillList();
    UpdateMainMenu();
    if (deleted.empty()) return;
    // Put back top to bottom, each at its place in the file.
    std::sort(deleted.begin(), deleted.end(), [](const auto& a, const auto& b) { return a.Index < b.Index; });
    PushUndo(QStringLiteral("törlés: ") + names.join(QStringLiteral(", ")),
             [this, deleted] { setBackupDlg_->RestoreSavings(deleted); });
  };
  try {
    if (setBackupDlg_->IsOpen()) {
      for (const std::string& name : SelectedCaptions()) {
        TZkSetBackupDlg::TSavingCopy copy = setBackupDlg_->SavingCopy(name);
        setBackupDlg_->DeleteSaving(name);
        deleted.push_back(std::move(copy));
        names.prepend(ToQString(name));
      }
    }
  } catch (...) {
    done();
    throw;
  }
  done();
}

void TBackupForm::SelectAllMenuClick() { listView_->selectAll(); }

void TBackupForm::CopyMenuClick() { setBackupDlg_->CopySavings(SelectedCaptions()); }

void TBackupForm::PasteMenuClick() {
  // Without a job file there is nowhere to paste to, and nothing to say.
  if (!setBackupDlg_->IsOpen()) return;
  const std::vector<std::string> before = setBackupDlg_->GetSavingNames();
  const auto done = [&] {
    FillList();
    UpdateMainMenu();
    const std::vector<std::string> after = setBackupDlg_->GetSavingNames();
    const std::vector<std::string> pasted(after.begin() + static_cast<std::ptrdiff_t>(before.size()), after.end());
    if (pasted.empty()) return;
    QStringList names;
    for (const std::string& name : pasted) names.push_back(ToQString(name));
    PushUndo(QStringLiteral("beillesztés: ") + names.join(QStringLiteral(", ")), [this, pasted] {
      for (const std::string& name : pasted) setBackupDlg_->DeleteSaving(name);
    });
  };
  try {
    setBackupDlg_->PasteSavings();
  } catch (...) {
    // The jobs pasted before the failure are in the file: list them.
    done();
    throw;
  }
  done();
}

void TBackupForm::PushUndo(const QString& what, std::function<void()> undo) {
  undo_.push_back({what, std::move(undo)});
  UpdateUndo();
}

void TBackupForm::UndoMenuClick() {
  if (undo_.empty()) return;
  const TUndoStep step = std::move(undo_.back());
  undo_.pop_back();
  // A step that fails is dropped: what it would take back has changed.
  const auto done = [&] {
    FillList();
    UpdateMainMenu();
    UpdateUndo();
  };
  try {
    step.Undo();
  } catch (...) {
    done();
    throw;
  }
  done();
  statusBar()->showMessage(QStringLiteral("Visszavonva: ") + step.What, kUndoMessageMs);
}

void TBackupForm::UpdateUndo() {
  const QString tip = undo_.empty() ? QStringLiteral("Nincs mit visszavonni")
                                    : QStringLiteral("Visszavonás: ") + undo_.back().What;
  for (QAction* action : {undoMenu_, mainUndoMenu_}) {
    action->setEnabled(!undo_.empty());
    action->setToolTip(tip);
    action->setStatusTip(tip);
  }
}

void TBackupForm::RunMenuClick() {
  if (SelectedCount() > 0 && RunJobs) RunSelected();
  UpdateMainMenu();
}

void TBackupForm::PropMenuClick() {
  const QList<QListWidgetItem*> selected = listView_->selectedItems();
  if (selected.size() != 1 || !EditJob) return;
  const std::string name = ToUtf8(selected.front()->text());
  setBackupDlg_->SetSelect(name);
  EditJob(name);
  UpdateMainMenu();
}

void TBackupForm::RestoreMenuClick() {
  const QList<QListWidgetItem*> selected = listView_->selectedItems();
  if (selected.size() != 1 || !RestoreJob) return;
  RestoreJob(ToUtf8(selected.front()->text()));
  UpdateMainMenu();
}

void TBackupForm::Nvjegy1Click() {
  TNEvjegyForm about(this, FileVersion(), startup_.Files.JobFile);
  about.exec();
}

void TBackupForm::MainKilepesClick() { close(); }

void TBackupForm::ShowRunErrors(int errorLines, const std::string& errorFile) {
  if (errorLines <= 0) {
    runErrors_->clear();
    runErrors_->setTextInteractionFlags(Qt::NoTextInteraction);
    runErrors_->setFocusPolicy(Qt::NoFocus);
    runErrors_->setAccessibleName({});
    return;
  }
  // The link shows at once, over whatever the status bar said last.
  statusBar()->clearMessage();
  historyUnreadable_ = false;
  const QString file = ToQString(FileNamePart(errorFile));
  runErrors_->setText(QStringLiteral("A mentés %1 hibasort írt: <a href=\"error\">%2 megnyitása</a>")
                          .arg(errorLines)
                          .arg(file.toHtmlEscaped()));
  runErrors_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  runErrors_->setFocusPolicy(Qt::TabFocus);
  runErrors_->setAccessibleName(QStringLiteral("A mentés %1 hibasort írt: %2 megnyitása").arg(errorLines).arg(file));
  runErrorFile_ = ToQString(errorFile);
}

std::string TBackupForm::FileVersion() const { return GetFileVersionText(startup_.ExecutableFile); }

void TBackupForm::showEvent(QShowEvent* event) {
  // Once: showing the window again (from minimised) keeps its caption.
  if (!shown_) {
    shown_ = true;
    setWindowTitle(windowTitle() + QStringLiteral("  ") + ToQString(FileVersion()));
  }
  QMainWindow::showEvent(event);
}

}  // namespace zk::ui

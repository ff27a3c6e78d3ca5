#include "ui/run/BackupRunUnit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollArea>
#include <QSettings>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <utility>

#include "base/ZkError.h"
#include "engine/ZkProgramFiles.h"
#include "ui/app/ZkApplication.h"
#include "ui/app/ZkQtText.h"
#include "ui/controls/SpeedButton.h"
#include "ui/controls/ZkCheckBox.h"
#include "ui/controls/ZkEdit.h"
#include "ui/controls/ZkFolderEdit.h"
#include "ui/controls/ZkLabel.h"
#include "ui/files/ZkBrowseFolder.h"
#include "ui/progress/ZkProgress.h"
#include "util/ZkUtil.h"

namespace zk::ui {
namespace {

constexpr int kWidth = 500;
// A row: the job's name, then its folder, file name and bar sharing the
// rest of the width.
constexpr int kLabelWidth = 110;
constexpr int kFieldsLeft = 112;
constexpr int kRowMargin = 4;
// The shortest time between two batches of progress shown: a screen refresh.
constexpr qint64 kFlushIntervalMs = 16;
constexpr int kRowHeight = 22;
constexpr int kPanelHeight = 67;
constexpr int kBarHeight = 19;
// The client area above the rows' space: the button panel and the bottom
// bar, with the scroll box's 4 pixels of edge.
constexpr int kEmptyHeight = 90;
// The window is never taller than 500 pixels; 27 of them are its caption
// and border, outside the client area Qt sizes.
constexpr int kMaxClientHeight = 500 - 27;

// Where the state of "Várakozás nélkül" is kept between runs: the user's
// configuration folder, beside (not inside) the job and history files.
QSettings WindowSettings() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("backup"), QStringLiteral("window"));
}
const QString kNoWaitsKey = QStringLiteral("BackupRun/NoWaits");

// A missing value shows as the application's field colour turned red, so
// that the field's own text reads on it on light and dark themes alike.
void SetFieldColour(QWidget& field, bool valid) {
  QPalette palette = QApplication::palette(&field);
  if (!valid) {
    const QColor base = palette.color(QPalette::Base);
    palette.setColor(QPalette::Base, QColor((base.red() + 2 * 255) / 3, base.green() / 3, base.blue() / 3));
  }
  field.setPalette(palette);
}

}  // namespace

TBackupRun::TBackupRun(const TZkActionPlatform& platform, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      platform_(platform),
      scrollBox1_(new QScrollArea(this)),
      rowsPanel_(new QWidget),
      zkCheckBox1_(new TZkCheckBox(QStringLiteral("Mentés után a számítógép leállítása"), this)),
      noWaits_(new TZkCheckBox(QStringLiteral("Várakozás nélkül"), this)),
      speedButton1_(new SpeedButton(QStringLiteral("Mentés"), QStringLiteral("save"), this)),
      speedButton2_(new SpeedButton(QStringLiteral("Mégsem"), QStringLiteral("cancel"), this)),
      speedButton3_(new SpeedButton(QStringLiteral("Megszakítás"), QStringLiteral("abort"), this)),
      zkProgressBar1_(new TZkProgressBar(this)),
      folderDlg_(new TZkBrowseFolderDlg(this)),
      shutDown_(platform.Session),
      save_(std::make_unique<TZkThreadSave>(platform::SystemClock(), [this](std::function<void()> notification) {
        const std::lock_guard lock(notificationsMutex_);
        notifications_.push_back(std::move(notification));
        QMetaObject::invokeMethod(this, "RunNotifications", Qt::QueuedConnection);
      })) {
  setWindowTitle(QStringLiteral("Mentés"));
  flushTimer_.setSingleShot(true);
  const auto flush = Guarded([this] { Flush(); });
  connect(&flushTimer_, &QTimer::timeout, this, [flush] { flush(); });
  shutDown_.SetShutDownType(TShutDownType::sdtPowerOff);
  save_->SetActionPlatform(platform_);
  save_->SetSleeper(platform_.Sleeper);

  scrollBox1_->setObjectName(QStringLiteral("ScrollBox1"));
  scrollBox1_->setAccessibleName(QStringLiteral("A mentések sorai"));
  scrollBox1_->setFrameShape(QFrame::NoFrame);
  scrollBox1_->setWidget(rowsPanel_);
  scrollBox1_->setWidgetResizable(false);
  // Its height is what the rows leave; the window sizes itself by them.
  scrollBox1_->setMinimumHeight(1);
  scrollBox1_->viewport()->installEventFilter(this);
  rowsPanel_->resize(kWidth - 4, 0);

  auto* panel = new QFrame(this);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setFixedHeight(kPanelHeight);
  zkCheckBox1_->setObjectName(QStringLiteral("ZkCheckBox1"));
  noWaits_->setObjectName(QStringLiteral("NoWaits"));
  noWaits_->setChecked(WindowSettings().value(kNoWaitsKey, false).toBool());
  auto* boxes = new QVBoxLayout;
  boxes->addWidget(zkCheckBox1_);
  boxes->addWidget(noWaits_);
  auto* panelLayout = new QHBoxLayout(panel);
  panelLayout->addLayout(boxes);
  panelLayout->addStretch();
  for (SpeedButton* button : {speedButton1_, speedButton2_, speedButton3_}) {
    button->setFixedSize(100, 28);
    button->setAccessibleName(button->text());
    panelLayout->addWidget(button);
  }
  speedButton1_->setObjectName(QStringLiteral("SpeedButton1"));
  speedButton2_->setObjectName(QStringLiteral("SpeedButton2"));
  speedButton3_->setObjectName(QStringLiteral("SpeedButton3"));
  // Enabled by CheckRows once the rows are filled.
  speedButton1_->setEnabled(false);
  speedButton3_->setEnabled(false);

  zkProgressBar1_->setObjectName(QStringLiteral("ZkProgressBar1"));
  zkProgressBar1_->setAccessibleName(QStringLiteral("Aktuális fájl"));
  zkProgressBar1_->setFixedHeight(kBarHeight);
  SetUpWindowBar(*zkProgressBar1_);
  zkProgressBar1_->SetMax(100);
  // The bottom bar shows the file being added instead of a percentage.
  zkProgressBar1_->SetOnText([this](TZkCustomProgressBar&, QString& text) { text = currentItemText_; });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(scrollBox1_, 1);
  layout->addWidget(panel);
  layout->addWidget(zkProgressBar1_);
  // As wide as the button panel needs, at least kWidth; the rows take the
  // whole width.
  resize(std::max(kWidth, sizeHint().width()), kEmptyHeight);
  setMaximumHeight(kMaxClientHeight);

  connect(speedButton1_, &QToolButton::clicked, this, Guarded([this](bool) { SpeedButton1Click(); }));
  connect(speedButton2_, &QToolButton::clicked, this, Guarded([this](bool) { SpeedButton2Click(); }));
  connect(speedButton3_, &QToolButton::clicked, this, Guarded([this](bool) { SpeedButton3Click(); }));
  ConnectEngine();
}

TBackupRun::~TBackupRun() {
  // Terminates the worker and waits for it; only then may the rows go.
  save_.reset();
}

void TBackupRun::SetJobFile(const std::string& fileName) {
  jobFile_ = fileName;
  save_->LoadFromFile(fileName);
  save_->HistoryFilename = ResolveProgramFiles(fileName).IniFile;
}

void TBackupRun::AddRow(const std::string& jobName) {
  const TZkThreadSaveTask* job = save_->Saving().FindByName(jobName);
  if (job == nullptr) throw EZkError("Nincs " + jobName + " nevű mentés");
  Row row;
  row.JobName = job->Name;
  row.Disabled = job->Disable;
  row.CopyJob = job->DefineOutput().PackMode == TZkSaveMode::tmCopy;
  const QString name = ToQString(job->Name);

  row.Folder = new TZkFolderEdit(rowsPanel_);
  row.Folder->Edit().setFrame(false);
  row.Folder->setAccessibleName(name + QStringLiteral(" célmappa"));
  row.Folder->Edit().setAccessibleName(row.Folder->accessibleName());
  row.Name = new TZkEdit(rowsPanel_);
  row.Name->setFrame(false);
  row.Name->setAccessibleName(name + QStringLiteral(" fájlnév"));
  row.Bar = new TZkProgressBar(rowsPanel_);
  row.Bar->setAccessibleName(name + QStringLiteral(" folyamat"));
  SetUpWindowBar(*row.Bar);
  row.Bar->SetBorder(TProgressBorders::gbNone);
  row.Bar->SetTextSuffix(QStringLiteral(" %"));
  // A long name is cut with an ellipsis, whole in its tooltip; a "&" in it
  // is shown, not taken for a mnemonic.
  row.Label = new TZkLabel(QString(), row.Folder, rowsPanel_);
  row.Label->setText(row.Label->fontMetrics()
                         .elidedText(name, Qt::ElideRight, kLabelWidth)
                         .replace(QLatin1Char('&'), QStringLiteral("&&")));
  row.Label->setToolTip(name);
  row.Label->setAccessibleName(name);

  if (row.Disabled) {
    // The engine never picks a disabled job: the row is skipped, not waited
    // for.
    row.Bar->SetOnText([](TZkCustomProgressBar&, QString& text) { text = QStringLiteral("tiltva"); });
    for (QWidget* control : std::initializer_list<QWidget*>{row.Label, row.Folder, row.Name, row.Bar})
      control->setEnabled(false);
  }
  connect(&row.Folder->Edit(), &QLineEdit::textChanged, this, Guarded([this](const QString&) { CheckRows(); }));
  connect(row.Name, &QLineEdit::textChanged, this, Guarded([this](const QString&) { CheckRows(); }));
  for (QWidget* control : std::initializer_list<QWidget*>{row.Label, row.Folder, row.Name, row.Bar}) control->show();
  // Keyboard order follows the rows, then the panel.
  QWidget* previous = rows_.empty() ? nullptr : static_cast<QWidget*>(rows_.back().Name);
  if (previous != nullptr) setTabOrder(previous, row.Folder);
  setTabOrder(row.Folder, row.Name);
  setTabOrder(row.Name, zkCheckBox1_);
  rows_.push_back(row);
  LayoutRows();
  FitHeight();
}

void TBackupRun::LayoutRows() {
  const int width = scrollBox1_->viewport()->width();
  rowsPanel_->resize(width, kRowHeight * RowCount() + kRowMargin);
  const int fields = std::max(width - kFieldsLeft - kRowMargin, 3 * kRowHeight);
  const int folderWidth = fields / 3;
  const int nameWidth = fields / 3;
  const int barWidth = fields - folderWidth - nameWidth;
  for (int i = 0; i < RowCount(); ++i) {
    const Row& row = rows_[static_cast<std::size_t>(i)];
    const int top = kRowHeight * i;
    row.Label->setGeometry(1, top + 1, kLabelWidth, kRowHeight - 1);
    row.Folder->setGeometry(kFieldsLeft, top + 1, folderWidth, row.Folder->sizeHint().height());
    row.Name->setGeometry(kFieldsLeft + folderWidth, top + 1, nameWidth - 2, kRowHeight - 1);
    row.Bar->setGeometry(kFieldsLeft + folderWidth + nameWidth, top + 1, barWidth, kRowHeight - 1);
  }
}

bool TBackupRun::eventFilter(QObject* watched, QEvent* event) {
  if (watched == scrollBox1_->viewport() && event->type() == QEvent::Resize) LayoutRows();
  return QDialog::eventFilter(watched, event);
}

void TBackupRun::FitHeight() {
  resize(width(), std::min(kRowHeight * RowCount() + kEmptyHeight, kMaxClientHeight));
}

void TBackupRun::SetNoThrottle(bool noThrottle) {
  if (noThrottle) noWaits_->setChecked(true);
}

bool TBackupRun::ShutDownChecked() const { return zkCheckBox1_->isChecked(); }

bool TBackupRun::RunCompleted() const {
  // A job whose own schedule came due meanwhile ends a run too, and moves
  // the window on: only the rows' own runs count here.
  return sequence_ != nullptr && sequence_->Completed() &&
         std::all_of(runRows_.begin(), runRows_.end(),
                     [this](int row) { return sequence_->HasEnded(rows_[static_cast<std::size_t>(row)].JobName); });
}

bool TBackupRun::ShutDownIfChecked() {
  if (!ShutDownChecked() || aborted_ || !RunCompleted()) return false;
  shutDown_.ExitWindows();
  return true;
}

std::string TBackupRun::ErrorFilename() const { return save_->ErrorFilename; }

void TBackupRun::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // After the window is on screen, so that the folder picker opens over it.
  QMetaObject::invokeMethod(this, Guarded([this] { FormShow(); }), Qt::QueuedConnection);
}

void TBackupRun::FormShow() {
  const TZkProgramFiles files = ResolveProgramFiles(jobFile_);
  save_->ErrorFilename = files.ErrorFile;
  save_->LogFilename = files.LogFile;
  QString picked;
  if (HasBlankOutputFolder() && folderDlg_->Execute()) picked = folderDlg_->FolderName();
  FillRows(picked);
  CheckRows();
}

bool TBackupRun::HasBlankOutputFolder() const {
  return std::any_of(rows_.begin(), rows_.end(), [this](const Row& row) {
    return !row.Disabled && IsBlank(save_->Saving().FindByName(row.JobName)->DefineOutput().OutputFolder);
  });
}

void TBackupRun::FillRows(const QString& pickedFolder) {
  for (Row& row : rows_) {
    const TZkThreadDefineOutput& output = save_->Saving().FindByName(row.JobName)->DefineOutput();
    row.Folder->SetText(IsBlank(output.OutputFolder) ? pickedFolder : ToQString(output.OutputFolder));
    row.Name->setText(ToQString(output.FileName));
  }
}

void TBackupRun::CheckRows() {
  bool valid = false;
  bool blank = false;
  for (Row& row : rows_) {
    if (row.CopyJob) row.Name->hide();
    if (row.Disabled) continue;
    valid = true;
    const bool folderOk = !IsBlank(ToUtf8(row.Folder->Text()));
    SetFieldColour(row.Folder->Edit(), folderOk);
    blank = blank || !folderOk;
    if (!row.CopyJob) {
      const bool nameOk = !IsBlank(ToUtf8(row.Name->text()));
      SetFieldColour(*row.Name, nameOk);
      blank = blank || !nameOk;
    }
  }
  // A window whose rows are all disabled has nothing to run.
  speedButton1_->setEnabled(valid && !blank && !Running() && !closing_);
}

void TBackupRun::ApplyRow(const Row& row) {
  const auto lock = save_->LockJobs();
  TZkThreadDefineOutput& output = save_->Saving().FindByName(row.JobName)->DefineOutput();
  output.FileName = ToUtf8(row.Name->text());
  output.OutputFolder = ToUtf8(row.Folder->Text());
}

void TBackupRun::SpeedButton1Click() {
  runRows_.clear();
  std::vector<int> jobs;
  for (int i = 0; i < RowCount(); ++i) {
    if (rows_[i].Disabled) continue;
    runRows_.push_back(i);
    jobs.push_back(save_->Saving().IndexOfName(rows_[i].JobName));
  }
  if (runRows_.empty()) return;
  WindowSettings().setValue(kNoWaitsKey, noWaits_->isChecked());
  save_->Throttle = !noWaits_->isChecked();
  sequence_ = std::make_unique<TZkRunSequence>(std::move(jobs));
  currentRow_ = runRows_.front();
  for (Row& row : rows_) {
    row.Folder->setEnabled(false);
    row.Name->setReadOnly(true);
  }
  StartCurrentJob();
  save_->Start();
  speedButton1_->setEnabled(false);
  speedButton2_->setEnabled(false);
  speedButton3_->setEnabled(true);
  noWaits_->setEnabled(false);
}

void TBackupRun::StartCurrentJob() {
  ApplyRow(rows_[currentRow_]);
  sequence_->Begin(*save_);
}

void TBackupRun::SpeedButton2Click() {
  zkCheckBox1_->setChecked(false);
  closing_ = true;
  done(QDialog::Rejected);
}

void TBackupRun::SpeedButton3Click() {
  if (QMessageBox::question(this, windowTitle(), QStringLiteral("Magszakítja a mentést ?"),
                            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
    return;
  // The run may have ended while the question was open.
  if (closing_) return;
  zkCheckBox1_->setChecked(false);
  aborted_ = true;
  closing_ = true;
  save_->Stop();
  save_->Terminate();
  // The window closes once the worker has ended (EngineEnded): a program an
  // action waits for, or a file being written, may take a while to give up,
  // and the window never waits for the worker on its own thread.
  speedButton3_->setEnabled(false);
  currentItemText_ = QStringLiteral("Leállítás: várakozás a futó program vagy művelet befejeződésére…");
  zkProgressBar1_->SetPosition(0);
  zkProgressBar1_->update();
}

void TBackupRun::ConnectEngine() {
  const auto post = [this](Event event) {
    return [this, event](TZkThreadSave&, TZkThreadActiveTask& task) {
      Post(event, {task.ItemName, task.ItemSize, task.ItemPosition, task.TotalSize, task.TotalPosition});
    };
  };
  save_->OnBeforeSave = post(Event::BeforeSave);
  save_->OnBeforeAddFile = post(Event::BeforeAddFile);
  save_->OnActionAddFile = post(Event::AddFileProgress);
  save_->OnAfterAddFile = post(Event::AddFileProgress);
  save_->OnBeforeCopy = post(Event::BeforeCopy);
  save_->OnActionCopy = post(Event::ActionCopy);
  save_->OnAfterCopy = post(Event::AfterCopy);
  save_->OnBeforeDuplicate = post(Event::BeforeDuplicate);
  save_->OnActionDuplicate = post(Event::ActionDuplicate);
  save_->OnAfterDuplicate = post(Event::AfterDuplicate);
  // Through the same queue, so that the next job's events never reach the
  // row of the job before.
  save_->OnAfterBackup = [this](TZkThreadSave&, TZkThreadActiveTask& task) {
    Progress values;
    values.ItemName = task.Name;
    Post(Event::AfterBackup, std::move(values));
  };
  save_->OnErrorEvent = [this](TZkThreadSave&, const std::string&) { ++errorLines_; };
  save_->OnTerminate = [this](TZkCustomThread&) { EngineEnded(); };
}

// On the worker thread: the values of this moment join the queue. A
// position report right after one of its kind replaces it (the bar shows
// the latest anyway); nothing else is dropped.
void TBackupRun::Post(Event event, Progress values) {
  const std::lock_guard lock(pendingMutex_);
  const bool positionOnly =
      event == Event::AddFileProgress || event == Event::ActionCopy || event == Event::ActionDuplicate;
  if (positionOnly && !pending_.empty() && pending_.back().first == event) {
    pending_.back().second = std::move(values);
  } else {
    pending_.emplace_back(event, std::move(values));
  }
  if (flushPosted_) return;
  flushPosted_ = true;
  QMetaObject::invokeMethod(this, "FlushQueued", Qt::QueuedConnection);
}

void TBackupRun::FlushQueued() { Guarded([this] { Flush(); })(); }

void TBackupRun::RunNotifications() {
  std::vector<std::function<void()>> due;
  {
    const std::lock_guard lock(notificationsMutex_);
    due.swap(notifications_);
  }
  for (const std::function<void()>& notification : due) notification();
}

bool TBackupRun::ProgressPending() {
  const std::lock_guard lock(pendingMutex_);
  return !pending_.empty();
}

void TBackupRun::Flush() {
  if (lastFlush_.isValid() && lastFlush_.elapsed() < kFlushIntervalMs) {
    if (!flushTimer_.isActive()) flushTimer_.start(static_cast<int>(kFlushIntervalMs - lastFlush_.elapsed()));
    return;
  }
  lastFlush_.start();
  std::vector<std::pair<Event, Progress>> batch;
  {
    const std::lock_guard lock(pendingMutex_);
    batch.swap(pending_);
    flushPosted_ = false;
  }
  for (const auto& [event, values] : batch) ShowProgress(event, values);
}

void TBackupRun::ShowProgress(Event event, const Progress& values) {
  if (!Running() || closing_) return;
  TZkProgressBar& row = *rows_[currentRow_].Bar;
  TZkProgressBar& bottom = *zkProgressBar1_;
  switch (event) {
    case Event::BeforeSave:
      row.SetMax(values.TotalSize);
      break;
    case Event::BeforeAddFile:
      currentItemText_ = ToQString(values.ItemName);
      bottom.SetMax(values.ItemSize);
      bottom.SetPosition(0);
      break;
    case Event::AddFileProgress:
      row.SetPosition(values.TotalPosition);
      bottom.SetPosition(values.ItemPosition);
      break;
    case Event::BeforeCopy:
    case Event::BeforeDuplicate:
      row.SetPosition(0);
      row.SetMax(values.ItemSize);
      row.SetTextPrefix(event == Event::BeforeCopy ? QStringLiteral("Copy ") : QStringLiteral("Duplicate "));
      bottom.SetPosition(0);
      break;
    case Event::ActionCopy:
    case Event::ActionDuplicate:
      row.SetPosition(values.ItemPosition);
      break;
    case Event::AfterCopy:
    case Event::AfterDuplicate:
      row.SetPosition(values.ItemSize);
      break;
    case Event::AfterBackup:
      JobEnded(values.ItemName);
      break;
  }
}

// Each end of a run, whichever job it was, moves the window to its next
// row; after the last the engine is stopped and the window closes.
void TBackupRun::JobEnded(const std::string& job) {
  if (!Running() || closing_) return;
  const std::size_t next = sequence_->EndedCount() + 1;
  if (next < runRows_.size()) ApplyRow(rows_[runRows_[next]]);
  if (sequence_->RunEnded(*save_, job)) {
    currentRow_ = runRows_[next];
    return;
  }
  closing_ = true;
  done(QDialog::Accepted);
}

// The worker's loop ended: after the last job or an abort as asked; any
// other way the engine failed, and the run cannot go on.
void TBackupRun::EngineEnded() {
  if (aborted_) {
    done(QDialog::Rejected);
    return;
  }
  if (closing_ || RunCompleted()) return;
  closing_ = true;
  zkCheckBox1_->setChecked(false);
  QString reason = QStringLiteral("ismeretlen ok");
  if (const std::exception_ptr fatal = save_->FatalException()) {
    try {
      std::rethrow_exception(fatal);
    } catch (const std::exception& error) {
      reason = ToQString(error.what());
    } catch (...) {
      reason = QStringLiteral("ismeretlen kivétel");
    }
  }
  done(QDialog::Rejected);
  TZkApplication::ShowError(QStringLiteral("A mentés motorja idő előtt leállt: ") + reason);
}

void TBackupRun::closeEvent(QCloseEvent* event) {
  // No close button: the window closes through its buttons or by itself.
  if (!closing_) event->ignore();
}

void TBackupRun::reject() {
  // After an abort the window closes when the worker has ended.
  if (aborted_) return;
  if (closing_) {
    QDialog::reject();
    return;
  }
  if (!Running()) SpeedButton2Click();
}

TRunOutcome RunJobs(QWidget* owner, const TZkActionPlatform& platform, const std::string& jobFile,
                    const std::vector<std::string>& names, bool noThrottle) {
  TBackupRun run(platform, owner);
  run.SetJobFile(jobFile);
  for (const std::string& name : names) run.AddRow(name);
  run.SetNoThrottle(noThrottle);
  run.exec();
  TRunOutcome outcome;
  outcome.Completed = run.RunCompleted();
  outcome.ErrorLines = run.ErrorLines();
  outcome.ErrorFile = run.ErrorFilename();
  outcome.PoweredOff = run.ShutDownIfChecked();
  return outcome;
}

}  // namespace zk::ui

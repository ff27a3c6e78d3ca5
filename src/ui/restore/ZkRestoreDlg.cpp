#include "ui/restore/ZkRestoreDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <map>
#include <utility>

#include "base/ZkDateTime.h"
#include "engine/ZkRunRecords.h"
#include "engine/ZkThreadSave.h"
#include "platform/ZkFileSystem.h"
#include "ui/app/ZkApplication.h"
#include "ui/app/ZkQtText.h"
#include "ui/app/ZkUiResources.h"
#include "ui/controls/RadioGroup.h"
#include "ui/controls/SpeedButton.h"
#include "ui/controls/ZkEdit.h"
#include "ui/controls/ZkFolderEdit.h"
#include "ui/controls/ZkLabel.h"
#include "ui/progress/ZkProgress.h"
#include "util/ZkUtil.h"

namespace zk::ui {
namespace {

// The index of a run (runs list) or of a restore item (file tree).
constexpr int kIndexRole = Qt::UserRole + 1;
// A file node's stored path, which the filter looks at.
constexpr int kPathRole = Qt::UserRole + 2;

// In the order of "Meglévő fájlok".
constexpr TZkOverwrite kOverwrites[] = {TZkOverwrite::owAsk, TZkOverwrite::owNewer, TZkOverwrite::owAlways,
                                        TZkOverwrite::owNever};

QString MomentText(TDateTime moment) {
  const TDateTimeParts parts = DecodeDateTime(moment);
  return QDateTime(QDate(parts.Year, parts.Month, parts.Day), QTime(parts.Hour, parts.Minute, parts.Second))
      .toString(QStringLiteral("yyyy.MM.dd HH:mm:ss"));
}

QString SizeText(std::uint64_t size) {
  return QLocale().formattedDataSize(static_cast<qint64>(size), 1, QLocale::DataSizeTraditionalFormat);
}

// The status of a run as the main window marks a job's last run.
QString MarkOf(const TZkRunRecord& run) {
  if (run.Ok()) return QStringLiteral(":/backup/mark-ok.svg");
  if (SameText(run.Status, "Incomplete")) return QStringLiteral(":/backup/mark-incomplete.svg");
  return QStringLiteral(":/backup/mark-stopped.svg");
}

QString StatusText(const TZkRunRecord& run) {
  if (run.Ok()) return QStringLiteral("kész");
  if (SameText(run.Status, "Incomplete")) return QStringLiteral("hiányos: nem minden fájl került bele");
  return QStringLiteral("leállítva vagy hibával");
}

// The archives of a run that are gone, each with its path.
QStringList MissingArchives(const TZkRunRecord& run) {
  QStringList missing;
  for (const std::string& path : ArchivesOfRun(run))
    if (!platform::PathExists(path)) missing.push_back(ToQString(path));
  return missing;
}

void SetUpBar(TZkProgressBar& bar, const QString& name) {
  bar.setAccessibleName(name);
  bar.setFixedHeight(19);
  SetUpWindowBar(bar);
  bar.SetMax(100);
}

SpeedButton* NewButton(const QString& caption, const QString& icon, const char* name, const QString& tip,
                       QWidget* parent) {
  auto* button = new SpeedButton(caption, icon, parent);
  button->setObjectName(QLatin1String(name));
  button->setAccessibleName(caption);
  button->setToolTip(tip);
  button->setMinimumHeight(28);
  return button;
}

// Shows a node when it or one of its nodes below matches the filter.
bool Filter(QTreeWidgetItem& node, const QString& text) {
  bool visible = text.isEmpty() || node.data(0, kPathRole).toString().contains(text, Qt::CaseInsensitive);
  for (int i = 0; i < node.childCount(); ++i) visible = Filter(*node.child(i), text) || visible;
  node.setHidden(!visible);
  return visible;
}

}  // namespace

TZkRestoreDlg::TZkRestoreDlg(QWidget* owner)
    : QDialog(owner),
      runList_(new QTreeWidget(this)),
      filter_(new TZkEdit(this)),
      fileTree_(new QTreeWidget(this)),
      chosen_(new QLabel(this)),
      target_(new QGroupBox(QStringLiteral(" Cél "), this)),
      toOriginal_(new QRadioButton(QStringLiteral("Eredeti helyére"), target_)),
      toFolder_(new QRadioButton(QStringLiteral("Másik mappába"), target_)),
      targetFolder_(new TZkFolderEdit(target_)),
      existing_(new RadioGroup(QStringLiteral(" Meglévő fájlok "), {}, this)),
      totalBar_(new TZkProgressBar(this)),
      fileBar_(new TZkProgressBar(this)),
      summary_(new QLabel(this)),
      failureList_(new QPlainTextEdit(this)),
      restoreButton_(NewButton(QStringLiteral("Visszaállítás"), QStringLiteral("restore"), "RestoreButton",
                               QStringLiteral("A kijelölt fájlok visszaállítása"), this)),
      stopButton_(NewButton(QStringLiteral("Megszakítás"), QStringLiteral("abort"), "StopButton",
                            QStringLiteral("A visszaállítás leállítása: a félig írt fájl elmarad, a kész fájlok "
                                           "maradnak"),
                            this)),
      closeButton_(NewButton(QStringLiteral("Bezárás"), QStringLiteral("cancel"), "CloseButton",
                             QStringLiteral("Az ablak bezárása"), this)) {
  LoadUiResources();
  setObjectName(QStringLiteral("RestoreDlg"));
  setWindowTitle(QStringLiteral("Visszaállítás"));

  runList_->setObjectName(QStringLiteral("RunList"));
  runList_->setAccessibleName(QStringLiteral("Futások"));
  runList_->setToolTip(QStringLiteral("A mentés futásai, a legújabb elöl; a szürke futás archívuma hiányzik"));
  runList_->setHeaderLabels({QStringLiteral("Időpont"), QStringLiteral("Fajta"), QStringLiteral("Archívum")});
  runList_->setRootIsDecorated(false);
  // The end of an archive name tells the runs apart.
  runList_->setTextElideMode(Qt::ElideMiddle);
  runList_->setUniformRowHeights(true);
  runList_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  runList_->header()->setStretchLastSection(true);

  filter_->setObjectName(QStringLiteral("Filter"));
  filter_->setClearButtonEnabled(true);
  filter_->setPlaceholderText(QStringLiteral("név vagy útvonal része"));
  filter_->setToolTip(QStringLiteral("Csak azok a fájlok látszanak, amelyek útvonalában ez a szöveg szerepel"));

  fileTree_->setObjectName(QStringLiteral("FileTree"));
  fileTree_->setAccessibleName(QStringLiteral("Fájlok"));
  fileTree_->setToolTip(QStringLiteral("A pipával jelölt fájlok és mappák kerülnek vissza"));
  fileTree_->setHeaderLabels({QStringLiteral("Név"), QStringLiteral("Méret"), QStringLiteral("Dátum")});
  fileTree_->setUniformRowHeights(true);
  fileTree_->header()->setStretchLastSection(false);
  fileTree_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  fileTree_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  fileTree_->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
  chosen_->setObjectName(QStringLiteral("Chosen"));

  // The folder field sits on the line of its choice.
  target_->setObjectName(QStringLiteral("Target"));
  target_->setAccessibleName(QStringLiteral("Cél"));
  toOriginal_->setObjectName(QStringLiteral("ToOriginal"));
  toOriginal_->setToolTip(QStringLiteral("Minden fájl az eredeti útvonalára kerül vissza"));
  toFolder_->setObjectName(QStringLiteral("ToFolder"));
  toFolder_->setToolTip(QStringLiteral("A fájlok a megadott mappába kerülnek, a tárolt útvonalukkal"));
  toOriginal_->setChecked(true);
  auto* targetLayout = new QHBoxLayout(target_);
  targetLayout->addWidget(toOriginal_);
  targetLayout->addSpacing(12);
  targetLayout->addWidget(toFolder_);
  targetLayout->addWidget(targetFolder_, 1);
  targetFolder_->setObjectName(QStringLiteral("TargetFolder"));
  targetFolder_->setAccessibleName(QStringLiteral("Célmappa"));
  targetFolder_->Edit().setAccessibleName(QStringLiteral("Célmappa"));
  targetFolder_->setToolTip(QStringLiteral("Ide kerülnek a fájlok, a tárolt útvonalukkal"));
  targetFolder_->SetDialogText(QStringLiteral("Célmappa"));

  existing_->setObjectName(QStringLiteral("Existing"));
  existing_->setAccessibleName(QStringLiteral("Meglévő fájlok"));
  existing_->SetItems({QStringLiteral("Kérdez"), QStringLiteral("Ha újabb"), QStringLiteral("Felülír"),
                       QStringLiteral("Kihagy")});
  existing_->SetColumns(4);
  existing_->SetItemIndex(0);
  existing_->setToolTip(QStringLiteral("Mi legyen a célhelyen már meglévő fájllal"));

  totalBar_->setObjectName(QStringLiteral("TotalBar"));
  SetUpBar(*totalBar_, QStringLiteral("Teljes visszaállítás"));
  totalBar_->SetTextSuffix(QStringLiteral(" %"));
  fileBar_->setObjectName(QStringLiteral("FileBar"));
  SetUpBar(*fileBar_, QStringLiteral("Aktuális fájl"));
  // The file bar names the file being written instead of a percentage.
  fileBar_->SetOnText([this](TZkCustomProgressBar&, QString& text) { text = currentFile_; });

  summary_->setObjectName(QStringLiteral("Summary"));
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  failureList_->setObjectName(QStringLiteral("FailureList"));
  failureList_->setAccessibleName(QStringLiteral("Sikertelen fájlok"));
  failureList_->setReadOnly(true);
  failureList_->setLineWrapMode(QPlainTextEdit::NoWrap);
  failureList_->setMaximumHeight(90);
  failureList_->hide();

  // Runs on the left, the files on the right; the choices, bars and
  // buttons below both.
  auto* runsPane = new QWidget(this);
  auto* runsLayout = new QVBoxLayout(runsPane);
  runsLayout->setContentsMargins(0, 0, 0, 0);
  runsLayout->addWidget(new TZkLabel(QStringLiteral("F&utások"), runList_, runsPane));
  runsLayout->addWidget(runList_);
  auto* filesPane = new QWidget(this);
  auto* filesLayout = new QVBoxLayout(filesPane);
  filesLayout->setContentsMargins(0, 0, 0, 0);
  auto* filesHead = new QHBoxLayout;
  filesHead->addWidget(new TZkLabel(QStringLiteral("&Fájlok"), fileTree_, filesPane));
  filesHead->addStretch(1);
  filesHead->addWidget(new TZkLabel(QStringLiteral("&Szűrő:"), filter_, filesPane));
  filter_->setMinimumWidth(220);
  filesHead->addWidget(filter_);
  filesLayout->addLayout(filesHead);
  filesLayout->addWidget(fileTree_);
  filesLayout->addWidget(chosen_);
  auto* panes = new QSplitter(Qt::Horizontal, this);
  panes->setObjectName(QStringLiteral("Panes"));
  panes->setChildrenCollapsible(false);
  panes->addWidget(runsPane);
  panes->addWidget(filesPane);
  panes->setStretchFactor(0, 1);
  panes->setStretchFactor(1, 1);
  panes->setSizes({400, 500});

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(summary_, 1);
  for (SpeedButton* button : {restoreButton_, stopButton_, closeButton_}) buttons->addWidget(button);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(panes, 1);
  layout->addWidget(target_);
  layout->addWidget(existing_);
  layout->addWidget(totalBar_);
  layout->addWidget(fileBar_);
  layout->addWidget(failureList_);
  layout->addLayout(buttons);
  resize(920, 580);

  // Keyboard order as the window reads: runs, filter, files, then below.
  // A radio group is reached at its buttons.
  QList<QWidget*> order = {runList_, filter_, fileTree_, toOriginal_, toFolder_, &targetFolder_->Edit(),
                           &targetFolder_->BrowseButton()};
  for (QRadioButton* button : existing_->findChildren<QRadioButton*>()) order.push_back(button);
  order.append({failureList_, restoreButton_, stopButton_, closeButton_});
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  connect(runList_, &QTreeWidget::currentItemChanged, this,
          Guarded([this](QTreeWidgetItem*, QTreeWidgetItem*) { RunChosen(); }));
  connect(filter_, &QLineEdit::textChanged, this, Guarded([this](const QString&) { ApplyFilter(); }));
  // One count for a click that ticks a whole folder, not one per node.
  connect(fileTree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem*, int column) {
    if (column != 0 || std::exchange(countPending_, true)) return;
    QTimer::singleShot(0, this, [this] { Guarded([this] { UpdateChosen(); })(); });
  });
  connect(toFolder_, &QRadioButton::toggled, this, Guarded([this](bool) { UpdateControls(); }));
  connect(&targetFolder_->Edit(), &QLineEdit::textChanged, this, Guarded([this](const QString&) { UpdateControls(); }));
  connect(restoreButton_, &QToolButton::clicked, this, Guarded([this](bool) { StartRestore(); }));
  connect(stopButton_, &QToolButton::clicked, this, Guarded([this](bool) { StopRestore(); }));
  connect(closeButton_, &QToolButton::clicked, this, [this](bool) { reject(); });
  UpdateControls();
}

TZkRestoreDlg::~TZkRestoreDlg() {
  if (!worker_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    abandoned_ = true;
  }
  answered_.notify_all();
  fetchStop_ = true;
  if (restore_ != nullptr) restore_->StopRequested = true;
  worker_.join();
}

void TZkRestoreDlg::SetRemote(const TZkThreadDefineOutput& output, platform::TZkRemoteStore& store) {
  output_ = std::make_unique<TZkThreadDefineOutput>();
  output_->Assign(output);
  store_ = &store;
}

void TZkRestoreDlg::SetJob(const std::string& historyFile, const std::string& jobName) {
  setWindowTitle(QStringLiteral("Visszaállítás: ") + ToQString(jobName));
  runs_ = RunsOfHistory(TZkRunRecords::ReadJobHistory(historyFile, jobName));
  FillRuns();
}

void TZkRestoreDlg::FillRuns() {
  runList_->clear();
  QTreeWidgetItem* newestOk = nullptr;
  // A run to fetch is never chosen for the user: the fetch may be long.
  QTreeWidgetItem* firstHere = nullptr;
  for (std::size_t i = 0; i < runs_.size(); ++i) {
    const TZkRunRecord& run = runs_[i];
    auto* item = new QTreeWidgetItem(runList_);
    item->setIcon(0, QIcon(MarkOf(run)));
    item->setText(0, ToQString(run.Date + " " + run.Time));
    item->setText(1, ToQString(RunKindText(run.Kind)));
    item->setText(2, ToQString(FileNamePart(run.Path)));
    item->setData(0, kIndexRole, static_cast<qulonglong>(i));
    QString tip = StatusText(run) + QStringLiteral("\nArchívum: ") + ToQString(run.Path);
    if (run.BasePath) tip += QStringLiteral("\nAlapja: ") + ToQString(*run.BasePath);
    const QStringList missing = MissingArchives(run);
    if (!missing.isEmpty()) {
      tip += QStringLiteral("\nHiányzik: ") + missing.join(QStringLiteral(", "));
      if (FetchesMissing())
        tip += QStringLiteral("\nVálasztásra letöltődik a távoli másolatból: ") + ToQString(output_->RemoteTarget);
      else
        item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
    } else {
      if (newestOk == nullptr && run.Ok()) newestOk = item;
      if (firstHere == nullptr) firstHere = item;
    }
    for (int column = 0; column < 3; ++column) item->setToolTip(column, tip);
    item->setData(0, Qt::AccessibleDescriptionRole, tip);
  }
  if (newestOk == nullptr) newestOk = firstHere;
  if (newestOk != nullptr) {
    runList_->setCurrentItem(newestOk);
  } else if (runs_.empty()) {
    summary_->setText(QStringLiteral("A mentésnek még nincs futása."));
  } else {
    summary_->setText(FetchesMissing()
                          ? QStringLiteral("Egyik futás archívuma sincs meg helyben; a választott futásé "
                                           "letöltődik a távoli másolatból.")
                          : QStringLiteral("Egyik futás archívuma sincs meg."));
  }
  UpdateControls();
}

void TZkRestoreDlg::RunChosen() {
  FillFiles();
  UpdateChosen();
}

void TZkRestoreDlg::FillFiles() {
  fileTree_->clear();
  restore_.reset();
  fetched_.reset();
  summary_->clear();
  const QTreeWidgetItem* current = runList_->currentItem();
  if (current == nullptr) return;
  const TZkRunRecord& run = runs_.at(current->data(0, kIndexRole).toULongLong());
  if (FetchesMissing() && !MissingArchives(run).isEmpty()) {
    StartFetch(run);
    return;
  }
  OpenArchives(ArchivesOfRun(run));
}

void TZkRestoreDlg::OpenArchives(const std::vector<std::string>& archives) {
  try {
    restore_ = std::make_unique<TZkRestore>(archives);
  } catch (const std::exception& error) {
    summary_->setText(QStringLiteral("Az archívum nem olvasható: ") + ToQString(error.what()));
    return;
  }
  const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
  const QIcon fileIcon = style()->standardIcon(QStyle::SP_FileIcon);
  const QSignalBlocker quiet(fileTree_);
  std::map<std::string, QTreeWidgetItem*> folders;
  // The node of a folder path ("home/anna"), made with its parents.
  const auto folderOf = [&](const std::string& path, const auto& self) -> QTreeWidgetItem* {
    if (path.empty()) return nullptr;
    if (const auto found = folders.find(path); found != folders.end()) return found->second;
    const std::size_t slash = path.rfind('/');
    QTreeWidgetItem* parent = self(slash == std::string::npos ? std::string() : path.substr(0, slash), self);
    auto* node = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(fileTree_);
    node->setText(0, ToQString(slash == std::string::npos ? path : path.substr(slash + 1)));
    node->setIcon(0, folderIcon);
    node->setData(0, kPathRole, ToQString(path));
    node->setToolTip(0, ToQString("/" + path));
    node->setFlags(node->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
    node->setCheckState(0, Qt::Unchecked);
    folders.emplace(path, node);
    return node;
  };
  const std::vector<TZkRestoreItem>& items = restore_->Items();
  for (std::size_t i = 0; i < items.size(); ++i) {
    const TZkRestoreItem& item = items[i];
    std::string name = item.Name;
    while (!name.empty() && name.back() == '/') name.pop_back();
    if (name.empty()) continue;
    QTreeWidgetItem* node = nullptr;
    if (item.Folder) {
      node = folderOf(name, folderOf);
    } else {
      const std::size_t slash = name.rfind('/');
      QTreeWidgetItem* parent = folderOf(slash == std::string::npos ? std::string() : name.substr(0, slash), folderOf);
      node = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(fileTree_);
      node->setText(0, ToQString(slash == std::string::npos ? name : name.substr(slash + 1)));
      node->setIcon(0, fileIcon);
      node->setData(0, kPathRole, ToQString(name));
      node->setText(1, SizeText(item.Size));
      node->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
      node->setFlags(node->flags() | Qt::ItemIsUserCheckable);
      node->setCheckState(0, Qt::Unchecked);
    }
    node->setText(2, MomentText(item.DateTime));
    node->setData(0, kIndexRole, static_cast<qulonglong>(i));
    node->setToolTip(0, ToQString(item.OriginalPath));
  }
  // Open down to the first folder with more than one thing in it.
  for (QTreeWidgetItem* node = fileTree_->topLevelItemCount() == 1 ? fileTree_->topLevelItem(0) : nullptr;
       node != nullptr; node = node->childCount() == 1 ? node->child(0) : nullptr)
    node->setExpanded(true);
  ApplyFilter();
}

void TZkRestoreDlg::ApplyFilter() {
  const QString text = filter_->text().trimmed();
  for (int i = 0; i < fileTree_->topLevelItemCount(); ++i) Filter(*fileTree_->topLevelItem(i), text);
  if (!text.isEmpty()) fileTree_->expandAll();
}

std::vector<std::size_t> TZkRestoreDlg::ChosenItems() const {
  std::vector<std::size_t> chosen;
  for (QTreeWidgetItemIterator it(fileTree_); *it != nullptr; ++it) {
    const QTreeWidgetItem& node = **it;
    const QVariant index = node.data(0, kIndexRole);
    // A folder entry goes with any of its files, or alone when ticked.
    if (index.isValid() && node.checkState(0) != Qt::Unchecked) chosen.push_back(index.toULongLong());
  }
  std::sort(chosen.begin(), chosen.end());
  return chosen;
}

void TZkRestoreDlg::UpdateChosen() {
  countPending_ = false;
  chosenFiles_ = 0;
  chosenBytes_ = 0;
  const std::vector<std::size_t> chosen = ChosenItems();
  chosenItems_ = chosen.size();
  if (restore_ != nullptr) {
    for (const std::size_t index : chosen) {
      const TZkRestoreItem& item = restore_->Items()[index];
      if (item.Folder) continue;
      ++chosenFiles_;
      chosenBytes_ += item.Size;
    }
  }
  chosen_->setText(QStringLiteral("Kijelölve: %1 fájl, %2").arg(chosenFiles_).arg(SizeText(chosenBytes_)));
  UpdateControls();
}

void TZkRestoreDlg::UpdateControls() {
  const bool running = Running();
  const bool toFolder = toFolder_->isChecked();
  targetFolder_->setEnabled(toFolder && !running);
  const bool targetOk = !toFolder || !IsBlank(ToUtf8(targetFolder_->Text()));
  restoreButton_->setEnabled(!running && restore_ != nullptr && chosenItems_ > 0 && targetOk);
  stopButton_->setEnabled(running && !stopped_);
  closeButton_->setEnabled(!running);
  for (QWidget* control : std::initializer_list<QWidget*>{runList_, filter_, fileTree_, target_, existing_})
    control->setEnabled(!running);
}

void TZkRestoreDlg::StartRestore() {
  const std::vector<std::size_t> chosen = ChosenItems();
  if (restore_ == nullptr || chosen.empty() || Running()) return;
  if (toFolder_->isChecked())
    restore_->TargetFolder = ToUtf8(targetFolder_->Text());
  else
    restore_->TargetFolder.reset();
  restore_->Overwrite = kOverwrites[std::clamp(existing_->ItemIndex(), 0, 3)];
  restore_->StopRequested = false;
  counts_ = {};
  failureList_->clear();
  failureList_->hide();
  stopped_ = false;
  finished_ = false;
  summary_->setText(QStringLiteral("Visszaállítás…"));
  totalBar_->SetMax(static_cast<std::int64_t>(std::max<std::uint64_t>(chosenBytes_, 1)));
  totalBar_->SetPosition(0);
  fileBar_->SetPosition(0);

  // The handlers run on the worker: they copy what they report and post it.
  const TZkRestoreItem* current = nullptr;
  std::uint64_t itemStart = 0;
  restore_->OnProgress = [this, current, itemStart](std::uint64_t done, std::uint64_t total,
                                                    const TZkRestoreItem& item) mutable {
    if (&item != current) {
      current = &item;
      itemStart = done;
      if (OnItemStarts) OnItemStarts(restore_->DestinationOf(item));
    }
    {
      const std::lock_guard lock(mutex_);
      latest_ = {done, total, itemStart, item.Folder ? 0 : item.Size, restore_->DestinationOf(item)};
      fresh_ = true;
    }
    Post();
  };
  restore_->OnError = [this](const std::string& text) {
    {
      const std::lock_guard lock(mutex_);
      errors_.push_back(text);
    }
    Post();
  };
  restore_->OnAsk = [this](const TZkRestoreItem&, const std::string& destination) {
    return AskOnWorker(destination);
  };
  worker_ = std::thread([this, chosen] {
    TZkRestoreCounts counts;
    std::string failure;
    try {
      counts = restore_->Run(chosen);
    } catch (const std::exception& error) {
      failure = error.what();
    }
    {
      const std::lock_guard lock(mutex_);
      if (!failure.empty()) errors_.push_back(failure);
      result_ = counts;
      finished_ = true;
    }
    Post();
  });
  UpdateControls();
}

void TZkRestoreDlg::StopRestore() {
  if (!Running() || stopped_) return;
  stopped_ = true;
  if (fetching_)
    fetchStop_ = true;
  else
    restore_->StopRequested = true;
  summary_->setText(QStringLiteral("Leállítás…"));
  UpdateControls();
}

void TZkRestoreDlg::StartFetch(const TZkRunRecord& run) {
  fetched_ = std::make_unique<TZkFetchedArchives>();
  fetching_ = true;
  stopped_ = false;
  fetchStop_ = false;
  summary_->setText(QStringLiteral("Letöltés a távoli másolatból…"));
  totalBar_->SetMax(1);
  totalBar_->SetPosition(0);
  // The worker reads only its own copies and the window's output, which
  // stays as it is while it fetches.
  worker_ = std::thread([this, run] {
    TFetch result;
    try {
      result.Archives = fetched_->ArchivesOf(
          run, *output_, *store_, output_->Temp,
          [this](const std::string& line) {
            {
              const std::lock_guard lock(mutex_);
              fetch_.Line = line;
              fetch_.Done = fetch_.Total = -1;
            }
            Post();
          },
          [this] { return fetchStop_.load(); },
          [this](std::int64_t done, std::int64_t total) {
            {
              const std::lock_guard lock(mutex_);
              fetch_.Done = done;
              fetch_.Total = total;
            }
            Post();
          });
    } catch (const std::exception& error) {
      result.Failure = error.what();
    }
    {
      const std::lock_guard lock(mutex_);
      fetch_.Archives = std::move(result.Archives);
      fetch_.Failure = std::move(result.Failure);
      fetch_.Ended = true;
    }
    Post();
  });
  UpdateControls();
}

void TZkRestoreDlg::FinishFetch(const TFetch& fetch) {
  worker_.join();
  fetching_ = false;
  totalBar_->SetPosition(0);
  if (fetch.Failure.empty()) {
    OpenArchives(fetch.Archives);
  } else {
    fetched_.reset();
    summary_->setText(ToQString(fetch.Failure));
    if (!stopped_) {
      QMessageBox box(QMessageBox::Warning, windowTitle(), ToQString(fetch.Failure), QMessageBox::Ok, this);
      box.setObjectName(QStringLiteral("FetchFailure"));
      box.exec();
    }
  }
  stopped_ = false;
  UpdateChosen();
}

void TZkRestoreDlg::Post() {
  {
    const std::lock_guard lock(mutex_);
    if (posted_) return;
    posted_ = true;
  }
  QMetaObject::invokeMethod(this, "Flush", Qt::QueuedConnection);
}

void TZkRestoreDlg::Flush() {
  TProgress progress;
  bool fresh = false;
  std::vector<std::string> errors;
  bool finished = false;
  TFetch fetch;
  {
    const std::lock_guard lock(mutex_);
    posted_ = false;
    progress = latest_;
    fresh = std::exchange(fresh_, false);
    errors.swap(errors_);
    finished = finished_;
    fetch = fetch_;
    if (fetch_.Ended) fetch_ = {};
  }
  if (fetching_) {
    if (!stopped_ && !fetch.Line.empty()) {
      QString line = ToQString(fetch.Line);
      if (fetch.Done >= 0 && fetch.Total > 0)
        line += QStringLiteral(" (%1 / %2)").arg(SizeText(static_cast<std::uint64_t>(fetch.Done)),
                                                SizeText(static_cast<std::uint64_t>(fetch.Total)));
      summary_->setText(line);
    }
    if (fetch.Total > 0) {
      totalBar_->SetMax(fetch.Total);
      totalBar_->SetPosition(fetch.Done);
    }
    if (fetch.Ended) FinishFetch(fetch);
    return;
  }
  if (fresh) {
    totalBar_->SetMax(static_cast<std::int64_t>(std::max<std::uint64_t>(progress.Total, 1)));
    totalBar_->SetPosition(static_cast<std::int64_t>(progress.Done));
    fileBar_->SetMax(static_cast<std::int64_t>(std::max<std::uint64_t>(progress.ItemSize, 1)));
    fileBar_->SetPosition(static_cast<std::int64_t>(progress.Done - progress.ItemStart));
    currentFile_ = ToQString(progress.Destination);
    fileBar_->update();
  }
  for (const std::string& line : errors) {
    failureList_->appendPlainText(ToQString(line));
    failureList_->show();
  }
  if (finished && Running()) Finish();
}

TZkRestoreAnswer TZkRestoreDlg::AskOnWorker(const std::string& destination) {
  std::unique_lock lock(mutex_);
  question_ = destination;
  answer_.reset();
  QMetaObject::invokeMethod(this, "Ask", Qt::QueuedConnection);
  answered_.wait(lock, [this] { return answer_.has_value() || abandoned_; });
  return abandoned_ ? TZkRestoreAnswer::raNone : *answer_;
}

void TZkRestoreDlg::Ask() {
  QString path;
  {
    const std::lock_guard lock(mutex_);
    path = ToQString(question_);
  }
  QMessageBox box(QMessageBox::Question, windowTitle(),
                  QStringLiteral("Ez a fájl már megvan:\n%1\nFelülírja az archívumban lévővel?").arg(path),
                  QMessageBox::NoButton, this);
  box.setObjectName(QStringLiteral("OverwriteQuestion"));
  QPushButton* yes = box.addButton(QStringLiteral("Igen"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("Nem"), QMessageBox::NoRole);
  QPushButton* all = box.addButton(QStringLiteral("Mindet"), QMessageBox::YesRole);
  QPushButton* none = box.addButton(QStringLiteral("Egyiket sem"), QMessageBox::NoRole);
  yes->setToolTip(QStringLiteral("Ezt a fájlt felülírja"));
  no->setToolTip(QStringLiteral("Ezt a fájlt meghagyja"));
  all->setToolTip(QStringLiteral("Ezt és minden további meglévő fájlt felülír"));
  none->setToolTip(QStringLiteral("Ezt és minden további meglévő fájlt meghagy"));
  box.setDefaultButton(no);
  box.setEscapeButton(no);
  box.exec();
  const QAbstractButton* clicked = box.clickedButton();
  TZkRestoreAnswer answer = TZkRestoreAnswer::raNo;
  if (clicked == yes) answer = TZkRestoreAnswer::raYes;
  if (clicked == all) answer = TZkRestoreAnswer::raAll;
  if (clicked == none) answer = TZkRestoreAnswer::raNone;
  {
    const std::lock_guard lock(mutex_);
    answer_ = answer;
  }
  answered_.notify_all();
}

void TZkRestoreDlg::Finish() {
  worker_.join();
  {
    const std::lock_guard lock(mutex_);
    counts_ = result_;
    finished_ = false;
  }
  currentFile_.clear();
  fileBar_->SetPosition(0);
  if (!stopped_) totalBar_->SetPosition(totalBar_->Max());
  fileBar_->update();
  const QString counts = QStringLiteral("Visszaállítva: %1, kihagyva: %2, sikertelen: %3")
                             .arg(counts_.Restored)
                             .arg(counts_.Skipped)
                             .arg(counts_.Failed);
  summary_->setText(stopped_ ? QStringLiteral("Megszakítva. ") + counts : counts);
  UpdateControls();
}

void TZkRestoreDlg::closeEvent(QCloseEvent* event) {
  if (Running()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TZkRestoreDlg::reject() {
  if (!Running()) QDialog::reject();
}

void RestoreJob(QWidget* owner, const TZkProgramFiles& files, const std::string& jobName) {
  TZkRestoreDlg window(owner);
  TZkThreadSaveTasks jobs;
  ReadJobFile(files.JobFile, jobs);
  if (const TZkThreadSaveTask* job = jobs.FindByName(jobName))
    window.SetRemote(job->DefineOutput(), platform::RcloneStore());
  window.SetJob(files.IniFile, jobName);
  window.exec();
}

}  // namespace zk::ui

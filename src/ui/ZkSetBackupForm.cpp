#include "ui/ZkSetBackupForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidgetItem>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <iterator>
#include <utility>

#include "base/ZkError.h"
#include "base/ZkText.h"
#include "store/ZkTreeData.h"
#include "ui/ZkApplication.h"
#include "ui/ZkBinding.h"
#include "ui/ZkListPages.h"
#include "ui/ZkQtText.h"
#include "ui/controls/CheckListBox.h"
#include "ui/controls/RadioGroup.h"
#include "ui/controls/SpinEdit.h"
#include "ui/controls/TimePicker.h"
#include "ui/controls/ZkCheckBox.h"
#include "ui/controls/ZkDateEdit.h"
#include "ui/controls/ZkEdit.h"
#include "ui/controls/ZkFolderEdit.h"
#include "ui/controls/ZkLabel.h"
#include "ui/controls/ZkTreeView.h"

namespace zk::ui {

namespace detail {

enum class THandler {
  DataChange,
  TaskDisableCheckClick,
  PackModeClick,
  TimerTipusClick,
  TimerExtSavingClick,
  RadioGroup2Click
};

enum class TKind { FolderEdit, Edit, CheckBox, RadioGroup, CheckListBox, DateEdit, TimePicker, SpinEdit };

// One control of a page: what it binds to, and where it sits in the page's
// grid (a field's label takes the column before it).
struct TControlRow {
  const char* Name;
  TKind Kind;
  const char* Caption;  // a check box's or group's caption, a field's label
  const char* Hint;
  THandler Handler;
  int Row;
  int Column;
  int ColumnSpan;
};

}  // namespace detail

namespace {

using detail::TKind;
using H = detail::THandler;

constexpr const char* kJobsNode = "Saving";
constexpr const char* kJobNameAttribute = "Name";
constexpr const char* kNewJobEntry = "Item";

const QStringList kPackModes = {QStringLiteral("Nincs tömörítés"), QStringLiteral("Zip tömörítés")};
const QStringList kTimerTypes = {QStringLiteral("Naponta"), QStringLiteral("Hetente"), QStringLiteral("Havonta"),
                                 QStringLiteral("Évente"),  QStringLiteral("Időzítő"), QStringLiteral("Egyszeri")};
const QStringList kWeekDays = {QStringLiteral("Hétfő"),  QStringLiteral("Kedd"),     QStringLiteral("Szerda"),
                               QStringLiteral("Csütörtök"), QStringLiteral("Péntek"), QStringLiteral("Szombat"),
                               QStringLiteral("Vasárnap")};
const QStringList kMonths = {QStringLiteral("Január"),    QStringLiteral("Február"), QStringLiteral("Március"),
                             QStringLiteral("Április"),   QStringLiteral("Május"),   QStringLiteral("Június"),
                             QStringLiteral("Július"),    QStringLiteral("Augusztus"), QStringLiteral("Szeptember"),
                             QStringLiteral("Október"),   QStringLiteral("November"), QStringLiteral("December")};

// The schedule types whose controls are switched on and off.
constexpr int kWeekly = 1;
constexpr int kMonthly = 2;
constexpr int kYearly = 3;
constexpr int kTimer = 4;
constexpr int kOnce = 5;

QStringList DayNumbers() {
  QStringList days;
  for (int day = 1; day <= 31; ++day) days << QString::number(day);
  return days;
}

QList<QWidget*> ChildWidgets(const QWidget& container) {
  return container.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
}

// The list a page holds among its own children, none for other containers.
TZkTreeView* DirectList(const QWidget& container) {
  for (QWidget* child : ChildWidgets(container))
    if (auto* list = qobject_cast<TZkTreeView*>(child)) return list;
  return nullptr;
}

// The job node as it was, put back when a load fails half way.
class TJobSnapshot {
public:
  explicit TJobSnapshot(TZkTreeDataNode* job) : job_(job) {
    if (job_ != nullptr) copy_ = &scratch_.Root().AddCopy(*job_);
  }
  void Restore() {
    if (job_ != nullptr) job_->Assign(*copy_);
  }

private:
  TZkTreeDataNode* job_;
  TZkTreeData scratch_;
  TZkTreeDataNode* copy_ = nullptr;
};

}  // namespace


namespace {

// The archive's target and name, each with its four additions; then how it
// is packed and what is written beside it. Field labels sit in column 0.
constexpr detail::TControlRow kSaveRows[] = {
    {"OtputFolder", TKind::FolderEdit, "Cél könyvtár", "OutputFolder", H::DataChange, 0, 1, 2},
    {"OutputPathTime", TKind::CheckBox, "Idővel kiegészítve", "OutputFolderTime", H::DataChange, 1, 1, 1},
    {"OutputPathDate", TKind::CheckBox, "Dátummal kiegészítve", "OutputFolderDate", H::DataChange, 1, 2, 1},
    {"OutputPathWeekDay", TKind::CheckBox, "Hét napjával kiegészítve", "OutputFolderWeekDay", H::DataChange, 2, 1, 1},
    {"OutputPathMonthDay", TKind::CheckBox, "Hónap napjával kiegészítve", "OutputFolderMonthDay", H::DataChange, 2, 2,
     1},
    {"OutputFileName", TKind::Edit, "Archívum neve", "FileName", H::DataChange, 3, 1, 2},
    {"FilenameTime", TKind::CheckBox, "Idővel kiegészítve", "FileNameTime", H::DataChange, 4, 1, 1},
    {"FileNameDate", TKind::CheckBox, "Dátummal kiegészítve", "FileNameDate", H::DataChange, 4, 2, 1},
    {"FileNameWeekDay", TKind::CheckBox, "Hét napjával kiegészítve", "FileNameWeekDay", H::DataChange, 5, 1, 1},
    {"FileNameMonthDay", TKind::CheckBox, "Hónap napjával kiegészítve", "FileNameMonthDay", H::DataChange, 5, 2, 1},
    {"PackMode", TKind::RadioGroup, " Tömörítési eljárás ", "PackMode;1", H::PackModeClick, 6, 0, 3},
    {"CreateLogFile", TKind::CheckBox, "Napló készítése", "CreateLogFile", H::DataChange, 7, 1, 1},
    {"CreateErrorFile", TKind::CheckBox, "Hibalista készítése", "CreateErrorFile", H::DataChange, 7, 2, 1},
    {"TaskDisableCheck", TKind::CheckBox, "Tiltás", "disable", H::TaskDisableCheckClick, 8, 1, 1},
    {"ZkFolderEdit2", TKind::FolderEdit, "Munka könyvtár", "Temp", H::DataChange, 9, 1, 2},
};

constexpr detail::TControlRow kDuplicateRows[] = {
    {"ZkFolderEdit4", TKind::FolderEdit, "Másolat könyvtár", "DuplicateFolder", H::DataChange, 0, 1, 2},
    {"CheckBox10", TKind::CheckBox, "Idővel kiegészítve", "DuplicateFolderTime", H::DataChange, 1, 1, 1},
    {"CheckBox11", TKind::CheckBox, "Dátummal kiegészítve", "DuplicateFolderDate", H::DataChange, 1, 2, 1},
    {"CheckBox20", TKind::CheckBox, "Hét napjával kiegészítve", "DuplicateFolderWeekDay", H::DataChange, 2, 1, 1},
    {"CheckBox21", TKind::CheckBox, "Hónap napjával kiegészítve", "DuplicateFolderMonthDay", H::DataChange, 2, 2, 1},
    {"ZkEdit2", TKind::Edit, "Másolat neve", "DuplicateFileName", H::DataChange, 3, 1, 2},
    {"CheckBox12", TKind::CheckBox, "Idővel kiegészítve", "DuplicateFileNameTime", H::DataChange, 4, 1, 1},
    {"CheckBox13", TKind::CheckBox, "Dátummal kiegészítve", "DuplicateFileNameDate", H::DataChange, 4, 2, 1},
    {"CheckBox22", TKind::CheckBox, "Hét napjával kiegészítve", "DuplicateFileNameWeekDay", H::DataChange, 5, 1, 1},
    {"CheckBox23", TKind::CheckBox, "Hónap napjával kiegészítve", "DuplicateFileNameMonthDay", H::DataChange, 5, 2,
     1},
};

// The schedule entry's own output: as the job's, without a work folder.
constexpr detail::TControlRow kEntrySaveRows[] = {
    {"ZkFolderEdit1", TKind::FolderEdit, "Cél könyvtár", "OutputFolder", H::DataChange, 0, 1, 2},
    {"CheckBox3", TKind::CheckBox, "Idővel kiegészítve", "OutputFolderTime", H::DataChange, 1, 1, 1},
    {"CheckBox4", TKind::CheckBox, "Dátummal kiegészítve", "OutputFolderDate", H::DataChange, 1, 2, 1},
    {"CheckBox28", TKind::CheckBox, "Hét napjával kiegészítve", "OutputFolderWeekDay", H::DataChange, 2, 1, 1},
    {"CheckBox29", TKind::CheckBox, "Hónap napjával kiegészítve", "OutputFolderMonthDay", H::DataChange, 2, 2, 1},
    {"ZkEdit1", TKind::Edit, "Archívum neve", "FileName", H::DataChange, 3, 1, 2},
    {"CheckBox8", TKind::CheckBox, "Idő jelöléssel kiegészítve", "FileNameTime", H::DataChange, 4, 1, 1},
    {"CheckBox14", TKind::CheckBox, "Dátum jelöléssel kiegészítve", "FileNameDate", H::DataChange, 4, 2, 1},
    {"CheckBox26", TKind::CheckBox, "Hét napjával kiegészítve", "FileNameWeekDay", H::DataChange, 5, 1, 1},
    {"CheckBox27", TKind::CheckBox, "Hónap napjával kiegészítve", "FileNameMonthDay", H::DataChange, 5, 2, 1},
    {"RadioGroup1", TKind::RadioGroup, " Tömörítési eljárás ", "PackMode;1", H::RadioGroup2Click, 6, 0, 3},
    {"CheckBox5", TKind::CheckBox, "Napló készítése", "CreateLogFile", H::DataChange, 7, 1, 1},
    {"CheckBox7", TKind::CheckBox, "Hibalista készítése", "CreateErrorFile", H::DataChange, 7, 2, 1},
};

constexpr detail::TControlRow kEntryDuplicateRows[] = {
    {"ZkFolderEdit5", TKind::FolderEdit, "Másolat könyvtár", "DuplicateFolder", H::DataChange, 0, 1, 2},
    {"CheckBox15", TKind::CheckBox, "Idővel kiegészítve", "DuplicateFolderTime", H::DataChange, 1, 1, 1},
    {"CheckBox16", TKind::CheckBox, "Dátummal kiegészítve", "DuplicateFolderDate", H::DataChange, 1, 2, 1},
    {"CheckBox1", TKind::CheckBox, "Hét napjával kiegészítve", "DuplicateFolderWeekDay", H::DataChange, 2, 1, 1},
    {"CheckBox2", TKind::CheckBox, "Hónap napjával kiegészítve", "DuplicateFolderMonthDay", H::DataChange, 2, 2, 1},
    {"ZkEdit3", TKind::Edit, "Másolat neve", "DuplicateFileName", H::DataChange, 3, 1, 2},
    {"CheckBox17", TKind::CheckBox, "Idővel kiegészítve", "DuplicateFileNameTime", H::DataChange, 4, 1, 1},
    {"CheckBox18", TKind::CheckBox, "Dátummal kiegészítve", "DuplicateFileNameDate", H::DataChange, 4, 2, 1},
    {"CheckBox6", TKind::CheckBox, "Hét napjával kiegészítve", "DuplicateFileNameWeekDay", H::DataChange, 5, 1, 1},
    {"CheckBox19", TKind::CheckBox, "Hónap napjával kiegészítve", "DuplicateFileNameMonthDay", H::DataChange, 5, 2,
     1},
};

// "Paraméter": the type, then the two check-list boxes on their own panel
// (Panel7), then the moment, the interval and the entry's own output.
constexpr detail::TControlRow kTypeRows[] = {
    {"TimerTipus", TKind::RadioGroup, "Típusa", "TimerType", H::TimerTipusClick, 0, 0, 4},
};
constexpr detail::TControlRow kBoxRows[] = {
    {"TimerBox1", TKind::CheckListBox, "", "Months", H::DataChange, 0, 0, 1},
    {"TimerBox2", TKind::CheckListBox, "", "Days", H::DataChange, 0, 1, 1},
};
constexpr detail::TControlRow kMomentRows[] = {
    {"TimerDate", TKind::DateEdit, "Dátum:", "Date", H::DataChange, 2, 1, 1},
    {"TimerTime", TKind::TimePicker, "Idő:", "Time", H::DataChange, 2, 3, 1},
    {"TimerInterval", TKind::SpinEdit, "Időzítő (perc)", "Interval;180", H::DataChange, 3, 1, 1},
    {"TimerExtSaving", TKind::CheckBox, "Egyedi mentés", "ExtendedSaving", H::TimerExtSavingClick, 4, 0, 2},
    {"CheckBox9", TKind::CheckBox, "Csak a Változás mentése", "UpdateSaving", H::DataChange, 4, 2, 2},
};

// The detail panels of the file lists.
constexpr detail::TControlRow kSourcePanelRows[] = {
    {"ZkCheckBox1", TKind::CheckBox, "Alkönyvtárakkal együtt", "SubDir;1", H::DataChange, 0, 0, 1},
    {"ZkCheckBox2", TKind::CheckBox, "Rejtett állományokat", "Hidden;1", H::DataChange, 0, 1, 1},
    {"ZkCheckBox3", TKind::CheckBox, "Rendszer állományokat", "System;1", H::DataChange, 0, 2, 1},
};
constexpr detail::TControlRow kExtractPanelRows[] = {
    {"ZkCheckBox4", TKind::CheckBox, "Alkönyvtárakból is kihagyja", "SubDir;1", H::DataChange, 0, 0, 1},
};

// Captions and the fields they label: a field without a caption row of its
// own gets a label before it.
bool HasLabel(TKind kind) {
  return kind != TKind::CheckBox && kind != TKind::RadioGroup && kind != TKind::CheckListBox;
}

QWidget* CreateControl(const detail::TControlRow& row, QWidget& parent) {
  const QString caption = QString::fromUtf8(row.Caption);
  switch (row.Kind) {
    case TKind::FolderEdit: {
      auto* edit = new TZkFolderEdit(&parent);
      edit->setAcceptDrops(true);
      return edit;
    }
    case TKind::Edit:
      return new TZkEdit(&parent);
    case TKind::CheckBox:
      return new TZkCheckBox(caption, &parent);
    case TKind::RadioGroup:
      return new RadioGroup(caption, {}, &parent);
    case TKind::CheckListBox:
      return new CheckListBox({}, &parent);
    case TKind::DateEdit:
      return new TZkDateEdit(&parent);
    case TKind::TimePicker:
      return new TimePicker(&parent);
    case TKind::SpinEdit:
      return new SpinEdit(10, 99999999, &parent);
  }
  return nullptr;
}

QTabWidget* NewTabs(QWidget* parent, const char* name) {
  auto* tabs = new QTabWidget(parent);
  tabs->setObjectName(QLatin1String(name));
  return tabs;
}

QWidget* NewPage(const char* name) {
  auto* page = new QWidget;
  page->setObjectName(QLatin1String(name));
  return page;
}

}  // namespace

TZkSetBackupForm::TZkSetBackupForm(TZkSetBackupDlg& owner) : QDialog(nullptr), owner_(owner) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Tarnel backup"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setObjectName(QStringLiteral("ZkSetBackupForm"));
  BuildCommands();

  pages_ = NewTabs(this, "PageControl1");
  pages_->setAccessibleName(QStringLiteral("Mentés beállításai"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_);

  QWidget* general = NewPage("TabSheet1");
  auto* generalLayout = new QVBoxLayout(general);
  QTabWidget* generalTabs = NewTabs(general, "GeneralPages");
  generalLayout->addWidget(generalTabs);
  generalTabs->addTab(BuildPage(kSaveRows, "TabSheet14"), QStringLiteral("Mentés"));
  generalTabs->addTab(BuildPage(kDuplicateRows, "TabSheet15"), QStringLiteral("Másolat"));
  pages_->addTab(general, QStringLiteral("Általános"));

  QWidget* files = NewPage("TabSheet2");
  auto* filesLayout = new QVBoxLayout(files);
  QTabWidget* fileTabs = NewTabs(files, "FilePages");
  filesLayout->addWidget(fileTabs);
  for (detail::TListIndex index : {detail::kSourceList, detail::kExtractList}) {
    const TListRow& row = detail::ListRow(index);
    fileTabs->addTab(BuildFilePage(row), QString::fromUtf8(row.Page));
  }
  pages_->addTab(files, QStringLiteral("fájlok"));

  pages_->addTab(BuildSchedulePage(), QStringLiteral("Ütemezés"));

  QWidget* events = NewPage("TabSheet5");
  auto* eventsLayout = new QVBoxLayout(events);
  QTabWidget* eventTabs = NewTabs(events, "EventPages");
  eventsLayout->addWidget(eventTabs);
  for (detail::TListIndex index : {detail::kBeforeList, detail::kAfterList}) {
    const TListRow& row = detail::ListRow(index);
    eventTabs->addTab(BuildActionPage(row), QString::fromUtf8(row.Page));
  }
  pages_->addTab(events, QStringLiteral("Események"));

  static_cast<RadioGroup&>(Control("PackMode")).SetItems(kPackModes);
  static_cast<RadioGroup&>(Control("PackMode")).SetColumns(2);
  static_cast<RadioGroup&>(Control("RadioGroup1")).SetItems(kPackModes);
  static_cast<RadioGroup&>(Control("RadioGroup1")).SetColumns(2);
  static_cast<RadioGroup&>(Control("TimerTipus")).SetItems(kTimerTypes);
  static_cast<RadioGroup&>(Control("TimerTipus")).SetColumns(4);
  auto& months = static_cast<CheckListBox&>(Control("TimerBox1"));
  months.SetItems(kMonths);
  months.SetColumns(2);
  auto& days = static_cast<CheckListBox&>(Control("TimerBox2"));
  days.SetItems(DayNumbers());
  days.SetColumns(5);
  // Room for the schedule's list beside its detail and for the longest
  // names; the window grows with the user's font and can be resized.
  resize(sizeHint().expandedTo(QSize(780, 470)));
}

TZkSetBackupForm::~TZkSetBackupForm() = default;

QWidget& TZkSetBackupForm::Control(const char* name) const {
  auto* control = findChild<QWidget*>(QLatin1String(name));
  if (control == nullptr) throw EZkError(std::string("Nincs ilyen vezérlő: ") + name);
  return *control;
}

QAction& TZkSetBackupForm::Command(const QString& name) const {
  QAction* action = commands_.value(name);
  if (action == nullptr) throw EZkError("Nincs ilyen parancs: " + ToUtf8(name));
  return *action;
}

void TZkSetBackupForm::AddRows(QWidget& container, QGridLayout& grid, const TControlRow* rows, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const TControlRow& row = rows[i];
    QWidget* control = CreateControl(row, container);
    control->setObjectName(QLatin1String(row.Name));
    SetHint(*control, QString::fromUtf8(row.Hint));
    control->setAccessibleName(QString::fromUtf8(row.Caption).trimmed());
    if (HasLabel(row.Kind)) {
      auto* label = new TZkLabel(QString::fromUtf8(row.Caption), control, &container);
      grid.addWidget(label, row.Row, row.Column - 1);
    }
    grid.addWidget(control, row.Row, row.Column, 1, row.ColumnSpan);
    Connect(*control, row.Handler);
  }
}

template <std::size_t N>
QWidget* TZkSetBackupForm::BuildPage(const TControlRow (&rows)[N], const char* name) {
  QWidget* page = NewPage(name);
  auto* grid = new QGridLayout(page);
  AddRows(*page, *grid, rows, N);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(grid->rowCount(), 1);
  return page;
}

void TZkSetBackupForm::Connect(QWidget& control, THandler handler) {
  BoundControl* bound = AsBound(control);
  if (bound == nullptr) return;
  switch (handler) {
    case H::DataChange:
    case H::TaskDisableCheckClick:
      bound->OnChange = Guarded([this](QWidget& sender) { DataChange(sender); });
      return;
    case H::PackModeClick:
      bound->OnChange = Guarded([this](QWidget& sender) { PackModeClick(sender); });
      return;
    case H::TimerTipusClick:
      bound->OnChange = Guarded([this](QWidget& sender) { TimerTipusClick(sender); });
      return;
    case H::TimerExtSavingClick:
      bound->OnChange = Guarded([this](QWidget& sender) { TimerExtSavingClick(sender); });
      return;
    case H::RadioGroup2Click:
      bound->OnChange = Guarded([this](QWidget& sender) { RadioGroup2Click(sender); });
      return;
  }
}

void TZkSetBackupForm::BuildCommands() {
  for (const TCommandRow& row : detail::Commands()) {
    if (row.Routine == detail::TRoutine::Submenu) continue;
    auto* action = new QAction(QString::fromUtf8(row.Caption), this);
    action->setObjectName(QLatin1String(row.Name));
    connect(action, &QAction::triggered, this, Guarded([this, &row](bool) { RunCommand(row); }));
    commands_.insert(action->objectName(), action);
  }
}

TZkTreeView& TZkSetBackupForm::BuildList(QWidget& page, const TListRow& row) {
  auto* list = new TZkTreeView(&page);
  list->setObjectName(QLatin1String(row.Name));
  list->setAccessibleName(QString::fromUtf8(row.Page));
  SetHint(*list, QString::fromUtf8(row.Hint));
  list->SetAcceptDropFiles(row.AcceptDropFiles);
  if (row.FileList) {
    list->OnDropFile = [this](TZkTreeView& sender, const QString& fileName, int) {
      Guarded([this, &sender, &fileName] { ListDropFile(sender, fileName); })();
    };
  }
  list->OnEdited = [this](TZkTreeView& sender, QTreeWidgetItem& entry, QString& text) {
    Guarded([this, &sender, &entry, &text] { ListEdited(sender, entry, text); })();
  };
  list->OnEntryMoved = [this](TZkTreeView& sender, QTreeWidgetItem& entry, int index) {
    Guarded([this, &sender, &entry, index] { ListEntryMoved(sender, entry, index); })();
  };
  connect(list, &QTreeWidget::currentItemChanged, this, Guarded([this, list](QTreeWidgetItem*, QTreeWidgetItem*) {
            ListChange(*list);
          }));
  connect(list, &QTreeWidget::itemDoubleClicked, this, Guarded([this, list](QTreeWidgetItem*, int) {
            if (list->currentItem() != nullptr) ClickByTag(*popupMenus_.value(list), 2);
          }));

  // The popup menu, its submenus first, each entry with its tag.
  auto* menu = new QMenu(this);
  menu->setObjectName(QLatin1String(row.Menu));
  QHash<QString, QMenu*> submenus;
  for (const detail::TMenuRow& item : row.MenuRows) {
    const QString name = QLatin1String(item.Command);
    QMenu* into = item.Submenu != nullptr ? submenus.value(QLatin1String(item.Submenu)) : menu;
    QAction* action = commands_.value(name);
    if (action == nullptr) {
      // A parent entry: its submenu is its only command.
      const auto command = std::find_if(detail::Commands().begin(), detail::Commands().end(),
                                        [&](const TCommandRow& c) { return name == QLatin1String(c.Name); });
      QMenu* submenu = into->addMenu(QString::fromUtf8(command->Caption));
      submenu->menuAction()->setObjectName(name);
      commands_.insert(name, submenu->menuAction());
      submenus.insert(name, submenu);
      continue;
    }
    if (item.Tag != 0) action->setData(item.Tag);
    into->addAction(action);
  }
  popupMenus_.insert(list, menu);
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list, &QWidget::customContextMenuRequested, menu,
          [list, menu](const QPoint& at) { menu->popup(list->viewport()->mapToGlobal(at)); });
  list->installEventFilter(this);
  list->viewport()->installEventFilter(this);
  return *list;
}

QToolBar& TZkSetBackupForm::BuildToolBar(QWidget& page, std::span<const char* const> commands,
                                         Qt::Orientation orientation) {
  auto* bar = new QToolBar(&page);
  bar->setOrientation(orientation);
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  for (const char* name : commands) bar->addAction(&Command(QLatin1String(name)));
  return *bar;
}

QWidget* TZkSetBackupForm::BuildFilePage(const TListRow& row) {
  QWidget* page = NewPage(row.PageName);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(&BuildToolBar(*page, row.ToolBar, Qt::Horizontal));
  layout->addWidget(&BuildList(*page, row), 1);
  auto* panel = new QWidget(page);
  const bool source = QLatin1String(row.Name) == QLatin1String("SourceList");
  panel->setObjectName(source ? QStringLiteral("SourcePanel") : QStringLiteral("ExtractPanel"));
  MarkDetailPanel(*panel);
  auto* grid = new QGridLayout(panel);
  grid->setContentsMargins(0, 0, 0, 0);
  if (source) {
    AddRows(*panel, *grid, kSourcePanelRows, std::size(kSourcePanelRows));
  } else {
    AddRows(*panel, *grid, kExtractPanelRows, std::size(kExtractPanelRows));
  }
  layout->addWidget(panel);
  return page;
}

QWidget* TZkSetBackupForm::BuildSchedulePage() {
  const TListRow& row = detail::ListRow(detail::kTimerList);
  QWidget* page = NewPage(row.PageName);
  auto* grid = new QGridLayout(page);
  grid->addWidget(&BuildToolBar(*page, row.ToolBar, Qt::Horizontal), 0, 0);
  grid->addWidget(&BuildList(*page, row), 1, 0);
  QTabWidget* detail = NewTabs(page, "TimerDetail");
  detail->addTab(BuildParameterPage(), QStringLiteral("Paraméter"));
  QWidget* own = NewPage("TimerSheet2");
  auto* ownLayout = new QVBoxLayout(own);
  QTabWidget* ownTabs = NewTabs(own, "TimerOutputPages");
  ownTabs->addTab(BuildPage(kEntrySaveRows, "TabSheet16"), QStringLiteral("Mentés"));
  ownTabs->addTab(BuildPage(kEntryDuplicateRows, "TabSheet17"), QStringLiteral("Másolat"));
  ownLayout->addWidget(ownTabs);
  detail->addTab(own, QStringLiteral("Egyedi mentés helye"));
  // Shown while "Egyedi mentés" is checked, which it is not before a load.
  detail->setTabVisible(detail->indexOf(own), false);
  grid->addWidget(detail, 0, 1, 2, 1);
  grid->setColumnStretch(0, 2);
  grid->setColumnStretch(1, 5);
  return page;
}

QWidget* TZkSetBackupForm::BuildParameterPage() {
  QWidget* page = NewPage("TimerSheet1");
  auto* grid = new QGridLayout(page);
  AddRows(*page, *grid, kTypeRows, std::size(kTypeRows));
  auto* panel = new QWidget(page);
  panel->setObjectName(QStringLiteral("Panel7"));
  auto* boxes = new QGridLayout(panel);
  boxes->setContentsMargins(0, 0, 0, 0);
  AddRows(*panel, *boxes, kBoxRows, std::size(kBoxRows));
  boxes->setColumnStretch(0, 1);
  boxes->setColumnStretch(1, 1);
  panel->installEventFilter(this);
  grid->addWidget(panel, 1, 0, 1, 4);
  grid->setRowStretch(1, 1);
  AddRows(*page, *grid, kMomentRows, std::size(kMomentRows));
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  return page;
}

QWidget* TZkSetBackupForm::BuildActionPage(const TListRow& row) {
  QWidget* page = NewPage(row.PageName);
  auto* grid = new QGridLayout(page);
  grid->addWidget(&BuildList(*page, row), 0, 0);
  grid->addWidget(&BuildToolBar(*page, row.SideBar, Qt::Vertical), 0, 1);
  grid->addWidget(&BuildToolBar(*page, row.ToolBar, Qt::Horizontal), 1, 0, 1, 2);
  grid->setColumnStretch(0, 1);
  return page;
}

bool TZkSetBackupForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched->objectName() == QLatin1String("Panel7") && event->type() == QEvent::Resize) {
    Panel7Resize();
    return false;
  }
  if (auto* list = qobject_cast<TZkTreeView*>(watched); list != nullptr && event->type() == QEvent::KeyPress) {
    QMenu* menu = popupMenus_.value(list);
    if (list->IsEditing() || list->currentItem() == nullptr || menu == nullptr)
      return false;
    int tag = 0;
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        tag = 2;
        break;
      case Qt::Key_Insert:
        tag = 4;
        break;
      case Qt::Key_Delete:
        tag = 3;
        break;
      default:
        return false;
    }
    Guarded([this, menu, tag] { ClickByTag(*menu, tag); })();
    return true;
  }
  if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
    // The popup menu acts on the entry under the pointer.
    if (auto* list = qobject_cast<TZkTreeView*>(watched->parent())) {
      if (QTreeWidgetItem* entry = list->itemAt(static_cast<QMouseEvent*>(event)->position().toPoint()))
        list->setCurrentItem(entry);
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TZkSetBackupForm::showEvent(QShowEvent* event) {
  binding_ = true;
  Panel7Resize();
  QDialog::showEvent(event);
}

void TZkSetBackupForm::closeEvent(QCloseEvent* event) {
  // Every change is in the file already: closing needs no question.
  event->accept();
}

void TZkSetBackupForm::ApplyOptions(TBackupOptions options) {
  const auto show = [this](const char* page, bool visible) {
    pages_->setTabVisible(pages_->indexOf(&Control(page)), visible);
  };
  show("TabSheet2", options.Contains(TBackupOption::bdShowFiles));
  show("TabSheet3", options.Contains(TBackupOption::bdShowTiming));
  show("TabSheet5", options.Contains(TBackupOption::bdShowService));
}

bool TZkSetBackupForm::IsLocked() const {
  return owner_.ReadOnly() || !owner_.IsOpen() || owner_.Select().empty();
}

TZkTreeDataNode* TZkSetBackupForm::JobsNode() const {
  TZkTreeData& document = owner_.Document();
  return document.Active() ? document.Root().FindNode(kJobsNode) : nullptr;
}

namespace {

TZkTreeDataNode* FindByAttribute(TZkTreeDataNode& collection, const std::string& attribute,
                                 const std::string& value) {
  TZkTreeDataNodes& nodes = collection.Nodes();
  for (int i = nodes.Count() - 1; i >= 0; --i)
    if (SameText(nodes.Items(i).AttributeByName(attribute).Value(), value)) return &nodes.Items(i);
  return nullptr;
}

}  // namespace

TZkTreeDataNode* TZkSetBackupForm::CurrentJobNode() const {
  TZkTreeDataNode* jobs = JobsNode();
  return jobs != nullptr ? FindByAttribute(*jobs, kJobNameAttribute, owner_.Select()) : nullptr;
}

TDescript TZkSetBackupForm::DescribeList(TZkTreeView* list) const {
  TDescript d;
  if (list == nullptr) {
    d.ListNode = JobsNode();
    d.ListKey = kJobsNode;
    d.NewEntryName = kNewJobEntry;
    d.Selected = CurrentJobNode();
    return d;
  }
  d.View = list;
  d.ListNode = ListNode(*list);
  d.ListKey = HintKey(*list);
  d.NewEntryName = ToUtf8(HintField(Hint(*list), 2));
  d.Selected = EntryNode(list->currentItem());
  if (d.Selected != nullptr && d.ListNode != nullptr) {
    const TZkTreeDataNodes& entries = d.ListNode->Nodes();
    for (int i = entries.Count() - 1; i >= 0 && d.SelectedIndex < 0; --i)
      if (&entries.Items(i) == d.Selected) d.SelectedIndex = i;
  }
  return d;
}

void TZkSetBackupForm::LoadAll() {
  TZkTreeData& document = owner_.Document();
  TJobSnapshot snapshot(CurrentJobNode());
  document.BeginUpdate();
  try {
    LoadControls(*pages_, CurrentJobNode());
    UpdateActions();
  } catch (...) {
    // The job goes back to what it was, and no list keeps an entry of the
    // nodes the restore replaced.
    snapshot.Restore();
    for (TZkTreeView* list : findChildren<TZkTreeView*>()) {
      const QSignalBlocker quiet(list);
      list->clear();
      SetListNode(*list, nullptr);
    }
    document.SetModified(false);
    document.EndUpdate();
    throw;
  }
  // Defaults filled in by loading are no change of the user's.
  document.SetModified(false);
  document.EndUpdate();
}

void TZkSetBackupForm::LoadControls(QWidget& container, TZkTreeDataNode* node) {
  for (QWidget* child : ChildWidgets(container)) {
    LoadControls(*child, node);
    if (TZkTreeView* list = DirectList(*child)) {
      BindList(*list, node);
    } else {
      LoadControl(*child, node);
    }
  }
}

void TZkSetBackupForm::LoadControl(QWidget& control, TZkTreeDataNode* node) {
  const std::string key = HintKey(control);
  if (key.empty()) return;
  binding_ = false;
  struct TBindingOn {
    bool& binding;
    ~TBindingOn() { binding = true; }
  } bindingOn{binding_};
  std::string text;
  if (node != nullptr) {
    text = node->ChildValue(key, "");
    const std::string fallback = ToUtf8(HintField(Hint(control), 2));
    if (text.empty() && !fallback.empty()) {
      text = fallback;
      node->NodeByName(key).SetValue(fallback);
    }
  }
  if (BoundControl* bound = AsBound(control)) LoadValue(*bound, text);
}

void TZkSetBackupForm::DataChange(QWidget& sender) {
  if (owner_.ReadOnly()) return;
  const std::string key = HintKey(sender);
  BoundControl* bound = AsBound(sender);
  if (!key.empty() && binding_ && bound != nullptr && !IsLocked()) {
    const TDescript d = DescribeList(NearestList(sender));
    if (d.Selected != nullptr) {
      TZkTreeDataNode* existing = d.Selected->FindNode(key);
      const std::string before = existing != nullptr ? existing->Value() : std::string();
      TZkTreeDataNode& value = d.Selected->NodeByName(key);
      value.SetValue(ReadValue(*bound, owner_.FormatSettings()));
      try {
        owner_.AutoSaveNow();
      } catch (...) {
        // A write that failed leaves the document as the file has it.
        if (existing != nullptr) {
          value.SetValue(before);
        } else {
          d.Selected->DeleteNode(value);
        }
        throw;
      }
      return;
    }
  }
  owner_.AutoSaveNow();
}

void TZkSetBackupForm::BindList(TZkTreeView& list, TZkTreeDataNode* node) {
  SetListNode(list, nullptr);
  // Without a document the list shows nothing: its entries would stand for
  // nodes that are gone.
  if (owner_.Document().Active() && node != nullptr) {
    const std::string key = HintKey(list);
    TZkTreeDataNode* listNode = node->FindNode(key);
    if (listNode == nullptr) listNode = &node->AddNode(key);
    SetListNode(list, listNode);
  }
  FillTree(list, ListNode(list));
}

void TZkSetBackupForm::FillTree(TZkTreeView& list, TZkTreeDataNode* listNode) {
  {
    const QSignalBlocker quiet(list);
    list.setUpdatesEnabled(false);
    list.clear();
    if (listNode != nullptr)
      for (int i = 0; i < listNode->Nodes().Count(); ++i) AddTreeEntry(list, listNode->Nodes().Items(i), -1);
    // The first entry is selected here and its panel loaded below, not
    // through the list's signal: a load that fails must reach the caller.
    if (list.topLevelItemCount() > 0) list.setCurrentItem(list.topLevelItem(0));
    list.setUpdatesEnabled(true);
  }
  ListChange(list);
}

void TZkSetBackupForm::AddTreeEntry(TZkTreeView& list, TZkTreeDataNode& node, int position) {
  QTreeWidgetItem& entry = list.InsertEntry(position, ToQString(node.AttributeByName("name").Value()));
  SetEntryNode(entry, &node);
  RefreshImage(list, entry);
}

void TZkSetBackupForm::ListChange(TZkTreeView& list) {
  LoadPanel(list);
  UpdateActions();
}

void TZkSetBackupForm::LoadPanel(TZkTreeView& list) {
  TZkTreeData& document = owner_.Document();
  if (!document.Active()) return;
  const TDescript d = DescribeList(&list);
  QWidget* panel = DetailPanel(list);
  if (panel == nullptr) return;
  {
    // One write for the whole panel, of the defaults it filled in.
    TZkTreeUpdate batch(document);
    LoadControls(*panel, d.Selected);
  }
  panel->setEnabled(d.Selected != nullptr);
  if (document.Modified() && !owner_.ReadOnly()) owner_.AutoSaveNow();
}

void TZkSetBackupForm::UpdateActions() {
  enum TWhen { kUnlocked, kSource, kExtract, kTimer, kBefore, kAfter };
  static constexpr std::pair<TWhen, const char*> kEnabling[] = {
      {kUnlocked, "TabSheet14"},       {kUnlocked, "TabSheet15"},        {kUnlocked, "SourceAdd"},
      {kUnlocked, "SourceAddFile"},    {kUnlocked, "SourceAddPath"},     {kUnlocked, "SourceAddHand"},
      {kUnlocked, "ExtractAdd"},       {kUnlocked, "ExtractAddFile"},    {kUnlocked, "ExtractAddpath"},
      {kUnlocked, "ExtractAddHand"},   {kUnlocked, "TimerAdd"},          {kUnlocked, "StartAdd"},
      {kUnlocked, "StartPause"},       {kUnlocked, "StartRun"},          {kUnlocked, "StartRunWait"},
      {kUnlocked, "StartClose"},       {kUnlocked, "StartServiceRun"},   {kUnlocked, "StartServiceClose"},
      {kUnlocked, "StartServicePause"}, {kUnlocked, "EndAdd"},           {kUnlocked, "EndPause"},
      {kUnlocked, "EndRun"},           {kUnlocked, "EndRunWait"},        {kUnlocked, "EndClose"},
      {kUnlocked, "EndServiceRun"},    {kUnlocked, "EndServiceStop"},    {kUnlocked, "EndServicePause"},
      {kUnlocked, "EndComputerStop"},  {kUnlocked, "EndComputerRestart"},
      {kSource, "SourceInsert"},       {kSource, "SourceInsertPath"},    {kSource, "SourceInsertHand"},
      {kSource, "SourceRename"},       {kSource, "SourceDel"},           {kSource, "SourcePanel"},
      {kExtract, "ExtractInsert"},     {kExtract, "ExtractInsertFile"},  {kExtract, "ExtractInsertPath"},
      {kExtract, "ExtractInsertHand"}, {kExtract, "ExtractRename"},      {kExtract, "ExtractDel"},
      {kExtract, "ExtractPanel"},
      {kTimer, "TimerInsert"},         {kTimer, "TimerRename"},          {kTimer, "TimerDel"},
      {kTimer, "TimerSheet1"},
      {kBefore, "StartInsert"},        {kBefore, "StartInsertPause"},    {kBefore, "StartInsertRun"},
      {kBefore, "StartInsertRunWait"}, {kBefore, "StartInsertClose"},    {kBefore, "StartInsertServiceRun"},
      {kBefore, "StartInsertServiceStop"}, {kBefore, "StartEditor"},     {kBefore, "StartDel"},
      {kAfter, "EndInsert"},           {kAfter, "EndInsertPause"},       {kAfter, "EndInsertRun"},
      {kAfter, "EndInsertRunWait"},    {kAfter, "EndInsertClose"},       {kAfter, "EndInsertServiceRun"},
      {kAfter, "EndInsertServiceStop"}, {kAfter, "EndInsertComputerStop"}, {kAfter, "EndInsertComputerRestart"},
      {kAfter, "EndEditor"},           {kAfter, "EndDel"},
  };
  const bool unlocked = !IsLocked();
  // A read-only window changes no entry either: the commands on a selected
  // entry stay off too.
  const auto selected = [this, unlocked](const char* list) {
    auto* view = findChild<TZkTreeView*>(QLatin1String(list));
    return unlocked && view != nullptr && view->currentItem() != nullptr;
  };
  const bool enabled[] = {unlocked,
                          selected("SourceList"),
                          selected("ExtractList"),
                          selected("TimerList"),
                          selected("BeforeList"),
                          selected("AfterList")};
  for (const auto& [when, name] : kEnabling) {
    if (QAction* action = commands_.value(QLatin1String(name))) {
      action->setEnabled(enabled[when]);
    } else {
      Control(name).setEnabled(enabled[when]);
    }
  }
}

void TZkSetBackupForm::PackModeClick(QWidget& sender) {
  const bool zip = static_cast<RadioGroup&>(sender).ItemIndex() > 0;
  for (const char* name : {"FileNameDate", "FilenameTime", "OutputFileName", "ZkFolderEdit2"})
    Control(name).setEnabled(zip);
  auto& tabs = static_cast<QTabWidget&>(Control("GeneralPages"));
  tabs.setTabVisible(tabs.indexOf(&Control("TabSheet15")), zip);
  DataChange(sender);
}

void TZkSetBackupForm::RadioGroup2Click(QWidget& sender) {
  const bool zip = static_cast<RadioGroup&>(sender).ItemIndex() > 0;
  for (const char* name : {"ZkEdit1", "CheckBox14", "CheckBox8"}) Control(name).setEnabled(zip);
  auto& tabs = static_cast<QTabWidget&>(Control("TimerOutputPages"));
  tabs.setTabVisible(tabs.indexOf(&Control("TabSheet17")), zip);
  DataChange(sender);
}

void TZkSetBackupForm::TimerExtSavingClick(QWidget& sender) {
  DataChange(sender);
  auto& tabs = static_cast<QTabWidget&>(Control("TimerDetail"));
  tabs.setTabVisible(tabs.indexOf(&Control("TimerSheet2")), static_cast<TZkCheckBox&>(sender).isChecked());
}

void TZkSetBackupForm::TimerTipusClick(QWidget& sender) {
  DataChange(sender);
  const int type = static_cast<RadioGroup&>(sender).ItemIndex();
  Control("TimerDate").setEnabled(type == kOnce);
  Control("TimerTime").setEnabled(type != kTimer);
  Control("TimerBox1").setEnabled(type == kWeekly || type == kYearly);
  Control("TimerBox2").setEnabled(type == kMonthly || type == kYearly);
  Control("TimerInterval").setEnabled(type == kTimer);
  auto& box = static_cast<CheckListBox&>(Control("TimerBox1"));
  if (type == kWeekly) {
    box.SetItems(kWeekDays);
    SetHint(box, QStringLiteral("Dows"));
  } else if (type == kYearly) {
    box.SetItems(kMonths);
    SetHint(box, QStringLiteral("Months"));
  } else {
    SetHint(box, {});
  }
  LoadControl(box, DescribeList(NearestList(box)).Selected);
}

void TZkSetBackupForm::Panel7Resize() {
  // Setting the columns anew lays the 31 days out again in the new width.
  auto& days = static_cast<CheckListBox&>(Control("TimerBox2"));
  days.SetColumns(7);
  days.SetColumns(5);
  // Room for the schedule's list beside its detail and for the longest
  // names; the window grows with the user's font and can be resized.
  resize(sizeHint().expandedTo(QSize(780, 470)));
}

}  // namespace zk::ui

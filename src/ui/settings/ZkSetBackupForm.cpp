#include "ui/settings/ZkSetBackupForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTreeWidgetItem>
#include <QVBoxLayout>

#include <exception>
#include <utility>

#include "base/ZkError.h"
#include "base/ZkText.h"
#include "store/ZkTreeData.h"
#include "ui/app/ZkApplication.h"
#include "ui/app/ZkQtText.h"
#include "ui/controls/BoundControl.h"
#include "ui/controls/ZkLabel.h"
#include "ui/controls/ZkTreeView.h"
#include "ui/settings/ZkBinding.h"
#include "ui/settings/ZkListPages.h"
#include "ui/settings/ZkPageRows.h"

namespace zk::ui {

namespace {

using detail::NewPage;
using detail::NewTabs;
using H = detail::THandler;

constexpr const char* kJobsNode = "Saving";
constexpr const char* kJobNameAttribute = "Name";
constexpr const char* kNewJobEntry = "Item";

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

TZkSetBackupForm::TZkSetBackupForm(TZkJobAccess& owner)
    : QDialog(nullptr),
      owner_(owner),
      listPages_(std::make_unique<TZkListPages>(*this, owner, [this](TZkTreeView& list) { ListChanged(list); })) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Tarnel backup"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setObjectName(QStringLiteral("ZkSetBackupForm"));
  BuildCommands();

  pages_ = NewTabs(this, "PageControl1");
  pages_->setAccessibleName(QStringLiteral("Mentés beállításai"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_);
  AddGeneralPage();
  AddListPages("TabSheet2", "FilePages", QStringLiteral("fájlok"), {detail::kSourceList, detail::kExtractList},
               &TZkSetBackupForm::BuildFilePage);
  AddSchedulePage();
  AddListPages("TabSheet5", "EventPages", QStringLiteral("Események"), {detail::kBeforeList, detail::kAfterList},
               &TZkSetBackupForm::BuildActionPage);
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

void TZkSetBackupForm::AddTabbedPage(const char* name, const char* tabsName, const QString& caption,
                                     const std::function<void(QTabWidget&)>& fill) {
  QWidget* page = NewPage(name);
  auto* layout = new QVBoxLayout(page);
  QTabWidget* tabs = NewTabs(page, tabsName);
  layout->addWidget(tabs);
  fill(*tabs);
  pages_->addTab(page, caption);
}

void TZkSetBackupForm::AddListPages(const char* name, const char* tabsName, const QString& caption,
                                    std::initializer_list<detail::TListIndex> lists,
                                    QWidget* (TZkSetBackupForm::*build)(const TListRow&)) {
  AddTabbedPage(name, tabsName, caption, [this, lists, build](QTabWidget& tabs) {
    for (detail::TListIndex index : lists) {
      const TListRow& row = detail::ListRow(index);
      tabs.addTab((this->*build)(row), QString::fromUtf8(row.Page));
    }
  });
}

void TZkSetBackupForm::AddRows(QWidget& container, QGridLayout& grid, std::span<const TControlRow> rows) {
  for (const TControlRow& row : rows) {
    QWidget* control = detail::CreateControl(row, container);
    control->setObjectName(QLatin1String(row.Name));
    SetHint(*control, QString::fromUtf8(row.Hint));
    control->setAccessibleName(QString::fromUtf8(row.Caption).trimmed());
    if (detail::HasLabel(row.Kind)) {
      auto* label = new TZkLabel(QString::fromUtf8(row.Caption), control, &container);
      grid.addWidget(label, row.Row, row.Column - 1);
    }
    grid.addWidget(control, row.Row, row.Column, 1, row.ColumnSpan);
    Connect(*control, row.Handler);
  }
}

QWidget* TZkSetBackupForm::BuildPage(std::span<const TControlRow> rows, const char* name) {
  QWidget* page = NewPage(name);
  auto* grid = new QGridLayout(page);
  AddRows(*page, *grid, rows);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(grid->rowCount(), 1);
  return page;
}

void TZkSetBackupForm::Connect(QWidget& control, THandler handler) {
  BoundControl* bound = AsBound(control);
  if (bound == nullptr) return;
  // DataChange unless the handler names another.
  static constexpr std::pair<THandler, void (TZkSetBackupForm::*)(QWidget&)> kRoutines[] = {
      {H::PackModeClick, &TZkSetBackupForm::PackModeClick},
      {H::TimerTipusClick, &TZkSetBackupForm::TimerTipusClick},
      {H::TimerExtSavingClick, &TZkSetBackupForm::TimerExtSavingClick},
      {H::RadioGroup2Click, &TZkSetBackupForm::RadioGroup2Click},
  };
  void (TZkSetBackupForm::*routine)(QWidget&) = &TZkSetBackupForm::DataChange;
  for (const auto& [named, own] : kRoutines)
    if (named == handler) routine = own;
  bound->OnChange = Guarded([this, routine](QWidget& sender) { (this->*routine)(sender); });
}

void TZkSetBackupForm::BuildCommands() {
  for (const TCommandRow& row : detail::Commands()) {
    if (row.Routine == detail::TRoutine::Submenu) continue;
    auto* action = new QAction(QString::fromUtf8(row.Caption), this);
    action->setObjectName(QLatin1String(row.Name));
    connect(action, &QAction::triggered, this, Guarded([this, &row](bool) { listPages_->RunCommand(row); }));
    commands_.insert(action->objectName(), action);
  }
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

bool TZkSetBackupForm::IsLocked() const { return owner_.IsLocked(); }

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
  if (list == nullptr) {
    TDescript d;
    d.ListNode = JobsNode();
    d.ListKey = kJobsNode;
    d.NewEntryName = kNewJobEntry;
    d.Selected = CurrentJobNode();
    return d;
  }
  return detail::DescribeList(*list);
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
      for (int i = 0; i < listNode->Nodes().Count(); ++i)
        detail::AddTreeEntry(list, listNode->Nodes().Items(i), -1);
    // The first entry is selected here and its panel loaded below, not
    // through the list's signal: a load that fails must reach the caller.
    if (list.topLevelItemCount() > 0) list.setCurrentItem(list.topLevelItem(0));
    list.setUpdatesEnabled(true);
  }
  ListChange(list);
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

void TZkSetBackupForm::ListChanged(TZkTreeView& list) {
  LoadPanel(list);
  UpdateActions();
  owner_.AutoSaveNow();
}

void TZkSetBackupForm::UpdateActions() {
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
  for (const auto& [when, name] : detail::kEnabling) {
    if (QAction* action = commands_.value(QLatin1String(name))) {
      action->setEnabled(enabled[when]);
    } else {
      Control(name).setEnabled(enabled[when]);
    }
  }
}

}  // namespace zk::ui

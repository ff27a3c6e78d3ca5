#include "ui/settings/ZkListRows.h"

#include <QTreeWidgetItem>

#include "platform/ZkFileSystem.h"
#include "store/ZkTreeData.h"
#include "ui/app/ZkQtText.h"
#include "ui/controls/BoundControl.h"
#include "ui/controls/ZkTreeView.h"
#include "ui/settings/ZkBinding.h"
#include "util/ZkUtil.h"
#include "util/ZkUtilFile.h"

namespace zk::ui {
namespace detail {
namespace {

using R = TRoutine;

constexpr const char* kEditPrompt = "Kijelölt elem szerkesztése";
constexpr const char* kSpecPrompt = "Üsse be a file specifikációt (pl: *.dbf)";
constexpr const char* kRunPrompt = "Program futtatásának paraméterei";

constexpr TCommandRow kCommands[] = {
    // include list
    {"SourceAdd", "Hozzáadás", "SourceList", R::Submenu, "", "", false},
    {"SourceAddFile", "File Hozzáadás", "SourceList", R::AddFromFiles, "", "", false},
    {"SourceAddPath", "Könyvtár hozzáadás", "SourceList", R::AddFolder, "", "", false},
    {"SourceAddHand", "Kézi", "SourceList", R::AddTyped, kSpecPrompt, "", false},
    {"SourceInsert", "Beszúrás", "SourceList", R::Submenu, "", "", true},
    {"SourceInsertFile", "File beszúrás", "SourceList", R::AddFromFiles, "", "", true},
    {"SourceInsertPath", "Könyvtár beszúrás", "SourceList", R::AddFolder, "", "", true},
    {"SourceInsertHand", "Kézi beszúrás", "SourceList", R::AddTyped, kSpecPrompt, "", true},
    {"SourceRename", "Szerkeszt", "SourceList", R::EditListEntry, kEditPrompt, "", false},
    {"SourceDel", "Töröl", "SourceList", R::DeleteListEntry, "", "", false},
    // exclude list
    {"ExtractAdd", "Hozzáadás", "ExtractList", R::Submenu, "", "", false},
    {"ExtractAddFile", "File Hozzáadás", "ExtractList", R::AddFromFiles, "", "", false},
    {"ExtractAddpath", "Könyvtár hozzáadás", "ExtractList", R::AddFolder, "", "", false},
    {"ExtractAddHand", "Kézi", "ExtractList", R::AddTyped, kSpecPrompt, "", false},
    {"ExtractInsert", "Beszúrás", "ExtractList", R::Submenu, "", "", true},
    {"ExtractInsertFile", "File beszúrás", "ExtractList", R::AddFromFiles, "", "", true},
    {"ExtractInsertPath", "Könyvtár beszúrás", "ExtractList", R::AddFolder, "", "", true},
    {"ExtractInsertHand", "Kézi beszúrás", "ExtractList", R::AddTyped, kSpecPrompt, "", true},
    {"ExtractRename", "Szerkeszt", "ExtractList", R::EditListEntry, kEditPrompt, "", false},
    {"ExtractDel", "Töröl", "ExtractList", R::DeleteListEntry, "", "", false},
    // schedule list
    {"TimerAdd", "Hozzáadás", "TimerList", R::AddTyped, "Időzítő neve", "", false},
    {"TimerInsert", "Beszúrás", "TimerList", R::AddTyped, "Időzítő neve", "", true},
    {"TimerRename", "Átnevezés", "TimerList", R::EditListEntry, kEditPrompt, "", false},
    {"TimerDel", "Törlés", "TimerList", R::DeleteListEntry, "", "", false},
    // pre-backup actions
    {"StartAdd", "Hozzáadás", "BeforeList", R::Submenu, "", "", false},
    {"StartPause", "Szünet", "BeforeList", R::AddTyped, "Várakozási idő bevitele (Másodperc)", "PAUSE;%s", false},
    {"StartRun", "Futtatás", "BeforeList", R::AddFromPrograms, kRunPrompt, "EXECUTE;%s;%s", false},
    {"StartRunWait", "Futtatás és várakozás", "BeforeList", R::AddFromPrograms, kRunPrompt, "EXECUTEWAIT;%s;%s",
     false},
    {"StartClose", "Program bezárása", "BeforeList", R::AddTyped, "Felirat vagy osztály név", "CLOSE;%s", false},
    {"StartServiceRun", "Szolgáltatás indítása", "BeforeList", R::AddServiceWithParam, "", "START_SERVICE;%s;%s",
     false},
    {"StartServiceClose", "Szolgáltatás leállítása", "BeforeList", R::AddService, "", "STOP_SERVICE;%s;%s", false},
    {"StartServicePause", "Szolgáltatás felfüggesztése", "BeforeList", R::AddService, "", "PAUSE_SERVICE;%s;%s",
     false},
    {"StartInsert", "Beszúrás", "BeforeList", R::Submenu, "", "", true},
    {"StartInsertPause", "Szünet", "BeforeList", R::AddTyped, "Várakozási idő bevitele (Másodperc)", "PAUSE;%s",
     true},
    {"StartInsertRun", "Futtatás", "BeforeList", R::AddFromPrograms, kRunPrompt, "EXECUTE;%s;%s", true},
    {"StartInsertRunWait", "Futtatás és várakozás", "BeforeList", R::AddFromPrograms, kRunPrompt,
     "EXECUTEWAIT;%s;%s", true},
    {"StartInsertClose", "Program bezárása", "BeforeList", R::AddTyped, "Felirat vagy osztály név", "CLOSE;%s",
     true},
    {"StartInsertServiceRun", "Szolgáltatás indítása", "BeforeList", R::AddServiceWithParam, "",
     "START_SERVICE;%s;%s", true},
    {"StartInsertServiceStop", "Szolgáltatás leállítása", "BeforeList", R::AddService, "", "STOP_SERVICE;%s;%s",
     true},
    {"StartInsertServicePause", "Szolgáltatás felfüggesztése", "BeforeList", R::AddService, "",
     "PAUSE_SERVICE;%s;%s", true},
    {"StartEditor", "Szerkesztés", "BeforeList", R::EditListEntry, kEditPrompt, "", false},
    {"StartDel", "Törlés", "BeforeList", R::DeleteListEntry, "", "", false},
    // post-backup actions
    {"EndAdd", "Hozzáadás", "AfterList", R::Submenu, "", "", false},
    {"EndPause", "Szünet", "AfterList", R::AddTyped, "Várakozási idő bevitele (Másodperc)", "PAUSE;%s", false},
    {"EndRun", "Futtatás", "AfterList", R::AddFromPrograms, kRunPrompt, "EXECUTE;%s;%s", false},
    {"EndRunWait", "Futtatás és várakozás", "AfterList", R::AddFromPrograms, kRunPrompt, "EXECUTEWAIT;%s;%s",
     false},
    {"EndClose", "Program bezárása", "AfterList", R::AddTyped, "Felirat vagy osztály név", "CLOSE;%s", false},
    {"EndServiceRun", "Szolgáltatás indítása", "AfterList", R::AddServiceWithParam, "", "START_SERVICE;%s;%s",
     false},
    {"EndServiceStop", "Szolgáltatás leállítása", "AfterList", R::AddService, "", "STOP_SERVICE;%s;%s", false},
    {"EndServicePause", "Szolgáltatás felfüggesztése", "AfterList", R::AddService, "", "PAUSE_SERVICE;%s;%s",
     false},
    {"EndComputerRestart", "Számítógép újraindítása", "AfterList", R::AddText, "", "RESTART", false},
    {"EndComputerStop", "Számítógép leállítása", "AfterList", R::AddText, "", "SHUTDOWN", false},
    {"EndInsert", "Beszúrás", "AfterList", R::Submenu, "", "", true},
    {"EndInsertPause", "Szünet", "AfterList", R::AddTyped, "Várakozási idő bevitele (Másodperc)", "PAUSE;%s",
     true},
    {"EndInsertRun", "Futtatás", "AfterList", R::AddFromPrograms, kRunPrompt, "EXECUTE;%s;%s", true},
    {"EndInsertRunWait", "Futtatás és várakozás", "AfterList", R::AddFromPrograms, kRunPrompt, "EXECUTEWAIT;%s;%s",
     true},
    {"EndInsertClose", "Program bezárása", "AfterList", R::AddTyped, "Felirat vagy osztály név", "CLOSE;%s", true},
    {"EndInsertServiceRun", "Szolgáltatás indítása", "AfterList", R::AddServiceWithParam, "",
     "START_SERVICE;%s;%s", true},
    {"EndInsertServiceStop", "Szolgáltatás leállítása", "AfterList", R::AddService, "", "STOP_SERVICE;%s;%s",
     true},
    {"EndInsertServicePause", "Szolgáltatás felfüggesztése", "AfterList", R::AddService, "",
     "PAUSE_SERVICE;%s;%s", true},
    {"EndInsertComputerRestart", "Számítógép újraindítása", "AfterList", R::AddText, "", "RESTART", true},
    {"EndInsertComputerStop", "Számítógép leállítása", "AfterList", R::AddText, "", "SHUTDOWN", true},
    {"EndEditor", "Szerkesztés", "AfterList", R::EditListEntry, kEditPrompt, "", false},
    {"EndDel", "Törlés", "AfterList", R::DeleteListEntry, "", "", false},
};

constexpr TMenuRow kSourceMenu[] = {
    {"SourceAdd", nullptr, 0},        {"SourceAddFile", "SourceAdd", 0},       {"SourceAddPath", "SourceAdd", 1},
    {"SourceAddHand", "SourceAdd", 0}, {"SourceInsert", nullptr, 0},           {"SourceInsertFile", "SourceInsert", 0},
    {"SourceInsertPath", "SourceInsert", 4}, {"SourceInsertHand", "SourceInsert", 0}, {"SourceRename", nullptr, 2},
    {"SourceDel", nullptr, 3},
};
constexpr TMenuRow kExtractMenu[] = {
    {"ExtractAdd", nullptr, 0},          {"ExtractAddFile", "ExtractAdd", 0},
    {"ExtractAddpath", "ExtractAdd", 1}, {"ExtractAddHand", "ExtractAdd", 0},
    {"ExtractInsert", nullptr, 0},       {"ExtractInsertFile", "ExtractInsert", 0},
    {"ExtractInsertPath", "ExtractInsert", 4}, {"ExtractInsertHand", "ExtractInsert", 0},
    {"ExtractRename", nullptr, 2},       {"ExtractDel", nullptr, 3},
};
constexpr TMenuRow kTimerMenu[] = {
    {"TimerAdd", nullptr, 1}, {"TimerInsert", nullptr, 4}, {"TimerRename", nullptr, 2}, {"TimerDel", nullptr, 3}};
constexpr TMenuRow kBeforeMenu[] = {
    {"StartAdd", nullptr, 0},
    {"StartPause", "StartAdd", 0},
    {"StartRun", "StartAdd", 1},
    {"StartRunWait", "StartAdd", 0},
    {"StartClose", "StartAdd", 0},
    {"StartServiceRun", "StartAdd", 0},
    {"StartServiceClose", "StartAdd", 0},
    {"StartServicePause", "StartAdd", 0},
    {"StartInsert", nullptr, 0},
    {"StartInsertPause", "StartInsert", 0},
    {"StartInsertRun", "StartInsert", 4},
    {"StartInsertRunWait", "StartInsert", 0},
    {"StartInsertClose", "StartInsert", 0},
    {"StartInsertServiceRun", "StartInsert", 0},
    {"StartInsertServiceStop", "StartInsert", 0},
    {"StartInsertServicePause", "StartInsert", 0},
    {"StartEditor", nullptr, 2},
    {"StartDel", nullptr, 3},
};
constexpr TMenuRow kAfterMenu[] = {
    {"EndAdd", nullptr, 0},
    {"EndPause", "EndAdd", 0},
    {"EndRun", "EndAdd", 1},
    {"EndRunWait", "EndAdd", 0},
    {"EndClose", "EndAdd", 0},
    {"EndServiceRun", "EndAdd", 0},
    {"EndServiceStop", "EndAdd", 0},
    {"EndServicePause", "EndAdd", 0},
    {"EndComputerRestart", "EndAdd", 0},
    {"EndComputerStop", "EndAdd", 0},
    {"EndInsert", nullptr, 0},
    {"EndInsertPause", "EndInsert", 0},
    {"EndInsertRun", "EndInsert", 4},
    {"EndInsertRunWait", "EndInsert", 0},
    {"EndInsertClose", "EndInsert", 0},
    {"EndInsertServiceRun", "EndInsert", 0},
    {"EndInsertServiceStop", "EndInsert", 0},
    {"EndInsertServicePause", "EndInsert", 0},
    {"EndInsertComputerRestart", "EndInsert", 0},
    {"EndInsertComputerStop", "EndInsert", 0},
    {"EndEditor", nullptr, 2},
    {"EndDel", nullptr, 3},
};

constexpr const char* kSourceBar[] = {"SourceAddFile", "SourceAddPath", "SourceAddHand", "SourceRename", "SourceDel"};
constexpr const char* kExtractBar[] = {"ExtractAddFile", "ExtractAddpath", "ExtractAddHand", "ExtractRename",
                                       "ExtractDel"};
constexpr const char* kTimerBar[] = {"TimerAdd", "TimerRename", "TimerDel"};
constexpr const char* kBeforeBar[] = {"StartEditor", "StartDel"};
constexpr const char* kBeforeSide[] = {"StartPause",      "StartRun",          "StartRunWait",     "StartClose",
                                       "StartServiceRun", "StartServiceClose", "StartServicePause"};
constexpr const char* kAfterBar[] = {"EndEditor", "EndDel"};
constexpr const char* kAfterSide[] = {"EndPause",       "EndRun",          "EndRunWait",         "EndClose",
                                      "EndServiceRun",  "EndServiceStop",  "EndServicePause",    "EndComputerRestart",
                                      "EndComputerStop"};

const TListRow kLists[kListCount] = {
    {"SourceList", "Forrás", "SourcePage", "AddFiles;Item;*.*", "SourcePopupMenu", 16, true, true, kSourceMenu,
     kSourceBar, {}},
    {"ExtractList", "Kihagyás", "ExtractPage", "ExtractFiles;Item", "ExtractPopupMenu", 20, true, true, kExtractMenu,
     kExtractBar, {}},
    {"TimerList", "Ütemezés", "TabSheet3", "TimerList;Item", "TimerPopupMenu", kScheduleImage, false, false,
     kTimerMenu, kTimerBar, {}},
    {"BeforeList", "Mentés előtti feladatok", "BeforePage", "BeginFuncList;Item", "BeforeSavePopup", kActionImage,
     false, true, kBeforeMenu, kBeforeBar, kBeforeSide},
    {"AfterList", "Mentés utáni feladatok", "AfterPage", "EndFuncList;Item", "AfterSavePopup", kActionImage, false,
     true, kAfterMenu, kAfterBar, kAfterSide},
};

}  // namespace

std::span<const TCommandRow> Commands() { return kCommands; }

const TListRow& ListRow(TListIndex index) { return kLists[index]; }

TDescript DescribeList(TZkTreeView& list) {
  TDescript d;
  d.View = &list;
  d.ListNode = ListNode(list);
  d.ListKey = HintKey(list);
  d.NewEntryName = ToUtf8(HintField(Hint(list), 2));
  d.Selected = EntryNode(list.currentItem());
  if (d.Selected != nullptr && d.ListNode != nullptr) {
    const TZkTreeDataNodes& entries = d.ListNode->Nodes();
    for (int i = entries.Count() - 1; i >= 0 && d.SelectedIndex < 0; --i)
      if (&entries.Items(i) == d.Selected) d.SelectedIndex = i;
  }
  return d;
}

void AddTreeEntry(TZkTreeView& list, TZkTreeDataNode& node, int position) {
  QTreeWidgetItem& entry = list.InsertEntry(position, ToQString(node.AttributeByName("name").Value()));
  SetEntryNode(entry, &node);
  RefreshImage(list, entry);
}

void RefreshImage(TZkTreeView& list, QTreeWidgetItem& entry) {
  for (std::size_t i = 0; i < kListCount; ++i) {
    const TListRow& row = ListRow(static_cast<TListIndex>(i));
    if (list.objectName() != QLatin1String(row.Name)) continue;
    const int image = row.FileList ? FileEntryImage(ToUtf8(entry.text(0)), row.ImageBase) : row.ImageBase;
    SetEntryImage(entry, image);
    return;
  }
}

}  // namespace detail

int FileEntryImage(const std::string& text, int base) {
  if (IsFolder(text) || FileNamePart(text) == "*.*") return base + 1;
  return ListFiles(text, platform::faAnyFile).size() == 1 ? base + 2 : base;
}

}  // namespace zk::ui

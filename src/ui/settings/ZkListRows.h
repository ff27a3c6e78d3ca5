#pragma once
// What the settings window and its list commands both work from: the tables
// of the list pages (the five lists, their commands with routine, prompt and
// pattern, their toolbars and popup menus), the description of a list's
// selection, and the entries that stand for the nodes of a list.

#include <cstddef>
#include <span>
#include <string>

class QTreeWidgetItem;

namespace zk {
class TZkTreeDataNode;
}

namespace zk::ui {

class TZkTreeView;

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

namespace detail {

// How a command builds or changes an entry.
enum class TRoutine {
  Submenu,           // a popup menu entry that only opens its submenu
  AddFromFiles,      // open-file dialog, several files
  AddFromPrograms,   // open-file dialog for one program
  AddFolder,         // folder picker, the folder with "*.*"
  AddTyped,          // input box, refused when an entry has the text
  AddServiceWithParam,
  AddService,
  AddText,           // the pattern itself is the entry's text
  EditListEntry,
  DeleteListEntry
};

struct TCommandRow {
  const char* Name;
  const char* Caption;
  const char* List;     // the list control the command acts on
  TRoutine Routine;
  const char* Prompt;   // of the input box, empty for none
  const char* Pattern;  // "%s" the text, a second "%s" the parameter
  bool Insert;          // before the selected entry instead of at the end
};

// A popup menu entry: the command, the submenu it sits in (none for the
// menu itself), and the tag the keyboard finds it by (0 for none).
struct TMenuRow {
  const char* Command;
  const char* Submenu;
  int Tag;
};

struct TListRow {
  const char* Name;
  const char* Page;     // the tab caption
  const char* PageName;
  const char* Hint;
  const char* Menu;
  int ImageBase;
  bool FileList;        // its entries are file specifications
  bool AcceptDropFiles;
  std::span<const TMenuRow> MenuRows;
  std::span<const char* const> ToolBar;
  std::span<const char* const> SideBar;  // the action lists' right-side buttons
};

std::span<const TCommandRow> Commands();

// The lists in page order: include, exclude, schedule, pre-, post-backup.
enum TListIndex : std::size_t { kSourceList, kExtractList, kTimerList, kBeforeList, kAfterList, kListCount };
const TListRow& ListRow(TListIndex index);

// The image index of every entry of a list without the file rule.
inline constexpr int kScheduleImage = 33;
inline constexpr int kActionImage = 40;

// A bound list, its node and its selected entry.
TDescript DescribeList(TZkTreeView& list);
// An entry for the node at `position` of the list (-1: at the end), with
// its image.
void AddTreeEntry(TZkTreeView& list, TZkTreeDataNode& node, int position);
// The image of the entry for its text, by the rule of its list.
void RefreshImage(TZkTreeView& list, QTreeWidgetItem& entry);

}  // namespace detail
}  // namespace zk::ui

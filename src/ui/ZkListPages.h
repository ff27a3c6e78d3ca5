#pragma once
// The tables of the settings window's list pages: the five lists, their
// commands with routine, prompt and pattern, their toolbars and popup menus.
// Only the settings window includes this.

#include <cstddef>
#include <span>

namespace zk::ui::detail {

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

}  // namespace zk::ui::detail

#pragma once
// The tables the settings window's pages are declared in: a table a grid,
// one control a row, with what it binds to and where it sits in the grid;
// the commands and controls each state of the window enables; and the
// widgets the rows make.

#include <QStringList>

#include <utility>

class QTabWidget;
class QWidget;

namespace zk::ui::detail {

// What a control's change runs.
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

using H = THandler;

// The archive's target and name, each with its four additions; then how it
// is packed, what is written beside it, the check of the new archive and
// how many dated archives stay. Field labels sit in column 0.
inline constexpr TControlRow kSaveRows[] = {
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
    {"VerifyArchive", TKind::CheckBox, "Ellenőrzés mentés után", "VerifyArchive", H::DataChange, 10, 1, 1},
    {"KeepCount", TKind::SpinEdit, "Megtartott archívumok", "KeepCount;0", H::DataChange, 11, 1, 1},
    {"RemoteTarget", TKind::Edit, "Távoli másolat (rclone)", "RemoteTarget", H::DataChange, 12, 1, 2},
};

inline constexpr TControlRow kDuplicateRows[] = {
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
inline constexpr TControlRow kEntrySaveRows[] = {
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

inline constexpr TControlRow kEntryDuplicateRows[] = {
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
inline constexpr TControlRow kTypeRows[] = {
    {"TimerTipus", TKind::RadioGroup, "Típusa", "TimerType", H::TimerTipusClick, 0, 0, 4},
};
inline constexpr TControlRow kBoxRows[] = {
    {"TimerBox1", TKind::CheckListBox, "", "Months", H::DataChange, 0, 0, 1},
    {"TimerBox2", TKind::CheckListBox, "", "Days", H::DataChange, 0, 1, 1},
};
inline constexpr TControlRow kMomentRows[] = {
    {"TimerDate", TKind::DateEdit, "Dátum:", "Date", H::DataChange, 2, 1, 1},
    {"TimerTime", TKind::TimePicker, "Idő:", "Time", H::DataChange, 2, 3, 1},
    {"TimerInterval", TKind::SpinEdit, "Időzítő (perc)", "Interval;180", H::DataChange, 3, 1, 1},
    {"TimerExtSaving", TKind::CheckBox, "Egyedi mentés", "ExtendedSaving", H::TimerExtSavingClick, 4, 0, 2},
    {"CheckBox9", TKind::CheckBox, "Csak a Változás mentése", "UpdateSaving", H::DataChange, 4, 2, 2},
};

// The detail panels of the file lists.
inline constexpr TControlRow kSourcePanelRows[] = {
    {"ZkCheckBox1", TKind::CheckBox, "Alkönyvtárakkal együtt", "SubDir;1", H::DataChange, 0, 0, 1},
    {"ZkCheckBox2", TKind::CheckBox, "Rejtett állományokat", "Hidden;1", H::DataChange, 0, 1, 1},
    {"ZkCheckBox3", TKind::CheckBox, "Rendszer állományokat", "System;1", H::DataChange, 0, 2, 1},
};
inline constexpr TControlRow kExtractPanelRows[] = {
    {"ZkCheckBox4", TKind::CheckBox, "Alkönyvtárakból is kihagyja", "SubDir;1", H::DataChange, 0, 0, 1},
};

// The commands and controls that are enabled only while the window may
// change the job, or only while that list has a selected entry too.
enum TEnabledWhen { kUnlocked, kSource, kExtract, kTimer, kBefore, kAfter };
inline constexpr std::pair<TEnabledWhen, const char*> kEnabling[] = {
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

// Captions and the fields they label: a field without a caption row of its
// own gets a label before it.
bool HasLabel(TKind kind);
QWidget* CreateControl(const TControlRow& row, QWidget& parent);
QTabWidget* NewTabs(QWidget* parent, const char* name);
QWidget* NewPage(const char* name);

// The items of the two pack-mode groups: the job's and a schedule entry's.
const QStringList& PackModes();

}  // namespace zk::ui::detail

#include "engine/ZkActiveTask.h"

#include <algorithm>

#include "platform/ZkUserFolders.h"
#include "util/ZkUtil.h"

namespace zk {
namespace {

struct TDecorations {
  bool Date;
  bool Time;
  bool WeekDay;
  bool MonthDay;
};

std::string Decorate(const TDecorations& which, TDateTime startDate, TDateTime startTime) {
  std::string text;
  auto add = [&text](const std::string& decoration) {
    text += ' ';
    text += decoration;
  };
  if (which.Date) add(FormatDateMask("yyyy.mm.dd", startDate, NeutralFormatSettings()));
  if (which.Time) add(FormatDateMask("hhpp", startTime, NeutralFormatSettings()));
  if (which.WeekDay) add(std::to_string(DayOfWeek(startDate)));
  if (which.MonthDay) add(std::to_string(DecodeDateTime(startDate).Day));
  return text;
}

}  // namespace

std::string CopyModeRelativePath(std::string_view path, PathStyle style) {
  if (style == PathStyle::Posix) return std::string(path.substr(std::min(path.find_first_not_of('/'), path.size())));
  std::string relative = ReplaceText(path, ":\\", "\\");
  return ReplaceText(relative, ":", "\\");
}

std::string DefaultTargetFolder(PathStyle style) {
  return style == PathStyle::Windows ? "c:\\mentes" : JoinPath(platform::HomeFolder(), "mentes", style);
}

const TZkThreadDefineOutput& TZkThreadActiveTask::ActiveOutput() const {
  if (TimerIndex >= 0 && TimerIndex < TimerList().Count()) {
    const TZkThreadSaveTimering& entry = TimerList().Items(TimerIndex);
    if (entry.ExtendedSaving()) return entry.DefineOutput();
  }
  return DefineOutput();
}

// Trims the folder and drops one final separator, but not a root's.
std::string TZkThreadActiveTask::FolderText(const std::string& folder) const {
  std::string text = TrimText(folder);
  const char separator = style_ == PathStyle::Windows ? '\\' : '/';
  const bool root = style_ == PathStyle::Windows ? text.ends_with(":\\") : text.size() == 1;
  if (!text.empty() && text.back() == separator && !root) text.pop_back();
  return text;
}

std::string TZkThreadActiveTask::BaseName(const std::string& fileName) const {
  if (!fileName.empty()) return fileName;
  if (TimerIndex < 0 || TimerIndex >= TimerList().Count()) return Name;
  return Name + " " + TimerList().Items(TimerIndex).Name();
}

std::string TZkThreadActiveTask::BuildArchivePath(const std::string& folder, bool withFolderDateTime) const {
  const TZkThreadDefineOutput& o = ActiveOutput();
  const std::string folderText =
      FolderText(folder.empty() ? DefaultTargetFolder(style_) : folder) +
      Decorate({withFolderDateTime && o.OutputFolderDate, withFolderDateTime && o.OutputFolderTime,
                o.OutputFolderWeekDay, o.OutputFolderMonthDay},
               StartDate, StartTime);
  const std::string name =
      BaseName(o.FileName) +
      Decorate({o.FileNameDate, o.FileNameTime, o.FileNameWeekDay, o.FileNameMonthDay}, StartDate, StartTime) +
      ".Zip";
  return JoinPath(folderText, name, style_);
}

std::string TZkThreadActiveTask::GetOutputPath() const {
  return BuildArchivePath(ActiveOutput().OutputFolder, true);
}

std::string TZkThreadActiveTask::GetWorkPath() const {
  const TZkThreadDefineOutput& o = ActiveOutput();
  if (UsesWorkFolder() && o.PackMode == TZkSaveMode::tmZip) return BuildArchivePath(o.Temp, false);
  return GetOutputPath();
}

bool TZkThreadActiveTask::BuildsInWorkFolder() const {
  return UsesWorkFolder() && ActiveOutput().PackMode == TZkSaveMode::tmZip && GetWorkPath() != GetOutputPath();
}

std::string TZkThreadActiveTask::GetDuplicatePath() const {
  if (!UsesDuplicate()) return {};
  const TZkThreadDefineOutput& o = ActiveOutput();
  const std::string folderText =
      FolderText(o.DuplicateFolder) + Decorate({o.DuplicateFolderDate, o.DuplicateFolderTime,
                                                o.DuplicateFolderWeekDay, o.DuplicateFolderMonthDay},
                                               StartDate, StartTime);
  const std::string name = BaseName(o.DuplicateFileName) +
                           Decorate({o.DuplicateFileNameDate, o.DuplicateFileNameTime, o.DuplicateFileNameWeekDay,
                                     o.DuplicateFileNameMonthDay},
                                    StartDate, StartTime) +
                           ".Zip";
  return JoinPath(folderText, name, style_);
}

std::string TZkThreadActiveTask::WithExtension(const std::string& path, const std::string& extension) const {
  return ChangeFileExt(path, extension, style_);
}

}  // namespace zk

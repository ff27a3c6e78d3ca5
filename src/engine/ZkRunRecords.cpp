#include "engine/ZkRunRecords.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/ZkError.h"
#include "platform/ZkFileHandle.h"
#include "platform/ZkFileMove.h"
#include "platform/ZkFileSystem.h"
#include "store/ZkFile.h"
#include "util/ZkUtil.h"
#include "util/ZkUtilFile.h"

namespace zk {
namespace {

constexpr const char* kStampFormat = "yyyy.mm.dd hh:pp:ss ";
constexpr const char* kHistoryKey = "History";
constexpr const char* kUploadKey = "RemoteUpload";
constexpr const char* kLogExtension = ".Log";
constexpr const char* kErrorExtension = ".Err";

}  // namespace

void TZkRunRecords::AppendLine(const std::string& fileName, const std::string& text, bool followLinks) const {
  if (fileName.empty()) return;
  // A line that cannot be written is lost: logging never stops a run.
  platform::FileHandle file = platform::FileHandle::OpenForAppend(fileName, followLinks);
  if (!file.IsOpen()) return;
  const std::string line = FormatDateMask(kStampFormat, clock_->Now(), NeutralFormatSettings()) + text + "\r\n";
  if (file.WriteAll(line.data(), line.size())) file.Close();
}

// The shared files are the user's own choice, a link there included; a
// run's own files lie in the output folders, where nothing is written
// through a link.
void TZkRunRecords::WriteLog(const std::string& text, const TZkThreadActiveTask* task) const {
  AppendLine(LogFilename, text, true);
  if (task) AppendLine(task->LogFile, text, false);
}

void TZkRunRecords::WriteError(const std::string& text, const TZkThreadActiveTask* task) const {
  AppendLine(ErrorFilename, text, true);
  if (task) AppendLine(task->ErrorFile, text, false);
}

std::vector<std::string> TZkRunRecords::PrepareRecordFiles(TZkThreadActiveTask& task) {
  std::vector<std::string> refused;
  const auto take = [&refused](std::string path) {
    if (!platform::IsSymbolicLink(path)) return path;
    refused.push_back(std::move(path));
    return std::string();
  };
  task.LogFile.clear();
  task.ErrorFile.clear();
  if (task.WantsLog()) task.LogFile = take(task.WithExtension(task.GetWorkPath(), kLogExtension));
  if (task.WantsErrorFile()) task.ErrorFile = take(task.WithExtension(task.GetWorkPath(), kErrorExtension));
  return refused;
}

void TZkRunRecords::FinishRecordFiles(const TZkThreadActiveTask& task) {
  const bool inWorkFolder = task.BuildsInWorkFolder();
  auto copyBeside = [&](const std::string& record, const char* extension) {
    if (inWorkFolder) CopyFileWithProgress(record, task.WithExtension(task.GetOutputPath(), extension), nullptr);
    if (task.UsesDuplicate())
      CopyFileWithProgress(record, task.WithExtension(task.GetDuplicatePath(), extension), nullptr);
  };
  if (task.WantsLog() && platform::PathExists(task.LogFile)) copyBeside(task.LogFile, kLogExtension);
  if (platform::PathExists(task.ErrorFile)) copyBeside(task.ErrorFile, kErrorExtension);
  if (inWorkFolder) {
    if (!task.ErrorFile.empty()) std::remove(task.ErrorFile.c_str());
    if (!task.LogFile.empty()) std::remove(task.LogFile.c_str());
  }
}

std::vector<std::string> TZkRunRecords::ReadHistory(const TZkThreadActiveTask& task, TZkIniFile::TReport report) const {
  std::vector<std::string> history;
  TZkIniFile ini(std::move(report));
  ini.SetFile(HistoryFilename, true);
  ini.ReadSectionValues(task.Name, kHistoryKey, history);
  return history;
}

std::vector<std::string> TZkRunRecords::ReadJobHistory(const std::string& historyFile, const std::string& jobName) {
  std::vector<std::string> history;
  if (!platform::PathExists(historyFile)) return history;
  TZkIniFile ini;
  ini.SetFile(historyFile, false);
  ini.ReadSectionValues(jobName, kHistoryKey, history);
  return history;
}

std::string TZkRunRecords::HistoryKey(const std::string& jobName) {
  std::string key = jobName;
  for (char& c : key)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return key;
}

TZkRunRecords::THistories TZkRunRecords::ReadAllValues(const std::string& historyFile, const std::string& valueKey) {
  THistories histories;
  if (!platform::PathExists(historyFile)) return histories;
  TZkTextFile text;
  text.SetFilename(historyFile);
  if (!text.OpenRead()) throw EZkFileOpenError("Megnyitási hiba (" + historyFile + ")");
  const std::string prefix = HistoryKey(valueKey + "=");
  std::vector<std::string>* section = nullptr;
  for (text.First(); !text.Eof(); text.Next()) {
    const std::string line = text.CurrentLine();
    if (line.starts_with('[')) {
      const std::size_t close = line.find(']');
      const std::string key = HistoryKey(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      const auto [entry, added] = histories.try_emplace(key);
      section = added ? &entry->second : nullptr;
    } else if (section != nullptr && HistoryKey(line.substr(0, prefix.size())) == prefix) {
      section->push_back(line.substr(prefix.size()));
    }
  }
  text.Close();
  return histories;
}

TZkRunRecords::THistories TZkRunRecords::ReadAllHistories(const std::string& historyFile) {
  return ReadAllValues(historyFile, kHistoryKey);
}

TZkRunRecords::THistories TZkRunRecords::ReadAllLastUploads(const std::string& historyFile) {
  return ReadAllValues(historyFile, kUploadKey);
}

std::optional<std::string> TZkRunRecords::FindUpdateBase(const std::vector<std::string>& history) {
  for (auto entry = history.rbegin(); entry != history.rend(); ++entry)
    if (SameText(FieldOf(*entry, ";", 1), "Ok") && SameText(FieldOf(*entry, ";", 4), "Global"))
      return FieldOf(*entry, ";", 5);
  return std::nullopt;
}

std::string TZkRunRecords::HistoryEntry(const TZkThreadActiveTask& task, TZkRunStatus status, bool updateRun,
                                        const std::string& archivePath) {
  const std::string outputPath = archivePath.empty() ? task.GetOutputPath() : archivePath;
  const char* statusText = status == TZkRunStatus::rsOk           ? "Ok"
                           : status == TZkRunStatus::rsIncomplete ? "Incomplete"
                                                                  : "Stopped";
  const std::string date = FormatDateMask("yyyy.mm.dd", task.StartDate, NeutralFormatSettings());
  const std::string time = FormatDateMask("hh:pp", task.StartTime, NeutralFormatSettings());
  return std::string(statusText) + ";" + date + ";" + time + ";" + (updateRun ? "Update" : "Global") + ";" +
         outputPath;
}

void TZkRunRecords::WriteHistory(const TZkThreadActiveTask& task, const std::vector<std::string>& history) const {
  TZkIniFile ini;
  ini.SetFile(HistoryFilename, true);
  // One lock from reading the history to writing it: another program that
  // ran a job meanwhile added its entries after those this run read at
  // its start, so this run's entry goes after theirs and none is lost.
  ini.SetLock(true);
  std::vector<std::string> entries = history;
  std::vector<std::string> current;
  ini.ReadSectionValues(task.Name, kHistoryKey, current);
  if (!history.empty() && current.size() >= history.size() &&
      std::equal(history.begin(), history.end() - 1, current.begin())) {
    entries = std::move(current);
    entries.push_back(history.back());
  }
  ini.WriteSectionValues(task.Name, kHistoryKey, entries);
  ini.SetLock(false);
}

void TZkRunRecords::WriteLastUpload(const TZkThreadActiveTask& task, const std::string& remotePath) const {
  TZkIniFile ini;
  ini.SetFile(HistoryFilename, true);
  ini.SetLock(true);
  const std::string date = FormatDateMask("yyyy.mm.dd", task.StartDate, NeutralFormatSettings());
  const std::string time = FormatDateMask("hh:pp", task.StartTime, NeutralFormatSettings());
  ini.WriteSectionValues(task.Name, kUploadKey, {date + ";" + time + ";" + remotePath});
  ini.SetLock(false);
}

std::string TZkRunRecords::ReadLastUpload(const std::string& historyFile, const std::string& jobName) {
  std::vector<std::string> values;
  if (!platform::PathExists(historyFile)) return {};
  TZkIniFile ini;
  ini.SetFile(historyFile, false);
  ini.ReadSectionValues(jobName, kUploadKey, values);
  return values.empty() ? std::string() : values.back();
}

}  // namespace zk

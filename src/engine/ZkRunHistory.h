#pragma once
// A job's runs as its history records them, newest first, each with what
// restoring it takes: its archive and, for a differential archive, the full
// archive it was made against.

#include <optional>
#include <string>
#include <vector>

#include "base/ZkDateTime.h"

namespace zk {

enum class TZkRunKind {
  rkFull,          // "Global": a full archive
  rkUpdate,        // "Update" into the archive of its base: a full archive again
  rkDifferential,  // "Update" under another name: the new and changed files only
};

// "teljes", "frissített" or "különbségi".
std::string RunKindText(TZkRunKind kind);

struct TZkRunRecord {
  std::string Status;  // "Ok", "Stopped"
  std::string Date;    // yyyy.mm.dd
  std::string Time;    // hh:pp
  TZkRunKind Kind = TZkRunKind::rkFull;
  std::string Path;  // the archive (a copy run: the folder of its tree)
  // Of a differential archive: the newest complete full run before it.
  std::optional<std::string> BasePath;
  bool Ok() const;
};

// The moment of a history line's date ("yyyy.mm.dd") and time ("hh:pp");
// nothing when they are no such date and time.
std::optional<TDateTime> RunMoment(const std::string& date, const std::string& time);

// The runs of history entries given oldest first ("status;date;time;kind;path"),
// newest first.
std::vector<TZkRunRecord> RunsOfHistory(const std::vector<std::string>& history);

// The run to restore by its number in that list (1: the newest); without a
// number the newest whose status is "Ok". Nothing when there is no such run.
std::optional<TZkRunRecord> ChooseRun(const std::vector<TZkRunRecord>& runs, std::optional<int> number);

// The archives a run is read back from, in the order they overlay: a
// differential archive's base first, then its own.
std::vector<std::string> ArchivesOfRun(const TZkRunRecord& run);

}  // namespace zk

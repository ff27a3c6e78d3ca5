#include "CliDisplay.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "engine/ZkThreadSave.h"

namespace zk::cli {
namespace {

constexpr std::size_t kDefaultWidth = 80;
constexpr const char* kErrorPrefix = "Hiba: ";
constexpr const char* kClearToEnd = "\033[K";

void WriteError(const std::string& text) {
  std::fprintf(stderr, "%s%s\n", kErrorPrefix, text.c_str());
  std::fflush(stderr);
}

// The end of the text in at most `width` bytes, starting on a UTF-8
// character boundary, with "..." in front when something was cut.
std::string TailToFit(const std::string& text, std::size_t width) {
  if (text.size() <= width) return text;
  constexpr std::string_view kCut = "...";
  if (width <= kCut.size()) return std::string(kCut.substr(0, width));
  std::size_t start = text.size() - (width - kCut.size());
  while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) ++start;
  return std::string(kCut) + text.substr(start);
}

// Read at every redraw, so that a resized terminal gets lines of its new
// width.
std::size_t TerminalWidth() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kDefaultWidth;
}

// "0:42" below an hour, "1:02:03" from an hour on.
std::string FormatDuration(std::chrono::seconds duration) {
  const auto total = std::max<std::int64_t>(0, duration.count());
  char text[32];
  if (total >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(total / 3600),
                  static_cast<long long>(total / 60 % 60), static_cast<long long>(total % 60));
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(total / 60),
                  static_cast<long long>(total % 60));
  return text;
}

// Both byte counts in the unit that suits the total: "45/177 MB", with one
// decimal (and a decimal comma) below ten: "3,5/9,1 GB".
std::string FormatBytes(std::int64_t done, std::int64_t total) {
  static constexpr const char* kUnits[] = {"B", "KB", "MB", "GB", "TB"};
  double scale = 1;
  std::size_t unit = 0;
  while (unit + 1 < std::size(kUnits) && static_cast<double>(total) >= scale * 1000) {
    scale *= 1024;
    ++unit;
  }
  const auto number = [&](std::int64_t value) {
    const double scaled = static_cast<double>(value) / scale;
    char text[32];
    std::snprintf(text, sizeof text, unit > 0 && scaled < 10 ? "%.1f" : "%.0f", scaled);
    std::string result = text;
    std::replace(result.begin(), result.end(), '.', ',');
    return result;
  };
  return number(done) + "/" + number(total) + " " + kUnits[unit];
}

struct TProgressFields {
  std::string Job;
  std::chrono::seconds Elapsed{0};
  std::int64_t FilesDone = 0;
  std::int64_t FilesTotal = 0;
  std::int64_t BytesDone = 0;
  std::int64_t BytesTotal = 0;
  int Errors = 0;
  std::optional<std::chrono::seconds> Left;
  std::string Item;  // with its phase ("Másolás ") in front
};

// The figures in words where the line has room, in short form where it has
// not; the job's name only in the long form.
std::string FormatFigures(const TProgressFields& f, bool longForm) {
  std::string line = FormatDuration(f.Elapsed) + "  " + std::to_string(f.FilesDone) + "/" +
                     std::to_string(f.FilesTotal) + (longForm ? " fájl  " : "  ") +
                     FormatBytes(f.BytesDone, f.BytesTotal) + "  " + std::to_string(f.Errors) + " hiba";
  if (f.Left) line += (longForm ? "  hátra " : "  ~") + FormatDuration(*f.Left);
  return longForm ? f.Job + "  " + line : line;
}

// One progress line in at most `width` bytes: the figures, then as much of
// the end of the current item as fits.
std::string FormatProgressLine(const TProgressFields& fields, std::size_t width) {
  std::string line = FormatFigures(fields, true);
  if (line.size() > width) line = FormatFigures(fields, false);
  if (line.size() > width) return TailToFit(line, width);
  constexpr std::size_t kGap = 2;
  constexpr std::size_t kShortestItem = 8;
  if (!fields.Item.empty() && line.size() + kGap + kShortestItem <= width)
    line += "  " + TailToFit(fields.Item, width - line.size() - kGap);
  return line;
}

using Clock = std::chrono::steady_clock;

// The time left, from the pace so far, once a second has passed and a
// part of the bytes is done.
void Estimate(TProgressFields& fields, Clock::time_point start) {
  const auto elapsed = Clock::now() - start;
  fields.Elapsed = std::chrono::duration_cast<std::chrono::seconds>(elapsed);
  fields.Left.reset();
  if (elapsed < std::chrono::seconds(1) || fields.BytesDone <= 0 || fields.BytesDone >= fields.BytesTotal) return;
  const double rest =
      static_cast<double>(fields.BytesTotal - fields.BytesDone) / static_cast<double>(fields.BytesDone);
  fields.Left =
      std::chrono::seconds(static_cast<std::int64_t>(std::chrono::duration<double>(elapsed).count() * rest + 0.5));
}

// Writes only lines that differ from the one on screen (`last`): progress
// reports come far more often than the figures change. The last column
// stays free, so that a full line never wraps.
void DrawProgressLine(TProgressFields& fields, Clock::time_point start, std::string& last) {
  Estimate(fields, start);
  std::string line = "\r";
  line += FormatProgressLine(fields, TerminalWidth() - 1);
  line += kClearToEnd;
  if (line == last) return;
  last = line;
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
}

// The jobs' log lines on standard output, as they are written.
class TLogLines final : public TCliDisplay {
public:
  void Attach(TZkThreadSave& engine) override {
    engine.OnLogEvent = [](TZkThreadSave&, const std::string& text) {
      std::fprintf(stdout, "%s\n", text.c_str());
      // Flushed per line so that a reader of a pipe follows a long run.
      std::fflush(stdout);
    };
  }
  void ErrorLine(const std::string& text) override { WriteError(text); }
  void JobEnded() override {}
};

// One line per job, redrawn in place while the job runs and left standing
// when it ends: elapsed time, files and bytes done of their totals, error
// lines so far, the time left once a part is done, and the current item.
class TProgressLine final : public TCliDisplay {
public:
  void Attach(TZkThreadSave& engine) override {
    engine.OnBeforeBackup = [this](TZkThreadSave&, TZkThreadActiveTask& task) {
      fields_ = {};
      fields_.Job = task.Name;
      phase_.clear();
      start_ = Clock::now();
      Draw();
    };
    auto action = [this](TZkThreadSave&, TZkThreadActiveTask& task, TZkThreadSaveFunc&) { Show(task.ItemName); };
    engine.OnActionBeginFunc = action;
    engine.OnActionEndFunc = action;
    engine.OnBeforeSave = [this](TZkThreadSave&, TZkThreadActiveTask& task) {
      fields_.BytesTotal = task.TotalSize;
      fields_.FilesTotal = task.TotalFiles;
      Draw();
    };
    engine.OnBeforeAddFile = [this](TZkThreadSave&, TZkThreadActiveTask& task) { Show(task.ItemName); };
    engine.OnActionAddFile = [this](TZkThreadSave&, TZkThreadActiveTask& task) { Bytes(task.TotalPosition); };
    engine.OnAfterAddFile = [this](TZkThreadSave&, TZkThreadActiveTask& task) {
      ++fields_.FilesDone;
      Bytes(task.TotalPosition);
    };
    HookArchiveCopy(engine.OnBeforeCopy, engine.OnActionCopy, engine.OnAfterCopy, "Másolás ");
    HookArchiveCopy(engine.OnBeforeDuplicate, engine.OnActionDuplicate, engine.OnAfterDuplicate, "Duplikátum ");
  }

  void ErrorLine(const std::string& text) override {
    ++fields_.Errors;
    std::fprintf(stdout, "\r%s", kClearToEnd);
    std::fflush(stdout);
    WriteError(text);
    last_.clear();
    Draw();
  }

  void JobEnded() override {
    fields_.Item.clear();
    fields_.Left.reset();
    Draw();
    std::fputs("\n", stdout);
    std::fflush(stdout);
    last_.clear();
  }

private:
  // The archive's copy, duplicate or upload: its target with the part
  // done so far.
  void HookArchiveCopy(TZkThreadSave::TSaveEvent& before, TZkThreadSave::TSaveEvent& action,
                       TZkThreadSave::TSaveEvent& after, const std::string& phase) {
    before = [this, phase](TZkThreadSave&, TZkThreadActiveTask& task) {
      phase_ = phase;
      Show(task.TargetPath);
    };
    action = [this](TZkThreadSave&, TZkThreadActiveTask& task) {
      if (task.ItemSize <= 0) return;
      const std::int64_t percent = std::clamp<std::int64_t>(task.ItemPosition * 100 / task.ItemSize, 0, 100);
      Show(task.TargetPath + " " + std::to_string(percent) + "%");
    };
    after = [this](TZkThreadSave&, TZkThreadActiveTask&) {
      phase_.clear();
      Show({});
    };
  }

  void Show(const std::string& item) {
    fields_.Item = item.empty() ? std::string() : phase_ + item;
    Draw();
  }
  void Bytes(std::int64_t done) {
    fields_.BytesDone = done;
    Draw();
  }

  void Draw() { DrawProgressLine(fields_, start_, last_); }

  TProgressFields fields_;
  std::string phase_, last_;
  Clock::time_point start_ = Clock::now();
};

}  // namespace

struct TCliProgress::State {
  TProgressFields Fields;
  Clock::time_point Start = Clock::now();
  std::string Last;
};

TCliProgress::TCliProgress(const std::string& title) {
  if (isatty(STDOUT_FILENO) != 1) return;
  state_ = std::make_unique<State>();
  state_->Fields.Job = title;
}

TCliProgress::~TCliProgress() = default;

void TCliProgress::Update(std::int64_t filesDone, std::int64_t filesTotal, std::int64_t bytesDone,
                          std::int64_t bytesTotal, const std::string& item) {
  if (!state_) return;
  TProgressFields& f = state_->Fields;
  f.FilesDone = filesDone;
  f.FilesTotal = filesTotal;
  f.BytesDone = bytesDone;
  f.BytesTotal = bytesTotal;
  f.Item = item;
  DrawProgressLine(f, state_->Start, state_->Last);
}

void TCliProgress::ErrorLine(const std::string& text) {
  if (state_) {
    ++state_->Fields.Errors;
    std::fprintf(stdout, "\r%s", kClearToEnd);
    std::fflush(stdout);
  }
  WriteError(text);
  if (state_) {
    state_->Last.clear();
    DrawProgressLine(state_->Fields, state_->Start, state_->Last);
  }
}

void TCliProgress::Finish() {
  if (!state_) return;
  state_->Fields.Item.clear();
  state_->Fields.Left.reset();
  DrawProgressLine(state_->Fields, state_->Start, state_->Last);
  std::fputs("\n", stdout);
  std::fflush(stdout);
  state_.reset();
}

std::unique_ptr<TCliDisplay> MakeDisplay() {
  if (isatty(STDOUT_FILENO) == 1) return std::make_unique<TProgressLine>();
  return std::make_unique<TLogLines>();
}

}  // namespace zk::cli

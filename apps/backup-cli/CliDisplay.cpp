#include "CliDisplay.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/ZkThreadSave.h"

namespace zk::cli {
namespace {

constexpr std::size_t kBarWidth = 20;
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

std::size_t TerminalWidth() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kDefaultWidth;
}

// One progress line: the job, the phase ("Másolás ", "Duplikátum " or none), a
// bar with the percentage, and as much of the end of the item as fits in
// `width` bytes.
std::string FormatProgressLine(const std::string& job, const std::string& phase, std::int64_t position,
                               std::int64_t max, const std::string& item, std::size_t width) {
  // In floating point: a byte count times 100 may not fit in 64 bits.
  const int percent =
      max > 0 ? std::clamp(static_cast<int>(100.0 * static_cast<double>(position) / static_cast<double>(max)), 0, 100)
              : 0;
  const auto filled = static_cast<std::size_t>(percent) * kBarWidth / 100;
  char number[8];
  std::snprintf(number, sizeof number, "%3d %%", percent);
  std::string line = job + "  " + phase + "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') +
                     "] " + number;
  if (line.size() >= width) return TailToFit(line, width);
  if (!item.empty() && line.size() + 2 < width) line += "  " + TailToFit(item, width - line.size() - 2);
  return line;
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
// when it ends.
class TProgressLine final : public TCliDisplay {
public:
  TProgressLine() : width_(TerminalWidth()) {}

  void Attach(TZkThreadSave& engine) override {
    engine.OnBeforeBackup = [this](TZkThreadSave&, TZkThreadActiveTask& task) {
      job_ = task.Name;
      phase_.clear();
      item_.clear();
      position_ = max_ = 0;
      Draw();
    };
    auto action = [this](TZkThreadSave&, TZkThreadActiveTask& task, TZkThreadSaveFunc&) { Show(task.ItemName); };
    engine.OnActionBeginFunc = action;
    engine.OnActionEndFunc = action;
    engine.OnBeforeSave = [this](TZkThreadSave&, TZkThreadActiveTask& task) { Measure(task.TotalSize, 0); };
    engine.OnBeforeAddFile = [this](TZkThreadSave&, TZkThreadActiveTask& task) { Show(task.ItemName); };
    auto filePosition = [this](TZkThreadSave&, TZkThreadActiveTask& task) { Measure(max_, task.TotalPosition); };
    engine.OnActionAddFile = filePosition;
    engine.OnAfterAddFile = filePosition;
    HookArchiveCopy(engine.OnBeforeCopy, engine.OnActionCopy, engine.OnAfterCopy, "Másolás ");
    HookArchiveCopy(engine.OnBeforeDuplicate, engine.OnActionDuplicate, engine.OnAfterDuplicate, "Duplikátum ");
  }

  void ErrorLine(const std::string& text) override {
    std::fprintf(stdout, "\r%s", kClearToEnd);
    std::fflush(stdout);
    WriteError(text);
    std::fputs(last_.c_str(), stdout);
    std::fflush(stdout);
  }

  void JobEnded() override {
    std::fputs("\n", stdout);
    std::fflush(stdout);
    last_.clear();
  }

private:
  void HookArchiveCopy(TZkThreadSave::TSaveEvent& before, TZkThreadSave::TSaveEvent& action,
                       TZkThreadSave::TSaveEvent& after, const std::string& phase) {
    before = [this, phase](TZkThreadSave&, TZkThreadActiveTask& task) {
      phase_ = phase;
      item_ = task.TargetPath;
      Measure(task.ItemSize, 0);
    };
    action = [this](TZkThreadSave&, TZkThreadActiveTask& task) { Measure(max_, task.ItemPosition); };
    after = [this](TZkThreadSave&, TZkThreadActiveTask& task) { Measure(max_, task.ItemSize); };
  }

  void Show(const std::string& item) {
    item_ = item;
    Draw();
  }
  void Measure(std::int64_t max, std::int64_t position) {
    max_ = max;
    position_ = position;
    Draw();
  }

  // Writes only lines that differ from the one on screen: progress reports
  // come far more often than the percentage changes.
  void Draw() {
    std::string line = "\r";
    line += FormatProgressLine(job_, phase_, position_, max_, item_, width_ - 1);
    line += kClearToEnd;
    if (line == last_) return;
    last_ = line;
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
  }

  std::size_t width_;
  std::string job_, phase_, item_, last_;
  std::int64_t position_ = 0;
  std::int64_t max_ = 0;
};

}  // namespace

std::unique_ptr<TCliDisplay> MakeDisplay() {
  if (isatty(STDOUT_FILENO) == 1) return std::make_unique<TProgressLine>();
  return std::make_unique<TLogLines>();
}

}  // namespace zk::cli

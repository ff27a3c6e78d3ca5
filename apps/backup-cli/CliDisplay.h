#pragma once
// What the console program shows while jobs run: on a terminal one progress
// line per job with the current file, otherwise the jobs' log lines. Error
// lines go to the standard error either way. Everything here is called on
// the engine's worker thread.

#include <cstdint>
#include <memory>
#include <string>

namespace zk {
class TZkThreadSave;
}  // namespace zk

namespace zk::cli {

class TCliDisplay {
public:
  virtual ~TCliDisplay() = default;
  // Hooks the display to the engine's log and progress events; OnErrorEvent
  // and OnAfterBackup stay with the program, which passes them on below.
  virtual void Attach(TZkThreadSave& engine) = 0;
  virtual void ErrorLine(const std::string& text) = 0;
  virtual void JobEnded() = 0;
};

// The progress line when standard output is a terminal, the log lines
// otherwise.
std::unique_ptr<TCliDisplay> MakeDisplay();

// The progress line of a restore or a verify, as a run's: drawn only when
// standard output is a terminal. Error lines go to the standard error as
// "Hiba: text" either way. Used on one thread.
class TCliProgress {
public:
  explicit TCliProgress(const std::string& title);
  ~TCliProgress();
  TCliProgress(const TCliProgress&) = delete;
  TCliProgress& operator=(const TCliProgress&) = delete;
  void Update(std::int64_t filesDone, std::int64_t filesTotal, std::int64_t bytesDone, std::int64_t bytesTotal,
              const std::string& item);
  void ErrorLine(const std::string& text);
  // Leaves the last line standing.
  void Finish();

private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace zk::cli

#pragma once
// SIGINT and SIGTERM as requests to stop in order. The signals are blocked
// and read from a descriptor by the waiting thread, so no handler ever runs;
// the engine's thread says it has ended through a second descriptor.

#include <chrono>
#include <optional>

namespace zk::cli {

class TCliStopSignals {
public:
  // Blocks both signals for this thread and every thread started after it,
  // so construct it before the engine starts. They stay blocked to the end
  // of the program, so that one arriving while it winds up is not acted on.
  TCliStopSignals();
  ~TCliStopSignals();
  TCliStopSignals(const TCliStopSignals&) = delete;
  TCliStopSignals& operator=(const TCliStopSignals&) = delete;

  enum class TWake { wkSignal, wkDone, wkTimeout };
  // Blocks until a stop signal arrives or NotifyDone is called, or, with a
  // timeout, at most that long.
  TWake Wait(std::optional<std::chrono::milliseconds> timeout = std::nullopt);
  // Safe from any thread, and from a signal handler.
  void NotifyDone();

private:
  int signals_ = -1;
  int done_ = -1;
};

}  // namespace zk::cli

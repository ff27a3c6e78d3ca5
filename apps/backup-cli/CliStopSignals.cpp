#include "CliStopSignals.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace zk::cli {
namespace {

[[noreturn]] void ThrowSystemError(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

sigset_t StopSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

TCliStopSignals::TCliStopSignals() {
  const sigset_t set = StopSignalSet();
  if (const int result = pthread_sigmask(SIG_BLOCK, &set, nullptr); result != 0)
    throw std::system_error(result, std::generic_category(), "pthread_sigmask");
  signals_ = signalfd(-1, &set, SFD_CLOEXEC);
  if (signals_ < 0) ThrowSystemError("signalfd");
  done_ = eventfd(0, EFD_CLOEXEC);
  if (done_ < 0) {
    close(signals_);
    ThrowSystemError("eventfd");
  }
}

TCliStopSignals::~TCliStopSignals() {
  close(done_);
  close(signals_);
}

TCliStopSignals::TWake TCliStopSignals::Wait(std::optional<std::chrono::milliseconds> timeout) {
  for (;;) {
    pollfd watched[] = {{signals_, POLLIN, 0}, {done_, POLLIN, 0}};
    const int ready = poll(watched, 2, timeout ? static_cast<int>(timeout->count()) : -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      ThrowSystemError("poll");
    }
    if (ready == 0) return TWake::wkTimeout;
    if ((watched[1].revents & POLLIN) != 0) {
      std::uint64_t count = 0;
      if (read(done_, &count, sizeof count) < 0) ThrowSystemError("read");
      return TWake::wkDone;
    }
    if ((watched[0].revents & POLLIN) != 0) {
      signalfd_siginfo info{};
      if (read(signals_, &info, sizeof info) < 0) ThrowSystemError("read");
      return TWake::wkSignal;
    }
  }
}

void TCliStopSignals::NotifyDone() {
  const std::uint64_t one = 1;
  // A blocking eventfd write of 1 fails only when interrupted.
  while (write(done_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

}  // namespace zk::cli

#pragma once
// A full disk while it lives: a size limit on the files of this process
// stands in for it, so that writes beyond the limit fail.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdint>

namespace zk::test {

class TFileSizeLimit {
public:
  explicit TFileSizeLimit(std::uint64_t bytes) : handler_(std::signal(SIGXFSZ, SIG_IGN)) {
    EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &previous_), 0);
    rlimit limited = previous_;
    limited.rlim_cur = static_cast<rlim_t>(bytes);
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, handler_);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
  rlimit previous_{};
  void (*handler_)(int);
};

}  // namespace zk::test

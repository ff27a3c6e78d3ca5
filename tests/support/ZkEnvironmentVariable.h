#pragma once
// An environment variable set for a test's life and restored (or removed)
// when it ends.

#include <cstdlib>
#include <optional>
#include <string>

namespace zk::test {

class TEnvironmentVariable {
public:
  explicit TEnvironmentVariable(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) old_ = value;
  }
  TEnvironmentVariable(const char* name, const std::string& value) : TEnvironmentVariable(name) {
    Set(value.c_str());
  }
  ~TEnvironmentVariable() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
  TEnvironmentVariable(const TEnvironmentVariable&) = delete;
  TEnvironmentVariable& operator=(const TEnvironmentVariable&) = delete;

  // Null removes the variable.
  void Set(const char* value) { value ? setenv(name_, value, 1) : unsetenv(name_); }

private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace zk::test

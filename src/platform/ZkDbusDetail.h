#pragma once
// Detail of the D-Bus backends: owners of sd-bus errors and messages, and
// property reads that report failures the way the platform layer does.
// Included only by the backends' sources.

#include <systemd/sd-bus.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zk::platform::detail {

class TBusError {
public:
  TBusError() = default;
  ~TBusError() { sd_bus_error_free(&error_); }
  TBusError(const TBusError&) = delete;
  TBusError& operator=(const TBusError&) = delete;
  sd_bus_error* Get() { return &error_; }
  // Leaves the error's own text in LastSystemErrorText, or the errno text of
  // the result when the bus gave none.
  void Report(int result) const;

private:
  // The value SD_BUS_ERROR_NULL stands for, without its C compound literal.
  sd_bus_error error_{nullptr, nullptr, 0};
};

struct TMessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using TBusMessage = std::unique_ptr<sd_bus_message, TMessageUnref>;

// A property of an object of the bus name. The optional results are empty
// when the property cannot be read; a required read reports the failure.
struct TBusObject {
  sd_bus* Bus;
  const char* Destination;
  std::string Path;

  std::optional<std::string> String(const char* interface, const char* member, bool required) const;
  std::optional<bool> Boolean(const char* interface, const char* member) const;
  std::optional<std::uint64_t> UInt64(const char* interface, const char* member) const;
  std::optional<std::int32_t> Int32(const char* interface, const char* member) const;
  std::optional<std::vector<std::string>> Strings(const char* interface, const char* member) const;
  // The raw reply of a property of a composite type.
  TBusMessage Property(const char* interface, const char* member, const char* type, bool required) const;

private:
  template <class T>
  std::optional<T> Trivial(const char* interface, const char* member, char type) const;
};

}  // namespace zk::platform::detail

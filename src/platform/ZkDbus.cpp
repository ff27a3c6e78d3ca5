#include "platform/ZkDbus.h"

#include <cstdlib>
#include <utility>

#include "platform/ZkDbusDetail.h"
#include "platform/ZkSystemError.h"

namespace zk::platform {

TZkDbusConnection::~TZkDbusConnection() {
  if (bus_ != nullptr) sd_bus_flush_close_unref(bus_);
}

TZkDbusConnection::TZkDbusConnection(TZkDbusConnection&& other) noexcept : bus_(std::exchange(other.bus_, nullptr)) {}

TZkDbusConnection& TZkDbusConnection::operator=(TZkDbusConnection&& other) noexcept {
  if (this != &other) {
    if (bus_ != nullptr) sd_bus_flush_close_unref(bus_);
    bus_ = std::exchange(other.bus_, nullptr);
  }
  return *this;
}

TZkDbusConnection TZkDbusConnection::OpenAddress(const std::string& address) {
  sd_bus* bus = nullptr;
  int result = sd_bus_new(&bus);
  if (result < 0) {
    SetLastSystemErrno(-result);
    return {};
  }
  TZkDbusConnection connection(bus);
  if ((result = sd_bus_set_address(bus, address.c_str())) < 0 || (result = sd_bus_set_bus_client(bus, 1)) < 0 ||
      (result = sd_bus_start(bus)) < 0) {
    SetLastSystemErrno(-result);
    return {};
  }
  return connection;
}

namespace detail {

void TBusError::Report(int result) const {
  if (error_.message != nullptr)
    SetLastSystemError(error_.message);
  else
    SetLastSystemErrno(result < 0 ? -result : result);
}

namespace {

struct TFree {
  void operator()(void* p) const { std::free(p); }
};

struct TFreeStrings {
  void operator()(char** values) const {
    for (char** v = values; *v != nullptr; ++v) std::free(*v);
    std::free(values);
  }
};

}  // namespace

std::optional<std::string> TBusObject::String(const char* interface, const char* member, bool required) const {
  TBusError error;
  char* value = nullptr;
  const int result = sd_bus_get_property_string(Bus, Destination, Path.c_str(), interface, member, error.Get(), &value);
  if (result < 0) {
    if (required) error.Report(result);
    return std::nullopt;
  }
  const std::unique_ptr<char, TFree> owned(value);
  return std::string(value);
}

// A property of a fixed-size D-Bus type, read into a value of that type's C
// width ("b" is an int).
template <class T>
std::optional<T> TBusObject::Trivial(const char* interface, const char* member, char type) const {
  TBusError error;
  T value{};
  if (sd_bus_get_property_trivial(Bus, Destination, Path.c_str(), interface, member, error.Get(), type, &value) < 0)
    return std::nullopt;
  return value;
}

std::optional<bool> TBusObject::Boolean(const char* interface, const char* member) const {
  const std::optional<int> value = Trivial<int>(interface, member, 'b');
  if (!value) return std::nullopt;
  return *value != 0;
}

std::optional<std::uint64_t> TBusObject::UInt64(const char* interface, const char* member) const {
  return Trivial<std::uint64_t>(interface, member, 't');
}

std::optional<std::int32_t> TBusObject::Int32(const char* interface, const char* member) const {
  return Trivial<std::int32_t>(interface, member, 'i');
}

std::optional<std::vector<std::string>> TBusObject::Strings(const char* interface, const char* member) const {
  TBusError error;
  char** values = nullptr;
  if (sd_bus_get_property_strv(Bus, Destination, Path.c_str(), interface, member, error.Get(), &values) < 0)
    return std::nullopt;
  const std::unique_ptr<char*, TFreeStrings> owned(values);
  std::vector<std::string> result;
  for (char** v = values; v != nullptr && *v != nullptr; ++v) result.emplace_back(*v);
  return result;
}

TBusMessage TBusObject::Property(const char* interface, const char* member, const char* type, bool required) const {
  TBusError error;
  sd_bus_message* reply = nullptr;
  const int result = sd_bus_get_property(Bus, Destination, Path.c_str(), interface, member, error.Get(), &reply, type);
  if (result < 0) {
    if (required) error.Report(result);
    return nullptr;
  }
  return TBusMessage(reply);
}

}  // namespace detail
}  // namespace zk::platform

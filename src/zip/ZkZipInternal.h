#pragma once
// Rebuild targets and record encoding shared by the reading and writing
// halves of TZkZip. Only the zip unit includes this header.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ZkFileHandle.h"
#include "zip/ZkZip.h"

namespace zk {

// Where a rebuilt archive or a compressed entry goes: appended at the
// position, with headers completed afterwards at earlier offsets.
class TZkZip::Target {
public:
  virtual ~Target() = default;
  std::uint64_t Position() const { return position_; }
  void SetPosition(std::uint64_t position) { position_ = position; }
  void Write(std::string_view bytes) {
    WriteAt(position_, bytes);
    position_ += bytes.size();
  }
  virtual void WriteAt(std::uint64_t offset, std::string_view bytes) = 0;
  // Exactly `size` bytes at the offset; raises EZkFileReadError otherwise.
  virtual void ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const = 0;

protected:
  std::uint64_t position_ = 0;
};

namespace zipdetail {

std::string EncodeLocalHeader(const TCentralDirectoryFile& central, bool zip64, bool complete);
std::string EncodeCentralRecord(const TCentralDirectoryFile& central, bool localZip64);
// The ZIP64 end record and locator when a value needs them, then the end
// record and the comment.
std::string EncodeEndRecords(std::uint64_t count, std::uint64_t centralOffset, std::uint64_t centralSize,
                             std::string_view comment);
std::uint16_t VersionNeededFor(const TCentralDirectoryFile& central, bool localZip64);

}  // namespace zipdetail
}  // namespace zk

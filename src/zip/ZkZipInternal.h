#pragma once
// The write target and record encoding shared by the reading and writing
// halves of TZkZip. Only the zip unit includes this header.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ZkFileHandle.h"
#include "zip/ZkZip.h"

namespace zk {

// Where a compressed entry or a rebuilt archive goes: appended at the
// position, with headers completed afterwards at earlier offsets. Write
// errors name the archive, also while it is still a temporary file.
class TZkZip::Target {
public:
  Target(platform::FileHandle& file, const std::string& archiveName, std::uint64_t start)
      : file_(file), archiveName_(archiveName), position_(start) {}
  std::uint64_t Position() const { return position_; }
  void SetPosition(std::uint64_t position) { position_ = position; }
  void Write(std::string_view bytes) {
    WriteAt(position_, bytes);
    position_ += bytes.size();
  }
  void WriteAt(std::uint64_t offset, std::string_view bytes);
  // Appends `size` bytes of an archive file from the offset on;
  // EZkFileReadError when they cannot all be read.
  void CopyFrom(const platform::FileHandle& from, std::uint64_t offset, std::uint64_t size);

private:
  platform::FileHandle& file_;
  const std::string& archiveName_;
  std::uint64_t position_;
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

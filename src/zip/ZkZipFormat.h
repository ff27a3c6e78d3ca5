#pragma once
// The byte layout of zip archives: signatures, header sizes, the
// little-endian byte writer and reader, and the choices the format leaves
// open (ZIP64 only where a value does not fit, CP852 or UTF-8 names). Only
// the zip unit includes this header.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/ZkDateTime.h"
#include "zip/ZkZip.h"

namespace zk::zipformat {

inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;
inline constexpr std::uint32_t kEndRecordSignature = 0x06054B50;
inline constexpr std::uint32_t kZip64EndRecordSignature = 0x06064B50;
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;
inline constexpr std::uint32_t kDataDescriptorSignature = 0x08074B50;

// Every record starts with its four-byte signature.
inline constexpr std::size_t kSignatureSize = 4;

inline constexpr std::size_t kLocalHeaderSize = 30;
inline constexpr std::size_t kCentralHeaderSize = 46;
inline constexpr std::size_t kEndRecordSize = 22;
inline constexpr std::size_t kZip64EndRecordSize = 56;
inline constexpr std::size_t kZip64LocatorSize = 20;
// The size field of the ZIP64 end record leaves out the signature and itself.
inline constexpr std::size_t kZip64EndRecordLeadSize = kSignatureSize + 8;
// A data descriptor holds the CRC-32 and both sizes in 32 bits; a ZIP64 entry
// widens the sizes to 64 bits. Its signature is optional.
inline constexpr std::uint32_t kDataDescriptorSize = 12;
inline constexpr std::uint32_t kDataDescriptorZip64Growth = 8;
// Archives of this writer lie on a single disk.
inline constexpr std::uint32_t kDiskCount = 1;
// The end record may be followed by a comment of up to 65,535 bytes.
inline constexpr std::size_t kMaxCommentLength = 0xFFFF;

inline constexpr std::uint16_t kVersionClassic = 20;
inline constexpr std::uint16_t kVersionZip64 = 45;
// "Version made by": the high byte names the host whose attributes the
// external attribute field holds; both hosts below use the DOS bits.
inline constexpr std::uint16_t kHostFat = 0;
inline constexpr std::uint16_t kHostNtfs = 11;

inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;
inline constexpr std::uint16_t kMethodDeflate64 = 9;

inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kFlagLevelMask = 0x0006;
inline constexpr std::uint16_t kFlagLevelMaximum = 0x0002;
inline constexpr std::uint16_t kFlagLevelFast = 0x0004;
inline constexpr std::uint16_t kFlagLevelSuperFast = 0x0006;
inline constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr std::uint16_t kFlagUtf8Name = 0x0800;

inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;
// The external attributes keep the DOS attributes of the low word only.
inline constexpr std::uint32_t kDosAttributeMask = 0xFFFF;

inline constexpr std::uint16_t kZip64ExtraId = 0x0001;
// The Info-ZIP Unicode Path field: a version byte, the CRC-32 of the stored
// name, then the name in UTF-8.
inline constexpr std::uint16_t kUnicodePathExtraId = 0x7075;
inline constexpr std::uint8_t kUnicodePathVersion = 1;
inline constexpr std::size_t kUnicodePathLeadSize = 1 + 4;
inline constexpr std::size_t kExtraHeaderSize = 4;
// The widths of the values of a ZIP64 field: sizes and offset, disk number.
inline constexpr std::size_t kZip64ValueSize = 8;
inline constexpr std::size_t kZip64DiskSize = 4;
// The local ZIP64 field reserved for a large source: both sizes.
inline constexpr std::size_t kLocalZip64ExtraSize = kExtraHeaderSize + 16;

inline constexpr std::uint16_t kMax16 = 0xFFFF;
inline constexpr std::uint32_t kMax32 = 0xFFFFFFFF;

// A value goes into a ZIP64 field when its classic field cannot hold it; the
// all-ones value itself is the marker for "see ZIP64", so it does not fit.
constexpr bool NeedsZip64(std::uint64_t value) { return value >= kMax32; }
constexpr bool NeedsZip64Count(std::uint64_t count) { return count >= kMax16; }

class ByteWriter {
public:
  void U16(std::uint16_t value) {
    for (int i = 0; i < 2; ++i) bytes_.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
  void U32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
  void U64(std::uint64_t value) {
    for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
  void Bytes(std::string_view data) { bytes_.append(data); }
  const std::string& Data() const { return bytes_; }
  std::string& Data() { return bytes_; }

private:
  std::string bytes_;
};

// Reads fields in order; reading past the end yields zeros and clears Ok.
class ByteReader {
public:
  explicit ByteReader(std::string_view data) : data_(data) {}
  std::uint16_t U16() { return static_cast<std::uint16_t>(Unsigned(2)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Unsigned(4)); }
  std::uint64_t U64() { return Unsigned(8); }
  std::string_view Bytes(std::size_t count) {
    if (count > data_.size() - pos_) {
      ok_ = false;
      pos_ = data_.size();
      return {};
    }
    const std::string_view result = data_.substr(pos_, count);
    pos_ += count;
    return result;
  }
  bool Ok() const { return ok_; }
  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return data_.size() - pos_; }

private:
  std::uint64_t Unsigned(std::size_t width) {
    const std::string_view raw = Bytes(width);
    std::uint64_t value = 0;
    for (std::size_t i = raw.size(); i-- > 0;) value = (value << 8) | static_cast<unsigned char>(raw[i]);
    return value;
  }

  std::string_view data_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

std::uint32_t ReadU32(std::string_view bytes);

inline constexpr int kDosFirstYear = 1980;
inline constexpr int kDosLastYear = 2107;

// DOS date and time of a moment; both 0 outside the years 1980 to 2107.
struct DosDateTime {
  std::uint16_t Time = 0;
  std::uint16_t Date = 0;
  friend bool operator==(const DosDateTime&, const DosDateTime&) = default;
};
DosDateTime ToDosDateTime(TDateTime moment);
// Foreign archives may hold any bits: a date that is no calendar day gives
// 0, a time that is no time of day gives midnight of the date.
TDateTime FromDosDateTime(DosDateTime dos);

// The stored form of an entry name: CP852 when every character has a byte
// there, otherwise the UTF-8 bytes with the UTF-8 flag. A name that is not
// valid UTF-8 (a Posix file name in some other encoding) keeps its bytes,
// without the flag, so that the file comes back under the same name.
struct StoredName {
  std::string Bytes;
  bool Utf8 = false;
  bool Raw = false;
};
StoredName EncodeEntryName(std::string_view name);
// A CP852 name outside plain ASCII also carries its UTF-8 form in a Unicode
// Path field, so that readers which take names without the UTF-8 flag as
// another code page still restore the right name; other names carry none.
bool NeedsUnicodePath(const StoredName& name);
// The Unicode Path field of a stored name and its UTF-8 form.
std::string EncodeUnicodePathExtra(std::string_view storedBytes, std::string_view utf8Name);
// The UTF-8 name of the Unicode Path field in an extra block; nothing when
// there is none, its version is not 1, its CRC-32 is not that of the stored
// bytes (the name was changed by a program that did not know the field) or
// its name is not valid UTF-8.
std::optional<std::string> ReadUnicodePathExtra(std::string_view extra, std::string_view storedBytes);
// MS-DOS (FAT) for names in the OEM code page; NTFS for the others, since
// readers such as Info-ZIP unzip convert the names of FAT entries from the
// OEM code page even when the UTF-8 flag is set.
constexpr std::uint16_t VersionMadeBy(const StoredName& name) {
  const bool oem = !name.Utf8 && !name.Raw;
  return static_cast<std::uint16_t>(((oem ? kHostFat : kHostNtfs) << 8) | kVersionClassic);
}
// The name as UTF-8: by the flag; bytes that are not valid UTF-8 although
// the flag says so are kept as they are. Bytes without the flag are read as
// CP852, also those that were stored raw: the format cannot tell them apart.
std::string DecodeEntryName(std::string_view bytes, bool utf8Flag);
// The same, preferring the Unicode Path field of the extra block when it
// belongs to these bytes.
std::string DecodeEntryName(std::string_view bytes, bool utf8Flag, std::string_view extra);

// The records, in the order of the format: each encoder beside its decoder.
// Decoders take the fixed part of a record and return false when it does
// not start with the record's signature.

// The fields both records share, in the order both store them.
void DecodeSharedFields(ByteReader& r, TZipSharedFields& fields);

// Local header. An incomplete header has no signature; a ZIP64 header
// carries both sizes in its ZIP64 field, in front of the entry's other extra
// fields.
std::string EncodeLocalHeader(const TCentralDirectoryFile& central, bool zip64, bool complete);
// The local record of a header written by EncodeLocalHeader.
TLocalFile WrittenLocalRecord(const TCentralDirectoryFile& central, bool zip64);
bool DecodeLocalHeader(std::string_view fixed, TLocalFile& local);
// Takes the name and extra field that follow the fixed part and widens the
// sizes from a ZIP64 field; true when that field holds both sizes.
bool DecodeLocalNameAndExtra(std::string_view rest, TLocalFile& local);

// Data descriptor: only read, never written. The bytes it takes after the
// data.
constexpr std::uint32_t DataDescriptorSize(bool signature, bool zip64) {
  return (signature ? static_cast<std::uint32_t>(kSignatureSize) : 0) + kDataDescriptorSize +
         (zip64 ? kDataDescriptorZip64Growth : 0);
}

// Central directory record. Values that do not fit go into a ZIP64 field in
// front of the other extra fields; both sizes go there when the local header
// has them there.
std::uint16_t VersionNeededFor(const TCentralDirectoryFile& central, bool localZip64);
std::string EncodeCentralRecord(const TCentralDirectoryFile& central, bool localZip64);
// The lengths of what follows the fixed part of a central record.
struct CentralLengths {
  std::uint16_t Name = 0;
  std::uint16_t Extra = 0;
  std::uint16_t Comment = 0;
};
bool DecodeCentralHeader(std::string_view fixed, TCentralDirectoryFile& central, CentralLengths& lengths);
// Takes the name, extra field and comment, widening the values marked for
// the ZIP64 field and keeping the other extra fields.
void DecodeCentralNameExtraComment(std::string_view name, std::string_view extra, std::string_view comment,
                                   TCentralDirectoryFile& central);

// The end of the directory as kept in memory: the classic fields widened to
// hold ZIP64 values.
struct EndRecord {
  std::uint32_t DiskNumber = 0;
  std::uint32_t CentralDisk = 0;
  std::uint64_t EntriesOnDisk = 0;
  std::uint64_t TotalEntries = 0;
  std::uint64_t CentralSize = 0;
  std::uint64_t CentralOffset = 0;
  std::uint16_t CommentLength = 0;
};

// ZIP64 end record: overrides the disk numbers, counts, size and offset of
// the end record.
std::string EncodeZip64EndRecord(std::uint64_t count, std::uint64_t centralOffset, std::uint64_t centralSize);
bool DecodeZip64EndRecord(std::string_view fixed, EndRecord& record);

// ZIP64 end record locator: where the ZIP64 end record lies.
std::string EncodeZip64Locator(std::uint64_t zip64EndOffset);
std::optional<std::uint64_t> DecodeZip64Locator(std::string_view fixed);

// End record with the archive comment.
std::string EncodeEndRecord(std::uint64_t count, std::uint64_t centralOffset, std::uint64_t centralSize,
                            std::string_view comment);
bool DecodeEndRecord(std::string_view fixed, EndRecord& record);
// The ZIP64 end record and locator when a value needs them, then the end
// record and the comment.
std::string EncodeEndRecords(std::uint64_t count, std::uint64_t centralOffset, std::uint64_t centralSize,
                             std::string_view comment);

// Extra fields.

// The extra fields without the ZIP64 one, which is written anew each time.
std::string WithoutZip64Extra(std::string_view extra);

// The values of a ZIP64 extra field, in the order the format lists them;
// each is present only where the classic field holds the marker.
struct Zip64Values {
  std::optional<std::uint64_t> UncompressedSize;
  std::optional<std::uint64_t> CompressedSize;
  std::optional<std::uint64_t> LocalHeaderOffset;
  std::optional<std::uint32_t> DiskNumber;
};
// A ZIP64 field of the values present, in that order.
std::string EncodeZip64Extra(const Zip64Values& values);
// Reads the ZIP64 field of an extra block; fields it does not hold stay
// empty.
Zip64Values ReadZip64Extra(std::string_view extra, bool wantUncompressed, bool wantCompressed, bool wantOffset,
                           bool wantDisk);

}  // namespace zk::zipformat

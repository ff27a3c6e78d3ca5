#include "zip/ZkZipFormat.h"

#include <zlib.h>

#include <algorithm>
#include <utility>

#include "base/ZkDateTime.h"
#include "platform/ZkCodePage.h"
#include "util/ZkUtil.h"

namespace zk::zipformat {

std::uint32_t ReadU32(std::string_view bytes) {
  ByteReader reader(bytes);
  return reader.U32();
}

DosDateTime ToDosDateTime(TDateTime moment) {
  const TDateTimeParts parts = DecodeDateTime(moment);
  if (parts.Year < kDosFirstYear || parts.Year > kDosLastYear) return {};
  DosDateTime dos;
  dos.Time = static_cast<std::uint16_t>(parts.Hour * 2048 + parts.Minute * 32 + parts.Second / 2);
  dos.Date = static_cast<std::uint16_t>((parts.Year - kDosFirstYear) * 512 + parts.Month * 32 + parts.Day);
  return dos;
}

TDateTime FromDosDateTime(DosDateTime dos) {
  TDateTime date = 0;
  if (!TryEncodeDate(kDosFirstYear + (dos.Date >> 9), (dos.Date >> 5) & 0x0F, dos.Date & 0x1F, date)) return 0;
  TDateTime time = 0;
  if (!TryEncodeTime(dos.Time >> 11, (dos.Time >> 5) & 0x3F, (dos.Time & 0x1F) * 2, 0, time)) time = 0;
  return date + time;
}

StoredName EncodeEntryName(std::string_view name) {
  if (!IsValidUtf8(name)) return {std::string(name), false, true};
  if (auto oem = platform::Utf8ToCodePage(name, platform::TCodePage::cp852)) return {std::move(*oem), false};
  return {std::string(name), true};
}

std::string DecodeEntryName(std::string_view bytes, bool utf8Flag) {
  if (utf8Flag) return std::string(bytes);
  if (auto text = platform::CodePageToUtf8(bytes, platform::TCodePage::cp852)) return std::move(*text);
  return std::string(bytes);
}

std::string DecodeEntryName(std::string_view bytes, bool utf8Flag, std::string_view extra) {
  if (auto unicode = ReadUnicodePathExtra(extra, bytes)) return std::move(*unicode);
  return DecodeEntryName(bytes, utf8Flag);
}

bool NeedsUnicodePath(const StoredName& name) {
  return !name.Utf8 && !name.Raw && !std::all_of(name.Bytes.begin(), name.Bytes.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x80;
  });
}

std::string EncodeUnicodePathExtra(std::string_view storedBytes, std::string_view utf8Name) {
  ByteWriter w;
  w.U16(kUnicodePathExtraId);                                                        // header ID
  w.U16(static_cast<std::uint16_t>(kUnicodePathLeadSize + utf8Name.size()));         // data size
  w.Bytes(std::string(1, static_cast<char>(kUnicodePathVersion)));                   // version
  w.U32(static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(storedBytes.data()),
                                           storedBytes.size())));                    // CRC-32 of the stored name
  w.Bytes(utf8Name);                                                                 // UTF-8 name
  return std::move(w.Data());
}

std::optional<std::string> ReadUnicodePathExtra(std::string_view extra, std::string_view storedBytes) {
  ByteReader reader(extra);
  while (reader.Remaining() >= kExtraHeaderSize) {
    const std::uint16_t id = reader.U16();
    const std::uint16_t size = reader.U16();
    const std::string_view body = reader.Bytes(size);
    if (!reader.Ok()) break;
    if (id != kUnicodePathExtraId || size < kUnicodePathLeadSize) continue;
    ByteReader field(body);
    const std::string_view version = field.Bytes(1);                                 // version
    const std::uint32_t crc = field.U32();                                           // CRC-32 of the stored name
    const std::string_view name = field.Bytes(field.Remaining());                    // UTF-8 name
    const auto storedCrc = static_cast<std::uint32_t>(
        crc32_z(0, reinterpret_cast<const Bytef*>(storedBytes.data()), storedBytes.size()));
    if (static_cast<std::uint8_t>(version[0]) != kUnicodePathVersion || crc != storedCrc || name.empty() ||
        !IsValidUtf8(name))
      return std::nullopt;
    return std::string(name);
  }
  return std::nullopt;
}

// ---------------------------------------------------------------- local header

namespace {

// The ZIP64 field of a local header: both sizes, also one that would fit.
std::string LocalZip64Extra(const TCentralDirectoryFile& central) {
  return EncodeZip64Extra({central.UncompressedSize, central.CompressedSize, {}, {}});
}

// The extra field of a local header: the ZIP64 field first, then the
// entry's others.
std::string LocalExtra(const TCentralDirectoryFile& central, bool zip64) {
  return (zip64 ? LocalZip64Extra(central) : std::string()) + central.Extra;
}

// The fields both records share, from version needed to the uncompressed
// size; a size that lives in the ZIP64 field stands as 0xFFFFFFFF.
void EncodeSharedFields(ByteWriter& w, const TCentralDirectoryFile& central, std::uint16_t versionNeeded,
                        bool wideCompressed, bool wideUncompressed) {
  w.U16(versionNeeded);                                                                  // version needed
  w.U16(central.Flags);                                                                  // general purpose flags
  w.U16(central.Method);                                                                 // compression method
  w.U16(central.Time);                                                                   // last modification time
  w.U16(central.Date);                                                                   // last modification date
  w.U32(central.Crc32);                                                                  // CRC-32
  w.U32(wideCompressed ? kMax32 : static_cast<std::uint32_t>(central.CompressedSize));      // compressed size
  w.U32(wideUncompressed ? kMax32 : static_cast<std::uint32_t>(central.UncompressedSize));  // uncompressed size
}

}  // namespace

void DecodeSharedFields(ByteReader& r, TZipSharedFields& fields) {
  fields.VersionNeeded = r.U16();     // version needed
  fields.Flags = r.U16();             // general purpose flags
  fields.Method = r.U16();            // compression method
  fields.Time = r.U16();              // last modification time
  fields.Date = r.U16();              // last modification date
  fields.Crc32 = r.U32();             // CRC-32
  fields.CompressedSize = r.U32();    // compressed size
  fields.UncompressedSize = r.U32();  // uncompressed size
}

std::string EncodeLocalHeader(const TCentralDirectoryFile& central, bool zip64, bool complete) {
  ByteWriter w;
  // An incomplete header has no signature, so that a walk after a crash
  // stops in front of it instead of taking its unfinished data.
  w.U32(complete ? kLocalHeaderSignature : 0);                                 // signature
  EncodeSharedFields(w, central, zip64 ? std::max(central.VersionNeeded, kVersionZip64) : central.VersionNeeded, zip64,
                     zip64);
  w.U16(static_cast<std::uint16_t>(central.Name.size()));                      // file name length
  w.U16(static_cast<std::uint16_t>(LocalExtra(central, zip64).size()));       // extra field length
  w.Bytes(central.Name);                                                       // file name
  w.Bytes(LocalExtra(central, zip64));                                         // extra field
  return std::move(w.Data());
}

TLocalFile WrittenLocalRecord(const TCentralDirectoryFile& central, bool zip64) {
  TLocalFile l;
  l.Signature = kLocalHeaderSignature;
  static_cast<TZipSharedFields&>(l) = central;
  l.NameLength = static_cast<std::uint16_t>(central.Name.size());
  l.Extra = LocalExtra(central, zip64);
  l.ExtraLength = static_cast<std::uint16_t>(l.Extra.size());
  l.Name = central.Name;
  return l;
}

bool DecodeLocalHeader(std::string_view fixed, TLocalFile& local) {
  ByteReader r(fixed);
  local.Signature = r.U32();                     // signature
  if (local.Signature != kLocalHeaderSignature) return false;
  DecodeSharedFields(r, local);
  local.NameLength = r.U16();                    // file name length
  local.ExtraLength = r.U16();                   // extra field length
  return true;
}

bool DecodeLocalNameAndExtra(std::string_view rest, TLocalFile& local) {
  local.Name = rest.substr(0, local.NameLength);
  local.Extra = rest.substr(local.NameLength);
  const bool marked = local.CompressedSize == kMax32 && local.UncompressedSize == kMax32;
  const Zip64Values wide =
      ReadZip64Extra(local.Extra, local.UncompressedSize == kMax32, local.CompressedSize == kMax32, false, false);
  if (wide.UncompressedSize) local.UncompressedSize = *wide.UncompressedSize;
  if (wide.CompressedSize) local.CompressedSize = *wide.CompressedSize;
  return marked && wide.UncompressedSize && wide.CompressedSize;
}

// ---------------------------------------------------------------- central directory record

std::uint16_t VersionNeededFor(const TCentralDirectoryFile& central, bool localZip64) {
  const bool zip64 = localZip64 || NeedsZip64(central.CompressedSize) || NeedsZip64(central.UncompressedSize) ||
                     NeedsZip64(central.LocalHeaderOffset);
  return zip64 ? std::max(central.VersionNeeded, kVersionZip64) : central.VersionNeeded;
}

std::string EncodeCentralRecord(const TCentralDirectoryFile& central, bool localZip64) {
  const bool zipUncompressed = localZip64 || NeedsZip64(central.UncompressedSize);
  const bool zipCompressed = localZip64 || NeedsZip64(central.CompressedSize);
  const bool zipOffset = NeedsZip64(central.LocalHeaderOffset);
  std::string extra;
  if (zipUncompressed || zipCompressed || zipOffset) {
    Zip64Values values;
    if (zipUncompressed) values.UncompressedSize = central.UncompressedSize;
    if (zipCompressed) values.CompressedSize = central.CompressedSize;
    if (zipOffset) values.LocalHeaderOffset = central.LocalHeaderOffset;
    extra = EncodeZip64Extra(values);
  }
  extra += central.Extra;

  ByteWriter w;
  w.U32(kCentralHeaderSignature);                                                          // signature
  w.U16(central.VersionMadeBy);                                                            // version made by
  EncodeSharedFields(w, central, VersionNeededFor(central, localZip64), zipCompressed, zipUncompressed);
  w.U16(static_cast<std::uint16_t>(central.Name.size()));                                  // file name length
  w.U16(static_cast<std::uint16_t>(extra.size()));                                         // extra field length
  w.U16(static_cast<std::uint16_t>(central.Comment.size()));                               // file comment length
  w.U16(static_cast<std::uint16_t>(std::min<std::uint32_t>(central.DiskNumberStart, kMax16)));  // disk number start
  w.U16(central.InternalAttributes);                                                       // internal attributes
  w.U32(central.ExternalAttributes);                                                       // external attributes
  w.U32(zipOffset ? kMax32 : static_cast<std::uint32_t>(central.LocalHeaderOffset));       // local header offset
  w.Bytes(central.Name);                                                                   // file name
  w.Bytes(extra);                                                                          // extra field
  w.Bytes(central.Comment);                                                                // file comment
  return std::move(w.Data());
}

bool DecodeCentralHeader(std::string_view fixed, TCentralDirectoryFile& central, CentralLengths& lengths) {
  ByteReader r(fixed);
  central.Signature = r.U32();                   // signature
  if (central.Signature != kCentralHeaderSignature) return false;
  central.VersionMadeBy = r.U16();               // version made by
  DecodeSharedFields(r, central);
  lengths.Name = r.U16();                        // file name length
  lengths.Extra = r.U16();                       // extra field length
  lengths.Comment = r.U16();                     // file comment length
  central.DiskNumberStart = r.U16();             // disk number start
  central.InternalAttributes = r.U16();          // internal attributes
  central.ExternalAttributes = r.U32();          // external attributes
  central.LocalHeaderOffset = r.U32();           // local header offset
  return true;
}

void DecodeCentralNameExtraComment(std::string_view name, std::string_view extra, std::string_view comment,
                                   TCentralDirectoryFile& central) {
  const Zip64Values wide =
      ReadZip64Extra(extra, central.UncompressedSize == kMax32, central.CompressedSize == kMax32,
                     central.LocalHeaderOffset == kMax32, central.DiskNumberStart == kMax16);
  if (wide.UncompressedSize) central.UncompressedSize = *wide.UncompressedSize;
  if (wide.CompressedSize) central.CompressedSize = *wide.CompressedSize;
  if (wide.LocalHeaderOffset) central.LocalHeaderOffset = *wide.LocalHeaderOffset;
  if (wide.DiskNumber) central.DiskNumberStart = *wide.DiskNumber;
  central.Name = name;
  central.Extra = WithoutZip64Extra(extra);
  central.Comment = comment;
}

// ---------------------------------------------------------------- ZIP64 end record

std::string EncodeZip64EndRecord(std::uint64_t count, std::uint64_t centralOffset, std::uint64_t centralSize) {
  ByteWriter w;
  w.U32(kZip64EndRecordSignature);                      // signature
  w.U64(kZip64EndRecordSize - kZip64EndRecordLeadSize); // size of the rest of the record
  w.U16(kVersionZip64);                                 // version made by
  w.U16(kVersionZip64);                                 // version needed
  w.U32(0);                                             // number of this disk
  w.U32(0);                                             // disk where the central directory starts
  w.U64(count);                                         // entries on this disk
  w.U64(count);                                         // total entries
  w.U64(centralSize);                                   // size of the central directory
  w.U64(centralOffset);                                 // offset of the central directory
  return std::move(w.Data());
}

bool DecodeZip64EndRecord(std::string_view fixed, EndRecord& record) {
  ByteReader z(fixed);
  if (z.U32() != kZip64EndRecordSignature) return false;  // signature
  z.U64();                                       // size of the rest of the record
  z.U16();                                       // version made by
  z.U16();                                       // version needed
  record.DiskNumber = z.U32();                   // number of this disk
  record.CentralDisk = z.U32();                  // disk of the central directory
  record.EntriesOnDisk = z.U64();                // entries on this disk
  record.TotalEntries = z.U64();                 // total entries
  record.CentralSize = z.U64();                  // size of the central directory
  record.CentralOffset = z.U64();                // offset of the central directory
  return true;
}

// ---------------------------------------------------------------- ZIP64 end record locator

std::string EncodeZip64Locator(std::uint64_t zip64EndOffset) {
  ByteWriter w;
  w.U32(kZip64LocatorSignature);                 // locator signature
  w.U32(0);                                      // disk of the ZIP64 end record
  w.U64(zip64EndOffset);                         // offset of the ZIP64 end record
  w.U32(kDiskCount);                             // total number of disks
  return std::move(w.Data());
}

std::optional<std::uint64_t> DecodeZip64Locator(std::string_view fixed) {
  ByteReader l(fixed);
  if (l.U32() != kZip64LocatorSignature) return std::nullopt;  // signature
  l.U32();                                       // disk of the ZIP64 end record
  return l.U64();                                // offset of the ZIP64 end record
}

// ---------------------------------------------------------------- end record

std::string EncodeEndRecord(std::uint64_t count, std::uint64_t centralOffset, std::uint64_t centralSize,
                            std::string_view comment) {
  ByteWriter w;
  const auto count16 = static_cast<std::uint16_t>(NeedsZip64Count(count) ? kMax16 : count);
  w.U32(kEndRecordSignature);                                                      // signature
  w.U16(0);                                                                        // number of this disk
  w.U16(0);                                                                        // disk of the central directory
  w.U16(count16);                                                                  // entries on this disk
  w.U16(count16);                                                                  // total entries
  w.U32(NeedsZip64(centralSize) ? kMax32 : static_cast<std::uint32_t>(centralSize));      // central directory size
  w.U32(NeedsZip64(centralOffset) ? kMax32 : static_cast<std::uint32_t>(centralOffset));  // central directory offset
  w.U16(static_cast<std::uint16_t>(comment.size()));                               // comment length
  w.Bytes(comment);                                                                // comment
  return std::move(w.Data());
}

bool DecodeEndRecord(std::string_view fixed, EndRecord& record) {
  ByteReader r(fixed);
  if (r.U32() != kEndRecordSignature) return false;  // signature
  record.DiskNumber = r.U16();                   // number of this disk
  record.CentralDisk = r.U16();                  // disk of the central directory
  record.EntriesOnDisk = r.U16();                // entries on this disk
  record.TotalEntries = r.U16();                 // total entries
  record.CentralSize = r.U32();                  // size of the central directory
  record.CentralOffset = r.U32();                // offset of the central directory
  record.CommentLength = r.U16();                // comment length
  return true;
}

std::string EncodeEndRecords(std::uint64_t count, std::uint64_t centralOffset, std::uint64_t centralSize,
                             std::string_view comment) {
  std::string bytes;
  if (NeedsZip64Count(count) || NeedsZip64(centralOffset) || NeedsZip64(centralSize)) {
    bytes += EncodeZip64EndRecord(count, centralOffset, centralSize);
    // The ZIP64 end record follows the directory directly.
    bytes += EncodeZip64Locator(centralOffset + centralSize);
  }
  bytes += EncodeEndRecord(count, centralOffset, centralSize, comment);
  return bytes;
}

// ---------------------------------------------------------------- extra fields

std::string EncodeZip64Extra(const Zip64Values& values) {
  ByteWriter body;
  if (values.UncompressedSize) body.U64(*values.UncompressedSize);
  if (values.CompressedSize) body.U64(*values.CompressedSize);
  if (values.LocalHeaderOffset) body.U64(*values.LocalHeaderOffset);
  if (values.DiskNumber) body.U32(*values.DiskNumber);
  ByteWriter w;
  w.U16(kZip64ExtraId);
  w.U16(static_cast<std::uint16_t>(body.Data().size()));
  w.Bytes(body.Data());
  return std::move(w.Data());
}

std::string WithoutZip64Extra(std::string_view extra) {
  std::string kept;
  ByteReader reader(extra);
  while (reader.Remaining() >= kExtraHeaderSize) {
    const std::size_t start = reader.Position();
    const std::uint16_t id = reader.U16();
    const std::uint16_t size = reader.U16();
    reader.Bytes(size);
    if (!reader.Ok()) {
      // A field that runs past the end is kept as it came.
      kept.append(extra.substr(start));
      return kept;
    }
    if (id != kZip64ExtraId) kept.append(extra.substr(start, kExtraHeaderSize + size));
  }
  kept.append(extra.substr(reader.Position()));
  return kept;
}

Zip64Values ReadZip64Extra(std::string_view extra, bool wantUncompressed, bool wantCompressed, bool wantOffset,
                           bool wantDisk) {
  Zip64Values values;
  ByteReader reader(extra);
  while (reader.Remaining() >= kExtraHeaderSize) {
    const std::uint16_t id = reader.U16();
    const std::uint16_t size = reader.U16();
    const std::string_view body = reader.Bytes(size);
    if (!reader.Ok()) break;
    if (id != kZip64ExtraId) continue;
    ByteReader field(body);
    if (wantUncompressed && field.Remaining() >= kZip64ValueSize) values.UncompressedSize = field.U64();
    if (wantCompressed && field.Remaining() >= kZip64ValueSize) values.CompressedSize = field.U64();
    if (wantOffset && field.Remaining() >= kZip64ValueSize) values.LocalHeaderOffset = field.U64();
    if (wantDisk && field.Remaining() >= kZip64DiskSize) values.DiskNumber = field.U32();
    break;
  }
  return values;
}

}  // namespace zk::zipformat

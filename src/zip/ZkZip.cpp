#include "zip/ZkZip.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "platform/ZkAtomicFile.h"
#include "platform/ZkFileSystem.h"
#include "util/ZkUtil.h"
#include "zip/ZkZipFormat.h"
#include "zip/ZkZipInternal.h"

namespace zk {

using namespace zipformat;

namespace zipdetail {

std::uint16_t VersionNeededFor(const TCentralDirectoryFile& central, bool localZip64) {
  const bool zip64 = localZip64 || NeedsZip64(central.CompressedSize) || NeedsZip64(central.UncompressedSize) ||
                     NeedsZip64(central.LocalHeaderOffset);
  return zip64 ? std::max(central.VersionNeeded, kVersionZip64) : central.VersionNeeded;
}

std::string EncodeLocalHeader(const TCentralDirectoryFile& central, bool zip64, bool complete) {
  ByteWriter w;
  // An incomplete header has no signature, so that a walk after a crash
  // stops in front of it instead of taking its unfinished data.
  w.U32(complete ? kLocalHeaderSignature : 0);                                 // signature
  w.U16(zip64 ? std::max(central.VersionNeeded, kVersionZip64) : central.VersionNeeded);  // version needed
  w.U16(central.Flags);                                                        // general purpose flags
  w.U16(central.Method);                                                       // compression method
  w.U16(central.Time);                                                         // last modification time
  w.U16(central.Date);                                                         // last modification date
  w.U32(central.Crc32);                                                        // CRC-32
  w.U32(zip64 ? kMax32 : static_cast<std::uint32_t>(central.CompressedSize));    // compressed size
  w.U32(zip64 ? kMax32 : static_cast<std::uint32_t>(central.UncompressedSize));  // uncompressed size
  w.U16(static_cast<std::uint16_t>(central.Name.size()));                      // file name length
  w.U16(zip64 ? static_cast<std::uint16_t>(kLocalZip64ExtraSize) : 0);         // extra field length
  w.Bytes(central.Name);                                                       // file name
  if (zip64) {
    w.U16(kZip64ExtraId);
    w.U16(static_cast<std::uint16_t>(kLocalZip64ExtraSize - kExtraHeaderSize));
    w.U64(central.UncompressedSize);
    w.U64(central.CompressedSize);
  }
  return std::move(w.Data());
}

std::string EncodeCentralRecord(const TCentralDirectoryFile& central, bool localZip64) {
  const bool zipUncompressed = localZip64 || NeedsZip64(central.UncompressedSize);
  const bool zipCompressed = localZip64 || NeedsZip64(central.CompressedSize);
  const bool zipOffset = NeedsZip64(central.LocalHeaderOffset);
  ByteWriter extra;
  if (zipUncompressed || zipCompressed || zipOffset) {
    ByteWriter values;
    if (zipUncompressed) values.U64(central.UncompressedSize);
    if (zipCompressed) values.U64(central.CompressedSize);
    if (zipOffset) values.U64(central.LocalHeaderOffset);
    extra.U16(kZip64ExtraId);
    extra.U16(static_cast<std::uint16_t>(values.Data().size()));
    extra.Bytes(values.Data());
  }
  extra.Bytes(central.Extra);

  ByteWriter w;
  w.U32(kCentralHeaderSignature);                                                          // signature
  w.U16(central.VersionMadeBy);                                                            // version made by
  w.U16(VersionNeededFor(central, localZip64));                                            // version needed
  w.U16(central.Flags);                                                                    // general purpose flags
  w.U16(central.Method);                                                                   // compression method
  w.U16(central.Time);                                                                     // last modification time
  w.U16(central.Date);                                                                     // last modification date
  w.U32(central.Crc32);                                                                    // CRC-32
  w.U32(zipCompressed ? kMax32 : static_cast<std::uint32_t>(central.CompressedSize));      // compressed size
  w.U32(zipUncompressed ? kMax32 : static_cast<std::uint32_t>(central.UncompressedSize));  // uncompressed size
  w.U16(static_cast<std::uint16_t>(central.Name.size()));                                  // file name length
  w.U16(static_cast<std::uint16_t>(extra.Data().size()));                                  // extra field length
  w.U16(static_cast<std::uint16_t>(central.Comment.size()));                               // file comment length
  w.U16(static_cast<std::uint16_t>(std::min<std::uint32_t>(central.DiskNumberStart, kMax16)));  // disk number start
  w.U16(central.InternalAttributes);                                                       // internal attributes
  w.U32(central.ExternalAttributes);                                                       // external attributes
  w.U32(zipOffset ? kMax32 : static_cast<std::uint32_t>(central.LocalHeaderOffset));       // local header offset
  w.Bytes(central.Name);                                                                   // file name
  w.Bytes(extra.Data());                                                                   // extra field
  w.Bytes(central.Comment);                                                                // file comment
  return std::move(w.Data());
}

std::string EncodeEndRecords(std::uint64_t count, std::uint64_t centralOffset, std::uint64_t centralSize,
                             std::string_view comment) {
  ByteWriter w;
  const bool zip64 = NeedsZip64Count(count) || NeedsZip64(centralOffset) || NeedsZip64(centralSize);
  if (zip64) {
    const std::uint64_t zip64EndOffset = centralOffset + centralSize;
    w.U32(kZip64EndRecordSignature);        // signature
    w.U64(kZip64EndRecordSize - 12);        // size of the rest of the record
    w.U16(kVersionZip64);                   // version made by
    w.U16(kVersionZip64);                   // version needed
    w.U32(0);                               // number of this disk
    w.U32(0);                               // disk where the central directory starts
    w.U64(count);                           // entries on this disk
    w.U64(count);                           // total entries
    w.U64(centralSize);                     // size of the central directory
    w.U64(centralOffset);                   // offset of the central directory
    w.U32(kZip64LocatorSignature);          // locator signature
    w.U32(0);                               // disk of the ZIP64 end record
    w.U64(zip64EndOffset);                  // offset of the ZIP64 end record
    w.U32(1);                               // total number of disks
  }
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

}  // namespace zipdetail

// ---------------------------------------------------------------- sources

TZkZipFileSource::TZkZipFileSource(const std::string& fileName)
    : file_(platform::FileHandle::OpenForReading(fileName)) {
  if (!file_.IsOpen()) throw EZkFileOpenError(FormatMessage("Megnyitási hiba (%s)", {fileName}));
}

std::int64_t TZkZipFileSource::Size() {
  const std::int64_t size = file_.Size();
  if (size < 0) throw EZkFileReadError("Olvasási hiba");
  return size;
}

std::size_t TZkZipFileSource::Read(char* buffer, std::size_t size) {
  const std::ptrdiff_t count = file_.Read(buffer, size);
  if (count < 0) throw EZkFileReadError("Olvasási hiba");
  return static_cast<std::size_t>(count);
}

std::size_t TZkZipMemorySource::Read(char* buffer, std::size_t size) {
  const std::size_t count = std::min(size, bytes_.size() - pos_);
  std::copy_n(bytes_.data() + pos_, count, buffer);
  pos_ += count;
  return count;
}

// ---------------------------------------------------------------- entries

bool TZkZipEntriesEntry::Encrypted() const { return (central_.Flags & kFlagEncrypted) != 0; }

bool TZkZipEntriesEntry::IsDirectory() const { return (central_.ExternalAttributes & kAttrDirectory) != 0; }

TZipCompressionType TZkZipEntriesEntry::Compression() const {
  if (central_.Method != kMethodDeflated && central_.Method != kMethodDeflate64) return TZipCompressionType::ctUnknown;
  switch (central_.Flags & kFlagLevelMask) {
    case 2:
      return TZipCompressionType::ctMaximum;
    case 4:
      return TZipCompressionType::ctFast;
    case 6:
      return TZipCompressionType::ctSuperFast;
    default:
      return TZipCompressionType::ctNormal;
  }
}

std::uint64_t TZkZipEntriesEntry::LocalEntrySize() const {
  if (local_.Signature == kLocalHeaderSignature)
    return kLocalHeaderSize + local_.NameLength + local_.ExtraLength + central_.CompressedSize + local_.DescriptorSize;
  const std::uint64_t descriptor = (central_.Flags & kFlagDataDescriptor) != 0 ? 16 : 0;
  return kLocalHeaderSize + central_.Name.size() + central_.Extra.size() + central_.CompressedSize + descriptor;
}

std::uint64_t TZkZipEntriesEntry::CentralEntrySize() const {
  return zipdetail::EncodeCentralRecord(central_, localZip64_).size();
}

TZkZipEntriesEntry& TZkZipEntries::Append() {
  items_.push_back(std::unique_ptr<TZkZipEntriesEntry>(new TZkZipEntriesEntry(*this)));
  return *items_.back();
}

void TZkZipEntries::Remove(int index) {
  items_.erase(items_.begin() + index);
  indexStale_ = true;
}

void TZkZipEntries::Clear() {
  items_.clear();
  index_.clear();
  indexStale_ = true;
  valid_ = false;
}

int TZkZipEntries::IndexOfStoredName(std::string_view name) const {
  if (indexStale_) {
    index_.clear();
    indexed_ = 0;
    indexStale_ = false;
  }
  for (; indexed_ < items_.size(); ++indexed_)
    index_.emplace(EntryNameKey(items_[indexed_]->name_), static_cast<int>(indexed_));
  // The name as it would be stored and read back, as the entries' names are;
  // only a name that is not UTF-8 reads back otherwise.
  std::string key;
  if (IsValidUtf8(name)) {
    key = EntryNameKey(name);
  } else {
    const StoredName stored = EncodeEntryName(name);
    key = EntryNameKey(DecodeEntryName(stored.Bytes, stored.Utf8));
  }
  const auto found = index_.find(key);
  return found == index_.end() ? -1 : found->second;
}

int TZkZipEntries::IndexOfName(std::string_view fileName) const {
  return IndexOfStoredName(ToZipName(fileName, owner_.SaveDriveName()));
}

// ---------------------------------------------------------------- component

TZkZip::TZkZip() : entries_(*this) {}

TZkZip::~TZkZip() {
  // A destructor cannot report; an unwritten directory is recovered by the
  // local-header walk of the next open. A new archive is discarded whole.
  try {
    if (!newArchive_) FlushPendingDirectory();
  } catch (const EZkError&) {
  }
}

void TZkZip::DoZipChange(TZkZip& sender, int changeType) {
  if (OnZipChange) OnZipChange(sender, changeType);
}

void TZkZip::Changed(int changeType) {
  fileNamesStale_ = true;
  DoZipChange(*this, changeType);
}

void TZkZip::SetActive(bool value) {
  if (fileName_.empty()) return;
  if (value)
    OpenArchive(fileName_);
  else
    CloseArchive();
}

void TZkZip::SetCompressionType(TZipCompressionType value) {
  compressionType_ = value == TZipCompressionType::ctUnknown ? TZipCompressionType::ctNormal : value;
}

void TZkZip::RequireOpen() const {
  if (!IsZipFile()) throw EZkError("Nincs megnyitott zip archívum");
}

void TZkZip::ThrowWriteError() const { throw EZkFileWriteError(FormatMessage("Írási hiba (%s)", {fileName_})); }

void TZkZip::WriteAt(std::uint64_t offset, std::string_view bytes) {
  if (!file_.WriteAt(static_cast<std::int64_t>(offset), bytes.data(), bytes.size())) ThrowWriteError();
}

void TZkZip::OpenArchive(const std::string& fileName) {
  CloseArchive();
  const auto info = platform::ReadFileInfo(fileName);
  if (!info || (info->Attr & platform::faDirectory) != 0)
    throw EZkFileOpenError("File \"" + fileName + "\" not found!");
  const bool readOnly = (info->Attr & platform::faReadOnly) != 0;
  platform::FileHandle file =
      readOnly ? platform::FileHandle::OpenForReading(fileName) : platform::FileHandle::OpenForUpdate(fileName);
  if (!file.IsOpen()) throw EZkFileOpenError(FormatMessage("Megnyitási hiba (%s)", {fileName}));
  file_ = std::move(file);
  readOnly_ = readOnly;
  fileName_ = fileName;
  LoadDirectory();
  if (!entries_.Valid()) CloseArchive();
  fileNamesStale_ = true;
  Changed(kChangeOpened);
}

void TZkZip::CloseArchive() {
  // A new archive that was not committed is thrown away: neither its
  // directory nor how its descriptor closes matters.
  const bool discard = newArchive_ && !newArchive_->Committed();
  std::exception_ptr failure;
  try {
    if (!discard) FlushPendingDirectory();
  } catch (const EZkError&) {
    failure = std::current_exception();
  }
  entries_.Clear();
  const bool closed = !file_.IsOpen() || file_.Close() || discard;
  newArchive_.reset();
  readOnly_ = false;
  updateDepth_ = 0;
  directoryPending_ = false;
  commentBytes_.clear();
  Changed(kChangeClosed);
  if (failure) std::rethrow_exception(failure);
  if (!closed) ThrowWriteError();
}

void TZkZip::CreateArchive(const std::string& fileName) {
  platform::FileHandle file = platform::FileHandle::Create(fileName);
  if (!file.IsOpen()) throw EZkFileCreateError(FormatMessage("Létrehozási hiba (%s)", {fileName}));
  const std::string empty = zipdetail::EncodeEndRecords(0, 0, 0, {});
  if (!file.WriteAll(empty.data(), empty.size()) || !file.Close())
    throw EZkFileWriteError(FormatMessage("Írási hiba (%s)", {fileName}));
}

void TZkZip::BeginArchive(const std::string& fileName) {
  CloseArchive();
  auto created = std::make_unique<platform::AtomicFile>(fileName);
  platform::FileHandle file = created->File().Duplicate();
  if (!file.IsOpen()) throw EZkFileCreateError(FormatMessage("Létrehozási hiba (%s)", {fileName}));
  newArchive_ = std::move(created);
  file_ = std::move(file);
  fileName_ = fileName;
  entries_.valid_ = true;
  endRecord_ = {};
  endRecordPosition_ = 0;
  // The empty end record goes in at once, so the file is an archive at
  // every step.
  try {
    WriteDirectoryAt(0);
  } catch (...) {
    CloseArchive();
    throw;
  }
  fileNamesStale_ = true;
  Changed(kChangeOpened);
}

void TZkZip::CommitArchive() {
  RequireOpen();
  if (!newArchive_) throw EZkError("Nincs új zip archívum");
  try {
    FlushPendingDirectory();
    newArchive_->Commit();
  } catch (...) {
    CloseArchive();
    throw;
  }
  CloseArchive();
}

const std::vector<std::string>& TZkZip::Comment() {
  comment_.clear();
  if (!IsZipFile()) return comment_;
  std::string line;
  for (std::size_t i = 0; i < commentBytes_.size(); ++i) {
    const char c = commentBytes_[i];
    if (c == '\r' || c == '\n') {
      comment_.push_back(std::move(line));
      line.clear();
      if (c == '\r' && i + 1 < commentBytes_.size() && commentBytes_[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) comment_.push_back(std::move(line));
  return comment_;
}

void TZkZip::SetComment(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  if (!IsZipFile()) {
    comment_.clear();
    return;
  }
  if (text == commentBytes_) return;
  if (text.size() > kMaxCommentLength) throw EZkError("A zip megjegyzés legfeljebb 65535 bájt lehet");
  comment_ = lines;
  commentBytes_ = std::move(text);
  WriteDirectoryAt(endRecord_.CentralOffset);
}

const std::vector<std::string>& TZkZip::FileNames() {
  if (fileNamesStale_) {
    fileNames_.clear();
    for (int i = 0; i < entries_.Count(); ++i) fileNames_.push_back(ZipDisplayName(entries_.Items(i).Name()));
    fileNamesStale_ = false;
  }
  return fileNames_;
}

// ---------------------------------------------------------------- reading

void TZkZip::LoadDirectory() {
  entries_.Clear();
  endRecord_ = {};
  endRecordPosition_ = 0;
  commentBytes_.clear();
  const std::int64_t size = file_.Size();
  if (size < 0) return;
  bool valid = FindEndRecord(size) && ReadCentralDirectory(size);
  if (valid) {
    ReadLocalHeaders(size);
  } else {
    // No end record, or one whose directory does not read (an add that
    // was cut off): the complete local entries are what is left.
    entries_.Clear();
    valid = ScanLocalHeaders(size);
  }
  entries_.valid_ = valid;
  entries_.indexStale_ = true;
}

bool TZkZip::FindEndRecord(std::int64_t fileSize) {
  const auto size = static_cast<std::uint64_t>(fileSize);
  if (size < kEndRecordSize) return false;
  const std::uint64_t lowest = size > kEndRecordSize + kMaxCommentLength ? size - kEndRecordSize - kMaxCommentLength : 0;
  std::string tail(size - lowest, '\0');
  if (file_.ReadAt(static_cast<std::int64_t>(lowest), tail.data(), tail.size()) !=
      static_cast<std::ptrdiff_t>(tail.size()))
    return false;
  for (std::uint64_t at = tail.size() - kEndRecordSize + 1; at-- > 0;) {
    if (ReadU32(std::string_view(tail).substr(at, 4)) != kEndRecordSignature) continue;
    ByteReader r(std::string_view(tail).substr(at, kEndRecordSize));
    EndRecord record;
    r.U32();                                     // signature
    record.DiskNumber = r.U16();                 // number of this disk
    record.CentralDisk = r.U16();                // disk of the central directory
    record.EntriesOnDisk = r.U16();              // entries on this disk
    record.TotalEntries = r.U16();               // total entries
    record.CentralSize = r.U32();                // size of the central directory
    record.CentralOffset = r.U32();              // offset of the central directory
    record.CommentLength = r.U16();              // comment length
    // A signature whose comment would run past the end lies inside data.
    if (record.CommentLength > tail.size() - at - kEndRecordSize) continue;
    endRecordPosition_ = lowest + at;
    commentBytes_ = tail.substr(at + kEndRecordSize, record.CommentLength);

    if (endRecordPosition_ >= kZip64LocatorSize) {
      char locator[kZip64LocatorSize];
      char zip64[kZip64EndRecordSize];
      if (file_.ReadAt(static_cast<std::int64_t>(endRecordPosition_ - kZip64LocatorSize), locator, sizeof locator) ==
              static_cast<std::ptrdiff_t>(sizeof locator) &&
          ReadU32(std::string_view(locator, 4)) == kZip64LocatorSignature) {
        ByteReader l(std::string_view(locator, sizeof locator));
        l.U32();                                 // signature
        l.U32();                                 // disk of the ZIP64 end record
        const std::uint64_t zip64Offset = l.U64();  // offset of the ZIP64 end record
        if (zip64Offset <= static_cast<std::uint64_t>(INT64_MAX) &&
            file_.ReadAt(static_cast<std::int64_t>(zip64Offset), zip64, sizeof zip64) ==
                static_cast<std::ptrdiff_t>(sizeof zip64) &&
            ReadU32(std::string_view(zip64, 4)) == kZip64EndRecordSignature) {
          ByteReader z(std::string_view(zip64, sizeof zip64));
          z.U32();                               // signature
          z.U64();                               // size of the rest of the record
          z.U16();                               // version made by
          z.U16();                               // version needed
          record.DiskNumber = z.U32();           // number of this disk
          record.CentralDisk = z.U32();          // disk of the central directory
          record.EntriesOnDisk = z.U64();        // entries on this disk
          record.TotalEntries = z.U64();         // total entries
          record.CentralSize = z.U64();          // size of the central directory
          record.CentralOffset = z.U64();        // offset of the central directory
        }
      }
    }
    endRecord_ = record;
    return true;
  }
  return false;
}

namespace {

// Sequential reads through a window of the file, so that a directory of
// many records costs few system calls and no more memory than the window.
class SequentialReader {
public:
  SequentialReader(const platform::FileHandle& file, std::uint64_t offset, std::uint64_t end)
      : file_(file), pos_(offset), end_(end) {}

  bool Read(std::size_t count, std::string& out) {
    out.clear();
    while (out.size() < count) {
      if (bufferPos_ == buffer_.size()) {
        if (pos_ >= end_) return false;
        buffer_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, end_ - pos_)));
        const std::ptrdiff_t got = file_.ReadAt(static_cast<std::int64_t>(pos_), buffer_.data(), buffer_.size());
        if (got <= 0) return false;
        buffer_.resize(static_cast<std::size_t>(got));
        pos_ += static_cast<std::uint64_t>(got);
        bufferPos_ = 0;
      }
      const std::size_t take = std::min(count - out.size(), buffer_.size() - bufferPos_);
      out.append(buffer_, bufferPos_, take);
      bufferPos_ += take;
    }
    return true;
  }

private:
  static constexpr std::size_t kWindow = 1 << 16;
  const platform::FileHandle& file_;
  std::uint64_t pos_;
  std::uint64_t end_;
  std::string buffer_;
  std::size_t bufferPos_ = 0;
};

bool Fits(std::uint64_t value) { return value <= static_cast<std::uint64_t>(INT64_MAX); }

}  // namespace

bool TZkZip::ReadCentralDirectory(std::int64_t fileSize) {
  const std::uint64_t offset = endRecord_.CentralOffset;
  // The directory lies before its end record; anything else is damage,
  // and adding at such an offset would write far beyond the file.
  if (offset > endRecordPosition_) return false;
  SequentialReader reader(file_, offset, static_cast<std::uint64_t>(fileSize));
  const std::uint64_t count = endRecord_.EntriesOnDisk;
  std::string fixed;
  std::string name;
  std::string extra;
  std::string comment;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (!reader.Read(kCentralHeaderSize, fixed)) return false;
    ByteReader r(fixed);
    TCentralDirectoryFile c;
    c.Signature = r.U32();                       // signature
    if (c.Signature != kCentralHeaderSignature) return false;
    c.VersionMadeBy = r.U16();                   // version made by
    c.VersionNeeded = r.U16();                   // version needed
    c.Flags = r.U16();                           // general purpose flags
    c.Method = r.U16();                          // compression method
    c.Time = r.U16();                            // last modification time
    c.Date = r.U16();                            // last modification date
    c.Crc32 = r.U32();                           // CRC-32
    c.CompressedSize = r.U32();                  // compressed size
    c.UncompressedSize = r.U32();                // uncompressed size
    const std::uint16_t nameLength = r.U16();    // file name length
    const std::uint16_t extraLength = r.U16();   // extra field length
    const std::uint16_t commentLength = r.U16(); // file comment length
    c.DiskNumberStart = r.U16();                 // disk number start
    c.InternalAttributes = r.U16();              // internal attributes
    c.ExternalAttributes = r.U32();              // external attributes
    c.LocalHeaderOffset = r.U32();               // local header offset
    if (!reader.Read(nameLength, name) || !reader.Read(extraLength, extra) || !reader.Read(commentLength, comment))
      return false;
    const Zip64Values wide = ReadZip64Extra(extra, c.UncompressedSize == kMax32, c.CompressedSize == kMax32,
                                            c.LocalHeaderOffset == kMax32, c.DiskNumberStart == kMax16);
    if (wide.UncompressedSize) c.UncompressedSize = *wide.UncompressedSize;
    if (wide.CompressedSize) c.CompressedSize = *wide.CompressedSize;
    if (wide.LocalHeaderOffset) c.LocalHeaderOffset = *wide.LocalHeaderOffset;
    if (wide.DiskNumber) c.DiskNumberStart = *wide.DiskNumber;
    if (!Fits(c.CompressedSize) || !Fits(c.LocalHeaderOffset)) return false;
    c.Name = name;
    c.Extra = WithoutZip64Extra(extra);
    c.Comment = comment;

    TZkZipEntriesEntry& entry = entries_.Append();
    entry.central_ = std::move(c);
    entry.name_ = DecodeEntryName(entry.central_.Name, (entry.central_.Flags & kFlagUtf8Name) != 0);
    entry.dateTime_ = FromDosDateTime({entry.central_.Time, entry.central_.Date});
    if (OnZipOpen) OnZipOpen(*this, static_cast<std::int64_t>(i), static_cast<std::int64_t>(count));
  }
  return true;
}

namespace {

// The local header fields at an offset; false when no local header is there.
bool ReadLocalRecord(const platform::FileHandle& file, std::uint64_t offset, std::uint64_t fileSize, TLocalFile& local,
                     bool& zip64) {
  char fixed[kLocalHeaderSize];
  if (!Fits(offset) || file.ReadAt(static_cast<std::int64_t>(offset), fixed, sizeof fixed) !=
                           static_cast<std::ptrdiff_t>(sizeof fixed))
    return false;
  ByteReader r(std::string_view(fixed, sizeof fixed));
  TLocalFile l;
  l.Signature = r.U32();                         // signature
  if (l.Signature != kLocalHeaderSignature) return false;
  l.VersionNeeded = r.U16();                     // version needed
  l.Flags = r.U16();                             // general purpose flags
  l.Method = r.U16();                            // compression method
  l.Time = r.U16();                              // last modification time
  l.Date = r.U16();                              // last modification date
  l.Crc32 = r.U32();                             // CRC-32
  l.CompressedSize = r.U32();                    // compressed size
  l.UncompressedSize = r.U32();                  // uncompressed size
  l.NameLength = r.U16();                        // file name length
  l.ExtraLength = r.U16();                       // extra field length
  if (offset + kLocalHeaderSize + l.NameLength + l.ExtraLength > fileSize) return false;
  std::string rest(std::size_t{l.NameLength} + l.ExtraLength, '\0');
  if (file.ReadAt(static_cast<std::int64_t>(offset + kLocalHeaderSize), rest.data(), rest.size()) !=
      static_cast<std::ptrdiff_t>(rest.size()))
    return false;
  l.Name = rest.substr(0, l.NameLength);
  l.Extra = rest.substr(l.NameLength);
  zip64 = l.CompressedSize == kMax32 && l.UncompressedSize == kMax32;
  const Zip64Values wide =
      ReadZip64Extra(l.Extra, l.UncompressedSize == kMax32, l.CompressedSize == kMax32, false, false);
  zip64 = zip64 && wide.UncompressedSize && wide.CompressedSize;
  if (wide.UncompressedSize) l.UncompressedSize = *wide.UncompressedSize;
  if (wide.CompressedSize) l.CompressedSize = *wide.CompressedSize;
  local = std::move(l);
  return true;
}

// A local header as this writer makes them: sizes and CRC-32 in the header
// (no data descriptor), no flag but the UTF-8 one, deflated data or an empty
// stored entry, and either no extra field (version 20) or only the ZIP64
// field of both sizes (version 45). Only such entries are taken back after
// a crash; an archive of another program is not guessed at.
bool WrittenByThisWriter(const TLocalFile& local, bool zip64) {
  if ((local.Flags & ~kFlagUtf8Name) != 0) return false;
  const bool layout = zip64 ? local.VersionNeeded == kVersionZip64 && local.ExtraLength == kLocalZip64ExtraSize
                            : local.VersionNeeded == kVersionClassic && local.ExtraLength == 0;
  if (!layout) return false;
  if (local.Method == kMethodDeflated) return true;
  return local.Method == kMethodStored && local.CompressedSize == 0 && local.UncompressedSize == 0 &&
         local.Crc32 == 0;
}

}  // namespace

void TZkZip::ReadLocalHeaders(std::int64_t fileSize) {
  const auto size = static_cast<std::uint64_t>(fileSize);
  const int count = entries_.Count();
  for (int i = 0; i < count; ++i) {
    if (OnZipOpen) OnZipOpen(*this, i, count);
    TZkZipEntriesEntry& entry = entries_.Items(i);
    bool zip64 = false;
    if (!ReadLocalRecord(file_, entry.central_.LocalHeaderOffset, size, entry.local_, zip64)) {
      entry.local_ = {};
      continue;
    }
    entry.localZip64_ = zip64;
    if ((entry.local_.Flags & kFlagDataDescriptor) != 0) {
      // The descriptor may or may not start with its signature.
      const std::uint64_t dataEnd = entry.central_.LocalHeaderOffset + kLocalHeaderSize + entry.local_.NameLength +
                                    entry.local_.ExtraLength + entry.central_.CompressedSize;
      const std::uint32_t wide = zip64 ? 8 : 0;
      char signature[4];
      const bool signed_ = Fits(dataEnd) && file_.ReadAt(static_cast<std::int64_t>(dataEnd), signature, 4) == 4 &&
                           ReadU32(std::string_view(signature, 4)) == kDataDescriptorSignature;
      entry.local_.DescriptorSize = (signed_ ? 16 : 12) + wide;
    }
  }
}

bool TZkZip::ScanLocalHeaders(std::int64_t fileSize) {
  const auto size = static_cast<std::uint64_t>(fileSize);
  std::uint64_t offset = 0;
  for (;;) {
    TLocalFile local;
    bool zip64 = false;
    if (!ReadLocalRecord(file_, offset, size, local, zip64)) break;
    if (!WrittenByThisWriter(local, zip64)) {
      entries_.Clear();
      return false;
    }
    const std::uint64_t dataStart = offset + kLocalHeaderSize + local.NameLength + local.ExtraLength;
    // An entry whose data runs past the end was cut off and is not taken.
    if (local.CompressedSize > size - dataStart) break;
    TZkZipEntriesEntry& entry = entries_.Append();
    TCentralDirectoryFile& c = entry.central_;
    c.Signature = kCentralHeaderSignature;
    c.VersionMadeBy = kVersionClassic;
    c.VersionNeeded = local.VersionNeeded;
    c.Flags = local.Flags;
    c.Method = local.Method;
    c.Time = local.Time;
    c.Date = local.Date;
    c.Crc32 = local.Crc32;
    c.CompressedSize = local.CompressedSize;
    c.UncompressedSize = local.UncompressedSize;
    c.ExternalAttributes = !local.Name.empty() && local.Name.back() == '/' ? kAttrDirectory : kAttrArchive;
    c.LocalHeaderOffset = offset;
    c.Name = local.Name;
    c.Extra = WithoutZip64Extra(local.Extra);
    entry.local_ = std::move(local);
    entry.localZip64_ = zip64;
    entry.name_ = DecodeEntryName(c.Name, (c.Flags & kFlagUtf8Name) != 0);
    entry.dateTime_ = FromDosDateTime({c.Time, c.Date});
    offset = dataStart + c.CompressedSize;
  }
  EndRecord record;
  record.EntriesOnDisk = record.TotalEntries = static_cast<std::uint64_t>(entries_.Count());
  for (int i = 0; i < entries_.Count(); ++i) record.CentralSize += entries_.Items(i).CentralEntrySize();
  record.CentralOffset = offset;
  record.CommentLength = static_cast<std::uint16_t>(commentBytes_.size());
  endRecord_ = record;
  return entries_.Count() > 0;
}

}  // namespace zk

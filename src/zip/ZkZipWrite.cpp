// Adding, replacing and deleting entries, in place or by rebuilding.

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/ZkClock.h"
#include "platform/ZkFileSystem.h"
#include "util/ZkUtil.h"
#include "zip/ZkZip.h"
#include "zip/ZkZipInternal.h"

namespace zk {

using namespace zipformat;

namespace {

// Copies and moves go through a window of this size.
constexpr std::size_t kCopyChunk = 1 << 20;
// Progress is reported every 65,536 bytes of deflated data.
constexpr std::size_t kOutputBlock = 1 << 16;
// Raw deflate with zlib's default window of 32 KiB (the check of copied
// entries inflates).
constexpr int kRawWindowBits = -15;
// The last progress report of a rebuild: all of it done.
constexpr std::int64_t kRebuildDone = 100;

// Where an entry's local header and data begin, and whether the header
// carries a ZIP64 field.
struct LocalEntryStart {
  std::uint64_t HeaderOffset = 0;
  std::uint64_t DataStart = 0;
  bool Zip64 = false;
};

// Writes the local header with the sizes still unknown and without its
// signature.
LocalEntryStart StartLocalEntry(TZkZipTarget& target, TCentralDirectoryFile& c, std::int64_t announced) {
  LocalEntryStart start;
  // A source that might not fit 32 bits, counting deflate's worst-case
  // growth, gets its local ZIP64 field before the data is written.
  start.Zip64 = NeedsZip64(static_cast<std::uint64_t>(announced)) ||
                NeedsZip64(DeflateBound(static_cast<std::uint64_t>(announced)));
  if (start.Zip64) c.VersionNeeded = kVersionZip64;
  c.LocalHeaderOffset = target.Position();
  start.HeaderOffset = target.Position();
  target.Write(EncodeLocalHeader(c, start.Zip64, false));
  start.DataStart = target.Position();
  return start;
}

// What the deflated data of an entry gave.
struct DeflatedData {
  std::uint64_t Consumed = 0;
  std::uint64_t Written = 0;
  uLong Crc = 0;
};

// Writes the chunks `next` gives, in order, up to the one that ends the
// data; nothing is written when the source gave no bytes. Progress is
// reported after every full 65,536 bytes of deflated data.
DeflatedData WriteChunks(TZkZipTarget& target, std::int64_t announced, TZkZip& owner,
                         const std::function<TZkDeflatedChunk()>& next) {
  DeflatedData data;
  data.Crc = crc32(0, nullptr, 0);
  for (;;) {
    TZkDeflatedChunk chunk = next();
    if (chunk.Error) std::rethrow_exception(chunk.Error);
    if (data.Consumed == 0 && chunk.Consumed == 0) break;
    const std::string_view bytes = chunk.Data.View();
    std::size_t done = 0;
    while (done < bytes.size()) {
      const std::size_t piece =
          std::min<std::size_t>(bytes.size() - done, kOutputBlock - static_cast<std::size_t>(data.Written % kOutputBlock));
      target.Write(bytes.substr(done, piece));
      done += piece;
      data.Written += piece;
      if (data.Written % kOutputBlock == 0 && owner.OnCompressFile) {
        // The source bytes in front of this point, as far as a chunk tells.
        const auto current = data.Consumed + chunk.Consumed * done / bytes.size();
        owner.OnCompressFile(owner, static_cast<std::int64_t>(current), announced);
      }
    }
    data.Crc = crc32_combine(data.Crc, chunk.Crc, static_cast<z_off_t>(chunk.Consumed));
    data.Consumed += chunk.Consumed;
    if (chunk.Ended) break;
  }
  return data;
}

// Fills in the method, CRC-32 and sizes and completes the local header,
// signature included.
void FinishLocalEntry(TZkZipTarget& target, TCentralDirectoryFile& c, const LocalEntryStart& start,
                      const DeflatedData& data) {
  if (data.Consumed == 0) {
    // Empty data (also a source that delivered nothing) is stored as no data.
    target.SetPosition(start.DataStart);
    c.Method = kMethodStored;
    c.Crc32 = 0;
    c.CompressedSize = 0;
    c.UncompressedSize = 0;
  } else {
    c.Method = kMethodDeflated;
    c.Crc32 = static_cast<std::uint32_t>(data.Crc);
    c.CompressedSize = data.Written;
    c.UncompressedSize = data.Consumed;
  }
  target.WriteAt(start.HeaderOffset, EncodeLocalHeader(c, start.Zip64, true));
}

// Entries up to this size (compressed and as stored) are checked whole by
// libdeflate, which inflates several times faster than zlib's stream; a
// larger one streams through zlib so that memory stays flat.
constexpr std::uint64_t kWholeCheckLimit = std::uint64_t{4} << 20;

struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Checks an entry's data as it streams past: the bytes of a local entry
// (header, name, extra field, data) go in block by block; at the end the
// data must have given the recorded size and CRC-32.
class EntryDataCheck {
public:
  EntryDataCheck(const TCentralDirectoryFile& c, std::uint64_t dataStart, std::string name)
      : method_(c.Method), dataStart_(dataStart), dataEnd_(dataStart + c.CompressedSize), size_(c.UncompressedSize),
        crc_(c.Crc32), name_(std::move(name)) {
    if (method_ != kMethodDeflated) return;
    if (c.CompressedSize <= kWholeCheckLimit && size_ <= kWholeCheckLimit) {
      whole_.reset(libdeflate_alloc_decompressor());
      if (!whole_) throw std::bad_alloc();
      compressed_.reserve(static_cast<std::size_t>(c.CompressedSize));
      return;
    }
    if (inflateInit2(&stream_, kRawWindowBits) != Z_OK) Fail();
    inflating_ = true;
  }
  ~EntryDataCheck() {
    if (inflating_) inflateEnd(&stream_);
  }
  EntryDataCheck(const EntryDataCheck&) = delete;
  EntryDataCheck& operator=(const EntryDataCheck&) = delete;

  void Feed(std::string_view block) {
    const std::uint64_t from = std::max(position_, dataStart_);
    const std::uint64_t to = std::min(position_ + block.size(), dataEnd_);
    if (from < to) Data(block.substr(static_cast<std::size_t>(from - position_), static_cast<std::size_t>(to - from)));
    position_ += block.size();
  }
  void Finish() {
    if (whole_) Inflate();
    if (!ended_ && method_ == kMethodDeflated) Fail();
    if (produced_ != size_ || check_ != crc_) Fail();
  }

private:
  void Data(std::string_view data) {
    if (method_ == kMethodStored) {
      Produced(data);
      return;
    }
    if (method_ != kMethodDeflated || ended_) Fail();
    if (whole_) {
      compressed_.append(data);
      return;
    }
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream_.avail_in = static_cast<uInt>(data.size());
    char out[kOutputBlock];
    while (stream_.avail_in > 0 && !ended_) {
      stream_.next_out = reinterpret_cast<Bytef*>(out);
      stream_.avail_out = sizeof out;
      const int code = inflate(&stream_, Z_NO_FLUSH);
      if (code != Z_OK && code != Z_STREAM_END) Fail();
      Produced(std::string_view(out, sizeof out - stream_.avail_out));
      ended_ = code == Z_STREAM_END;
    }
  }
  // The whole data at once; room for the recorded size only, as more than
  // that is damage too.
  void Inflate() {
    const auto size = static_cast<std::size_t>(size_);
    const auto out = std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(size, 1));
    std::size_t length = 0;
    if (libdeflate_deflate_decompress(whole_.get(), compressed_.data(), compressed_.size(), out.get(), size,
                                      &length) != LIBDEFLATE_SUCCESS)
      Fail();
    Produced(std::string_view(out.get(), length));
    ended_ = true;
  }
  void Produced(std::string_view bytes) {
    produced_ += bytes.size();
    // More than recorded is damage too, and need not be read to the end.
    if (produced_ > size_) Fail();
    check_ = libdeflate_crc32(check_, bytes.data(), bytes.size());
  }
  [[noreturn]] void Fail() const { throw EZkZipDataError(FormatMessage("Sérült bejegyzés (%s)", {name_})); }

  std::uint16_t method_;
  std::uint64_t dataStart_;
  std::uint64_t dataEnd_;
  std::uint64_t size_;
  std::uint32_t crc_;
  std::string name_;
  std::unique_ptr<libdeflate_decompressor, DecompressorFree> whole_;
  std::string compressed_;
  z_stream stream_{};
  bool inflating_ = false;
  bool ended_ = false;
  std::uint64_t position_ = 0;
  std::uint64_t produced_ = 0;
  std::uint32_t check_ = 0;
};

}  // namespace

// ---------------------------------------------------------------- target

void TZkZipTarget::WriteAt(std::uint64_t offset, std::string_view bytes) {
  if (!file_.WriteAt(static_cast<std::int64_t>(offset), bytes.data(), bytes.size()))
    throw WriteErrorOf(archiveName_, errno);
}

void TZkZipTarget::CopyFrom(const platform::FileHandle& from, std::uint64_t offset, std::uint64_t size,
                            const std::function<void(std::string_view block)>& seen) {
  std::string buffer;
  while (size > 0) {
    buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, kCopyChunk)));
    if (from.ReadAt(static_cast<std::int64_t>(offset), buffer.data(), buffer.size()) !=
        static_cast<std::ptrdiff_t>(buffer.size()))
      throw EZkFileReadError("Olvasási hiba");
    if (seen) seen(buffer);
    Write(buffer);
    offset += buffer.size();
    size -= buffer.size();
  }
}

// ---------------------------------------------------------------- directory

std::string TZkZip::Impl::EncodeDirectory(std::uint64_t centralOffset) const {
  std::string bytes;
  for (int i = 0; i < entries_.Count(); ++i) {
    const TZkZipEntriesEntry& entry = entries_.Items(i);
    bytes += EncodeCentralRecord(entry.central_, entry.localZip64_);
  }
  const std::uint64_t centralSize = bytes.size();
  bytes += EncodeEndRecords(static_cast<std::uint64_t>(entries_.Count()), centralOffset, centralSize,
                                       commentBytes_);
  return bytes;
}

void TZkZip::Impl::WriteDirectoryAt(std::uint64_t centralOffset) {
  const std::string bytes = EncodeDirectory(centralOffset);
  WriteAt(centralOffset, bytes);
  const std::uint64_t end = centralOffset + bytes.size();
  if (!file_.Resize(static_cast<std::int64_t>(end))) ThrowWriteError();
  std::uint64_t centralSize = 0;
  for (int i = 0; i < entries_.Count(); ++i) centralSize += entries_.Items(i).CentralEntrySize();
  endRecord_ = {};
  endRecord_.EntriesOnDisk = endRecord_.TotalEntries = static_cast<std::uint64_t>(entries_.Count());
  endRecord_.CentralSize = centralSize;
  endRecord_.CentralOffset = centralOffset;
  endRecord_.CommentLength = static_cast<std::uint16_t>(commentBytes_.size());
  endRecordPosition_ = end - commentBytes_.size() - kEndRecordSize;
  directoryPending_ = false;
}

void TZkZip::Impl::FlushPendingDirectory() {
  if (directoryPending_ && file_.IsOpen()) WriteDirectoryAt(endRecord_.CentralOffset);
}

void TZkZip::BeginUpdate() { ++impl_->updateDepth_; }

void TZkZip::EndUpdate() { impl_->EndUpdate(); }

void TZkZip::Impl::EndUpdate() {
  if (updateDepth_ > 0 && --updateDepth_ == 0) FlushPendingDirectory();
}

// ---------------------------------------------------------------- adding

std::string TZkZip::Impl::EntryNameOf(const std::string& entryName) const {
  const std::string name = ToZipName(storeRelativePath_ ? entryName : FileNamePart(entryName), saveDriveName_);
  if (name.empty()) throw EZkError(FormatMessage("Érvénytelen bejegyzésnév (%s)", {entryName}));
  return name;
}

TZkZipEntriesEntry& TZkZip::Impl::PrepareEntry(const std::string& name, std::uint32_t attributes, TDateTime dateTime) {
  StoredName stored = EncodeEntryName(name);
  if (stored.Bytes.size() > kMax16) throw EZkError(FormatMessage("Érvénytelen bejegyzésnév (%s)", {name}));
  const DosDateTime dos = ToDosDateTime(dateTime);
  TZkZipEntriesEntry& entry = entries_.Append();
  TCentralDirectoryFile& c = entry.central_;
  c.Signature = kCentralHeaderSignature;
  c.VersionMadeBy = VersionMadeBy(stored);
  c.VersionNeeded = kVersionClassic;
  c.Flags = stored.Utf8 ? kFlagUtf8Name : 0;
  c.Method = kMethodStored;
  c.Time = dos.Time;
  c.Date = dos.Date;
  c.ExternalAttributes = attributes & kDosAttributeMask;
  c.LocalHeaderOffset = endRecord_.CentralOffset;
  // The name as a reopened archive reads it, so that lookups agree before
  // and after.
  entry.name_ = DecodeEntryName(stored.Bytes, stored.Utf8);
  if (NeedsUnicodePath(stored)) c.Extra = EncodeUnicodePathExtra(stored.Bytes, entry.name_);
  c.Name = std::move(stored.Bytes);
  entry.dateTime_ = dateTime;
  return entry;
}

void TZkZip::Impl::CompressInto(TZkZipTarget& target, TZkZipEntriesEntry& entry, TZkZipSource& source) {
  const std::int64_t announced = std::max<std::int64_t>(0, source.Size());
  TCentralDirectoryFile& c = entry.central_;
  const LocalEntryStart start = StartLocalEntry(target, c, announced);
  entry.localZip64_ = start.Zip64;
  DeflatedData data;
  if (auto* planned = dynamic_cast<TZkPlannedSource*>(&source)) {
    data = WriteChunks(target, announced, owner_, [planned] { return planned->NextChunk(); });
  } else {
    const int level = DeflateLevel(compressionType_);
    if (!deflater_ || deflater_->Level() != level) deflater_ = std::make_unique<TZkDeflater>(level);
    std::uint64_t index = 0;
    // Never more than announced: an entry holds what was there when it began.
    const auto read = [&source](char* buffer, std::size_t size) {
      std::size_t got = 0;
      while (got < size) {
        const std::size_t count = source.Read(buffer + got, size - got);
        if (count == 0) break;
        got += count;
      }
      return got;
    };
    data = WriteChunks(target, announced, owner_, [&] {
      return DeflateChunk(*deflater_, static_cast<std::uint64_t>(announced), index++, read);
    });
  }
  FinishLocalEntry(target, c, start, data);
  entry.local_ = WrittenLocalRecord(c, start.Zip64);
}

std::shared_ptr<TZkPlannedFile> TZkZip::Impl::PlannedFile(const std::string& fileName,
                                                          const platform::FileInfo& info) {
  if (threads_ <= 1) return nullptr;
  TZkDeflatePool& pool = Pool();
  std::shared_ptr<TZkPlannedFile> file = pool.Take(fileName);
  if (!file) {
    pool.Plan({fileName});
    file = pool.Take(fileName);
  }
  if (file && (!file->Opened || file->Size != info.Size || file->Modified != info.Modified)) {
    pool.Release(*file);
    return nullptr;
  }
  return file;
}

TZkDeflatePool& TZkZip::Impl::Pool() {
  const int level = DeflateLevel(compressionType_);
  if (!pool_ || pool_->Level() != level || pool_->Threads() != threads_)
    pool_ = std::make_unique<TZkDeflatePool>(threads_, level);
  return *pool_;
}

std::size_t TZkPlannedSource::Read(char* buffer, std::size_t size) {
  const std::ptrdiff_t count = file_->File.ReadAt(position_, buffer, size);
  if (count < 0) throw EZkFileReadError("Olvasási hiba");
  position_ += count;
  return static_cast<std::size_t>(count);
}

TZkZipEntriesEntry* TZkZip::Impl::Add(bool inPlace, const std::string& entryName, std::uint32_t attributes,
                                      TZkZipSource& source, TDateTime dateTime) {
  RequireOpen();
  const std::string name = EntryNameOf(entryName);
  const int existing = entries_.IndexOfStoredName(name);
  TZkZipEntriesEntry& entry = PrepareEntry(name, attributes, dateTime);
  // A replace drops an entry from the middle: that takes a new archive.
  if (inPlace && existing < 0) {
    AppendEntry([&](TZkZipTarget& target) { CompressInto(target, entry, source); });
  } else {
    Rebuild(existing, &entry, &source);
  }
  Changed(kChangeAdded);
  return &entries_.Items(entries_.Count() - 1);
}

void TZkZip::Impl::AppendEntry(const std::function<void(TZkZipTarget& target)>& write) {
  const std::uint64_t formerCentral = endRecord_.CentralOffset;
  try {
    TZkZipTarget target(file_, fileName_, formerCentral);
    write(target);
    endRecord_.CentralOffset = target.Position();
    if (updateDepth_ > 0)
      directoryPending_ = true;
    else
      WriteDirectoryAt(target.Position());
  } catch (...) {
    entries_.Remove(entries_.Count() - 1);
    // The previous directory fits where it was, so writing it back works
    // also on a full disk; should it fail too, the first error is the one to
    // report and the next open walks the local headers.
    try {
      WriteDirectoryAt(formerCentral);
    } catch (const EZkError&) {
    }
    throw;
  }
}

TZkZipEntriesEntry* TZkZip::CopyEntry(const TZkZip& source, int index) {
  return impl_->CopyEntry(*source.impl_, index);
}

TZkZipEntriesEntry* TZkZip::Impl::CopyEntry(const Impl& source, int index) {
  RequireOpen();
  source.RequireOpen();
  if (index < 0 || index >= source.entries_.Count())
    throw EZkError(FormatMessage("Érvénytelen index (%s)", {std::to_string(index)}));
  const TZkZipEntriesEntry& from = source.entries_.Items(index);
  const TCentralDirectoryFile& c = from.central_;
  const TLocalFile& l = from.local_;
  // Only a local header that says what the central record says can be
  // copied as it is; sizes in a data descriptor are not in the header.
  const bool copyable = l.Signature == kLocalHeaderSignature && ((l.Flags | c.Flags) & kFlagDataDescriptor) == 0 &&
                        l.Crc32 == c.Crc32 && l.CompressedSize == c.CompressedSize &&
                        l.UncompressedSize == c.UncompressedSize;
  if (!copyable) throw EZkError(FormatMessage("A bejegyzés nem másolható (%s)", {from.name_}));
  if (entries_.IndexOfStoredName(from.name_) >= 0)
    throw EZkError(FormatMessage("A bejegyzés már szerepel az archívumban (%s)", {from.name_}));

  TZkZipEntriesEntry& entry = entries_.Append();
  entry.central_ = c;
  entry.local_ = l;
  entry.name_ = from.name_;
  entry.dateTime_ = from.dateTime_;
  entry.localZip64_ = from.localZip64_;
  entry.central_.LocalHeaderOffset = endRecord_.CentralOffset;
  AppendEntry([&](TZkZipTarget& target) {
    const std::uint64_t header = target.Position();
    // The signature goes in last, so that a walk after a crash stops in
    // front of an entry whose data is not all there.
    target.Write(std::string(kSignatureSize, '\0'));
    // A damaged entry copied as it is would be damaged in every later
    // update: the data is checked on its way.
    EntryDataCheck check(c, kLocalHeaderSize - kSignatureSize + l.NameLength + l.ExtraLength, from.name_);
    target.CopyFrom(source.file_, c.LocalHeaderOffset + kSignatureSize, from.LocalEntrySize() - kSignatureSize,
                    [&check](std::string_view block) { check.Feed(block); });
    check.Finish();
    ByteWriter signature;
    signature.U32(kLocalHeaderSignature);
    target.WriteAt(header, signature.Data());
  });
  Changed(kChangeAdded);
  return &entry;
}

// ---------------------------------------------------------------- rebuilding

// Writes the archive anew beside it: the entries in order without `removed`
// (-1 for none), then `added` (the last entry, not yet written) compressed
// from `source`; then the new file takes the archive's place. Until that
// rename the archive is untouched, so a failure or a crash at any point
// leaves the old archive or the new one, never a mix; the directory in
// memory changes only once the new file is in place.
void TZkZip::Impl::Rebuild(int removed, TZkZipEntriesEntry* added, TZkZipSource* source) {
  try {
    // Renaming would get round the missing write permission.
    if (readOnly_) ThrowWriteError();
    const int count = entries_.Count();
    const int copied = count - (added != nullptr ? 1 : 0);
    const int total = count - (removed >= 0 ? 1 : 0) - 1;
    auto next = std::make_unique<platform::AtomicFile>(fileName_);
    TZkZipTarget target(next->File(), fileName_, 0);
    std::vector<std::uint64_t> offsets(static_cast<std::size_t>(count));
    int written = 0;
    for (int i = 0; i < copied; ++i) {
      if (i == removed) continue;
      const TZkZipEntriesEntry& entry = entries_.Items(i);
      offsets[static_cast<std::size_t>(i)] = target.Position();
      target.CopyFrom(file_, entry.central_.LocalHeaderOffset, entry.LocalEntrySize());
      if (owner_.OnRebuildZip) owner_.OnRebuildZip(owner_, written, total);
      ++written;
    }
    if (added != nullptr) {
      CompressInto(target, *added, *source);
      offsets.back() = added->central_.LocalHeaderOffset;
    }
    const std::uint64_t centralOffset = target.Position();
    written = 0;
    for (int i = 0; i < count; ++i) {
      if (i == removed) continue;
      const TZkZipEntriesEntry& entry = entries_.Items(i);
      TCentralDirectoryFile central = entry.central_;
      central.LocalHeaderOffset = offsets[static_cast<std::size_t>(i)];
      target.Write(EncodeCentralRecord(central, entry.localZip64_));
      if (owner_.OnRebuildZip) owner_.OnRebuildZip(owner_, written, total);
      ++written;
    }
    const std::uint64_t centralSize = target.Position() - centralOffset;
    target.Write(EncodeEndRecords(static_cast<std::uint64_t>(total + 1), centralOffset, centralSize,
                                             commentBytes_));
    if (owner_.OnRebuildZip) owner_.OnRebuildZip(owner_, kRebuildDone, kRebuildDone);

    // The old descriptor would go on reading the replaced file.
    platform::FileHandle handle = next->File().Duplicate();
    if (!handle.IsOpen()) ThrowWriteError();
    // A new archive not yet committed stays a temporary file: the rebuilt
    // one simply takes over from it.
    if (newArchive_)
      newArchive_ = std::move(next);
    else
      next->Commit();
    file_ = std::move(handle);
  } catch (...) {
    if (added != nullptr) entries_.Remove(entries_.Count() - 1);
    throw;
  }
  directoryPending_ = false;
  LoadDirectory();
}

// ---------------------------------------------------------------- public operations

TZkZipEntriesEntry* TZkZipEntries::AddFast(const std::string& entryName, std::uint32_t attributes,
                                           TZkZipSource& source, TDateTime dateTime) {
  return owner_.impl_->Add(true, entryName, attributes, source, dateTime);
}

TZkZipEntriesEntry* TZkZipEntries::AddRebuild(const std::string& entryName, std::uint32_t attributes,
                                              TZkZipSource& source, TDateTime dateTime) {
  return owner_.impl_->Add(false, entryName, attributes, source, dateTime);
}

void TZkZipEntries::DeleteEntry(int index) {
  owner_.impl_->RequireOpen();
  if (index < 0 || index >= Count()) throw EZkError(FormatMessage("Érvénytelen index (%s)", {std::to_string(index)}));
  owner_.impl_->Rebuild(index, nullptr, nullptr);
  owner_.impl_->Changed(TZkZip::kChangeDeleted);
}

void TZkZipEntries::AddFolders(const std::string& entryName) {
  owner_.impl_->RequireOpen();
  const bool keepDrive = owner_.SaveDriveName();
  const std::string name = FromZipName(ToZipName(entryName, keepDrive), keepDrive);
  const char separator = kNativePathStyle == PathStyle::Windows ? '\\' : '/';
  for (std::size_t at = name.find(separator); at != std::string::npos; at = name.find(separator, at + 1)) {
    if (at == 0 || name[at - 1] == separator) continue;
    const std::string prefix = name.substr(0, at + 1);
    if (IndexOfName(prefix) != -1) continue;
    TZkZipMemorySource empty({});
    if (owner_.SaveMethod() == TZipSaveMethod::FastSave)
      AddFast(prefix, kAttrDirectory, empty, platform::SystemClock().Now());
    else
      AddRebuild(prefix, kAttrDirectory, empty, platform::SystemClock().Now());
  }
}

TZkZipEntriesEntry* TZkZipEntries::AddStream(const std::string& entryName, std::uint32_t attributes,
                                             TZkZipSource& source, TDateTime dateTime) {
  owner_.impl_->RequireOpen();
  if (owner_.OnNewItem) owner_.OnNewItem(owner_, entryName, source.Size());
  if (owner_.StoreFolders() && owner_.StoreRelativePath()) AddFolders(entryName);
  TZkZipEntriesEntry* entry = owner_.SaveMethod() == TZipSaveMethod::FastSave
                                  ? AddFast(entryName, attributes, source, dateTime)
                                  : AddRebuild(entryName, attributes, source, dateTime);
  if (owner_.OnAddItem) owner_.OnAddItem(owner_, entryName);
  return entry;
}

TZkZipEntriesEntry* TZkZipEntries::AddFileAs(const std::string& fileName, const std::string& entryName) {
  owner_.impl_->RequireOpen();
  const auto info = platform::ReadFileInfo(fileName);
  if (!info || (info->Attr & platform::faDirectory) != 0) return nullptr;
  const auto attributes = static_cast<std::uint32_t>(info->Attr & kDosAttributeMask & ~platform::faSymLink);
  if (auto planned = owner_.impl_->PlannedFile(fileName, *info)) {
    const TDateTime modified = platform::ToDateTime(planned->Modified);
    TZkPlannedSource source(*owner_.impl_->pool_, std::move(planned));
    return AddStream(entryName, attributes, source, modified);
  }
  TZkZipFileSource source(fileName);
  std::int64_t size = 0;
  platform::FileTime modified;
  if (!source.File().ReadSizeAndTime(size, modified)) throw EZkFileReadError("Olvasási hiba");
  return AddStream(entryName, attributes, source, platform::ToDateTime(modified));
}

TZkZipEntriesEntry* TZkZip::AddFile(const std::string& fileName) {
  return impl_->entries_.AddFileAs(fileName, fileName);
}

bool TZkZip::IsNewFile(const std::string& fileName) const { return impl_->entries_.IndexOfName(fileName) == -1; }

bool TZkZip::IsChangedFile(const std::string& fileName) const { return impl_->IsChangedFile(fileName); }

bool TZkZip::Impl::IsChangedFile(const std::string& fileName) const {
  const int index = entries_.IndexOfName(fileName);
  if (index == -1) return false;
  const auto info = platform::ReadFileInfo(fileName);
  if (!info) throw EZkConvertError(FormatMessage("Érvénytelen dátum (%s)", {fileName}));
  const TCentralDirectoryFile& c = entries_.Items(index).central_;
  // Zip times have a 2-second step: a change within one step shows only in
  // the size.
  return ToDosDateTime(platform::ToDateTime(info->Modified)) != DosDateTime{c.Time, c.Date} ||
         static_cast<std::uint64_t>(info->Size) != c.UncompressedSize;
}

bool TZkZip::NeedsUpdate(const std::string& fileName) const { return IsNewFile(fileName) || IsChangedFile(fileName); }

}  // namespace zk

#include "zip/ZkZip.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <optional>
#include <thread>
#include <utility>

#include "platform/ZkFileSystem.h"
#include "util/ZkUtil.h"
#include "zip/ZkZipFormat.h"
#include "zip/ZkZipInternal.h"

namespace zk {

using namespace zipformat;

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
    case kFlagLevelMaximum:
      return TZipCompressionType::ctMaximum;
    case kFlagLevelFast:
      return TZipCompressionType::ctFast;
    case kFlagLevelSuperFast:
      return TZipCompressionType::ctSuperFast;
    default:
      return TZipCompressionType::ctNormal;
  }
}

std::uint64_t TZkZipEntriesEntry::LocalEntrySize() const {
  if (local_.Signature == kLocalHeaderSignature)
    return kLocalHeaderSize + local_.NameLength + local_.ExtraLength + central_.CompressedSize + local_.DescriptorSize;
  const std::uint64_t descriptor = (central_.Flags & kFlagDataDescriptor) != 0 ? DataDescriptorSize(true, false) : 0;
  return kLocalHeaderSize + central_.Name.size() + central_.Extra.size() + central_.CompressedSize + descriptor;
}

std::uint64_t TZkZipEntriesEntry::CentralEntrySize() const {
  return EncodeCentralRecord(central_, localZip64_).size();
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

TZkZip::TZkZip() : impl_(std::make_unique<Impl>(*this)) { impl_->threads_ = DefaultCompressionThreads(); }

TZkZip::~TZkZip() {
  // A destructor cannot report; an unwritten directory is recovered by the
  // local-header walk of the next open. A new archive is discarded whole.
  try {
    if (!impl_->newArchive_) impl_->FlushPendingDirectory();
  } catch (const EZkError&) {
  }
}

const std::string& TZkZip::FileName() const { return impl_->fileName_; }
void TZkZip::SetFileName(const std::string& value) { impl_->fileName_ = value; }
bool TZkZip::IsZipFile() const { return impl_->file_.IsOpen(); }

void TZkZip::SetActive(bool value) {
  if (impl_->fileName_.empty()) return;
  if (value)
    OpenArchive(impl_->fileName_);
  else
    CloseArchive();
}

TZipSaveMethod TZkZip::SaveMethod() const { return impl_->saveMethod_; }
void TZkZip::SetSaveMethod(TZipSaveMethod value) { impl_->saveMethod_ = value; }
bool TZkZip::StoreRelativePath() const { return impl_->storeRelativePath_; }
void TZkZip::SetStoreRelativePath(bool value) { impl_->storeRelativePath_ = value; }
bool TZkZip::StoreFolders() const { return impl_->storeFolders_; }
void TZkZip::SetStoreFolders(bool value) { impl_->storeFolders_ = value; }
TZipCompressionType TZkZip::CompressionType() const { return impl_->compressionType_; }

void TZkZip::SetCompressionType(TZipCompressionType value) {
  impl_->compressionType_ = value == TZipCompressionType::ctUnknown ? TZipCompressionType::ctNormal : value;
}

const std::vector<std::string>& TZkZip::Comment() { return impl_->Comment(); }
void TZkZip::SetComment(const std::vector<std::string>& lines) { impl_->SetComment(lines); }
const std::vector<std::string>& TZkZip::FileNames() { return impl_->FileNames(); }
bool TZkZip::UseTempFiles() const { return impl_->useTempFiles_; }
void TZkZip::SetUseTempFiles(bool value) { impl_->useTempFiles_ = value; }
TOverwriteAction TZkZip::OverwriteAction() const { return impl_->overwriteAction_; }
void TZkZip::SetOverwriteAction(TOverwriteAction value) { impl_->overwriteAction_ = value; }
bool TZkZip::ReadOnly() const { return impl_->readOnly_; }
bool TZkZip::ApplyAtributes() const { return impl_->applyAtributes_; }
void TZkZip::SetApplyAtributes(bool value) { impl_->applyAtributes_ = value; }
bool TZkZip::SaveDriveName() const { return impl_->saveDriveName_; }
void TZkZip::SetSaveDriveName(bool value) { impl_->saveDriveName_ = value; }
int TZkZip::Threads() const { return impl_->threads_; }
void TZkZip::SetThreads(int value) { impl_->threads_ = std::max(1, value); }

void TZkZip::PlanFiles(std::vector<std::string> fileNames) {
  if (impl_->threads_ > 1) impl_->Pool().Plan(std::move(fileNames));
}

int DefaultCompressionThreads() { return std::max(1, static_cast<int>(std::thread::hardware_concurrency())); }

void TZkZip::OpenArchive(const std::string& fileName) { impl_->OpenArchive(fileName); }
void TZkZip::CloseArchive() { impl_->CloseArchive(); }
void TZkZip::BeginArchive(const std::string& fileName) { impl_->BeginArchive(fileName); }
void TZkZip::CommitArchive(const std::string& asName) { impl_->CommitArchive(asName); }

std::string TZkZip::NewArchivePath() const {
  return impl_->newArchive_ && !impl_->newArchive_->Committed() ? impl_->newArchive_->TemporaryPath() : std::string();
}

TZkZipEntries& TZkZip::Entries() { return impl_->entries_; }
const TZkZipEntries& TZkZip::Entries() const { return impl_->entries_; }

void TZkZip::DoZipChange(TZkZip& sender, int changeType) {
  if (OnZipChange) OnZipChange(sender, changeType);
}

void TZkZip::Impl::Changed(int changeType) {
  fileNamesStale_ = true;
  owner_.DoZipChange(owner_, changeType);
}

void TZkZip::Impl::RequireOpen() const {
  if (!file_.IsOpen()) throw EZkError("Nincs megnyitott zip archívum");
}

void TZkZip::Impl::ThrowWriteError() const {
  throw WriteErrorOf(fileName_, errno);
}

void TZkZip::Impl::WriteAt(std::uint64_t offset, std::string_view bytes) {
  if (!file_.WriteAt(static_cast<std::int64_t>(offset), bytes.data(), bytes.size())) ThrowWriteError();
}

void TZkZip::Impl::OpenArchive(const std::string& fileName) {
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

void TZkZip::Impl::CloseArchive() {
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
  // The workers and what they compressed ahead go with the archive.
  pool_.reset();
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
  const std::string empty = EncodeEndRecords(0, 0, 0, {});
  if (!file.WriteAll(empty.data(), empty.size()) || !file.Close())
    throw EZkFileWriteError(FormatMessage("Írási hiba (%s)", {fileName}));
}

void TZkZip::Impl::BeginArchive(const std::string& fileName) {
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

void TZkZip::Impl::CommitArchive(const std::string& asName) {
  RequireOpen();
  if (!newArchive_) throw EZkError("Nincs új zip archívum");
  try {
    FlushPendingDirectory();
    newArchive_->CommitAs(asName.empty() ? fileName_ : asName);
  } catch (...) {
    CloseArchive();
    throw;
  }
  CloseArchive();
}

const std::vector<std::string>& TZkZip::Impl::Comment() {
  comment_.clear();
  if (!file_.IsOpen()) return comment_;
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

void TZkZip::Impl::SetComment(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  if (!file_.IsOpen()) {
    comment_.clear();
    return;
  }
  if (text == commentBytes_) return;
  if (text.size() > kMaxCommentLength) throw EZkError("A zip megjegyzés legfeljebb 65535 bájt lehet");
  comment_ = lines;
  commentBytes_ = std::move(text);
  WriteDirectoryAt(endRecord_.CentralOffset);
}

const std::vector<std::string>& TZkZip::Impl::FileNames() {
  if (fileNamesStale_) {
    fileNames_.clear();
    for (int i = 0; i < entries_.Count(); ++i) fileNames_.push_back(ZipDisplayName(entries_.Items(i).Name()));
    fileNamesStale_ = false;
  }
  return fileNames_;
}

// ---------------------------------------------------------------- reading

void TZkZip::Impl::LoadDirectory() {
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

bool TZkZip::Impl::FindEndRecord(std::int64_t fileSize) {
  const auto size = static_cast<std::uint64_t>(fileSize);
  if (size < kEndRecordSize) return false;
  const std::uint64_t lowest = size > kEndRecordSize + kMaxCommentLength ? size - kEndRecordSize - kMaxCommentLength : 0;
  std::string tail(size - lowest, '\0');
  if (file_.ReadAt(static_cast<std::int64_t>(lowest), tail.data(), tail.size()) !=
      static_cast<std::ptrdiff_t>(tail.size()))
    return false;
  for (std::uint64_t at = tail.size() - kEndRecordSize + 1; at-- > 0;) {
    EndRecord record;
    if (!DecodeEndRecord(std::string_view(tail).substr(at, kEndRecordSize), record)) continue;
    // A signature whose comment would run past the end lies inside data.
    if (record.CommentLength > tail.size() - at - kEndRecordSize) continue;
    endRecordPosition_ = lowest + at;
    commentBytes_ = tail.substr(at + kEndRecordSize, record.CommentLength);

    if (endRecordPosition_ >= kZip64LocatorSize) {
      char locator[kZip64LocatorSize];
      char zip64[kZip64EndRecordSize];
      if (file_.ReadAt(static_cast<std::int64_t>(endRecordPosition_ - kZip64LocatorSize), locator, sizeof locator) ==
          static_cast<std::ptrdiff_t>(sizeof locator)) {
        const std::optional<std::uint64_t> zip64Offset = DecodeZip64Locator(std::string_view(locator, sizeof locator));
        if (zip64Offset && *zip64Offset <= static_cast<std::uint64_t>(INT64_MAX) &&
            file_.ReadAt(static_cast<std::int64_t>(*zip64Offset), zip64, sizeof zip64) ==
                static_cast<std::ptrdiff_t>(sizeof zip64))
          DecodeZip64EndRecord(std::string_view(zip64, sizeof zip64), record);
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

bool TZkZip::Impl::ReadCentralDirectory(std::int64_t fileSize) {
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
    TCentralDirectoryFile c;
    CentralLengths lengths;
    if (!DecodeCentralHeader(fixed, c, lengths)) return false;
    if (!reader.Read(lengths.Name, name) || !reader.Read(lengths.Extra, extra) ||
        !reader.Read(lengths.Comment, comment))
      return false;
    DecodeCentralNameExtraComment(name, extra, comment, c);
    if (!Fits(c.CompressedSize) || !Fits(c.LocalHeaderOffset)) return false;

    TZkZipEntriesEntry& entry = entries_.Append();
    entry.central_ = std::move(c);
    entry.name_ = DecodeEntryName(entry.central_.Name, (entry.central_.Flags & kFlagUtf8Name) != 0,
                                  entry.central_.Extra);
    entry.dateTime_ = FromDosDateTime({entry.central_.Time, entry.central_.Date});
    if (owner_.OnZipOpen) owner_.OnZipOpen(owner_, static_cast<std::int64_t>(i), static_cast<std::int64_t>(count));
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
  TLocalFile l;
  if (!DecodeLocalHeader(std::string_view(fixed, sizeof fixed), l)) return false;
  if (offset + kLocalHeaderSize + l.NameLength + l.ExtraLength > fileSize) return false;
  std::string rest(std::size_t{l.NameLength} + l.ExtraLength, '\0');
  if (file.ReadAt(static_cast<std::int64_t>(offset + kLocalHeaderSize), rest.data(), rest.size()) !=
      static_cast<std::ptrdiff_t>(rest.size()))
    return false;
  zip64 = DecodeLocalNameAndExtra(rest, l);
  local = std::move(l);
  return true;
}

// A local header as this writer makes them: sizes and CRC-32 in the header
// (no data descriptor), no flag but the UTF-8 one, deflated data or an empty
// stored entry, and either no ZIP64 field (version 20) or the ZIP64 field of
// both sizes (version 45) in front, followed by nothing or by the Unicode
// Path field of the name. Only such entries are taken back after a crash; an
// archive of another program is not guessed at.
bool WrittenByThisWriter(const TLocalFile& local, bool zip64) {
  if ((local.Flags & ~kFlagUtf8Name) != 0) return false;
  const std::size_t zip64Size = zip64 ? kLocalZip64ExtraSize : 0;
  const bool layout = local.VersionNeeded == (zip64 ? kVersionZip64 : kVersionClassic) &&
                      local.ExtraLength >= zip64Size;
  if (!layout) return false;
  const std::string_view others = std::string_view(local.Extra).substr(zip64Size);
  if (!others.empty()) {
    const auto name = ReadUnicodePathExtra(others, local.Name);
    if (!name || others != EncodeUnicodePathExtra(local.Name, *name)) return false;
  }
  if (local.Method == kMethodDeflated) return true;
  return local.Method == kMethodStored && local.CompressedSize == 0 && local.UncompressedSize == 0 &&
         local.Crc32 == 0;
}

}  // namespace

void TZkZip::Impl::ReadLocalHeaders(std::int64_t fileSize) {
  const auto size = static_cast<std::uint64_t>(fileSize);
  const int count = entries_.Count();
  for (int i = 0; i < count; ++i) {
    if (owner_.OnZipOpen) owner_.OnZipOpen(owner_, i, count);
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
      char signature[kSignatureSize];
      const bool signed_ = Fits(dataEnd) &&
                           file_.ReadAt(static_cast<std::int64_t>(dataEnd), signature, sizeof signature) ==
                               static_cast<std::ptrdiff_t>(sizeof signature) &&
                           ReadU32(std::string_view(signature, sizeof signature)) == kDataDescriptorSignature;
      entry.local_.DescriptorSize = DataDescriptorSize(signed_, zip64);
    }
  }
}

bool TZkZip::Impl::ScanLocalHeaders(std::int64_t fileSize) {
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
    static_cast<TZipSharedFields&>(c) = local;
    c.ExternalAttributes = !local.Name.empty() && local.Name.back() == '/' ? kAttrDirectory : kAttrArchive;
    c.LocalHeaderOffset = offset;
    c.Name = local.Name;
    c.Extra = WithoutZip64Extra(local.Extra);
    entry.local_ = std::move(local);
    entry.localZip64_ = zip64;
    entry.name_ = DecodeEntryName(c.Name, (c.Flags & kFlagUtf8Name) != 0, c.Extra);
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

#pragma once
// Zip archives: the container with its entry directory, and the adding,
// replacing and deleting of entries. The component only writes archives and
// reads their directories; it never extracts.
//
// Entries are compressed as a stream: the local header is written, the
// deflate output follows as it is produced, and the header is completed
// afterwards, so memory does not grow with the size of a file. Values that
// do not fit the classic 16- and 32-bit fields go into ZIP64 records; an
// archive within the classic limits has none. A failure while an entry is
// added writes the previous directory back; after a crash the next open
// finds the complete entries by walking the local headers. Whatever would
// move or drop entries already in the archive (a replace, a delete, a
// rebuild) writes the whole archive anew beside it and renames it into
// place, so that a crash leaves either the old archive or the new one.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/ZkDateTime.h"
#include "base/ZkError.h"
#include "platform/ZkFileHandle.h"
#include "util/ZkUtilFile.h"

namespace zk {

enum class TZipSaveMethod { FastSave, RebuildAll };
enum class TZipCompressionType { ctNormal, ctMaximum, ctFast, ctSuperFast, ctNone, ctUnknown };
enum class TOverwriteAction { oaSkip, oaSkipAll, oaOverwrite, oaOverwriteAll };

// zlib refused to compress.
class EZkZipError : public EZkError {
public:
  using EZkError::EZkError;
};
// An entry's data does not hold what its records say: a bad CRC-32, a
// damaged deflate stream, a size that does not agree.
class EZkZipDataError : public EZkZipError {
public:
  using EZkZipError::EZkZipError;
};

// The entry name of a file path: Windows style turns "\" into "/", removes
// the drive (or, with keepDrive, keeps its letter as a folder: 'C/Data/a.txt')
// and the server and share of a network path; Posix style only drops the
// leading "/", since an entry name is always relative. The result is UTF-8;
// the code page of the stored bytes is chosen when the entry is written.
std::string ToZipName(std::string_view path, bool keepDrive, PathStyle style = kNativePathStyle);
// The same steps, then the separators of the style ("\" for Windows).
std::string FromZipName(std::string_view name, bool keepDrive, PathStyle style = kNativePathStyle);

// What two entry names must share to name the same entry: Posix file names
// differ in the case of their letters, so they are compared exactly; the
// Windows style ignores the case of the letters A to Z only.
std::string EntryNameKey(std::string_view name, PathStyle style = kNativePathStyle);

// The display form of a stored entry name (FileNames): Windows style turns
// "//" and "/" into "\" and drops anything up to and including ":\".
std::string ZipDisplayName(std::string_view name, PathStyle style = kNativePathStyle);

// The fields a local header and a central record share, from version needed
// to the uncompressed size, in the order both store them. Sizes hold the
// true values, also where the file carries them in a ZIP64 field.
struct TZipSharedFields {
  std::uint16_t VersionNeeded = 0;
  std::uint16_t Flags = 0;
  std::uint16_t Method = 0;
  std::uint16_t Time = 0;
  std::uint16_t Date = 0;
  std::uint32_t Crc32 = 0;
  std::uint64_t CompressedSize = 0;
  std::uint64_t UncompressedSize = 0;
};

// A central directory record: its signature and version made by, the shared
// fields, then the fields of its own, the name, extra field and comment. The
// offset holds the true value, also where the file carries it in a ZIP64
// field; Extra holds the other extra fields (kept for entries of foreign
// archives).
struct TCentralDirectoryFile : TZipSharedFields {
  std::uint32_t Signature = 0;
  std::uint16_t VersionMadeBy = 0;
  std::uint32_t DiskNumberStart = 0;
  std::uint16_t InternalAttributes = 0;
  std::uint32_t ExternalAttributes = 0;
  std::uint64_t LocalHeaderOffset = 0;
  std::string Name;
  std::string Extra;
  std::string Comment;
};

// A local header as last read or written (the data is not kept); all zero
// when no local header was found at the entry's offset.
struct TLocalFile : TZipSharedFields {
  std::uint32_t Signature = 0;
  std::uint16_t NameLength = 0;
  std::uint16_t ExtraLength = 0;
  std::string Name;
  std::string Extra;
  // Bytes after the data: a data descriptor of a foreign archive.
  std::uint32_t DescriptorSize = 0;
};

// Where the data of an entry comes from: the bytes from the current
// position to the end.
class TZkZipSource {
public:
  virtual ~TZkZipSource() = default;
  // The number of bytes the source announces before it is read.
  virtual std::int64_t Size() = 0;
  // Up to `size` bytes, 0 at the end; raises EZkFileReadError on failure.
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

class TZkZipFileSource : public TZkZipSource {
public:
  // Opens the file for reading, others free to read and write it;
  // EZkFileOpenError when it cannot be opened.
  explicit TZkZipFileSource(const std::string& fileName);
  std::int64_t Size() override;
  std::size_t Read(char* buffer, std::size_t size) override;
  const platform::FileHandle& File() const { return file_; }

private:
  platform::FileHandle file_;
};

class TZkZipMemorySource : public TZkZipSource {
public:
  // The bytes must outlive the source.
  explicit TZkZipMemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size() - pos_); }
  std::size_t Read(char* buffer, std::size_t size) override;

private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

class TZkZip;
class TZkZipEntries;

class TZkZipEntriesEntry {
public:
  TZkZipEntries& Directory() const { return *directory_; }
  const TCentralDirectoryFile& CentralRecord() const { return central_; }
  const TLocalFile& LocalRecord() const { return local_; }
  // The name as UTF-8, decoded by the entry's UTF-8 flag.
  const std::string& Name() const { return name_; }
  bool Encrypted() const;
  bool IsDirectory() const;
  TDateTime DateTime() const { return dateTime_; }
  TZipCompressionType Compression() const;

  // The header, name, extra field and data in the file, with a data
  // descriptor when there is one; the local header's own lengths count
  // where it was read.
  std::uint64_t LocalEntrySize() const;
  // The central record as this component writes it, ZIP64 field included.
  std::uint64_t CentralEntrySize() const;

private:
  friend class TZkZip;
  friend class TZkZipEntries;
  explicit TZkZipEntriesEntry(TZkZipEntries& directory) : directory_(&directory) {}

  TZkZipEntries* directory_;
  TCentralDirectoryFile central_;
  TLocalFile local_;
  std::string name_;
  TDateTime dateTime_ = 0;
  // The local header carries a ZIP64 field for both sizes, so the central
  // record must carry them there too.
  bool localZip64_ = false;
};

class TZkZipEntries {
public:
  explicit TZkZipEntries(TZkZip& owner) : owner_(owner) {}
  TZkZipEntries(const TZkZipEntries&) = delete;
  TZkZipEntries& operator=(const TZkZipEntries&) = delete;

  TZkZip& Owner() const { return owner_; }
  // The last directory read succeeded.
  bool Valid() const { return valid_; }
  int Count() const { return static_cast<int>(items_.size()); }
  TZkZipEntriesEntry& Items(int index) const { return *items_.at(static_cast<std::size_t>(index)); }

  // The first entry whose name equals ToZipName(fileName, SaveDriveName)
  // by EntryNameKey; -1 when there is none.
  int IndexOfName(std::string_view fileName) const;

  // Adding and deleting; each requires an open archive (EZkError otherwise).
  // AddFileAs adds nothing and returns null when the file does not exist.
  // AddFast appends in place; an add that replaces an entry of the same
  // name, AddRebuild and DeleteEntry write a new archive and rename it over
  // the old one (a new archive not yet committed stays uncommitted).
  TZkZipEntriesEntry* AddFileAs(const std::string& fileName, const std::string& entryName);
  TZkZipEntriesEntry* AddStream(const std::string& entryName, std::uint32_t attributes, TZkZipSource& source,
                                TDateTime dateTime);
  void AddFolders(const std::string& entryName);
  TZkZipEntriesEntry* AddFast(const std::string& entryName, std::uint32_t attributes, TZkZipSource& source,
                              TDateTime dateTime);
  TZkZipEntriesEntry* AddRebuild(const std::string& entryName, std::uint32_t attributes, TZkZipSource& source,
                                 TDateTime dateTime);
  void DeleteEntry(int index);

private:
  friend class TZkZip;
  TZkZipEntriesEntry& Append();
  void Remove(int index);
  void Clear();
  int IndexOfStoredName(std::string_view name) const;

  TZkZip& owner_;
  bool valid_ = false;
  std::vector<std::unique_ptr<TZkZipEntriesEntry>> items_;
  // EntryNameKey of each name → first index; rebuilt when stale so that a
  // directory of many entries is searched in constant time.
  mutable std::unordered_map<std::string, int> index_;
  mutable bool indexStale_ = true;
  // Entries appended since the index was built are added on the next
  // lookup, so that adding many entries stays linear.
  mutable std::size_t indexed_ = 0;
};

// One per core of the machine.
int DefaultCompressionThreads();

class TZkZip {
public:
  using TOnProgress = std::function<void(TZkZip& sender, std::int64_t current, std::int64_t total)>;
  using TOnZipChange = std::function<void(TZkZip& sender, int changeType)>;
  using TOnAddItem = std::function<void(TZkZip& sender, const std::string& itemName)>;
  using TOnNewItem = std::function<void(TZkZip& sender, const std::string& itemName, std::int64_t size)>;
  using TOnOverwriteFile = std::function<void(TZkZip& sender, std::string& fileName, TOverwriteAction& action)>;

  // OnZipChange types.
  static constexpr int kChangeClosed = 0;
  static constexpr int kChangeOpened = 1;
  static constexpr int kChangeAdded = 2;
  static constexpr int kChangeDeleted = 3;

  TZkZip();
  // Closes the archive without an event. A directory still pending from an
  // update is written first; if that fails, the next open recovers the
  // entries by the local-header walk. A new archive not yet committed is
  // discarded.
  virtual ~TZkZip();
  TZkZip(const TZkZip&) = delete;
  TZkZip& operator=(const TZkZip&) = delete;

  // Published properties.
  const std::string& FileName() const;
  void SetFileName(const std::string& value);
  bool IsZipFile() const;
  bool Active() const { return IsZipFile(); }
  void SetActive(bool value);
  TZipSaveMethod SaveMethod() const;
  void SetSaveMethod(TZipSaveMethod value);
  bool StoreRelativePath() const;
  void SetStoreRelativePath(bool value);
  bool StoreFolders() const;
  void SetStoreFolders(bool value);
  TZipCompressionType CompressionType() const;
  void SetCompressionType(TZipCompressionType value);
  // Reads the comment of the open archive; empty when none is open.
  const std::vector<std::string>& Comment();
  // Rewrites the end record and the comment of the open archive.
  void SetComment(const std::vector<std::string>& lines);
  // The entry names for display, one per entry in directory order.
  const std::vector<std::string>& FileNames();
  // Kept for the stored settings only: every rebuild now goes through a new
  // file beside the archive, whatever this says.
  bool UseTempFiles() const;
  void SetUseTempFiles(bool value);
  TOverwriteAction OverwriteAction() const;
  void SetOverwriteAction(TOverwriteAction value);
  std::string ComponentVersion() const { return "2.0"; }
  bool ReadOnly() const;
  bool ApplyAtributes() const;
  void SetApplyAtributes(bool value);
  bool SaveDriveName() const;
  void SetSaveDriveName(bool value);
  // Threads that compress entries (at least 1, by default one per core).
  // With more than one, files are compressed ahead of their adds and a
  // large file on all of them; the archive's bytes are the same for any
  // number. Events are raised by the thread that adds.
  int Threads() const;
  void SetThreads(int value);
  // The files AddFile is going to be asked for, in that order: they are
  // opened and compressed ahead, within a bound on memory. A file added out
  // of turn skips the ones before it; one that changed since it was opened
  // ahead is read again as it is then.
  void PlanFiles(std::vector<std::string> fileNames);

  // Events. OnDecompressFile and OnOverwriteFile belong to extraction and
  // are never raised; neither is OnRemoveItems, which reported the sizing of
  // a rebuild in memory.
  TOnProgress OnDecompressFile;
  TOnProgress OnCompressFile;
  TOnZipChange OnZipChange;
  TOnProgress OnZipOpen;
  TOnAddItem OnAddItem;
  TOnNewItem OnNewItem;
  TOnProgress OnRebuildZip;
  TOnProgress OnRemoveItems;
  TOnOverwriteFile OnOverwriteFile;

  // Raises EZkFileOpenError when the file is missing ('File "x" not found!')
  // or cannot be opened; a file that is no readable archive leaves the
  // component closed without an error.
  void OpenArchive(const std::string& fileName);
  // Closes the archive; a new archive not yet committed is discarded, and
  // whatever stood at its name stays as it was.
  void CloseArchive();
  // Writes an empty archive (22 bytes) and leaves it closed.
  void CreateArchive(const std::string& fileName);

  // Closes what is open and starts a new, empty archive that takes the
  // place of `fileName` only when committed: until then it is a temporary
  // file beside it, and the component is open on it like on any archive
  // (FileName() is `fileName`; error texts name it). Closing, destroying,
  // opening or beginning another archive first discards it.
  void BeginArchive(const std::string& fileName);
  // Writes a pending directory, puts the new archive in the place of its
  // file name (or of `asName`, a file in the same folder, when given) and
  // closes it. On failure the new archive is discarded and the file at that
  // name is untouched.
  void CommitArchive(const std::string& asName = {});
  // The temporary file of the new archive until it is committed, so that it
  // can be read back first; empty when there is none.
  std::string NewArchivePath() const;

  // Appends entry `index` of another open archive as it is there: its local
  // header, name, extra field and compressed data are copied without
  // recompression, its central record with the new offset. Raises an error
  // when the entry has no local header that agrees with its central record,
  // when it uses a data descriptor, or when an entry of its name is here
  // already. Its data is checked while it is copied: data that does not
  // give the entry's size and CRC-32 raises EZkZipDataError "Sérült
  // bejegyzés (%s)", and the entry is not added.
  TZkZipEntriesEntry* CopyEntry(const TZkZip& source, int index);

  TZkZipEntries& Entries();
  const TZkZipEntries& Entries() const;

  // Adds the file under its own name; null when it does not exist.
  TZkZipEntriesEntry* AddFile(const std::string& fileName);
  bool IsNewFile(const std::string& fileName) const;
  bool IsChangedFile(const std::string& fileName) const;
  bool NeedsUpdate(const std::string& fileName) const;

  // Between BeginUpdate and the matching EndUpdate, in-place adds write only
  // their local entries and the directory is written once at the end (or
  // by the next operation that needs it), so adding many files does not
  // rewrite the directory each time. A crash meanwhile loses no complete
  // entry: the next open walks the local headers.
  void BeginUpdate();
  void EndUpdate();

protected:
  virtual void DoZipChange(TZkZip& sender, int changeType);

private:
  friend class TZkZipEntries;
  // The settings, the open archive and its directory, and the steps of
  // reading and writing it (zip/ZkZipInternal.h).
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zk

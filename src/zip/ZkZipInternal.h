#pragma once
// The implementation of TZkZip: its settings, the open archive and its
// directory, and the steps of reading and writing it, shared by the reading
// and writing halves. Only the zip unit includes this header.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ZkAtomicFile.h"
#include "platform/ZkFileHandle.h"
#include "zip/ZkZip.h"
#include "zip/ZkZipDeflate.h"
#include "zip/ZkZipFormat.h"

namespace zk {

// Where a compressed entry or a rebuilt archive goes: appended at the
// position, with headers completed afterwards at earlier offsets. Write
// errors name the archive, also while it is still a temporary file.
class TZkZipTarget {
public:
  TZkZipTarget(platform::FileHandle& file, const std::string& archiveName, std::uint64_t start)
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
  // `seen`, when given, gets every block as it is copied.
  void CopyFrom(const platform::FileHandle& from, std::uint64_t offset, std::uint64_t size,
                const std::function<void(std::string_view block)>& seen = {});

private:
  platform::FileHandle& file_;
  const std::string& archiveName_;
  std::uint64_t position_;
};

// A file the pool opened and compresses ahead; the writer takes its chunks
// instead of reading it, and gives it back when done.
class TZkPlannedSource : public TZkZipSource {
public:
  TZkPlannedSource(TZkDeflatePool& pool, std::shared_ptr<TZkPlannedFile> file)
      : pool_(pool), file_(std::move(file)) {}
  ~TZkPlannedSource() override { pool_.Release(*file_); }
  TZkPlannedSource(const TZkPlannedSource&) = delete;
  TZkPlannedSource& operator=(const TZkPlannedSource&) = delete;
  std::int64_t Size() override { return file_->Size; }
  std::size_t Read(char* buffer, std::size_t size) override;
  TZkDeflatedChunk NextChunk() { return pool_.NextChunk(*file_); }

private:
  TZkDeflatePool& pool_;
  std::shared_ptr<TZkPlannedFile> file_;
  std::int64_t position_ = 0;
};

struct TZkZip::Impl {
  explicit Impl(TZkZip& owner) : owner_(owner), entries_(owner) {}

  // Raises the component's OnZipChange for a change of the directory.
  void Changed(int changeType);
  void RequireOpen() const;
  [[noreturn]] void ThrowWriteError() const;
  void WriteAt(std::uint64_t offset, std::string_view bytes);

  void OpenArchive(const std::string& fileName);
  void CloseArchive();
  void BeginArchive(const std::string& fileName);
  void CommitArchive(const std::string& asName);
  const std::vector<std::string>& Comment();
  void SetComment(const std::vector<std::string>& lines);
  const std::vector<std::string>& FileNames();

  // Reading.
  void LoadDirectory();
  bool FindEndRecord(std::int64_t fileSize);
  bool ReadCentralDirectory(std::int64_t fileSize);
  void ReadLocalHeaders(std::int64_t fileSize);
  bool ScanLocalHeaders(std::int64_t fileSize);

  // The directory.
  std::string EncodeDirectory(std::uint64_t centralOffset) const;
  void WriteDirectoryAt(std::uint64_t centralOffset);
  void FlushPendingDirectory();
  void EndUpdate();

  // Adding.
  std::string EntryNameOf(const std::string& entryName) const;
  TZkZipEntriesEntry& PrepareEntry(const std::string& name, std::uint32_t attributes, TDateTime dateTime);
  // Writes the local header, the deflated data and the completed header of
  // the entry, and records what was written in it.
  void CompressInto(TZkZipTarget& target, TZkZipEntriesEntry& entry, TZkZipSource& source);
  // Writes an entry (already in the directory, last) through `write` where
  // the directory stood, then the directory, or marks it pending in an
  // update. On failure the entry is dropped and the previous directory
  // written back.
  void AppendEntry(const std::function<void(TZkZipTarget& target)>& write);
  TZkZipEntriesEntry* Add(bool inPlace, const std::string& entryName, std::uint32_t attributes,
                          TZkZipSource& source, TDateTime dateTime);
  TZkZipEntriesEntry* CopyEntry(const Impl& source, int index);
  void Rebuild(int removed, TZkZipEntriesEntry* added, TZkZipSource* source);
  bool IsChangedFile(const std::string& fileName) const;
  // The pool's compressed file for `fileName` when it is still as `info`
  // says; null without a pool or when the file changed since it was opened.
  std::shared_ptr<TZkPlannedFile> PlannedFile(const std::string& fileName, const platform::FileInfo& info);
  TZkDeflatePool& Pool();

  TZkZip& owner_;

  // Published settings.
  std::string fileName_;
  TZipSaveMethod saveMethod_ = TZipSaveMethod::FastSave;
  bool storeRelativePath_ = true;
  bool storeFolders_ = true;
  TZipCompressionType compressionType_ = TZipCompressionType::ctMaximum;
  bool useTempFiles_ = false;
  TOverwriteAction overwriteAction_ = TOverwriteAction::oaSkip;
  bool readOnly_ = false;
  bool applyAtributes_ = true;
  bool saveDriveName_ = false;

  TZkZipEntries entries_;
  bool fileNamesStale_ = true;
  std::uint64_t endRecordPosition_ = 0;
  zipformat::EndRecord endRecord_;
  // The comment bytes as in the file, written back unchanged by every
  // directory write; comment_ is their split form for Comment().
  std::string commentBytes_;
  std::vector<std::string> comment_;
  std::vector<std::string> fileNames_;
  int updateDepth_ = 0;
  bool directoryPending_ = false;
  // The new archive of BeginArchive until it is committed; file_ is then a
  // second descriptor on it.
  std::unique_ptr<platform::AtomicFile> newArchive_;
  platform::FileHandle file_;

  // Compression: more than one thread compresses in a pool ahead of the
  // adds, one compresses in the adding thread.
  int threads_ = 1;
  std::unique_ptr<TZkDeflater> deflater_;
  std::unique_ptr<TZkDeflatePool> pool_;
};

}  // namespace zk

#pragma once
// TZkTextFile: a text file read and changed line by line without loading it
// whole. A line ends at LF, with or without a CR before it (a lone CR is part
// of the line's text); the last line may lack its line end. Lines written
// here end with CR LF. A UTF-8 byte-order mark at the start belongs to no
// line and stays where it is. Moves can be held inside a window of lines
// (one INI section, say).
//
// Changes are collected in one edit region in memory and written back when
// the file is closed (or when a change lands far from the region). Writing
// back replaces the whole file through a new file beside it, so the file is
// never left half-changed. Reads see the changes at once.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ZkFileHandle.h"
#include "store/ZkGapBuffer.h"

namespace zk {

class TZkTextFile {
public:
  // Find flags.
  static constexpr int kBeginsWith = 1;  // the line begins with the text (else contains it)
  static constexpr int kMatchCase = 2;   // bytes compared exactly (else A to Z without case)

  TZkTextFile() = default;
  ~TZkTextFile();
  TZkTextFile(const TZkTextFile&) = delete;
  TZkTextFile& operator=(const TZkTextFile&) = delete;

  const std::string& Filename() const { return filename_; }
  // Closes the file; reopens with the new name when it was open or Active.
  void SetFilename(const std::string& name);
  bool Active() const { return file_.IsOpen(); }
  void SetActive(bool value);
  bool ReadOnly() const { return readOnly_; }
  // Reopens in the new mode when the file is open.
  void SetReadOnly(bool value);
  const std::string& LastString() const { return lastString_; }

  // Close, then open for reading (writing). A missing file or a blank name
  // leaves the file closed; the result tells whether it is open.
  bool OpenRead();
  bool OpenReadWrite();
  // Writes pending changes back and closes. Fails with EZkFileWriteError
  // when they cannot be written; the file is closed all the same.
  void Close();

  void First();
  void GotoEnd();
  void Next();
  void Prior();
  void GotoLine(std::int64_t line);
  std::int64_t LineNumber() const { return line_; }
  // The current line without its CR LF; empty past the window or the end.
  std::string CurrentLine();
  std::string ReadLine();
  bool Eof() const;
  bool Bof() const;

  bool Find(std::string_view text, int flags);
  bool FindFirst(std::string_view text, int flags);
  bool FindNext(std::string_view text, int flags);

  void DeleteLine();
  void InsertLine(std::string_view text);
  void AddLine(std::string_view text);

  void SetWindow(std::int64_t first, std::int64_t last);
  void ResetWindow();

private:
  static constexpr std::size_t kBufferSize = 4096;
  static constexpr std::int64_t kNoWindow = -1;

  bool Open(bool readOnly);
  // The file as changed so far.
  std::int64_t Size() const;
  std::size_t ReadAt(std::int64_t offset, char* buffer, std::size_t count) const;
  // The longest run of bytes at `offset` that lies in one piece in memory.
  std::string_view BytesAt(std::int64_t offset) const;
  std::size_t ReadThrough(std::int64_t offset, char* buffer, std::size_t count) const;
  // Offset just past the LF that ends the line at `offset` (the size when
  // the line has none).
  std::int64_t NextLineOffset(std::int64_t offset) const;
  std::int64_t PriorLineOffset(std::int64_t offset) const;
  bool EndsWithLineBreak() const;
  bool Matches(const std::string& line, std::string_view text, int flags) const;
  void MoveTo(std::int64_t line);

  // The edit region: the file's bytes [regionStart_, regionEnd_) read as
  // region_ instead.
  void Replace(std::int64_t offset, std::int64_t length, std::string_view bytes);
  void CoverInRegion(std::int64_t from, std::int64_t to);
  void Flush();

  std::string filename_;
  bool readOnly_ = true;
  bool wantActive_ = false;
  std::string lastString_;
  platform::FileHandle file_;
  std::int64_t fileSize_ = 0;  // on disk
  std::int64_t firstLineOffset_ = 0;  // past a byte-order mark
  std::int64_t line_ = 1;
  std::int64_t offset_ = 0;
  std::int64_t windowFirst_ = 1;
  std::int64_t windowLast_ = kNoWindow;
  std::int64_t windowOffset_ = -1;  // of the window's first line, -1 unknown
  // The bytes last read around the current position, so that moving line by
  // line does not read the file once per line.
  static constexpr std::size_t kCacheSize = 1 << 16;
  mutable std::vector<char> cache_;
  mutable std::size_t cacheLength_ = 0;
  mutable std::int64_t cacheStart_ = 0;
  bool hasRegion_ = false;
  std::int64_t regionStart_ = 0;
  std::int64_t regionEnd_ = 0;
  TZkGapBuffer region_;
};

}  // namespace zk

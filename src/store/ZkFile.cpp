#include "store/ZkFile.h"

#include <algorithm>
#include <ostream>
#include <vector>

#include "base/ZkError.h"
#include "platform/ZkAtomicFile.h"
#include "util/ZkUtil.h"

namespace zk {
namespace {

constexpr std::string_view kLineBreak = "\r\n";
// Some editors save a UTF-8 byte-order mark first; it belongs to no line.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// The piece of the file copied at a time when it is written anew.
constexpr std::size_t kCopyChunk = 1 << 16;

// A change this far from the edit region writes the region back first
// instead of taking the bytes between into memory.
constexpr std::int64_t kMaxRegionGap = 1 << 20;
// How far the edit region reaches beyond a change when it has to grow.
constexpr std::int64_t kRegionReadAhead = 1 << 16;

}  // namespace

TZkTextFile::~TZkTextFile() {
  try {
    Close();
  } catch (const EZkError&) {
    // A destructor cannot report; callers that care close the file first.
  }
}

void TZkTextFile::SetFilename(const std::string& name) {
  const bool reopen = file_.IsOpen() || wantActive_;
  Close();
  filename_ = name;
  if (reopen && !IsBlank(name)) Open(readOnly_);
}

void TZkTextFile::SetActive(bool value) {
  wantActive_ = value;
  if (value)
    Open(readOnly_);
  else
    Close();
}

void TZkTextFile::SetReadOnly(bool value) {
  if (readOnly_ == value) return;
  readOnly_ = value;
  if (file_.IsOpen() || wantActive_) Open(readOnly_);
}

bool TZkTextFile::OpenRead() { return Open(true); }

bool TZkTextFile::OpenReadWrite() { return Open(false); }

bool TZkTextFile::Open(bool readOnly) {
  Close();
  readOnly_ = readOnly;
  if (IsBlank(filename_)) return false;
  file_ = readOnly ? platform::FileHandle::OpenForReading(filename_) : platform::FileHandle::OpenForUpdate(filename_);
  if (!file_.IsOpen()) return false;
  fileSize_ = file_.Size();
  if (fileSize_ < 0) {
    file_.Close();
    throw EZkFileReadError("Olvasási hiba");
  }
  char head[kByteOrderMark.size()];
  const std::size_t got = ReadAt(0, head, sizeof head);
  firstLineOffset_ = std::string_view(head, got) == kByteOrderMark ? static_cast<std::int64_t>(got) : 0;
  offset_ = firstLineOffset_;
  return true;
}

void TZkTextFile::Close() {
  std::string failure;
  if (file_.IsOpen()) {
    try {
      Flush();
    } catch (const EZkFileError& e) {
      failure = e.what();
    }
    if (!file_.Close() && failure.empty()) failure = FormatMessage("Írási hiba (%s)", {filename_});
  }
  hasRegion_ = false;
  region_.Clear();
  cacheLength_ = 0;
  fileSize_ = 0;
  firstLineOffset_ = 0;
  line_ = 1;
  offset_ = 0;
  windowFirst_ = 1;
  windowLast_ = kNoWindow;
  windowOffset_ = -1;
  if (!failure.empty()) throw EZkFileWriteError(failure);
}

// ------------------------------------------------------------ reading

std::int64_t TZkTextFile::Size() const {
  if (!hasRegion_) return fileSize_;
  return fileSize_ - (regionEnd_ - regionStart_) + static_cast<std::int64_t>(region_.Size());
}

std::string_view TZkTextFile::BytesAt(std::int64_t offset) const {
  const std::int64_t size = Size();
  if (!file_.IsOpen() || offset >= size) return {};
  if (hasRegion_ && offset >= regionStart_ && offset < regionStart_ + static_cast<std::int64_t>(region_.Size())) {
    const auto at = static_cast<std::size_t>(offset - regionStart_);
    const std::string_view front = region_.Front();
    return at < front.size() ? front.substr(at) : region_.Back().substr(at - front.size());
  }
  if (offset < cacheStart_ || offset >= cacheStart_ + static_cast<std::int64_t>(cacheLength_)) {
    // Some room behind the position too: lines are also walked backwards.
    cacheStart_ = std::max<std::int64_t>(0, offset - static_cast<std::int64_t>(kCacheSize / 4));
    cache_.resize(kCacheSize);
    cacheLength_ = ReadThrough(cacheStart_, cache_.data(), cache_.size());
  }
  std::string_view view(cache_.data() + (offset - cacheStart_), cacheLength_ - static_cast<std::size_t>(offset - cacheStart_));
  // Bytes of the edit region that follow come from the region itself.
  if (hasRegion_ && offset < regionStart_) view = view.substr(0, static_cast<std::size_t>(regionStart_ - offset));
  return view;
}

std::size_t TZkTextFile::ReadAt(std::int64_t offset, char* buffer, std::size_t count) const {
  std::size_t done = 0;
  while (done < count) {
    const std::string_view bytes = BytesAt(offset + static_cast<std::int64_t>(done));
    if (bytes.empty()) break;
    const std::size_t n = std::min(bytes.size(), count - done);
    std::copy_n(bytes.data(), n, buffer + done);
    done += n;
  }
  return done;
}

std::size_t TZkTextFile::ReadThrough(std::int64_t offset, char* buffer, std::size_t count) const {
  const std::int64_t size = Size();
  if (!file_.IsOpen() || offset >= size) return 0;
  count = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), size - offset));
  std::size_t done = 0;
  auto fromFile = [&](std::int64_t physical, std::size_t n) {
    const auto got = file_.ReadAt(physical, buffer + done, n);
    if (got < 0 || static_cast<std::size_t>(got) != n) throw EZkFileReadError("Olvasási hiba");
    done += n;
  };
  const std::int64_t regionStart = hasRegion_ ? regionStart_ : size;
  const auto regionLength = static_cast<std::int64_t>(region_.Size());
  while (done < count) {
    const std::int64_t at = offset + static_cast<std::int64_t>(done);
    const std::size_t left = count - done;
    if (at < regionStart) {
      fromFile(at, static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(left), regionStart - at)));
    } else if (at < regionStart + regionLength) {
      const auto n = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(left),
                                                                     regionStart + regionLength - at));
      region_.Read(static_cast<std::size_t>(at - regionStart), n, buffer + done);
      done += n;
    } else {
      fromFile(at - regionStart - regionLength + regionEnd_, left);
    }
  }
  return count;
}

std::int64_t TZkTextFile::NextLineOffset(std::int64_t offset) const {
  for (std::int64_t at = offset;;) {
    const std::string_view bytes = BytesAt(at);
    if (bytes.empty()) return Size();
    if (const auto lf = bytes.find('\n'); lf != std::string_view::npos) return at + static_cast<std::int64_t>(lf) + 1;
    at += static_cast<std::int64_t>(bytes.size());
  }
}

std::int64_t TZkTextFile::PriorLineOffset(std::int64_t offset) const {
  // The LF just before `offset` ends the prior line; the prior line starts
  // after the LF before that one.
  std::int64_t end = offset;
  char last = 0;
  if (end > firstLineOffset_ && ReadAt(end - 1, &last, 1) == 1 && last == '\n') --end;
  char buffer[kBufferSize];
  while (end > firstLineOffset_) {
    const std::int64_t start = std::max(firstLineOffset_, end - static_cast<std::int64_t>(sizeof buffer));
    const std::size_t got = ReadAt(start, buffer, static_cast<std::size_t>(end - start));
    for (std::size_t i = got; i-- > 0;)
      if (buffer[i] == '\n') return start + static_cast<std::int64_t>(i) + 1;
    end = start;
  }
  return firstLineOffset_;
}

bool TZkTextFile::EndsWithLineBreak() const {
  char last = 0;
  const std::int64_t size = Size();
  return size > firstLineOffset_ && ReadAt(size - 1, &last, 1) == 1 && last == '\n';
}

// ------------------------------------------------------------ moving

void TZkTextFile::MoveTo(std::int64_t line) {
  if (line < line_ / 2 || line < 1) {
    line_ = 1;
    offset_ = firstLineOffset_;
  }
  if (windowOffset_ >= 0 && line >= windowFirst_ && (line_ < windowFirst_ || line_ > line)) {
    line_ = windowFirst_;
    offset_ = windowOffset_;
  }
  while (line_ < line && offset_ < Size()) {
    offset_ = NextLineOffset(offset_);
    ++line_;
  }
  while (line_ > line && line_ > 1) {
    offset_ = PriorLineOffset(offset_);
    --line_;
  }
  if (line_ == windowFirst_ && windowLast_ != kNoWindow) windowOffset_ = offset_;
}

void TZkTextFile::First() { MoveTo(windowLast_ == kNoWindow ? 1 : windowFirst_); }

void TZkTextFile::GotoEnd() {
  if (windowLast_ == kNoWindow) {
    while (offset_ < Size()) Next();
  } else {
    MoveTo(windowLast_ + 1);
  }
}

void TZkTextFile::Next() {
  if (Eof()) return;
  offset_ = NextLineOffset(offset_);
  ++line_;
}

void TZkTextFile::Prior() {
  if (Bof()) return;
  MoveTo(line_ - 1);
}

void TZkTextFile::GotoLine(std::int64_t line) {
  if (windowLast_ != kNoWindow) line = std::clamp(line, windowFirst_, std::max(windowFirst_, windowLast_ + 1));
  MoveTo(std::max<std::int64_t>(line, 1));
}

std::string TZkTextFile::CurrentLine() {
  lastString_.clear();
  if (!file_.IsOpen() || Eof()) return lastString_;
  const std::int64_t next = NextLineOffset(offset_);
  lastString_.resize(static_cast<std::size_t>(next - offset_));
  ReadAt(offset_, lastString_.data(), lastString_.size());
  // Only the last line can lack its line break.
  if (lastString_.ends_with('\n')) {
    lastString_.pop_back();
    if (lastString_.ends_with('\r')) lastString_.pop_back();
  }
  return lastString_;
}

std::string TZkTextFile::ReadLine() {
  std::string line = CurrentLine();
  Next();
  return line;
}

bool TZkTextFile::Eof() const {
  return (windowLast_ != kNoWindow && line_ > windowLast_) || offset_ >= Size();
}

bool TZkTextFile::Bof() const {
  return line_ <= 1 || (windowLast_ != kNoWindow && line_ <= windowFirst_);
}

bool TZkTextFile::Matches(const std::string& line, std::string_view text, int flags) const {
  const bool exact = (flags & kMatchCase) != 0;
  if ((flags & kBeginsWith) != 0) {
    if (line.size() < text.size()) return false;
    const std::string_view head(line.data(), text.size());
    return exact ? head == text : SameText(head, text);
  }
  if (exact) return line.find(text) != std::string::npos;
  return LowerAsciiText(line).find(LowerAsciiText(text)) != std::string::npos;
}

bool TZkTextFile::Find(std::string_view text, int flags) {
  while (!Eof()) {
    if (Matches(CurrentLine(), text, flags)) return true;
    Next();
  }
  return false;
}

bool TZkTextFile::FindFirst(std::string_view text, int flags) {
  First();
  return Find(text, flags);
}

bool TZkTextFile::FindNext(std::string_view text, int flags) {
  Next();
  return Find(text, flags);
}

void TZkTextFile::SetWindow(std::int64_t first, std::int64_t last) {
  windowFirst_ = std::max<std::int64_t>(first, 1);
  windowLast_ = last;
  windowOffset_ = -1;
  MoveTo(windowFirst_);
  // A window that begins past the end has no offset to remember.
  windowOffset_ = line_ == windowFirst_ ? offset_ : -1;
}

void TZkTextFile::ResetWindow() {
  windowFirst_ = 1;
  windowLast_ = kNoWindow;
  windowOffset_ = -1;
}

// ------------------------------------------------------------ changing

void TZkTextFile::DeleteLine() {
  if (!file_.IsOpen() || Eof()) return;
  Replace(offset_, NextLineOffset(offset_) - offset_, {});
  if (windowLast_ != kNoWindow) --windowLast_;
}

void TZkTextFile::InsertLine(std::string_view text) {
  if (!file_.IsOpen()) return;
  if (offset_ >= Size()) {
    AddLine(text);
    return;
  }
  std::string bytes(text);
  bytes += kLineBreak;
  Replace(offset_, 0, bytes);
  if (windowLast_ != kNoWindow) ++windowLast_;
}

void TZkTextFile::AddLine(std::string_view text) {
  if (!file_.IsOpen()) return;
  GotoEnd();
  if (offset_ < Size()) {
    InsertLine(text);
    return;
  }
  std::string bytes;
  const bool needsBreak = Size() > firstLineOffset_ && !EndsWithLineBreak();
  if (needsBreak) bytes += kLineBreak;
  bytes += text;
  bytes += kLineBreak;
  const std::int64_t at = Size();
  Replace(at, 0, bytes);
  // A last line without CR LF got one: the new line starts after it, and so
  // does a window that began at the end.
  offset_ = at + (needsBreak ? static_cast<std::int64_t>(kLineBreak.size()) : 0);
  if (windowOffset_ == at) windowOffset_ = offset_;
  if (windowLast_ != kNoWindow) windowLast_ = std::max(windowLast_ + 1, line_);
}

void TZkTextFile::Replace(std::int64_t offset, std::int64_t length, std::string_view bytes) {
  if (readOnly_) throw EZkFileWriteError(FormatMessage("Írási hiba (%s)", {filename_}));
  windowOffset_ = offset < windowOffset_ ? -1 : windowOffset_;
  CoverInRegion(offset, offset + length);
  const auto at = static_cast<std::size_t>(offset - regionStart_);
  region_.Replace(at, static_cast<std::size_t>(length), bytes);
  cacheLength_ = 0;
}

// Makes [from, to) of the changed file part of the edit region.
void TZkTextFile::CoverInRegion(std::int64_t from, std::int64_t to) {
  if (hasRegion_) {
    const std::int64_t regionEnd = regionStart_ + static_cast<std::int64_t>(region_.Size());
    if (from < regionStart_ - kMaxRegionGap || from > regionEnd + kMaxRegionGap) Flush();
  }
  if (!hasRegion_) {
    hasRegion_ = true;
    regionStart_ = regionEnd_ = from;
    region_.Clear();
  }
  if (from < regionStart_) {
    std::string head(static_cast<std::size_t>(regionStart_ - from), '\0');
    ReadAt(from, head.data(), head.size());
    region_.Replace(0, 0, head);
    regionStart_ = from;  // before the region, file and changed offsets agree
  }
  const std::int64_t regionEnd = regionStart_ + static_cast<std::int64_t>(region_.Size());
  if (to > regionEnd) {
    // Read ahead: the next changes and reads are usually just behind.
    to = std::min(Size(), std::max(to, regionEnd + kRegionReadAhead));
    std::string tail(static_cast<std::size_t>(to - regionEnd), '\0');
    ReadAt(regionEnd, tail.data(), tail.size());
    region_.Replace(region_.Size(), 0, tail);
    regionEnd_ += static_cast<std::int64_t>(tail.size());
  }
}

// Writes the file as changed: the whole new content goes to a file beside
// it, which replaces it only when complete, so a failure (a full disk) leaves
// the old file as it was. The file is then the new one.
void TZkTextFile::Flush() {
  if (!hasRegion_) return;
  platform::WriteFileAtomically(filename_, [this](std::ostream& out) {
    std::vector<char> buffer(kCopyChunk);
    const std::int64_t size = Size();
    for (std::int64_t at = 0; at < size;) {
      const std::size_t n = ReadThrough(at, buffer.data(), buffer.size());
      if (n == 0) throw EZkFileReadError("Olvasási hiba");
      out.write(buffer.data(), static_cast<std::streamsize>(n));
      at += static_cast<std::int64_t>(n);
    }
  });
  hasRegion_ = false;
  region_.Clear();
  cacheLength_ = 0;
  file_ = platform::FileHandle::OpenForUpdate(filename_);
  fileSize_ = file_.IsOpen() ? file_.Size() : -1;
  if (fileSize_ < 0) {
    file_.Close();
    throw EZkFileOpenError(FormatMessage("Megnyitási hiba (%s)", {filename_}));
  }
}

}  // namespace zk

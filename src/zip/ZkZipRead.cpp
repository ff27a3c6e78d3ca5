#include "zip/ZkZipRead.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "util/ZkUtil.h"
#include "zip/ZkZipFormat.h"

namespace zk {

using namespace zipformat;

namespace {

// Data is read and handed on through windows of this size.
constexpr std::size_t kWindow = 1 << 16;
constexpr int kRawWindowBits = -15;

bool Fits(std::uint64_t value) { return value <= static_cast<std::uint64_t>(INT64_MAX); }

bool ReadExactly(const platform::FileHandle& file, std::uint64_t offset, char* buffer, std::size_t size) {
  return Fits(offset) &&
         file.ReadAt(static_cast<std::int64_t>(offset), buffer, size) == static_cast<std::ptrdiff_t>(size);
}

// The central directory read in order through a window, so that a forged
// directory size costs no more memory than the window.
class DirectoryWindow {
public:
  DirectoryWindow(const platform::FileHandle& file, std::uint64_t offset, std::uint64_t end)
      : file_(file), position_(offset), end_(end) {}
  bool Read(std::size_t count, std::string& out) {
    out.clear();
    while (out.size() < count) {
      if (taken_ == window_.size()) {
        if (position_ >= end_) return false;
        window_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kDirectoryWindow, end_ - position_)));
        if (!ReadExactly(file_, position_, window_.data(), window_.size())) return false;
        position_ += window_.size();
        taken_ = 0;
      }
      const std::size_t take = std::min(count - out.size(), window_.size() - taken_);
      out.append(window_, taken_, take);
      taken_ += take;
    }
    return true;
  }

private:
  static constexpr std::size_t kDirectoryWindow = 1 << 20;
  const platform::FileHandle& file_;
  std::uint64_t position_;
  std::uint64_t end_;
  std::string window_;
  std::size_t taken_ = 0;
};

[[noreturn]] void Bad(const char* reason) { throw EZkZipEntryError(reason); }

class Inflater {
public:
  Inflater() {
    if (inflateInit2(&stream_, kRawWindowBits) != Z_OK) Bad("a kibontás nem indítható");
  }
  ~Inflater() { inflateEnd(&stream_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  z_stream& Stream() { return stream_; }

private:
  z_stream stream_{};
};

// Hands the data on while counting it against the recorded size and
// summing its CRC-32; the first byte beyond the size ends the entry.
class CheckedOutput {
public:
  CheckedOutput(const TZkZipReader::TSink& sink, std::uint64_t expected) : sink_(sink), expected_(expected) {}
  void Put(const char* data, std::size_t size) {
    if (size > expected_ - produced_) Bad("hosszabb a megadott méretnél");
    produced_ += size;
    crc_ = crc32_z(crc_, reinterpret_cast<const Bytef*>(data), size);
    if (size > 0) sink_(data, size);
  }
  void Finish(std::uint32_t crc) const {
    if (produced_ != expected_) Bad("rövidebb a megadott méretnél");
    if (static_cast<std::uint32_t>(crc_) != crc) Bad("hibás CRC");
  }

private:
  const TZkZipReader::TSink& sink_;
  std::uint64_t expected_;
  std::uint64_t produced_ = 0;
  uLong crc_ = crc32(0, nullptr, 0);
};

}  // namespace

bool TZkZipReadEntry::IsDirectory() const {
  return (!Central.Name.empty() && Central.Name.back() == '/') || (Central.ExternalAttributes & kAttrDirectory) != 0;
}

TZkZipReader::TZkZipReader(const std::string& path)
    : path_(path), file_(platform::FileHandle::OpenForReading(path)) {
  if (!file_.IsOpen()) throw EZkFileOpenError(FormatMessage("Megnyitási hiba (%s)", {path}));
  const std::int64_t size = file_.Size();
  if (size < 0) throw EZkFileReadError(FormatMessage("Olvasási hiba (%s)", {path}));
  size_ = static_cast<std::uint64_t>(size);
  ReadDirectory();
}

void TZkZipReader::ReadDirectory() {
  const auto unreadable = [this] {
    return EZkZipArchiveError(FormatMessage("Nem olvasható zip archívum (%s)", {path_}));
  };
  if (size_ < kEndRecordSize) throw unreadable();
  // The end record is the last one whose comment reaches the end of the file.
  const std::uint64_t lowest = size_ > kEndRecordSize + kMaxCommentLength ? size_ - kEndRecordSize - kMaxCommentLength : 0;
  std::string tail(size_ - lowest, '\0');
  if (!ReadExactly(file_, lowest, tail.data(), tail.size())) throw unreadable();
  std::optional<std::uint64_t> endAt;
  EndRecord record;
  for (std::uint64_t at = tail.size() - kEndRecordSize + 1; at-- > 0;) {
    if (!DecodeEndRecord(std::string_view(tail).substr(at, kEndRecordSize), record)) continue;
    if (record.CommentLength != tail.size() - at - kEndRecordSize) continue;
    endAt = lowest + at;
    break;
  }
  if (!endAt) throw unreadable();
  if (*endAt >= kZip64LocatorSize) {
    char locator[kZip64LocatorSize];
    char zip64[kZip64EndRecordSize];
    if (ReadExactly(file_, *endAt - kZip64LocatorSize, locator, sizeof locator)) {
      const std::optional<std::uint64_t> offset = DecodeZip64Locator(std::string_view(locator, sizeof locator));
      if (offset && (!ReadExactly(file_, *offset, zip64, sizeof zip64) ||
                     !DecodeZip64EndRecord(std::string_view(zip64, sizeof zip64), record)))
        throw unreadable();
    }
  }
  if (record.CentralOffset > *endAt || record.CentralSize > *endAt - record.CentralOffset) throw unreadable();
  DirectoryWindow reader(file_, record.CentralOffset, record.CentralOffset + record.CentralSize);
  std::string fixed, name, extra, comment;
  for (std::uint64_t i = 0; i < record.TotalEntries; ++i) {
    TZkZipReadEntry entry;
    CentralLengths lengths;
    if (!reader.Read(kCentralHeaderSize, fixed) || !DecodeCentralHeader(fixed, entry.Central, lengths) ||
        !reader.Read(lengths.Name, name) || !reader.Read(lengths.Extra, extra) ||
        !reader.Read(lengths.Comment, comment))
      throw unreadable();
    DecodeCentralNameExtraComment(name, extra, comment, entry.Central);
    const TCentralDirectoryFile& c = entry.Central;
    entry.Name = DecodeEntryName(c.Name, (c.Flags & kFlagUtf8Name) != 0, c.Extra);
    entry.DosTime = c.Time;
    entry.DosDate = c.Date;
    entry.DateTime = FromDosDateTime({c.Time, c.Date});
    entries_.push_back(std::move(entry));
  }
}

void TZkZipReader::Extract(std::size_t index, const TSink& sink) const {
  const TCentralDirectoryFile& c = entries_.at(index).Central;
  if ((c.Flags & kFlagEncrypted) != 0) Bad("titkosított");
  if (c.Method != kMethodStored && c.Method != kMethodDeflated) Bad("ismeretlen tömörítési mód");

  char fixed[kLocalHeaderSize];
  TLocalFile local;
  if (!ReadExactly(file_, c.LocalHeaderOffset, fixed, sizeof fixed) ||
      !DecodeLocalHeader(std::string_view(fixed, sizeof fixed), local))
    Bad("nincs helyi fejléc");
  std::string rest(std::size_t{local.NameLength} + local.ExtraLength, '\0');
  if (!ReadExactly(file_, c.LocalHeaderOffset + kLocalHeaderSize, rest.data(), rest.size()))
    Bad("csonka helyi fejléc");
  DecodeLocalNameAndExtra(rest, local);
  // Without a data descriptor the local header repeats what the directory
  // says; one that differs belongs to another entry or was changed.
  const bool described = ((local.Flags | c.Flags) & kFlagDataDescriptor) != 0;
  if (local.Method != c.Method ||
      (!described && (local.Crc32 != c.Crc32 || local.CompressedSize != c.CompressedSize ||
                      local.UncompressedSize != c.UncompressedSize)))
    Bad("a helyi fejléc eltér a könyvtártól");
  const std::uint64_t dataStart = c.LocalHeaderOffset + kLocalHeaderSize + rest.size();
  if (dataStart > size_ || c.CompressedSize > size_ - dataStart) Bad("az adat túlnyúlik az archívum végén");

  CheckedOutput output(sink, c.UncompressedSize);
  const auto input = std::make_unique_for_overwrite<char[]>(kWindow);
  std::uint64_t position = dataStart;
  std::uint64_t left = c.CompressedSize;
  const auto readInput = [&]() -> std::size_t {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, left));
    if (!ReadExactly(file_, position, input.get(), count)) Bad("olvasási hiba");
    position += count;
    left -= count;
    return count;
  };

  if (c.Method == kMethodStored) {
    while (left > 0) {
      const std::size_t count = readInput();
      output.Put(input.get(), count);
    }
    output.Finish(c.Crc32);
    return;
  }

  Inflater inflater;
  z_stream& zs = inflater.Stream();
  const auto out = std::make_unique_for_overwrite<char[]>(kWindow);
  bool ended = false;
  while (!ended) {
    if (zs.avail_in == 0) {
      if (left == 0) Bad("csonka tömörített adat");
      zs.avail_in = static_cast<uInt>(readInput());
      zs.next_in = reinterpret_cast<Bytef*>(input.get());
    }
    zs.next_out = reinterpret_cast<Bytef*>(out.get());
    zs.avail_out = static_cast<uInt>(kWindow);
    const int code = inflate(&zs, Z_NO_FLUSH);
    // With room on both sides inflate always moves; a stall is damage.
    if ((code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR) || (code == Z_BUF_ERROR && zs.avail_in != 0))
      Bad("hibás tömörített adat");
    output.Put(out.get(), kWindow - zs.avail_out);
    ended = code == Z_STREAM_END;
  }
  // The stream must take up exactly the compressed size.
  if (zs.avail_in != 0 || left != 0) Bad("hibás tömörített adat");
  output.Finish(c.Crc32);
}

std::vector<std::string> VerifyArchiveEntries(const std::string& path) {
  const TZkZipReader reader(path);
  std::vector<std::string> bad;
  for (std::size_t i = 0; i < reader.Entries().size(); ++i) {
    try {
      reader.Extract(i, [](const char*, std::size_t) {});
    } catch (const EZkZipEntryError& error) {
      bad.push_back(reader.Entries()[i].Name + " (" + error.what() + ")");
    }
  }
  return bad;
}

}  // namespace zk

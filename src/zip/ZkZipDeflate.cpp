// Chunked deflate data and the threads that compress it ahead.

#include "zip/ZkZipDeflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "zip/ZkZip.h"

namespace zk {
namespace {

// Chunks waiting (queued, compressing or compressed and not yet written)
// hold at most this many source bytes, whatever the thread count; their
// compressed data is no larger, so memory stays within twice this.
constexpr std::uint64_t kPendingBytes = std::uint64_t{16} << 20;
// Many small files: a bound on their number too, and on open files.
constexpr std::size_t kPendingChunks = 256;
constexpr std::size_t kOpenedAhead = 256;

// An empty stored block: three zero header bits (not final, stored), the
// rest of the byte, then LEN 0 and NLEN 0xFFFF.
constexpr char kEmptyStored[] = {'\x00', '\x00', '\xff', '\xff'};
// What MakeNotFinal may add: a byte for the stored block's header bits and
// the rest of that block.
constexpr std::size_t kNotFinalRoom = 1 + sizeof kEmptyStored;

[[noreturn]] void ThrowDeflate() { throw EZkZipError(FormatMessage("Tömörítési hiba (%s)", {"deflate"})); }

// libdeflate always ends its data with a final block. For a chunk that more
// chunks follow, the walk through its blocks finds the header of the last
// one, clears its final bit and appends an empty stored block, which ends
// the data on a byte boundary as a sync flush does.
// `data` has room for kNotFinalRoom bytes more than `size`.
void MakeNotFinal(char* data, std::size_t& size) {
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) ThrowDeflate();
  stream.next_in = reinterpret_cast<Bytef*>(data);
  stream.avail_in = static_cast<uInt>(size);
  // Positions in bits from the start of the data; zlib tells the bits it
  // took in but has not used yet.
  std::uint64_t header = 0;
  std::uint64_t end = 0;
  const auto position = [&] {
    const auto used = static_cast<std::uint64_t>(reinterpret_cast<char*>(stream.next_in) - data);
    return used * 8 - static_cast<std::uint64_t>(stream.data_type & 63);
  };
  char out[1 << 15];
  int code = Z_OK;
  // No progress in bytes is possible while a block's last bits are still
  // in zlib's bit buffer; twice in a row means the data ends early.
  int idle = 0;
  while (code == Z_OK || (code == Z_BUF_ERROR && ++idle < 2)) {
    stream.next_out = reinterpret_cast<Bytef*>(out);
    stream.avail_out = sizeof out;
    code = inflate(&stream, Z_BLOCK);
    if (code == Z_OK) idle = 0;
    // At the end of a block that was not the final one, the next header
    // begins; the final one ends where its bits do, before zlib skips the
    // padding of the last byte.
    if (code == Z_OK && (stream.data_type & 128) != 0) {
      if ((stream.data_type & 64) == 0)
        header = position();
      else
        end = position();
    }
  }
  const bool whole = code == Z_STREAM_END && stream.avail_in == 0 && size > 0 && end <= size * 8 && size * 8 - end < 8;
  inflateEnd(&stream);
  if (!whole) ThrowDeflate();
  const auto headerByte = static_cast<std::size_t>(header / 8);
  data[headerByte] = static_cast<char>(static_cast<unsigned char>(data[headerByte]) & ~(1u << (header % 8)));
  const auto unused = static_cast<unsigned>(size * 8 - end);
  // The stored block's header takes three bits: the unused ones of the last
  // byte when there are enough, else a byte of its own.
  data[size - 1] = static_cast<char>(static_cast<unsigned char>(data[size - 1]) & (0xffu >> unused));
  if (unused < 3) data[size++] = '\0';
  std::memcpy(data + size, kEmptyStored, sizeof kEmptyStored);
  size += sizeof kEmptyStored;
}

}  // namespace

std::uint64_t DeflateChunkCount(std::uint64_t size) { return std::max<std::uint64_t>(1, (size + kDeflateChunk - 1) / kDeflateChunk); }

std::size_t DeflateChunkSize(std::uint64_t size, std::uint64_t index) {
  const std::uint64_t from = index * kDeflateChunk;
  return from >= size ? 0 : static_cast<std::size_t>(std::min(kDeflateChunk, size - from));
}

std::uint64_t DeflateBound(std::uint64_t size) {
  const std::uint64_t chunks = DeflateChunkCount(size);
  const std::uint64_t full = size / kDeflateChunk;
  const std::uint64_t rest = size % kDeflateChunk;
  std::uint64_t bound = full * libdeflate_deflate_compress_bound(nullptr, kDeflateChunk);
  if (rest > 0 || full == 0) bound += libdeflate_deflate_compress_bound(nullptr, static_cast<std::size_t>(rest));
  // Each chunk but the last ends with at most five more bytes.
  return bound + 5 * (chunks - 1);
}

std::uint32_t Crc32Of(const char* data, std::size_t size) {
  return libdeflate_crc32(0, data, size);
}

std::unique_ptr<char[]> TZkChunkBuffers::Take() {
  {
    const std::lock_guard lock(mutex_);
    if (!free_.empty()) {
      std::unique_ptr<char[]> buffer = std::move(free_.back());
      free_.pop_back();
      return buffer;
    }
  }
  return std::make_unique_for_overwrite<char[]>(kSize);
}

void TZkChunkBuffers::Give(std::unique_ptr<char[]> buffer) {
  const std::lock_guard lock(mutex_);
  free_.push_back(std::move(buffer));
}

TZkChunkBytes::TZkChunkBytes(std::unique_ptr<char[]> bytes, std::size_t size, std::shared_ptr<TZkChunkBuffers> owner)
    : bytes_(std::move(bytes)), size_(size), owner_(std::move(owner)) {}

TZkChunkBytes::~TZkChunkBytes() { Release(); }

TZkChunkBytes& TZkChunkBytes::operator=(TZkChunkBytes&& other) noexcept {
  if (this != &other) {
    Release();
    bytes_ = std::move(other.bytes_);
    size_ = std::exchange(other.size_, 0);
    owner_ = std::move(other.owner_);
  }
  return *this;
}

void TZkChunkBytes::Release() noexcept {
  if (owner_ && bytes_) {
    try {
      owner_->Give(std::move(bytes_));
    } catch (const std::bad_alloc&) {
      // The list could not grow: the buffer is freed instead.
    }
  }
  bytes_.reset();
  owner_.reset();
  size_ = 0;
}

void TZkDeflater::FreeCompressor::operator()(libdeflate_compressor* compressor) const {
  libdeflate_free_compressor(compressor);
}

namespace {

TZkDeflater::CompressorPtr NewCompressor(int level) {
  TZkDeflater::CompressorPtr compressor(libdeflate_alloc_compressor(level));
  if (!compressor) throw std::bad_alloc();
  return compressor;
}

// Random and already compressed data costs the matchfinder most and gains
// nothing. Pieces of kProbeSize bytes, one every kProbeEvery bytes of a
// chunk, are compressed at level 1 first; when none of them gets smaller
// at all, the chunk goes into stored blocks, as the compressor would have
// chosen for nearly all of it. A piece spans twice the window, so that
// repeats as far apart as deflate can reach show in it (smaller pieces
// took random blocks repeated 10 to 30 KiB apart for incompressible). A
// chunk below kProbeFrom bytes is cheap to compress and not probed.
constexpr std::size_t kProbeSize = 64 << 10;
constexpr std::size_t kProbeEvery = 256 << 10;
constexpr std::size_t kProbeFrom = 256 << 10;

}  // namespace

TZkDeflater::TZkDeflater(int level, std::shared_ptr<TZkChunkBuffers> buffers)
    : level_(level), compressor_(NewCompressor(level)),
      probe_(level > 0 ? NewCompressor(1) : nullptr), stored_(level > 0 ? NewCompressor(0) : nullptr),
      buffers_(buffers ? std::move(buffers) : std::make_shared<TZkChunkBuffers>()) {}

TZkDeflater::~TZkDeflater() = default;

TZkChunkBytes TZkDeflater::BorrowBuffer() { return TZkChunkBytes(buffers_->Take(), TZkChunkBuffers::kSize, buffers_); }

bool TZkDeflater::Incompressible(const char* data, std::size_t size) {
  if (!probe_ || size < kProbeFrom) return false;
  std::string out(libdeflate_deflate_compress_bound(probe_.get(), kProbeSize), '\0');
  for (std::size_t at = 0; at < size; at += kProbeEvery) {
    const std::size_t piece = std::min(kProbeSize, size - at);
    const std::size_t written = libdeflate_deflate_compress(probe_.get(), data + at, piece, out.data(), out.size());
    if (written == 0) ThrowDeflate();
    if (written < piece) return false;
  }
  return true;
}

TZkChunkBytes TZkDeflater::Compress(const char* data, std::size_t size, bool last) {
  libdeflate_compressor* compressor = Incompressible(data, size) ? stored_.get() : compressor_.get();
  const std::size_t bound = libdeflate_deflate_compress_bound(compressor, size);
  const bool pooled = bound + kNotFinalRoom <= TZkChunkBuffers::kSize && size == kDeflateChunk;
  std::unique_ptr<char[]> out =
      pooled ? buffers_->Take() : std::make_unique_for_overwrite<char[]>(bound + kNotFinalRoom);
  std::size_t written = libdeflate_deflate_compress(compressor, data, size, out.get(), bound);
  if (written == 0) ThrowDeflate();
  if (!last) MakeNotFinal(out.get(), written);
  if (!pooled) return TZkChunkBytes(std::move(out), written, nullptr);
  // Data that came out much smaller than the chunk gets a buffer of its size.
  if (written >= TZkChunkBuffers::kKeepFrom) return TZkChunkBytes(std::move(out), written, buffers_);
  auto own = std::make_unique_for_overwrite<char[]>(written);
  std::memcpy(own.get(), out.get(), written);
  buffers_->Give(std::move(out));
  return TZkChunkBytes(std::move(own), written, nullptr);
}

// The compressor's levels for the types: for each, the fastest whose data
// was no larger than zlib's at the type's level (9, 6, 1, 0) on a mixed
// corpus and on /usr/include with /usr/share/doc (bench/deflate_levels_bench).
// Its level 9 gains 0.02 % on 8 at 1.2 times the time on such text, and 7
// came out larger than zlib's 9 there.
int DeflateLevel(TZipCompressionType type) {
  switch (type) {
    case TZipCompressionType::ctMaximum:
      return 8;
    case TZipCompressionType::ctFast:
    case TZipCompressionType::ctSuperFast:
      return 1;
    case TZipCompressionType::ctNone:
      return 0;
    case TZipCompressionType::ctNormal:
    case TZipCompressionType::ctUnknown:
      break;
  }
  return 6;
}

TZkDeflatedChunk DeflateChunk(TZkDeflater& deflater, std::uint64_t entrySize, std::uint64_t index,
                              const std::function<std::size_t(char* buffer, std::size_t size)>& read) {
  TZkDeflatedChunk chunk;
  try {
    const std::size_t want = DeflateChunkSize(entrySize, index);
    // A full chunk is read into a buffer kept for the next one; a shorter
    // one into its own, read over at once and so not filled with zeros.
    TZkChunkBytes input =
        want == kDeflateChunk
            ? deflater.BorrowBuffer()
            : TZkChunkBytes(std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(want, 1)), want, nullptr);
    chunk.Consumed = read(input.Data(), want);
    chunk.Ended = index + 1 >= DeflateChunkCount(entrySize) || chunk.Consumed < want;
    chunk.Crc = Crc32Of(input.Data(), static_cast<std::size_t>(chunk.Consumed));
    chunk.Data = deflater.Compress(input.Data(), static_cast<std::size_t>(chunk.Consumed), chunk.Ended);
  } catch (...) {
    chunk.Error = std::current_exception();
    chunk.Ended = true;
  }
  return chunk;
}

// ---------------------------------------------------------------- pool

TZkDeflatePool::TZkDeflatePool(int threads, int level) : level_(level) {
  try {
    feeder_ = std::thread([this] { Feed(); });
    for (int i = 0; i < std::max(1, threads); ++i) workers_.emplace_back([this] { Work(); });
  } catch (...) {
    Stop();
    throw;
  }
}

TZkDeflatePool::~TZkDeflatePool() { Stop(); }

void TZkDeflatePool::Stop() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  feedWake_.notify_all();
  workWake_.notify_all();
  doneWake_.notify_all();
  if (feeder_.joinable()) feeder_.join();
  for (std::thread& worker : workers_)
    if (worker.joinable()) worker.join();
  workers_.clear();
}

bool TZkDeflatePool::Room(std::uint64_t bytes) const {
  return pendingChunks_ < kPendingChunks && (pendingBytes_ == 0 || pendingBytes_ + bytes <= kPendingBytes);
}

void TZkDeflatePool::Feed() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    if (queuing_ && (queuing_->Dropped || queuing_->Queued == queuing_->Chunks.size())) queuing_.reset();
    if (queuing_) {
      const std::size_t size = DeflateChunkSize(static_cast<std::uint64_t>(queuing_->Size), queuing_->Queued);
      if (Room(size)) {
        tasks_.push_back({queuing_, queuing_->Queued++});
        pendingBytes_ += size;
        ++pendingChunks_;
        workWake_.notify_one();
      } else {
        feedWake_.wait(lock);
      }
      continue;
    }
    if (planOpened_ >= plan_.size() || opened_.size() >= kOpenedAhead) {
      feedWake_.wait(lock);
      continue;
    }
    const std::size_t index = planOpened_++;
    const std::uint64_t generation = generation_;
    auto file = std::make_shared<TZkPlannedFile>();
    file->Name = plan_[index];
    file->PlanIndex = index;
    lock.unlock();
    file->File = platform::FileHandle::OpenForReading(file->Name);
    file->Opened = file->File.IsOpen() && file->File.ReadSizeAndTime(file->Size, file->Modified) && file->Size >= 0;
    if (file->Opened) file->Chunks.resize(DeflateChunkCount(static_cast<std::uint64_t>(file->Size)));
    lock.lock();
    // The writer went past it meanwhile, or planned anew.
    if (generation != generation_ || index < planTaken_) continue;
    opened_.push_back(file);
    if (file->Opened) queuing_ = file;
    doneWake_.notify_all();
  }
}

void TZkDeflatePool::Work() {
  std::unique_ptr<TZkDeflater> deflater;
  std::unique_lock lock(mutex_);
  for (;;) {
    workWake_.wait(lock, [this] { return stop_ || !tasks_.empty(); });
    if (stop_) return;
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    TZkPlannedFile& file = *task.File;
    if (file.Dropped) continue;
    file.Chunks[task.Index].Now = TZkPlannedFile::State::Running;
    lock.unlock();
    TZkDeflatedChunk chunk;
    try {
      if (!deflater) deflater = std::make_unique<TZkDeflater>(level_, buffers_);
      const auto offset = static_cast<std::int64_t>(task.Index * kDeflateChunk);
      chunk = DeflateChunk(*deflater, static_cast<std::uint64_t>(file.Size), task.Index,
                           [&file, offset](char* buffer, std::size_t size) {
                             const std::ptrdiff_t got = file.File.ReadAt(offset, buffer, size);
                             if (got < 0) throw EZkFileReadError("Olvasási hiba");
                             return static_cast<std::size_t>(got);
                           });
    } catch (...) {
      chunk.Error = std::current_exception();
      chunk.Ended = true;
    }
    lock.lock();
    TZkPlannedFile::Slot& slot = file.Chunks[task.Index];
    slot.Now = TZkPlannedFile::State::Done;
    if (file.Dropped) {
      // Its room was kept while it ran.
      pendingBytes_ -= DeflateChunkSize(static_cast<std::uint64_t>(file.Size), task.Index);
      --pendingChunks_;
      feedWake_.notify_one();
    } else {
      slot.Chunk = std::move(chunk);
      doneWake_.notify_all();
    }
  }
}

void TZkDeflatePool::Plan(std::vector<std::string> files) {
  {
    const std::lock_guard lock(mutex_);
    for (const auto& file : opened_) DropLocked(*file);
    opened_.clear();
    queuing_.reset();
    plan_ = std::move(files);
    planIndex_.clear();
    for (std::size_t i = 0; i < plan_.size(); ++i) planIndex_.emplace(plan_[i], i);
    ++generation_;
    planOpened_ = 0;
    planTaken_ = 0;
  }
  feedWake_.notify_one();
}

std::shared_ptr<TZkPlannedFile> TZkDeflatePool::Take(const std::string& name) {
  std::unique_lock lock(mutex_);
  const auto found = planIndex_.find(name);
  if (found == planIndex_.end() || found->second < planTaken_) return nullptr;
  const std::size_t index = found->second;
  while (!opened_.empty() && opened_.front()->PlanIndex < index) {
    DropLocked(*opened_.front());
    opened_.pop_front();
  }
  planTaken_ = index;
  planOpened_ = std::max(planOpened_, index);
  feedWake_.notify_one();
  doneWake_.wait(lock, [&] { return stop_ || (!opened_.empty() && opened_.front()->PlanIndex == index); });
  if (stop_) return nullptr;
  std::shared_ptr<TZkPlannedFile> file = std::move(opened_.front());
  opened_.pop_front();
  planTaken_ = index + 1;
  return file;
}

TZkDeflatedChunk TZkDeflatePool::NextChunk(TZkPlannedFile& file) {
  std::unique_lock lock(mutex_);
  const std::uint64_t index = file.Taken;
  if (file.Dropped || index >= file.Chunks.size()) ThrowDeflate();
  doneWake_.wait(lock, [&] { return index < file.Queued && file.Chunks[index].Now == TZkPlannedFile::State::Done; });
  TZkDeflatedChunk chunk = std::move(file.Chunks[index].Chunk);
  ++file.Taken;
  pendingBytes_ -= DeflateChunkSize(static_cast<std::uint64_t>(file.Size), index);
  --pendingChunks_;
  feedWake_.notify_one();
  return chunk;
}

void TZkDeflatePool::Release(TZkPlannedFile& file) {
  {
    const std::lock_guard lock(mutex_);
    DropLocked(file);
  }
  feedWake_.notify_one();
}

void TZkDeflatePool::DropLocked(TZkPlannedFile& file) {
  if (file.Dropped) return;
  file.Dropped = true;
  for (std::uint64_t i = file.Taken; i < file.Queued; ++i) {
    TZkPlannedFile::Slot& slot = file.Chunks[i];
    // A running chunk gives its room back when it is done.
    if (slot.Now == TZkPlannedFile::State::Running) continue;
    pendingBytes_ -= DeflateChunkSize(static_cast<std::uint64_t>(file.Size), i);
    --pendingChunks_;
    slot.Chunk = {};
  }
}

}  // namespace zk

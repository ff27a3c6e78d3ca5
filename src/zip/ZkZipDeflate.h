#pragma once
// The deflate data of an entry, made of chunks that compress independently:
// an entry's source is cut into chunks of kDeflateChunk bytes (the last one
// shorter), each compressed on its own and its data ended on a byte
// boundary by an empty stored block, the last one with the final block. The
// bytes depend only on the data and the level, so the chunks of many
// entries can compress on several threads ahead of the thread that writes
// them (TZkDeflatePool) and give the archive the same bytes as one thread.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/ZkFileHandle.h"
#include "platform/ZkFileSystem.h"
#include "zip/ZkZip.h"

struct libdeflate_compressor;

namespace zk {

// Large enough that a chunk's fresh window costs little, small enough that
// a few of them per thread keep memory low.
constexpr std::uint64_t kDeflateChunk = std::uint64_t{4} << 20;

// How many chunks an entry of `size` bytes has (an empty one has one).
std::uint64_t DeflateChunkCount(std::uint64_t size);
// The size of chunk `index` of an entry of `size` bytes.
std::size_t DeflateChunkSize(std::uint64_t size, std::uint64_t index);
// The most bytes an entry of `size` bytes may deflate to.
std::uint64_t DeflateBound(std::uint64_t size);
std::uint32_t Crc32Of(const char* data, std::size_t size);
// The compressor's level for a compression type.
int DeflateLevel(TZipCompressionType type);

// Buffers for whole chunks, kept for the next chunk once used: a fresh
// buffer of a few MiB costs page faults, and the heap would keep the ones
// freed by another thread in the arena of the thread that took them.
// Chunks in flight are bounded, and so are the buffers.
class TZkChunkBuffers {
public:
  // Room for a whole chunk's deflate data at any level and its end.
  static constexpr std::size_t kSize = kDeflateChunk + (kDeflateChunk >> 8) + 4096;
  // Deflate data at least this large stays in its buffer.
  static constexpr std::size_t kKeepFrom = kDeflateChunk / 4 * 3;
  std::unique_ptr<char[]> Take();
  void Give(std::unique_ptr<char[]> buffer);

private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<char[]>> free_;
};

// Bytes in a buffer of their own or in one of the kept buffers, which goes
// back to its list with them.
class TZkChunkBytes {
public:
  TZkChunkBytes() = default;
  TZkChunkBytes(std::unique_ptr<char[]> bytes, std::size_t size, std::shared_ptr<TZkChunkBuffers> owner);
  ~TZkChunkBytes();
  TZkChunkBytes(TZkChunkBytes&& other) noexcept = default;
  TZkChunkBytes& operator=(TZkChunkBytes&& other) noexcept;
  TZkChunkBytes(const TZkChunkBytes&) = delete;
  TZkChunkBytes& operator=(const TZkChunkBytes&) = delete;

  char* Data() const { return bytes_.get(); }
  std::size_t Size() const { return size_; }
  std::string_view View() const { return {bytes_.get(), size_}; }

private:
  void Release() noexcept;

  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
  std::shared_ptr<TZkChunkBuffers> owner_;
};

// One compressor at one level (0 to 12), for one thread at a time; the
// threads of a pool share their kept buffers.
class TZkDeflater {
public:
  explicit TZkDeflater(int level, std::shared_ptr<TZkChunkBuffers> buffers = nullptr);
  ~TZkDeflater();
  TZkDeflater(const TZkDeflater&) = delete;
  TZkDeflater& operator=(const TZkDeflater&) = delete;
  int Level() const { return level_; }
  // The deflate data of `size` bytes; `last` ends it with the final block.
  // Data that does not compress at all goes into stored blocks.
  TZkChunkBytes Compress(const char* data, std::size_t size, bool last);
  // A kept buffer of TZkChunkBuffers::kSize bytes, for a whole chunk's data.
  TZkChunkBytes BorrowBuffer();

  struct FreeCompressor {
    void operator()(libdeflate_compressor* compressor) const;
  };
  using CompressorPtr = std::unique_ptr<libdeflate_compressor, FreeCompressor>;

private:
  bool Incompressible(const char* data, std::size_t size);

  int level_;
  CompressorPtr compressor_;
  // Level 1 for the probes, level 0 for stored blocks; none at level 0.
  CompressorPtr probe_;
  CompressorPtr stored_;
  std::shared_ptr<TZkChunkBuffers> buffers_;
};

// A compressed chunk.
struct TZkDeflatedChunk {
  TZkChunkBytes Data;
  std::uint32_t Crc = 0;
  // The source bytes it holds.
  std::uint64_t Consumed = 0;
  // The last chunk of the entry: planned so, or the source ended early.
  bool Ended = false;
  // What reading the source raised: the entry fails with it.
  std::exception_ptr Error;
};

// Reads up to `size` bytes of chunk `index` through `read` (which returns
// fewer only at the end) and compresses them.
TZkDeflatedChunk DeflateChunk(TZkDeflater& deflater, std::uint64_t entrySize, std::uint64_t index,
                              const std::function<std::size_t(char* buffer, std::size_t size)>& read);

// A file opened ahead for compression: its size and time as it was opened,
// and its chunks.
struct TZkPlannedFile {
  std::string Name;
  std::size_t PlanIndex = 0;
  bool Opened = false;
  platform::FileHandle File;
  std::int64_t Size = 0;
  platform::FileTime Modified;

  enum class State { Queued, Running, Done };
  struct Slot {
    State Now = State::Queued;
    TZkDeflatedChunk Chunk;
  };
  std::vector<Slot> Chunks;
  // Chunks queued so far, chunks handed to the writer so far.
  std::uint64_t Queued = 0;
  std::uint64_t Taken = 0;
  bool Dropped = false;
};

// Worker threads that open the files of a plan in order, cut them into
// chunks and compress those ahead, within a bound on the bytes waiting;
// the writing thread takes the chunks in order.
class TZkDeflatePool {
public:
  TZkDeflatePool(int threads, int level);
  ~TZkDeflatePool();
  TZkDeflatePool(const TZkDeflatePool&) = delete;
  TZkDeflatePool& operator=(const TZkDeflatePool&) = delete;
  int Level() const { return level_; }
  int Threads() const { return static_cast<int>(workers_.size()); }

  // The files the writer is going to add, in order; replaces the plan
  // before, dropping what was done for it.
  void Plan(std::vector<std::string> files);
  // The opened file when `name` is still to come in the plan; the files
  // planned before it are dropped. Null when the plan does not hold it.
  std::shared_ptr<TZkPlannedFile> Take(const std::string& name);
  // Chunk after chunk of a taken file; waits until it is compressed.
  TZkDeflatedChunk NextChunk(TZkPlannedFile& file);
  // The writer is done with the file (all taken or given up).
  void Release(TZkPlannedFile& file);

private:
  struct Task {
    std::shared_ptr<TZkPlannedFile> File;
    std::uint64_t Index = 0;
  };
  void Stop();
  void Feed();
  void Work();
  bool Room(std::uint64_t bytes) const;
  void DropLocked(TZkPlannedFile& file);

  const int level_;
  std::mutex mutex_;
  std::condition_variable feedWake_;
  std::condition_variable workWake_;
  std::condition_variable doneWake_;
  bool stop_ = false;
  std::vector<std::string> plan_;
  std::unordered_map<std::string, std::size_t> planIndex_;
  // Generation of the plan, so that a file opened for an older one is
  // closed again.
  std::uint64_t generation_ = 0;
  std::size_t planOpened_ = 0;
  std::size_t planTaken_ = 0;
  // Opened files not yet taken, in plan order; the last may still have
  // chunks to queue.
  std::deque<std::shared_ptr<TZkPlannedFile>> opened_;
  std::shared_ptr<TZkPlannedFile> queuing_;
  std::deque<Task> tasks_;
  // Source bytes of the chunks queued and not yet taken, and their count.
  std::uint64_t pendingBytes_ = 0;
  std::size_t pendingChunks_ = 0;
  // Shared by the workers' compressors.
  std::shared_ptr<TZkChunkBuffers> buffers_ = std::make_shared<TZkChunkBuffers>();
  std::thread feeder_;
  std::vector<std::thread> workers_;
};

}  // namespace zk

// The deflate data of every file of a tree at the levels the compression
// types use (and at each level of the compressor's own scale), written by the archive's compressor (libdeflate in chunks, as
// the zip writer writes them) and by zlib (one raw stream per file, as
// Info-ZIP and the earlier writer did); one thread each, so the times
// compare the libraries and not the pools.
//
//   deflate_levels_bench TREE

#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "zip/ZkZipDeflate.h"

namespace fs = std::filesystem;

namespace {

std::size_t ZlibSize(const std::string& data, int level) {
  z_stream stream{};
  if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return 0;
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int code = deflate(&stream, Z_FINISH);
  const std::size_t written = stream.total_out;
  deflateEnd(&stream);
  return code == Z_STREAM_END ? written : 0;
}

std::size_t ChunkedSize(zk::TZkDeflater& deflater, const std::string& data) {
  std::size_t written = 0;
  std::size_t offset = 0;
  for (std::uint64_t index = 0; index < zk::DeflateChunkCount(data.size()); ++index) {
    const zk::TZkDeflatedChunk chunk =
        zk::DeflateChunk(deflater, data.size(), index, [&](char* buffer, std::size_t size) {
          data.copy(buffer, size, offset);
          offset += size;
          return size;
        });
    written += chunk.Data.Size();
  }
  return written;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s TREE\n", argv[0]);
    return 2;
  }
  std::vector<std::string> files;
  std::uintmax_t total = 0;
  for (const auto& entry : fs::recursive_directory_iterator(argv[1])) {
    if (!entry.is_regular_file() || entry.is_symlink()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    total += files.back().size();
  }
  std::printf("%zu files, %ju bytes\n", files.size(), total);
  std::printf("type\tzlib level\tour level\tzlib bytes\tours bytes\tsize ours/zlib\tzlib s\tours s\tspeed zlib/ours\n");
  struct Type {
    const char* Name;
    zk::TZipCompressionType Type;
    int ZlibLevel;
  };
  for (const Type type : {Type{"ctNone", zk::TZipCompressionType::ctNone, 0},
                          Type{"ctFast", zk::TZipCompressionType::ctFast, 1},
                          Type{"ctNormal", zk::TZipCompressionType::ctNormal, 6},
                          Type{"ctMaximum", zk::TZipCompressionType::ctMaximum, 9}}) {
    std::size_t zlib = 0;
    auto start = std::chrono::steady_clock::now();
    for (const std::string& data : files) zlib += ZlibSize(data, type.ZlibLevel);
    const double zlibSeconds = Seconds(start);
    zk::TZkDeflater deflater(zk::DeflateLevel(type.Type));
    std::size_t ours = 0;
    start = std::chrono::steady_clock::now();
    for (const std::string& data : files) ours += ChunkedSize(deflater, data);
    const double oursSeconds = Seconds(start);
    std::printf("%s\t%d\t%d\t%zu\t%zu\t%.4f\t%.2f\t%.2f\t%.2f\n", type.Name, type.ZlibLevel, deflater.Level(), zlib, ours,
                static_cast<double>(ours) / static_cast<double>(zlib), zlibSeconds, oursSeconds,
                zlibSeconds / oursSeconds);
  }
  // The compressor's own scale differs from zlib's: each of its levels, for
  // the choice of the level a type uses.
  std::printf("\nlevel\tours bytes\tours s\n");
  for (int level = 1; level <= 9; ++level) {
    zk::TZkDeflater deflater(level);
    std::size_t ours = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& data : files) ours += ChunkedSize(deflater, data);
    std::printf("%d\t%zu\t%.2f\n", level, ours, Seconds(start));
  }
  return 0;
}

#pragma once
// Shared by the zip tests: a zip parser of the tests' own that decodes every
// field the writer produced, and the outside readers that must accept every
// archive the tests build.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/ZkTempDir.h"
#include "zip/ZkZipFormat.h"

namespace zk::test {

inline std::uint64_t Le(const std::string& bytes, std::size_t at, int width) {
  std::uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
  return value;
}

struct ParsedLocal {
  std::size_t Offset = 0;
  std::uint64_t Signature = 0, VersionNeeded = 0, Flags = 0, Method = 0, Time = 0, Date = 0, Crc = 0;
  std::uint64_t CompressedSize = 0, UncompressedSize = 0, NameLength = 0, ExtraLength = 0;
  std::string Name, Extra;
};

struct ParsedCentral {
  std::uint64_t Signature = 0, VersionMadeBy = 0, VersionNeeded = 0, Flags = 0, Method = 0, Time = 0, Date = 0;
  std::uint64_t Crc = 0, CompressedSize = 0, UncompressedSize = 0, NameLength = 0, ExtraLength = 0;
  std::uint64_t CommentLength = 0, DiskStart = 0, InternalAttributes = 0, ExternalAttributes = 0, Offset = 0;
  std::string Name, Extra;
};

struct ParsedZip {
  std::string Bytes;
  std::size_t EndOffset = 0;
  std::uint64_t Entries = 0, CentralSize = 0, CentralOffset = 0, CommentLength = 0;
  std::string Comment;
  std::vector<ParsedCentral> Central;

  ParsedLocal Local(std::size_t offset) const {
    ParsedLocal l;
    l.Offset = offset;
    l.Signature = Le(Bytes, offset, 4);
    l.VersionNeeded = Le(Bytes, offset + 4, 2);
    l.Flags = Le(Bytes, offset + 6, 2);
    l.Method = Le(Bytes, offset + 8, 2);
    l.Time = Le(Bytes, offset + 10, 2);
    l.Date = Le(Bytes, offset + 12, 2);
    l.Crc = Le(Bytes, offset + 14, 4);
    l.CompressedSize = Le(Bytes, offset + 18, 4);
    l.UncompressedSize = Le(Bytes, offset + 22, 4);
    l.NameLength = Le(Bytes, offset + 26, 2);
    l.ExtraLength = Le(Bytes, offset + 28, 2);
    l.Name = Bytes.substr(offset + 30, l.NameLength);
    l.Extra = Bytes.substr(offset + 30 + l.NameLength, l.ExtraLength);
    return l;
  }
  // The raw deflate data of a classic entry, inflated.
  std::string Data(const ParsedCentral& c) const {
    const ParsedLocal l = Local(c.Offset);
    const std::string raw = Bytes.substr(c.Offset + 30 + l.NameLength + l.ExtraLength, c.CompressedSize);
    if (c.Method == 0) return raw;
    z_stream zs{};
    EXPECT_EQ(inflateInit2(&zs, -15), Z_OK);
    std::string out(c.UncompressedSize, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
    zs.avail_in = static_cast<uInt>(raw.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(zs.total_out, c.UncompressedSize);
    inflateEnd(&zs);
    return out;
  }
};

// Parses a classic archive whose end record is the last 22 bytes before the
// comment; failures are reported as test failures.
inline ParsedZip ParseZip(const std::string& path) {
  ParsedZip zip;
  zip.Bytes = TempDir::Read(path);
  const std::string& b = zip.Bytes;
  EXPECT_GE(b.size(), 22u);
  if (b.size() < 22) return zip;
  std::size_t at = b.size() - 22;
  while (at > 0 && Le(b, at, 4) != 0x06054B50) --at;
  EXPECT_EQ(Le(b, at, 4), 0x06054B50u);
  zip.EndOffset = at;
  EXPECT_EQ(Le(b, at + 4, 2), 0u);
  EXPECT_EQ(Le(b, at + 6, 2), 0u);
  EXPECT_EQ(Le(b, at + 8, 2), Le(b, at + 10, 2));
  zip.Entries = Le(b, at + 10, 2);
  zip.CentralSize = Le(b, at + 12, 4);
  zip.CentralOffset = Le(b, at + 16, 4);
  zip.CommentLength = Le(b, at + 20, 2);
  zip.Comment = b.substr(at + 22);
  EXPECT_EQ(zip.CommentLength, zip.Comment.size());
  std::size_t pos = zip.CentralOffset;
  for (std::uint64_t i = 0; i < zip.Entries && pos + 46 <= b.size(); ++i) {
    ParsedCentral c;
    c.Signature = Le(b, pos, 4);
    c.VersionMadeBy = Le(b, pos + 4, 2);
    c.VersionNeeded = Le(b, pos + 6, 2);
    c.Flags = Le(b, pos + 8, 2);
    c.Method = Le(b, pos + 10, 2);
    c.Time = Le(b, pos + 12, 2);
    c.Date = Le(b, pos + 14, 2);
    c.Crc = Le(b, pos + 16, 4);
    c.CompressedSize = Le(b, pos + 20, 4);
    c.UncompressedSize = Le(b, pos + 24, 4);
    c.NameLength = Le(b, pos + 28, 2);
    c.ExtraLength = Le(b, pos + 30, 2);
    c.CommentLength = Le(b, pos + 32, 2);
    c.DiskStart = Le(b, pos + 34, 2);
    c.InternalAttributes = Le(b, pos + 36, 2);
    c.ExternalAttributes = Le(b, pos + 38, 4);
    c.Offset = Le(b, pos + 42, 4);
    c.Name = b.substr(pos + 46, c.NameLength);
    c.Extra = b.substr(pos + 46 + c.NameLength, c.ExtraLength);
    EXPECT_EQ(c.Signature, 0x02014B50u);
    pos += 46 + c.NameLength + c.ExtraLength + c.CommentLength;
    zip.Central.push_back(c);
  }
  EXPECT_EQ(zip.Central.size(), zip.Entries);
  EXPECT_EQ(pos, zip.EndOffset);
  EXPECT_EQ(zip.CentralSize, zip.EndOffset - zip.CentralOffset);
  return zip;
}

inline std::string RandomBytes(std::size_t size, unsigned seed) {
  std::string s(size, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (char& c : s) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x & 0xFF);
  }
  return s;
}

// Text with repeats, so that deflate has something to do.
inline std::string TextBytes(std::size_t size, unsigned seed) {
  static const char* words[] = {"mentés ", "archívum ", "backup ", "file ", "zip\n", "data ", "2024.01.05 "};
  std::string s;
  std::uint32_t x = seed + 7;
  while (s.size() < size) {
    x = x * 1103515245u + 12345u;
    s += words[(x >> 16) % 7];
  }
  s.resize(size);
  return s;
}

inline std::uint32_t Crc(const std::string& data) {
  return static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

// ---------------------------------------------------------------- outside readers

struct CommandResult {
  int Status = -1;
  std::string Output;
};

// Readers pick the encoding of the names they write from the locale; a
// UTF-8 one matches the tree the tests compare with.
inline CommandResult Run(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen(("export LC_ALL=C.UTF-8; " + command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.Output.append(buffer, n);
  const int status = pclose(pipe);
  result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

inline bool HasTool(const std::string& name) { return Run("command -v " + name + " >/dev/null").Status == 0; }

inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline std::string SevenZip() { return HasTool("7zz") ? "7zz" : "7z"; }

// The readers every archive must pass; a missing tool skips the test with a
// message naming it.
inline std::vector<std::string> MissingReaders() {
  std::vector<std::string> missing;
  if (!HasTool("unzip")) missing.push_back("unzip");
  if (!HasTool("7zz") && !HasTool("7z")) missing.push_back("7z");
  if (!HasTool("bsdtar")) missing.push_back("bsdtar");
  if (!HasTool("python3") || Run("python3 -c 'import sys; assert sys.version_info >= (3, 11)'").Status != 0)
    missing.push_back("python3 (3.11 or later)");
  return missing;
}

#define ZK_REQUIRE_READERS()                                                      \
  do {                                                                            \
    const auto missing = ::zk::test::MissingReaders();                            \
    if (!missing.empty()) {                                                       \
      std::string names;                                                          \
      for (const auto& m : missing) names += " " + m;                             \
      GTEST_SKIP() << "zip reader tools missing:" << names;                       \
    }                                                                             \
  } while (false)

// Relative path (UTF-8, "/" separators, folders ending in "/") → content.
using Expected = std::map<std::string, std::string>;

inline Expected ExtractedTree(const std::filesystem::path& root) {
  Expected tree;
  for (auto it = std::filesystem::recursive_directory_iterator(root); it != std::filesystem::recursive_directory_iterator();
       ++it) {
    const std::string rel = std::filesystem::relative(it->path(), root).generic_string();
    if (it->is_directory())
      tree[rel + "/"] = "";
    else
      tree[rel] = TempDir::Read(it->path().string());
  }
  return tree;
}

// Tests the archive with the four readers and compares what each extracts
// with the expected tree (folder entries included).
inline void ExpectReadersAccept(const std::string& archive, const Expected& files) {
  // Every folder on the way to an entry shows up when it is extracted.
  Expected expected = files;
  for (const auto& [name, content] : files)
    for (std::size_t at = name.find('/'); at != std::string::npos && at + 1 < name.size(); at = name.find('/', at + 1))
      expected.emplace(name.substr(0, at + 1), "");
  TempDir out;
  const std::string a = Quote(archive);
  // unzip, 7-Zip and bsdtar are not told the code page: they take CP852
  // names outside ASCII from the Unicode Path field. Python's zipfile does
  // not read that field and is given the code page.
  const auto check = [&](const std::string& tool, const std::string& test, const std::string& extract) {
    SCOPED_TRACE(tool);
    const CommandResult tested = Run(test);
    EXPECT_EQ(tested.Status, 0) << test << "\n" << tested.Output;
    const std::filesystem::path dir = out.Path() / tool;
    std::filesystem::create_directories(dir);
    std::string command = extract;
    command.replace(command.find("@DIR@"), 5, Quote(dir.string()));
    const CommandResult extracted = Run(command);
    EXPECT_EQ(extracted.Status, 0) << extract << "\n" << extracted.Output;
    const Expected tree = ExtractedTree(dir);
    EXPECT_EQ(tree.size(), expected.size());
    for (const auto& [name, content] : expected) {
      const auto found = tree.find(name);
      if (found == tree.end()) {
        ADD_FAILURE() << tool << " did not extract " << name;
        continue;
      }
      EXPECT_EQ(found->second.size(), content.size()) << name;
      EXPECT_TRUE(found->second == content) << name;
    }
  };
  check("unzip", "unzip -tq " + a, "unzip -q " + a + " -d @DIR@");
  check("7z", SevenZip() + " t " + a, SevenZip() + " x -y -bd " + a + " -o@DIR@");
  check("bsdtar", "bsdtar -tf " + a, "bsdtar -xf " + a + " -C @DIR@");
  const std::string python =
      "import sys, zipfile, pathlib\n"
      "z = zipfile.ZipFile(sys.argv[1], metadata_encoding='cp852')\n"
      "bad = z.testzip()\n"
      "assert bad is None, bad\n"
      "if len(sys.argv) > 2: z.extractall(sys.argv[2])\n";
  const std::string script = out / "check.py";
  {
    std::ofstream file(script);
    file << python;
  }
  check("python", "python3 " + Quote(script) + " " + a, "python3 " + Quote(script) + " " + a + " @DIR@");
}

// The four readers' own tests only, for archives too big to extract each
// time: unzip, 7z and Python check every CRC-32; bsdtar lists the entries.
inline void ExpectReadersTestOk(const std::string& archive, std::size_t entries) {
  const std::string a = Quote(archive);
  CommandResult r = Run("unzip -tq " + a);
  EXPECT_EQ(r.Status, 0) << r.Output;
  r = Run(SevenZip() + " t -bd " + a);
  EXPECT_EQ(r.Status, 0) << r.Output.substr(0, 4000);
  r = Run("python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1], metadata_encoding='cp852'); "
          "assert z.testzip() is None; print(len(z.infolist()))\" " + a);
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(r.Output, std::to_string(entries) + "\n");
  r = Run("bsdtar -tf " + a + " | wc -l");
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(std::stoul(r.Output), entries);
}

}  // namespace zk::test

// Arbitrary bytes as the ".Ini" file: every section is read with the keys
// the file names, macros expanded; a run's history entry is written through
// the engine into the first section; then the file is opened again. The
// entry must be the section's last history value, and every section that
// does not share its header must read as before. Errors are expected;
// crashes, leaks, hangs and sanitizer reports are not.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/ZkError.h"
#include "engine/ZkThreadSave.h"
#include "store/zkIniFile.h"
#include "util/ZkUtil.h"

namespace {

// Enough to reach every kind of line without making one input slow.
constexpr std::size_t kMaxSections = 16;
constexpr std::size_t kMaxKeys = 16;
constexpr const char* kEntry = "Ok;2024.01.05;09:07;Global;/mentes/Fuzz.Zip";

// One folder per fuzzing process, on a memory file system where there is
// one (every write flushes the file to disk), removed when the process ends.
std::string folder;

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

std::string FuzzFolder() {
  const std::filesystem::path base =
      std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
  std::string pattern = (base / "zk-ini-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  folder = pattern;
  std::atexit(RemoveFolder);
  return pattern;
}

// The text before the first "=" of each line, as keys to ask for.
std::set<std::string> KeysIn(std::string_view text) {
  std::set<std::string> keys{"History"};
  for (std::size_t start = 0; start < text.size() && keys.size() < kMaxKeys;) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    if (const auto equals = line.find('='); equals != std::string_view::npos && equals > 0)
      keys.emplace(line.substr(0, equals));
    start = end + 1;
  }
  return keys;
}

std::vector<std::string> Sections(zk::TZkIniFile& ini) {
  std::vector<std::string> sections;
  ini.ReadSections(sections);
  if (sections.size() > kMaxSections) sections.resize(kMaxSections);
  return sections;
}

// Every value of every section, macros left as they stand.
std::vector<std::vector<std::string>> Values(zk::TZkIniFile& ini, const std::vector<std::string>& sections,
                                             const std::set<std::string>& keys) {
  std::vector<std::vector<std::string>> values;
  for (const std::string& section : sections) {
    std::vector<std::string>& list = values.emplace_back();
    for (const std::string& key : keys) ini.ReadSectionValues(section, key, list);
  }
  return values;
}

// A section whose header is found where the other one's is searched.
bool SharesHeader(const std::string& a, const std::string& b) {
  const std::string first = "[" + a + "]";
  const std::string second = "[" + b + "]";
  const std::size_t n = std::min(first.size(), second.size());
  return zk::SameText(first.substr(0, n), second.substr(0, n));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = FuzzFolder() + "/Backup.Ini";
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) std::abort();
  }
  const std::set<std::string> keys = KeysIn(text);

  zk::TZkIniFile ini;
  ini.SetFileName(path);
  const std::vector<std::string> sections = Sections(ini);
  for (const std::string& section : sections)
    for (const std::string& key : keys) {
      ini.ReadString(section, key, "-");
      std::vector<std::string> list;
      ini.ReadSectionValues(section, key, list);
    }
  ini.SetConverting(false);
  const std::vector<std::vector<std::string>> before = Values(ini, sections, keys);

  // A run of the first section's job, as the engine records it.
  zk::TZkThreadSave engine;
  engine.HistoryFilename = path;
  zk::TZkThreadActiveTask task;
  task.Name = sections.empty() ? std::string("Fuzz") : sections.front();
  std::vector<std::string> history = engine.ReadHistory(task);
  history.push_back(kEntry);
  engine.WriteHistory(task, history);

  zk::TZkIniFile reopened;
  reopened.SetConverting(false);
  reopened.SetFileName(path);
  std::vector<std::string> written;
  reopened.ReadSectionValues(task.Name, "History", written);
  if (written.empty() || written.back() != kEntry) std::abort();
  const std::vector<std::vector<std::string>> after = Values(reopened, sections, keys);
  for (std::size_t i = 0; i < sections.size(); ++i)
    if (!SharesHeader(sections[i], task.Name) && before[i] != after[i]) std::abort();
  return 0;
}

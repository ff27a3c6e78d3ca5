#include "store/zkIniFile.h"

#include <algorithm>

#include "base/ZkError.h"
#include "platform/ZkFileHandle.h"
#include "platform/ZkFileSystem.h"
#include "platform/ZkUserFolders.h"
#include "util/ZkUtil.h"
#include "util/ZkUtilFile.h"

namespace zk {
namespace {

constexpr const char* kStaticSection = "Static";
constexpr std::string_view kMacroStart = "~[";
constexpr std::string_view kMacroEnd = "]~";
// Macros that lead back to themselves, or multiply the text at every level,
// stop here with their text left as it is: nesting depth, expansions in all
// for one value, and the length an expansion may grow a value to.
constexpr std::size_t kMaxMacroDepth = 16;
constexpr int kMaxMacroExpansions = 256;
constexpr std::size_t kMaxExpandedLength = 1 << 16;
// Beside the INI file: the file its writers lock.
constexpr const char* kLockExtension = ".lock";

// Programs that change one INI file take turns: each holds an exclusive
// advisory lock on "<file>.lock" from reading the file to writing it back,
// so that no program's change is lost. The INI file itself cannot carry the
// lock, since every write replaces it with a new file; the lock file stays
// for the same reason. Readers need no lock: they see the old file or the
// new one, never a half-written one. No lock is taken for a missing file
// (there is nothing to write into), and where the lock file can be neither
// made nor opened, or the file system has no locks, the write goes ahead
// alone, as it would without other programs.
platform::FileHandle LockBeside(const std::string& path) {
  if (IsBlank(path) || !platform::PathExists(path)) return {};
  return platform::FileHandle::OpenLockFile(path + kLockExtension);
}

}  // namespace

// Opens the file for one operation and closes it at its end, unless the
// file is locked open; a write holds the writers' lock meanwhile. Done()
// reports a failed close; the destructor only tidies up after an error.
class TZkIniFile::TOperation {
public:
  TOperation(TZkIniFile& ini, bool write) : ini_(ini), owns_(!ini.lock_) {
    if (owns_) {
      if (write) writers_ = LockBeside(ini_.Path());
      open_ = write ? ini_.text_.OpenReadWrite() : ini_.text_.OpenRead();
      ini_.hasWindow_ = false;
    } else {
      open_ = ini_.text_.Active();
    }
  }
  ~TOperation() {
    if (!owns_) return;
    try {
      ini_.text_.Close();
    } catch (const EZkError&) {
      // Only reached while another error is on its way out.
    }
  }
  TOperation(const TOperation&) = delete;
  TOperation& operator=(const TOperation&) = delete;

  bool Open() const { return open_; }
  void Done() {
    if (owns_) ini_.text_.Close();
    owns_ = false;
    writers_ = platform::FileHandle();
  }

private:
  TZkIniFile& ini_;
  bool owns_;
  bool open_ = false;
  // Released after the file is closed (members go after the destructor's body).
  platform::FileHandle writers_;
};

std::string SettingsFilePath() {
  return JoinPath(JoinPath(platform::UserConfigFolder(), "backup"), "settings.ini");
}

TZkIniFile::TZkIniFile(TReport report) : report_(std::move(report)) {}

TZkIniFile::~TZkIniFile() = default;

void TZkIniFile::SetFileName(const std::string& value) {
  fileName_ = value;
  Resolve();
}

void TZkIniFile::SetRegPath(const std::string& value) {
  regPath_ = value;
  Resolve();
}

void TZkIniFile::SetRegKey(const std::string& value) {
  regKey_ = value;
  Resolve();
}

void TZkIniFile::Resolve() {
  std::string path = fileName_;
  if (!IsBlank(regKey_)) {
    TZkIniFile settings;
    settings.SetConverting(false);
    settings.SetFileName(SettingsFilePath());
    path = settings.ReadString(regPath_, regKey_, "");
  }
  if (!IsBlank(path) && !platform::PathExists(path) && report_) report_("A " + path + " ini file nem létezik !");
  hasWindow_ = false;
  if (lock_) {
    // The old file is written back under its own lock, the new one is
    // opened under its own.
    text_.Close();
    writers_ = platform::FileHandle();
    writers_ = LockBeside(path);
  }
  text_.SetFilename(path);
}

void TZkIniFile::SetFile(const std::string& path, bool create) {
  // A file that cannot be made is reported by the resolution that follows.
  if (!IsBlank(path) && !platform::PathExists(path) && create) platform::FileHandle::Create(path).Close();
  SetFileName(path);
}

void TZkIniFile::SetLock(bool value) {
  if (lock_ == value) return;
  lock_ = value;
  hasWindow_ = false;
  if (value) {
    writers_ = LockBeside(Path());
    text_.OpenReadWrite();
  } else {
    // Released also when the changes cannot be written back.
    const platform::FileHandle writers = std::move(writers_);
    text_.Close();
  }
}

bool TZkIniFile::GotoSection(const std::string& section) {
  if (hasWindow_ && SameText(windowSection_, section)) return windowFound_;
  text_.ResetWindow();
  const bool named = !section.empty();
  const std::string header = "[" + section + "]";
  if (named) {
    text_.FindFirst(header, TZkTextFile::kBeginsWith);
  } else {
    text_.First();
  }
  windowSection_ = section;
  hasWindow_ = true;
  if ((named && text_.Eof()) || (!named && text_.CurrentLine().starts_with("["))) {
    text_.SetWindow(text_.LineNumber(), text_.LineNumber() - 1);
    windowFound_ = false;
    return false;
  }
  const std::int64_t first = named ? text_.LineNumber() + 1 : 1;
  if (named)
    text_.FindNext("[", TZkTextFile::kBeginsWith);
  else
    text_.FindFirst("[", TZkTextFile::kBeginsWith);
  // Back from the next header (or the end), past one empty line; where the
  // steps cannot go back (an empty file) the section is empty.
  const std::int64_t stop = text_.LineNumber();
  text_.Prior();
  if (text_.CurrentLine().empty()) text_.Prior();
  text_.SetWindow(first, std::min(text_.LineNumber(), stop - 1));
  windowFound_ = true;
  return true;
}

std::string TZkIniFile::ValueOf(const std::string& line) const {
  const std::string trimmed = TrimRightBlanks(line);
  const auto at = trimmed.find(separate_);
  return at == std::string::npos ? std::string() : TrimRightBlanks(trimmed.substr(at + separate_.size()));
}

// What the expansion of one value has used up.
struct TZkIniFile::TExpansion {
  // The values being expanded, innermost last, as "section" LF "key" in
  // lower case: a macro that leads back to one of them stays as it is.
  std::vector<std::string> chain;
  int budget = kMaxMacroExpansions;

  static std::string Id(const std::string& section, const std::string& key) {
    return LowerAsciiText(section) + "\n" + LowerAsciiText(key);
  }
};

std::string TZkIniFile::Expand(std::string value, TExpansion& expansion) {
  while (converting_ && expansion.chain.size() < kMaxMacroDepth && expansion.budget > 0) {
    const auto start = value.find(kMacroStart);
    if (start == std::string::npos) break;
    const auto end = value.find(kMacroEnd, start + kMacroStart.size());
    if (end == std::string::npos) break;
    const std::string macro = value.substr(start, end + kMacroEnd.size() - start);
    const std::string inner = macro.substr(kMacroStart.size(), macro.size() - kMacroStart.size() - kMacroEnd.size());
    const auto comma = inner.find(',');
    const std::string section = comma == std::string::npos ? kStaticSection : inner.substr(0, comma);
    const std::string key = comma == std::string::npos ? inner : FieldOf(inner.substr(comma + 1) + ",", ",", 1);
    const std::string id = TExpansion::Id(section, key);
    if (std::find(expansion.chain.begin(), expansion.chain.end(), id) != expansion.chain.end()) break;
    --expansion.budget;
    const std::string replacement = Read(section, key, "", expansion);
    // A value that still holds its own macro would expand for ever.
    if (replacement.find(macro) != std::string::npos) break;
    std::size_t count = 0;
    for (auto at = value.find(macro); at != std::string::npos; at = value.find(macro, at + macro.size())) ++count;
    if (replacement.size() > macro.size() &&
        value.size() + count * (replacement.size() - macro.size()) > kMaxExpandedLength)
      break;
    value = ReplaceText(value, macro, replacement);
  }
  return value;
}

std::string TZkIniFile::Read(const std::string& section, const std::string& key, const std::string& defaultValue,
                             TExpansion& expansion) {
  if (IsBlank(key)) return defaultValue;
  std::string value = defaultValue;
  {
    TOperation operation(*this, false);
    if (operation.Open() && GotoSection(section) && text_.FindFirst(key + separate_, TZkTextFile::kBeginsWith)) {
      const std::string found = ValueOf(text_.CurrentLine());
      if (!IsBlank(found)) value = found;
    }
    operation.Done();
  }
  expansion.chain.push_back(TExpansion::Id(section, key));
  value = Expand(std::move(value), expansion);
  expansion.chain.pop_back();
  return value;
}

std::string TZkIniFile::ReadString(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) {
  TExpansion expansion;
  return Read(section, key, defaultValue, expansion);
}

void TZkIniFile::ReadSectionValues(const std::string& section, const std::string& key,
                                   std::vector<std::string>& list) {
  std::vector<std::string> raw;
  {
    TOperation operation(*this, false);
    if (operation.Open() && GotoSection(section)) {
      for (bool found = text_.FindFirst(key + separate_, TZkTextFile::kBeginsWith); found;
           found = text_.FindNext(key + separate_, TZkTextFile::kBeginsWith))
        raw.push_back(ValueOf(text_.CurrentLine()));
    }
    operation.Done();
  }
  // Expanded once the file is closed: a macro reads other sections.
  for (std::string& value : raw) {
    TExpansion expansion;
    expansion.chain.push_back(TExpansion::Id(section, key));
    list.push_back(Expand(std::move(value), expansion));
  }
}

void TZkIniFile::ReadSections(std::vector<std::string>& list) {
  TOperation operation(*this, false);
  if (!operation.Open()) return;
  hasWindow_ = false;
  text_.ResetWindow();
  text_.First();
  while (!text_.Eof()) {
    const std::string line = TrimRightBlanks(text_.ReadLine());
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') list.push_back(line.substr(1, line.size() - 2));
  }
  operation.Done();
}

bool TZkIniFile::EraseKey(const std::string& section, const std::string& key) {
  TOperation operation(*this, true);
  if (!operation.Open()) return false;
  const bool found = GotoSection(section);
  text_.First();
  while (text_.Find(key + separate_, TZkTextFile::kBeginsWith)) text_.DeleteLine();
  operation.Done();
  return found;
}

void TZkIniFile::AddSection(const std::string& section) {
  TOperation operation(*this, true);
  if (!operation.Open()) return;
  hasWindow_ = false;
  text_.ResetWindow();
  if (section.empty()) {
    text_.First();
    text_.InsertLine("");
    GotoSection(section);
  } else {
    text_.GotoEnd();
    text_.Prior();
    if (!text_.CurrentLine().empty()) text_.AddLine("");
    text_.AddLine("[" + section + "]");
    text_.AddLine("");
    // Lines added next go between the header and the empty line.
    text_.SetWindow(text_.LineNumber(), text_.LineNumber() - 1);
    windowSection_ = section;
    windowFound_ = true;
    hasWindow_ = true;
  }
  operation.Done();
}

void TZkIniFile::WriteSectionValues(const std::string& section, const std::string& key,
                                    const std::vector<std::string>& list) {
  TOperation operation(*this, true);
  if (!operation.Open()) return;
  // The nested operations see the file open and leave it so.
  const bool locked = lock_;
  lock_ = true;
  try {
    if (!EraseKey(section, key)) AddSection(section);
    for (const std::string& entry : list) text_.AddLine(key + separate_ + entry);
  } catch (...) {
    lock_ = locked;
    throw;
  }
  lock_ = locked;
  operation.Done();
}

}  // namespace zk

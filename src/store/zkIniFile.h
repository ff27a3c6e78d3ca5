#pragma once
// TZkIniFile: a sectioned settings file ("[Section]" lines and "key=value"
// lines) read and written through TZkTextFile, so the file is never held in
// memory. A key may stand several times in a section: its lines form the
// key's value list. Every operation opens the file and closes it again,
// unless Lock keeps it open. A write, and the whole time Lock is set, holds
// an exclusive advisory lock on the file "<file>.lock" beside it, which other
// programs' writers wait for (so does another component of this program).

#include <functional>
#include <string>
#include <vector>

#include "store/ZkFile.h"

namespace zk {

class TZkIniFile {
public:
  // How the component reports a file that does not exist; the windows show
  // a message box, the console program prints the text.
  using TReport = std::function<void(const std::string& message)>;

  explicit TZkIniFile(TReport report = {});
  ~TZkIniFile();
  TZkIniFile(const TZkIniFile&) = delete;
  TZkIniFile& operator=(const TZkIniFile&) = delete;

  bool Converting() const { return converting_; }
  void SetConverting(bool value) { converting_ = value; }
  const std::string& Separate() const { return separate_; }
  void SetSeparate(const std::string& value) { separate_ = value; }
  const std::string& FileName() const { return fileName_; }
  const std::string& RegPath() const { return regPath_; }
  const std::string& RegKey() const { return regKey_; }
  // Each resolves the file anew: with a RegKey, the path is the value RegKey
  // of section RegPath in the user's settings file (SettingsFilePath);
  // otherwise FileName. A path naming no file is reported.
  void SetFileName(const std::string& value);
  void SetRegPath(const std::string& value);
  void SetRegKey(const std::string& value);
  // The file the component works on.
  const std::string& Path() const { return text_.Filename(); }
  bool Lock() const { return lock_; }
  void SetLock(bool value);

  // Creates a missing file (when `create`), then uses it; a file that is
  // still missing is reported.
  void SetFile(const std::string& path, bool create);

  void ReadSections(std::vector<std::string>& list);
  std::string ReadString(const std::string& section, const std::string& key, const std::string& defaultValue);
  void ReadSectionValues(const std::string& section, const std::string& key, std::vector<std::string>& list);
  // Replaces the key's lines in the section (added at the file's end when
  // missing) by one line per entry.
  void WriteSectionValues(const std::string& section, const std::string& key, const std::vector<std::string>& list);
  // Deletes the key's lines; false when the section does not exist.
  bool EraseKey(const std::string& section, const std::string& key);
  void AddSection(const std::string& section);

private:
  // Opens the file for one operation and closes it at the end, unless locked.
  class TOperation;

  void Resolve();
  bool GotoSection(const std::string& section);
  std::string ValueOf(const std::string& line) const;
  // Each value is expanded on its own: the values it leads through and the
  // expansions it has left.
  struct TExpansion;
  std::string Expand(std::string value, TExpansion& expansion);
  std::string Read(const std::string& section, const std::string& key, const std::string& defaultValue,
                   TExpansion& expansion);

  TReport report_;
  bool converting_ = true;
  std::string separate_ = "=";
  std::string fileName_;
  std::string regPath_;
  std::string regKey_;
  bool lock_ = false;
  // The writers' lock while Lock is set; released after text_ is closed.
  platform::FileHandle writers_;
  TZkTextFile text_;
  // The section the text file's window was last set for, while it is open.
  std::string windowSection_;
  bool hasWindow_ = false;
  bool windowFound_ = false;
};

// The per-user file that stands in for the registry: the "path" settings of
// RegPath / RegKey are read from it ($XDG_CONFIG_HOME/backup/settings.ini,
// or ~/.config/backup/settings.ini).
std::string SettingsFilePath();

}  // namespace zk

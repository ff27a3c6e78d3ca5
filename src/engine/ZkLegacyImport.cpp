#include "engine/ZkLegacyImport.h"

#include <vector>

#include "engine/ZkThreadSave.h"
#include "platform/ZkCodePage.h"
#include "util/ZkUtil.h"

namespace zk {
namespace {

constexpr const char* kDefaultFileName = "TnBackup";

struct TLegacyJob {
  std::string Name;
  std::string Path;
  std::string FileName;
  std::vector<std::string> Files;
};

// Everything the import takes from the file, as UTF-8: when any of it is
// not UTF-8, the file is of the older code page.
void DecodeLegacyText(std::vector<TLegacyJob>& jobs) {
  bool utf8 = true;
  for (const TLegacyJob& job : jobs) {
    utf8 = utf8 && IsValidUtf8(job.Name) && IsValidUtf8(job.Path) && IsValidUtf8(job.FileName);
    for (const std::string& file : job.Files) utf8 = utf8 && IsValidUtf8(file);
  }
  if (utf8) return;
  auto decode = [](std::string& text) {
    // The few bytes Windows-1250 leaves unassigned stay as they are.
    if (auto decoded = platform::CodePageToUtf8(text, platform::TCodePage::cp1250)) text = std::move(*decoded);
  };
  for (TLegacyJob& job : jobs) {
    decode(job.Name);
    decode(job.Path);
    decode(job.FileName);
    for (std::string& file : job.Files) decode(file);
  }
}

}  // namespace

void ImportLegacyJobs(const std::string& iniPath, const std::string& jobFilePath, TZkIniFile::TReport report) {
  TZkIniFile ini(std::move(report));
  ini.SetFileName(iniPath);
  std::vector<std::string> sections;
  ini.ReadSections(sections);
  std::vector<TLegacyJob> jobs;
  for (const std::string& section : sections) {
    TLegacyJob job{section, ini.ReadString(section, "Path", ""), ini.ReadString(section, "FileName", kDefaultFileName),
                   {}};
    ini.ReadSectionValues(section, "Files", job.Files);
    jobs.push_back(std::move(job));
  }
  DecodeLegacyText(jobs);

  TZkThreadSaveTasks list;
  for (const TLegacyJob& legacy : jobs) {
    TZkThreadSaveTask& job = list.Add();
    job.Name = legacy.Name;
    job.DefineOutput().CreateErrorFile = true;
    job.DefineOutput().OutputFolder = legacy.Path;
    job.DefineOutput().FileName = legacy.FileName;
    for (const std::string& file : legacy.Files) {
      TZkThreadSaveFile& spec = job.AddFiles().Add();
      spec.Name = file;
      spec.System = true;
      spec.Hidden = true;
      spec.SubDir = false;
    }
  }
  WriteJobFile(jobFilePath, list);
}

}  // namespace zk

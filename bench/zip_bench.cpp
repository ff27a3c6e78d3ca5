// Adds a folder tree to a new archive at ctMaximum and compares wall time,
// archive size and peak resident memory with Info-ZIP `zip -9 -r` and
// `7z a -tzip -mx9` over the same tree. Each run is a child process, so its
// peak memory is its own.
//
//   zip_bench CORPUS WORK      the three archivers over CORPUS, archives in WORK
//   zip_bench --single FILE WORK   only this writer, one file (peak memory)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/ZkError.h"
#include "zip/ZkZip.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  std::string Name;
  double Seconds = 0;
  std::uintmax_t Size = 0;
  long PeakKiB = 0;
  bool Ok = false;
};

Result Measure(const std::string& name, const std::string& archive, const std::function<void()>& child) {
  Result result;
  result.Name = name;
  fs::remove(archive);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    try {
      child();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", name.c_str(), e.what());
      _exit(1);
    }
    _exit(0);
  }
  int status = 0;
  struct rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return result;
  result.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  result.PeakKiB = usage.ru_maxrss;
  std::error_code ignored;
  result.Size = fs::file_size(archive, ignored);
  return result;
}

void Exec(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(126);
  execvp(argv[0], argv.data());
  _exit(127);
}

// The writer as the engine drives it: one AddFile per file, folder entries
// included; the directory is written once at the end.
void AddTree(const std::vector<std::string>& files, const std::string& archive) {
  zk::TZkZip zip;
  zip.CreateArchive(archive);
  zip.OpenArchive(archive);
  zip.SetCompressionType(zk::TZipCompressionType::ctMaximum);
  zip.BeginUpdate();
  for (const std::string& file : files) zip.AddFile(file);
  zip.EndUpdate();
  zip.CloseArchive();
}

bool OnPath(const char* tool) {
  const std::string command = std::string("command -v ") + tool + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

void Print(const Result& r, const Result* base) {
  std::printf("%-22s %9.2f s %14ju bytes %9.1f MiB", r.Name.c_str(), r.Seconds, r.Size, r.PeakKiB / 1024.0);
  if (base != nullptr && base->Ok && base->Seconds > 0)
    std::printf("   time x%.2f  size %+.2f %%", r.Seconds / base->Seconds,
                100.0 * (static_cast<double>(r.Size) - static_cast<double>(base->Size)) / static_cast<double>(base->Size));
  std::printf("%s\n", r.Ok ? "" : "   FAILED");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--single") {
    const std::string archive = (fs::path(argv[3]) / "single.zip").string();
    const Result r = Measure("this writer, one file", archive, [&] { AddTree({fs::absolute(argv[2]).string()}, archive); });
    Print(r, nullptr);
    fs::remove(archive);
    return r.Ok ? 0 : 1;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s CORPUS WORK | --single FILE WORK\n", argv[0]);
    return 2;
  }
  const std::string corpus = fs::absolute(argv[1]).string();
  const fs::path work = argv[2];
  fs::create_directories(work);
  std::vector<std::string> files;
  std::uintmax_t bytes = 0;
  for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
    if (!entry.is_regular_file()) continue;
    files.push_back(entry.path().string());
    bytes += entry.file_size();
  }
  std::printf("corpus %s: %zu files, %ju bytes\n\n", corpus.c_str(), files.size(), bytes);

  const std::string ours = (work / "ours.zip").string();
  const std::string info = (work / "zip9.zip").string();
  const std::string seven = (work / "7z9.zip").string();
  const Result zip9 = Measure("zip -9 -r", info, [&] { Exec({"zip", "-9", "-r", "-q", info, corpus}); });
  const Result mine = Measure("this writer ctMaximum", ours, [&] { AddTree(files, ours); });
  const char* sevenTool = OnPath("7zz") ? "7zz" : "7z";
  const Result sevenZip =
      Measure("7z a -tzip -mx9", seven, [&] { Exec({sevenTool, "a", "-tzip", "-mx9", "-bd", seven, corpus}); });
  Print(zip9, nullptr);
  Print(mine, &zip9);
  Print(sevenZip, &zip9);
  return mine.Ok ? 0 : 1;
}

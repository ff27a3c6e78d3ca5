#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "platform/ZkFileSystem.h"
#include "platform/ZkPrograms.h"
#include "platform/ZkX11Windows.h"

extern char** environ;

namespace zk::platform {
namespace {

class TSpawnActions {
public:
  TSpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~TSpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  TSpawnActions(const TSpawnActions&) = delete;
  TSpawnActions& operator=(const TSpawnActions&) = delete;
  posix_spawn_file_actions_t* Get() { return &actions_; }

private:
  posix_spawn_file_actions_t actions_;
};

class TSpawnAttributes {
public:
  TSpawnAttributes() { posix_spawnattr_init(&attributes_); }
  ~TSpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
  TSpawnAttributes(const TSpawnAttributes&) = delete;
  TSpawnAttributes& operator=(const TSpawnAttributes&) = delete;
  posix_spawnattr_t* Get() { return &attributes_; }

private:
  posix_spawnattr_t attributes_;
};

// Starts argv[0] (searched in PATH when it has no "/") in the folder, with
// this program's environment, default signal handling and no descriptor but
// the standard three; -1 when it cannot be started.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& folder) {
  TSpawnActions actions;
  if (!folder.empty() && posix_spawn_file_actions_addchdir_np(actions.Get(), folder.c_str()) != 0) return -1;
  if (posix_spawn_file_actions_addclosefrom_np(actions.Get(), 3) != 0) return -1;
  TSpawnAttributes attributes;
  sigset_t none;
  sigemptyset(&none);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigmask(attributes.Get(), &none);
  posix_spawnattr_setsigdefault(attributes.Get(), &all);
  posix_spawnattr_setflags(attributes.Get(), POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const bool searchPath = argv[0].find('/') == std::string::npos;
  const int result = searchPath ? posix_spawnp(&pid, args[0], actions.Get(), attributes.Get(), args.data(), environ)
                                : posix_spawn(&pid, args[0], actions.Get(), attributes.Get(), args.data(), environ);
  return result == 0 ? pid : -1;
}

// How often a wait that may be stopped looks at its stop request.
constexpr std::chrono::milliseconds kStopPoll{50};

void WaitForEnd(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// Starts the command without waiting for it: a shell puts it in the
// background and ends at once, so the program is not left as a child of
// ours (no zombie, nothing to wait for).
bool StartDetached(const std::vector<std::string>& command, const std::string& folder) {
  std::vector<std::string> argv = {"/bin/sh", "-c", "\"$@\" &", "sh"};
  argv.insert(argv.end(), command.begin(), command.end());
  const pid_t pid = Spawn(argv, folder);
  if (pid < 0) return false;
  WaitForEnd(pid);
  return true;
}

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::vector<std::string> CommandOf(const std::string& program, const std::string& parameters) {
  std::vector<std::string> command = {program};
  for (std::string& word : SplitShellWords(parameters)) command.push_back(std::move(word));
  return command;
}

class TDesktopPrograms final : public TZkProgramLauncher {
public:
  bool ShellOpen(const std::string& file, const std::string& parameters, const std::string& folder) override {
    if (file.empty()) return false;
    if (IsExecutableFile(file)) return StartDetached(CommandOf(file, parameters), folder);
    // Documents, folders and addresses go to the desktop's opener, which
    // takes no parameters. A path that names nothing is not handed on.
    if (file.find("://") == std::string::npos && !PathExists(file)) return false;
    return StartDetached({"xdg-open", file}, folder);
  }

  bool RunAndWait(const std::string& program, const std::string& parameters, const std::string& folder,
                  const TStopWaiting& stop) override {
    if (program.empty()) return false;
    const pid_t pid = Spawn(CommandOf(program, parameters), folder);
    if (pid < 0) return false;
    if (!stop) {
      WaitForEnd(pid);
      return true;
    }
    for (;;) {
      int status = 0;
      const pid_t ended = waitpid(pid, &status, WNOHANG);
      if (ended == pid || (ended < 0 && errno != EINTR)) return true;
      if (stop()) {
        // Left running: a thread of its own reaps it when it ends.
        std::thread([pid] { WaitForEnd(pid); }).detach();
        return true;
      }
      std::this_thread::sleep_for(kStopPoll);
    }
  }

  bool CloseWindowOfClass(const std::string& className) override {
    return detail::CloseTopLevelWindow(className, detail::TWindowMatch::Class);
  }

  bool CloseWindowWithCaption(const std::string& caption) override {
    return detail::CloseTopLevelWindow(caption, detail::TWindowMatch::Caption);
  }
};

}  // namespace

TZkProgramLauncher& DesktopPrograms() {
  static TDesktopPrograms programs;
  return programs;
}

std::vector<std::string> SplitShellWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
      continue;
    }
    inWord = true;
    if (c == '\'') {
      const std::size_t end = text.find('\'', i + 1);
      const std::size_t stop = end == std::string::npos ? text.size() : end;
      word.append(text, i + 1, stop - i - 1);
      i = stop;
    } else if (c == '"') {
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
          const char next = text[i + 1];
          if (next == '"' || next == '\\' || next == '$' || next == '`') {
            word += next;
            ++i;
            continue;
          }
        }
        word += text[i];
      }
    } else if (c == '\\' && i + 1 < text.size()) {
      word += text[++i];
    } else {
      word += c;
    }
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

}  // namespace zk::platform

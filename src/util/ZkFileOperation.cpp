#include "util/ZkFileOperation.h"

#include "base/ZkError.h"
#include "platform/ZkDirSearch.h"
#include "platform/ZkFileMove.h"
#include "platform/ZkFileSystem.h"
#include "platform/ZkSystemError.h"
#include "platform/ZkTrash.h"
#include "util/ZkUtilFile.h"

namespace zk {

namespace {

constexpr std::string_view kSourceMissing = "A forrás nem található (%s)";
constexpr std::string_view kNoDestination = "Nincs megadva cél";
constexpr std::string_view kDestinationCount = "A célok száma nem egyezik a forrásokéval";
constexpr std::string_view kIntoItself = "A mappa nem másolható és nem helyezhető át önmagába (%s)";
constexpr std::string_view kKindMismatch = "A(z) \"%s\" már létezik, és nem cserélhető le";
constexpr std::string_view kFolderError = "Mappa létrehozási hiba (%s)";
constexpr std::string_view kMoveError = "Áthelyezési hiba (%s): %s";
constexpr std::string_view kDeleteError = "Törlési hiba (%s): %s";
constexpr std::string_view kTrashError = "Nem helyezhető a Lomtárba (%s): %s";

// Unwinds the operation when the user cancels.
struct TCancelled {};

bool HasWildcard(std::string_view name) { return name.find_first_of("*?") != std::string_view::npos; }

bool Exists(const std::string& path) { return platform::PathExists(path) || platform::IsSymbolicLink(path); }

// A real folder, not a link to one: links are copied and moved as links.
bool IsRealFolder(const std::string& path) { return IsFolder(path) && !platform::IsSymbolicLink(path); }

// "a.txt" -> "a (2).txt", the first number that is free.
std::string FreeName(const std::string& path) {
  const std::string folder = FolderPart(path);
  const std::string name = FileNamePart(path);
  const auto dot = name.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot != 0;
  const std::string stem = hasExtension ? name.substr(0, dot) : name;
  const std::string extension = hasExtension ? name.substr(dot) : std::string();
  for (int number = 2;; ++number) {
    const std::string candidate = folder + stem + " (" + std::to_string(number) + ")" + extension;
    if (!Exists(candidate)) return candidate;
  }
}

// A copy in work asks between its blocks whether to go on.
class TCancelCheck : public TZkProgressReceiver {
public:
  explicit TCancelCheck(TZkFileOperationUi& ui) : ui_(ui) {}
  void SetPosition(std::int64_t) override {
    if (ui_.Cancelled()) throw TCancelled{};
  }

private:
  TZkFileOperationUi& ui_;
};

class TRunner {
public:
  TRunner(TFileOperation operation, const TZkFileOperationOptions& options, TZkFileOperationUi& ui)
      : operation_(operation), options_(options), ui_(ui) {}

  TZkFileOperationResult Run(const std::vector<std::string>& sources, const std::vector<std::string>& destinations) {
    try {
      RunList(sources, destinations);
    } catch (const TCancelled&) {
      result_.Aborted = true;
      result_.Success = false;
    } catch (const EZkError& error) {
      result_.Success = false;
      result_.Error = error.what();
    }
    return result_;
  }

private:
  struct TItem {
    std::string Source;
    std::string Target;  // empty for a delete
  };

  void RunList(const std::vector<std::string>& sources, const std::vector<std::string>& destinations) {
    const bool deleting = operation_ == TFileOperation::foDelete;
    if (!deleting && destinations.empty()) throw EZkFileError(std::string(kNoDestination));
    if (!deleting && options_.MultiDest && destinations.size() != sources.size())
      throw EZkFileError(std::string(kDestinationCount));

    // Every source is looked up before anything is done.
    std::vector<TItem> items;
    for (std::size_t i = 0; i < sources.size(); ++i) {
      const std::string source = StripBackslash(sources[i]);
      const bool wildcard = HasWildcard(FileNamePart(source));
      const std::string& destination = deleting ? source : destinations[options_.MultiDest ? i : 0];
      const bool toName = !wildcard && (options_.MultiDest || sources.size() == 1);
      for (const std::string& match : Expand(source, wildcard))
        items.push_back({match, deleting ? std::string() : TargetOf(match, destination, toName)});
    }

    for (std::size_t k = 0; k < items.size(); ++k) {
      if (ui_.Cancelled()) throw TCancelled{};
      ui_.Progress(k, items.size(), items[k].Source);
      if (deleting)
        Delete(items[k].Source);
      else
        Transfer(items[k].Source, items[k].Target);
    }
    ui_.Progress(items.size(), items.size(), std::string());
  }

  std::vector<std::string> Expand(const std::string& source, bool wildcard) const {
    if (!wildcard) {
      if (!Exists(source)) throw EZkFileOpenError(FormatMessage(kSourceMissing, {source}));
      return {source};
    }
    const int filter = options_.FilesOnly ? platform::faAnyFile & ~platform::faDirectory : platform::faAnyFile;
    std::vector<std::string> matches;
    platform::DirSearch search(source, filter);
    for (platform::SearchRecord record; search.Next(record);) matches.push_back(FolderPart(source) + record.Name);
    return matches;
  }

  std::string TargetOf(const std::string& source, const std::string& destination, bool toName) const {
    if (operation_ == TFileOperation::foRename)
      return FolderPart(destination).empty() ? FolderPart(source) + destination : destination;
    const std::string folder = StripBackslash(destination);
    // A destination that ends in a separator names a folder.
    const bool namesFolder = folder.size() != destination.size();
    if (IsFolder(folder) || namesFolder || !toName) return JoinPath(folder, FileNamePart(source));
    return folder;
  }

  // Asks before creating a missing destination folder, unless told not to.
  void EnsureFolder(const std::string& folder) {
    if (folder.empty() || IsFolder(folder)) return;
    if (!options_.NoConfirmMkDir && !options_.NoConfirmation && !ui_.ConfirmMkDir(StripBackslash(folder)))
      throw TCancelled{};
    CreateFolderTree(folder);
    if (!IsFolder(folder)) throw EZkFileCreateError(FormatMessage(kFolderError, {folder}));
  }

  // False when the user keeps the existing target.
  bool MayReplace(const std::string& target) {
    if (options_.NoConfirmation || replaceAll_) return true;
    switch (ui_.ConfirmReplace(target)) {
      case TZkAnswer::Yes:
        return true;
      case TZkAnswer::YesToAll:
        replaceAll_ = true;
        return true;
      case TZkAnswer::No:
        result_.Aborted = true;
        return false;
      case TZkAnswer::Cancel:
        break;
    }
    throw TCancelled{};
  }

  void Transfer(const std::string& source, std::string target) {
    const bool move = operation_ != TFileOperation::foCopy;
    EnsureFolder(FolderPart(target));
    const std::string from = platform::CanonicalPath(source);
    const std::string to = platform::CanonicalPath(target);
    if (from == to) {
      // Onto itself: a move has nothing to do; a copy gets a name of its own.
      if (move) return;
      target = FreeName(target);
    } else if (IsRealFolder(source) && to.starts_with(from + "/")) {
      throw EZkFileCreateError(FormatMessage(kIntoItself, {source}));
    } else if (Exists(target)) {
      if (options_.RenameOnCollision) {
        target = FreeName(target);
      } else {
        if (IsRealFolder(source) != IsRealFolder(target))
          throw EZkFileCreateError(FormatMessage(kKindMismatch, {target}));
        if (!MayReplace(target)) return;
      }
    }
    if (move)
      MoveTree(source, target);
    else
      CopyTree(source, target);
  }

  void CopyTree(const std::string& source, const std::string& target) {
    if (ui_.Cancelled()) throw TCancelled{};
    if (platform::IsSymbolicLink(source) && IsFolder(source)) {
      // A link to a folder is copied as the link: following it could loop.
      if (Exists(target) && !platform::RemoveTree(target))
        throw EZkFileCreateError(FormatMessage(kDeleteError, {target, platform::LastSystemErrorText()}));
      if (!platform::CopySymbolicLink(source, target))
        throw EZkFileCreateError(FormatMessage("Létrehozási hiba (%s)", {target}));
      return;
    }
    if (!IsFolder(source)) {
      TCancelCheck check(ui_);
      CopyFileWithProgress(source, target, &check);
      return;
    }
    if (!IsFolder(target) && !platform::CreateDirectory(target))
      throw EZkFileCreateError(FormatMessage(kFolderError, {target}));
    platform::DirSearch search(JoinPath(source, "*"), platform::faAnyFile);
    for (platform::SearchRecord record; search.Next(record);)
      CopyTree(JoinPath(source, record.Name), JoinPath(target, record.Name));
  }

  void MoveTree(const std::string& source, const std::string& target) {
    if (ui_.Cancelled()) throw TCancelled{};
    const bool folder = IsRealFolder(source);
    switch (platform::MoveEntry(source, target, !folder)) {
      case platform::MoveResult::Moved:
        return;
      case platform::MoveResult::Exists:
        // A folder moved onto a folder the user agreed to replace: merged.
        if (folder && IsRealFolder(target)) {
          platform::DirSearch search(JoinPath(source, "*"), platform::faAnyFile);
          std::vector<std::string> names;
          for (platform::SearchRecord record; search.Next(record);) names.push_back(record.Name);
          for (const std::string& name : names) MoveTree(JoinPath(source, name), JoinPath(target, name));
          RemoveSource(source);
          return;
        }
        throw EZkFileCreateError(FormatMessage(kKindMismatch, {target}));
      case platform::MoveResult::CrossDevice:
        // Another file system: copied, and the source removed only after the
        // whole copy succeeded.
        CopyTree(source, target);
        RemoveSource(source);
        return;
      case platform::MoveResult::Failed:
        break;
    }
    throw EZkFileWriteError(FormatMessage(kMoveError, {source, platform::LastSystemErrorText()}));
  }

  void RemoveSource(const std::string& path) {
    if (!platform::RemoveTree(path))
      throw EZkFileWriteError(FormatMessage(kDeleteError, {path, platform::LastSystemErrorText()}));
  }

  void Delete(const std::string& path) {
    if (!options_.NoConfirmation && !deleteAll_) {
      switch (ui_.ConfirmDelete(path, options_.AllowUndo)) {
        case TZkAnswer::Yes:
          break;
        case TZkAnswer::YesToAll:
          deleteAll_ = true;
          break;
        case TZkAnswer::No:
          result_.Aborted = true;
          return;
        case TZkAnswer::Cancel:
          throw TCancelled{};
      }
    }
    if (!options_.AllowUndo) {
      RemoveSource(path);
    } else if (!platform::MoveToTrash(path)) {
      throw EZkFileWriteError(FormatMessage(kTrashError, {path, platform::LastSystemErrorText()}));
    }
  }

  TFileOperation operation_;
  TZkFileOperationOptions options_;
  TZkFileOperationUi& ui_;
  TZkFileOperationResult result_;
  bool replaceAll_ = false;
  bool deleteAll_ = false;
};

}  // namespace

std::vector<std::string> SplitFileList(std::string_view list) {
  std::vector<std::string> names;
  std::size_t start = 0;
  for (;;) {
    const auto end = list.find_first_of(";|", start);
    const std::string_view name = list.substr(start, end == std::string_view::npos ? end : end - start);
    if (!name.empty()) names.emplace_back(name);
    if (end == std::string_view::npos) return names;
    start = end + 1;
  }
}

TZkFileOperationResult RunFileOperation(TFileOperation operation, const std::vector<std::string>& sources,
                                        const std::vector<std::string>& destinations,
                                        const TZkFileOperationOptions& options, TZkFileOperationUi& ui) {
  return TRunner(operation, options, ui).Run(sources, destinations);
}

}  // namespace zk

#pragma once
// Copy, move, rename and delete of lists of files and folders. The questions
// a user answers (replace, delete, create a folder) and the progress go
// through an interface, so that the window, the console and the tests share
// one behaviour.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zk {

enum class TFileOperation { foCopy, foDelete, foMove, foRename };

struct TZkFileOperationOptions {
  bool AllowUndo = false;          // a delete moves to the desktop's trash
  bool FilesOnly = false;          // a wildcard source takes files, not folders
  bool MultiDest = false;          // one destination per source, in order
  bool NoConfirmation = false;     // every question is answered "yes to all"
  bool NoConfirmMkDir = false;     // missing destination folders are created unasked
  bool RenameOnCollision = false;  // an existing target stays; the new entry gets a free name
};

enum class TZkAnswer { Yes, YesToAll, No, Cancel };

// Called on the thread that runs the operation.
class TZkFileOperationUi {
public:
  virtual ~TZkFileOperationUi() = default;
  // The target exists: replace it (a folder: merge into it)?
  virtual TZkAnswer ConfirmReplace(const std::string& target) = 0;
  virtual TZkAnswer ConfirmDelete(const std::string& path, bool toTrash) = 0;
  // False cancels the operation.
  virtual bool ConfirmMkDir(const std::string& folder) = 0;
  // Before each entry of the list (done of count, its path), and once at the
  // end with done = count.
  virtual void Progress(std::size_t done, std::size_t count, const std::string& current) = 0;
  // Asked before each entry and during a copy; true stops the operation.
  virtual bool Cancelled() = 0;
};

struct TZkFileOperationResult {
  bool Success = true;
  // The user skipped an entry ("No") or cancelled.
  bool Aborted = false;
  // What stopped the operation, for the user.
  std::string Error;
};

// The names of a list split at every ";" and "|"; empty names are dropped.
std::vector<std::string> SplitFileList(std::string_view list);

// Copies, moves or renames each source (a name, or a folder and a mask with
// "*" and "?") to the destination: into it when it is a folder or when there
// are several sources, else to that name; with MultiDest source i goes to
// destination i. A rename target without a folder stays in the source's
// folder. Deletes the sources for foDelete. A missing source stops the
// operation before anything is done; the first failure stops it there.
// Cancelling leaves the entry in work as it was: a file copy is replaced
// only when complete. A folder is never copied or moved into itself.
TZkFileOperationResult RunFileOperation(TFileOperation operation, const std::vector<std::string>& sources,
                                        const std::vector<std::string>& destinations,
                                        const TZkFileOperationOptions& options, TZkFileOperationUi& ui);

}  // namespace zk

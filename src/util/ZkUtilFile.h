#pragma once
// Path, folder, file-copy and version helpers shared by the engine and the
// windows. The path-text routines work in either path style so that both can
// be checked anywhere; everything that touches the disk uses the native one.

#include <cstdint>
#include <string>
#include <string_view>

namespace zk {

// Windows: "\" separates, "C:" names a drive. Posix: "/" separates, no drives.
enum class PathStyle { Windows, Posix };

#ifdef _WIN32
inline constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

// The name alone for an empty folder; otherwise one separator between the two
// unless the folder already ends in one.
std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style = kNativePathStyle);
// Empty stays empty and a text ending in a separator stays as it is.
// Windows: a text ending in ":" stays too, and a lone letter becomes a drive
// root ('c' gives 'c:\'). Anything else gets a separator appended.
std::string AddBackslash(std::string_view folder, PathStyle style = kNativePathStyle);
// Removes one trailing separator, except from a root: '\', 'C:\' or '/'.
std::string StripBackslash(std::string_view folder, PathStyle style = kNativePathStyle);
// Everything up to and including the last separator (Windows: or ":"), and
// everything after it.
std::string FolderPart(std::string_view path, PathStyle style = kNativePathStyle);
std::string FileNamePart(std::string_view path, PathStyle style = kNativePathStyle);
// The path with everything from the last "." of its last component replaced
// by the extension (which includes its "."); appended when there is no ".".
std::string ChangeFileExt(std::string_view path, std::string_view extension, PathStyle style = kNativePathStyle);

// These report a missing entry through their result and never raise.
bool IsFolder(const std::string& path);
// A file, not a folder, stands at the path.
bool FileExists(const std::string& path);
// Size of the entry of exactly that name ("?" and "*" are no wildcards);
// -1 when there is none or it is a directory.
std::int64_t FileSize64(const std::string& fileName);
// True when the attributes (see platform/ZkFileSystem.h) can be read and
// hold every bit of the mask.
bool HasAttributes(const std::string& fileName, int mask);

// Creates the folder and every missing folder above it. Failures are not
// reported: they show when a file inside cannot be created.
void CreateFolderTree(std::string_view folder);
// Creates every missing folder on the way to a file path, never the file
// name after the last separator. The result is whether the last folder
// creation attempted succeeded (true when all existed).
bool CreateFolderPath(std::string_view path);

// Progress of a file copy, in bytes. A receiver overrides the reports it
// needs; one that throws stops the copy, and the exception leaves the copy
// after both files are closed.
class TZkProgressReceiver {
public:
  virtual ~TZkProgressReceiver() = default;
  virtual void SetMax(std::int64_t value);
  virtual void SetMin(std::int64_t value);
  virtual void SetPosition(std::int64_t value);
};

// Copies the source to the destination, or into it when the destination is
// an existing folder, creating missing folders, replacing an existing file
// and giving the copy the source's modification time. The receiver (may be
// null) sees Max = the size, Min = 0, Position = 0, then the bytes done after
// every block of 32768 bytes and after the last, shorter one. Raises
// EZkFileOpenError, EZkFileCreateError, EZkFileReadError or
// EZkFileWriteError. The copy is written beside the destination and takes
// its place only when complete: a failed or stopped copy leaves the
// destination as it was and nothing else behind. A destination that is the
// source itself, or that is not a regular file, is refused.
void CopyFileWithProgress(const std::string& source, const std::string& destination, TZkProgressReceiver* receiver);

// The name (without folder) of the entry of exactly that name ("?" and "*"
// are no wildcards); empty when none. Posix has no short names, so the long
// name serves both.
std::string LongFileName(const std::string& fileName);
std::string ShortFileName(const std::string& fileName);
// Every component after the first turned into its long (short) name; a
// component that is not found stays as written.
std::string LongPathName(const std::string& path);
std::string ShortPathName(const std::string& path);

// A text of the version block compiled into one of our programs (an empty
// file name reads the running program); empty when there is none.
std::string FileVersionValue(std::string_view key, const std::string& fileName);
std::string GetFileVersionText(const std::string& fileName);

}  // namespace zk

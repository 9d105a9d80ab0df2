// What the file writers and the data and settings folders need of the system: how paths are
// written, what a path stands for, writing in place, the settings folder's lock and the user's
// own folders. One file per system (file_system_posix.cpp, file_system_win.cpp, chosen by the
// build) and the parts both share (file_system.cpp).
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace osd::sys {

// The characters that end a folder in a path: "/", on Windows "\" and "/".
const char* pathSeparators();
// The one this system writes between a folder and a name.
char pathSeparator();

// The folder part of `file`: "." when it has none, the root for a file in the root ("C:\" on
// Windows).
std::string folderOf(const std::string& file);
// The last part of `file`.
std::string nameOf(const std::string& file);

// Writes all of `content` to `fd`, going on after interrupted writes. False on an error.
bool writeAll(int fd, std::string_view content);

// The file a path stands for once symbolic links are followed (the last link's target, which
// may not exist yet). `path` itself when it is no link, and always on Windows, whose replace
// keeps links of its own accord.
std::string linkTarget(const std::string& path);

// A name the kernel makes, always written in place: /dev/..., /proc/...; \\.\... on Windows.
bool isKernelName(const std::string& path);

// Why the existing file `file` (its `st`) may not be written by this user, "" when it may.
// POSIX: its mode does not let this user write it; root is held to the mode bits as well, as
// a file nobody may write was made read-only on purpose. Windows: its read-only attribute.
std::string readOnlyReason(const std::string& file, const struct stat& st);

// Opens `path` to be written in place, emptied first when `regular`; "-" is standard output.
// Bytes go out as they are (on Windows no line-end translation, on standard output too).
// -1 with errno set on a failure.
int openInPlace(const std::string& path, bool regular);
// The content written to `fd` reaches the disk.
bool syncFile(int fd);

// A regular file, not reached through a link (on Windows: a regular file).
bool isPlainFile(const std::string& path);
// Makes `dir` and the folders above it where they are missing. True when `dir` is a folder.
bool makeFolders(const std::string& dir);
// What tells one state of the file `file` (its `st`) from another.
std::string stampOf(const std::string& file, const struct stat& st);
// Whether this user may make files in `dir`.
bool folderWritable(const std::string& dir);

// The user's own data folder: %LOCALAPPDATA% on Windows, else $XDG_DATA_HOME (absolute) or
// ~/.local/share.
std::string userDataBase();
// The user's own settings folder: %APPDATA% on Windows, else $XDG_CONFIG_HOME (absolute) or
// ~/.config (the home folder from the user database when $HOME is unset).
std::string userConfigBase();

// Holds an exclusive lock on a settings folder while a write reads, changes and replaces a file
// in it, so that two programs writing at once do not lose each other's settings. A folder takes
// no byte-range lock on Windows: the lock there is on a hidden file in it, ".osdprog.lock",
// made the first time and left there. No lock is held when it cannot be taken.
class FolderLock {
 public:
  explicit FolderLock(const std::string& dir);
  ~FolderLock();  // closing releases the lock
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  std::intptr_t handle_ = -1;  // the folder's descriptor; on Windows the lock file's handle
};

}  // namespace osd::sys

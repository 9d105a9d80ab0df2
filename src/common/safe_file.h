// Writing a file's whole new content without hurting what the path names. Every writer of the
// programs (settings, data files, bitmaps, osdctl and osdsim output) goes through here.
//
// - A regular file is replaced atomically: the content goes to a temporary file in the same
//   folder (named ".NAME.osdtmp-XXXXXX"), reaches the disk, is renamed over the file, and the
//   folder is synced. The new file keeps the old one's permissions. On Windows the rename is a
//   write-through replace and the file keeps its hidden, system and archive marks.
// - A symbolic link is followed: the file it points to is replaced and the link kept (POSIX).
// - A device, FIFO or socket is written in place and never renamed over; "-" is standard
//   output. Kernel-made names (/dev/..., /proc/...; \\.\... on Windows) are always written in
//   place. Bytes are written as they are (on Windows no line-end translation, also on standard
//   output).
// - A folder is refused, and so is a file that its mode does not let this user write, even
//   when the user is root (as an editor would refuse it); on Windows, a file whose read-only
//   attribute is set. Paths on Windows take "\" and "/" alike.
// Standard library, with POSIX or Win32.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace osd {

// The file operations that replace a file through a temporary one, one call per step. The
// writer calls them in this order and stops at the first that fails:
//   open, write, keepAttributes (only when a file is replaced), flush, close, replace,
//   syncFolder (after a successful replace);
// discard (after a failure, once the temporary exists; close comes first when it was opened).
// Each platform has one implementation (fsync and rename with a folder sync on POSIX; a flush
// and a write-through replace on Windows, whose syncFolder does nothing). Tests pass their own
// to see the steps or to make one fail.
class FileSteps {
 public:
  virtual ~FileSteps() = default;
  // Makes and opens a new temporary file beside `file` and names it in `temp`.
  virtual bool open(const std::string& file, bool replacing, std::string& temp) = 0;
  virtual bool write(std::string_view content) = 0;
  // Gives the temporary the permissions and owner of `file`, which it is about to replace.
  virtual bool keepAttributes(const std::string& file) = 0;
  // The temporary's content reaches the disk.
  virtual bool flush() = 0;
  virtual bool close() = 0;
  // Puts the temporary in the place of `file` in one step.
  virtual bool replace(const std::string& temp, const std::string& file) = 0;
  // The folder's new entry reaches the disk.
  virtual void syncFolder(const std::string& file) = 0;
  virtual void discard(const std::string& temp) = 0;
  // Why the last step that failed failed, in a few words ("Permission denied").
  virtual std::string failure() const = 0;
};

// This system's file steps.
std::unique_ptr<FileSteps> systemFileSteps();

// Replaces (or makes, when `replacing` is false) the regular file `file` with `content` through
// `steps`. False with a one-line reason naming `path` in `error`; `file` is then as it was and
// the temporary is gone.
bool replaceThrough(FileSteps& steps, const std::string& path, const std::string& file,
                    bool replacing, std::string_view content, std::string& error);

// The mark in the name of every temporary file the programs make.
constexpr const char* kTempMark = ".osdtmp-";

// Writes `content` as the whole new content of `path` by the rules above. False with a
// one-line reason naming the path in `error`; a regular file is then left as it was and no
// temporary file remains.
bool safeReplace(const std::string& path, std::string_view content, std::string& error);
// The same, replacing a regular file through the given steps.
bool safeReplace(const std::string& path, std::string_view content, std::string& error,
                 FileSteps& steps);

// Writes all of `content` to `fd`, going on after interrupted writes. False on an error.
bool writeAll(int fd, std::string_view content);

// The file a path stands for once symbolic links are followed (the last link's target, which
// may not exist yet). `path` itself when it is no link.
std::string linkTarget(const std::string& path);

// Removes the temporary files that writes of `path` left behind when the writer was killed
// (".NAME.osdtmp-*" beside the file the path stands for). Returns how many were removed. The
// caller makes sure no write of the same file runs meanwhile.
int removeStaleTemporaries(const std::string& path);

}  // namespace osd

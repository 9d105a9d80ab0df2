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
// Standard library; what differs from system to system comes from src/platform (the steps of a
// replacement behind `FileSteps`, the rest in file_system.h).
#pragma once

#include <string>
#include <string_view>

#include "platform/file_steps.h"
#include "platform/file_system.h"

namespace osd {

// Replaces (or makes, when `replacing` is false) the regular file `file` with `content` through
// `steps`. False with a one-line reason naming `path` in `error`; `file` is then as it was and
// the temporary is gone.
bool replaceThrough(FileSteps& steps, const std::string& path, const std::string& file,
                    bool replacing, std::string_view content, std::string& error);

// Writes `content` as the whole new content of `path` by the rules above. False with a
// one-line reason naming the path in `error`; a regular file is then left as it was and no
// temporary file remains.
bool safeReplace(const std::string& path, std::string_view content, std::string& error);
// The same, replacing a regular file through the given steps.
bool safeReplace(const std::string& path, std::string_view content, std::string& error,
                 FileSteps& steps);

// writeAll(fd, content) and linkTarget(path), as the system gives them.
using sys::linkTarget;
using sys::writeAll;

// Removes the temporary files that writes of `path` left behind when the writer was killed
// (".NAME.osdtmp-*" beside the file the path stands for). Returns how many were removed. The
// caller makes sure no write of the same file runs meanwhile.
int removeStaleTemporaries(const std::string& path);

}  // namespace osd

// Writing a file's whole new content without hurting what the path names. Every writer of the
// programs (settings, data files, bitmaps, osdctl and osdsim output) goes through here.
//
// - A regular file is replaced atomically: the content goes to a temporary file in the same
//   folder (named ".NAME.osdtmp-XXXXXX"), reaches the disk, is renamed over the file, and the
//   folder is synced. The new file keeps the old one's permissions.
// - A symbolic link is followed: the file it points to is replaced and the link kept.
// - A device, FIFO or socket is written in place and never renamed over; "-" is standard
//   output. Kernel-made names (/dev/..., /proc/...) are always written in place.
// - A folder is refused, and so is a file that its mode does not let this user write, even
//   when the user is root (as an editor would refuse it).
// Standard library and POSIX.
#pragma once

#include <string>
#include <string_view>

namespace osd {

// The mark in the name of every temporary file the programs make.
constexpr const char* kTempMark = ".osdtmp-";

// Writes `content` as the whole new content of `path` by the rules above. False with a
// one-line reason naming the path in `error`; a regular file is then left as it was and no
// temporary file remains.
bool safeReplace(const std::string& path, std::string_view content, std::string& error);

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

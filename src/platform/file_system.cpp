// The parts of the file system's helpers that every system shares.
#include "platform/file_system.h"

#include <unistd.h>

#include <cerrno>

namespace osd::sys {

std::string nameOf(const std::string& file) {
  const size_t slash = file.find_last_of(pathSeparators());
  return slash == std::string::npos ? file : file.substr(slash + 1);
}

bool writeAll(int fd, std::string_view content) {
  const char* p = content.data();
  size_t left = content.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace osd::sys

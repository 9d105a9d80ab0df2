// The file system's helpers on POSIX systems.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/file_system.h"

namespace osd::sys {

const char* pathSeparators() {
  return "/";
}

char pathSeparator() {
  return '/';
}

std::string folderOf(const std::string& file) {
  const size_t slash = file.find_last_of(pathSeparators());
  if (slash == std::string::npos) return ".";
  return slash == 0 ? file.substr(0, 1) : file.substr(0, slash);
}

std::string linkTarget(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink(current.c_str(), buf.data(), buf.size() - 1);
    if (n <= 0) return current;
    std::string target(buf.data(), static_cast<size_t>(n));
    if (target.front() != '/' && current.find('/') != std::string::npos) {
      target = folderOf(current) + "/" + target;
    }
    current = target;
  }
  return current;
}

bool isKernelName(const std::string& path) {
  return path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0;
}

std::string readOnlyReason(const std::string& file, const struct stat& st) {
  const bool writable =
      ::geteuid() == 0
          ? (st.st_mode & 0222) != 0
          : ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0 || errno == EROFS;
  if (writable) return "";
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  return std::string("the file is read-only (mode ") + mode + ")";
}

int openInPlace(const std::string& path, bool regular) {
  if (path == "-") return 1;
  return ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (regular ? O_TRUNC : 0));
}

bool syncFile(int fd) {
  return ::fsync(fd) == 0;
}

bool isPlainFile(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool makeFolders(const std::string& dir) {
  if (dir.empty()) return true;
  struct stat st {};
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !makeFolders(dir.substr(0, slash))) return false;
  return ::mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
}

// Device, inode, size and change time.
std::string stampOf(const std::string&, const struct stat& st) {
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
         std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
         std::to_string(st.st_mtim.tv_nsec) + ":" + std::to_string(st.st_ctim.tv_nsec);
}

bool folderWritable(const std::string& dir) {
  return ::access(dir.c_str(), W_OK) == 0;
}

std::string userDataBase() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return xdg;  // a relative value is not valid and is ignored
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.local/share";
}

std::string userConfigBase() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;  // relative values are not valid and are ignored
  const char* home = std::getenv("HOME");
  std::string h = home && *home ? home : "";
  if (h.empty()) {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) h = pw->pw_dir;
  }
  return (h.empty() ? std::string(".") : h) + "/.config";
}

FolderLock::FolderLock(const std::string& dir)
    : handle_(::open(dir.c_str(), O_RDONLY | O_DIRECTORY)) {
  if (handle_ >= 0) {
    while (::flock(static_cast<int>(handle_), LOCK_EX) != 0 && errno == EINTR) {
    }
  }
}

FolderLock::~FolderLock() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

}  // namespace osd::sys

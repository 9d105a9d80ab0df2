#include "common/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace osd {

namespace {

std::string folderOf(const std::string& file) {
  const size_t slash = file.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : file.substr(0, slash);
}

std::string nameOf(const std::string& file) {
  const size_t slash = file.find_last_of('/');
  return slash == std::string::npos ? file : file.substr(slash + 1);
}

std::string reason(const std::string& path, const std::string& why) {
  return "Cannot write " + path + ": " + why;
}

// Whether the file's mode lets this user write it. Root is held to the mode bits as well: a
// file nobody may write was made read-only on purpose.
bool modeLetsWrite(const std::string& file, const struct stat& st) {
  if (::geteuid() == 0) return (st.st_mode & 0222) != 0;
  return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0 || errno == EROFS;
}

// Writes into what is there (a device, FIFO, socket or a kernel-made name) without renaming.
bool writeInPlace(const std::string& path, std::string_view content, bool regular,
                  std::string& error) {
  const bool stdOut = path == "-";
  const int fd =
      stdOut ? 1 : ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (regular ? O_TRUNC : 0));
  if (fd < 0) {
    error = reason(path, std::strerror(errno));
    return false;
  }
  bool ok = writeAll(fd, content);
  int saved = errno;
  if (ok && regular && ::fsync(fd) != 0) {
    ok = false;
    saved = errno;
  }
  if (!stdOut && ::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (!ok) error = reason(stdOut ? std::string("standard output") : path, std::strerror(saved));
  return ok;
}

// Opens a new temporary file beside `file`. -1 with errno set when none can be made.
int makeTemporary(const std::string& file, mode_t mode, std::string& tempName) {
  static std::atomic<unsigned> counter{0};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device rd;
  const std::string stem = folderOf(file) + "/." + nameOf(file) + kTempMark;
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned bits = rd() ^ (counter++ * 2654435761u);
    std::string suffix;
    for (int k = 0; k < 6; ++k, bits /= 36) suffix += kLetters[bits % 36];
    tempName = stem + suffix;
    const int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// The POSIX steps: fsync of the content, rename, fsync of the folder.
class PosixSteps final : public FileSteps {
 public:
  ~PosixSteps() override {
    if (fd_ >= 0) ::close(fd_);
  }
  bool open(const std::string& file, bool replacing, std::string& temp) override {
    // A new file gets the usual permissions (the umask applies); a replaced one keeps its own.
    fd_ = makeTemporary(file, replacing ? 0600 : 0666, temp);
    if (fd_ >= 0) return true;
    why_ = errno == EACCES ? "no permission to create files in " + folderOf(file)
                           : std::string(std::strerror(errno));
    return false;
  }
  bool write(std::string_view content) override { return check(writeAll(fd_, content)); }
  bool keepAttributes(const std::string& file) override {
    struct stat old {};
    if (!check(::stat(file.c_str(), &old) == 0 && ::fchmod(fd_, old.st_mode & 07777) == 0)) {
      return false;
    }
    if (::geteuid() == 0 && old.st_uid != 0) {
      const int kept = ::fchown(fd_, old.st_uid, old.st_gid);  // the owner keeps the file
      (void)kept;
    }
    return true;
  }
  bool flush() override { return check(::fsync(fd_) == 0); }
  bool close() override {
    const int fd = fd_;
    fd_ = -1;
    return check(::close(fd) == 0);
  }
  bool replace(const std::string& temp, const std::string& file) override {
    return check(::rename(temp.c_str(), file.c_str()) == 0);
  }
  void syncFolder(const std::string& file) override {
    const int dir = ::open(folderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }
  void discard(const std::string& temp) override { ::unlink(temp.c_str()); }
  std::string failure() const override { return why_; }

 private:
  bool check(bool ok) {
    if (!ok) why_ = std::strerror(errno);
    return ok;
  }
  int fd_ = -1;
  std::string why_;
};

}  // namespace

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

bool safeReplace(const std::string& path, std::string_view content, std::string& error) {
  const std::unique_ptr<FileSteps> steps = systemFileSteps();
  return safeReplace(path, content, error, *steps);
}

bool safeReplace(const std::string& path, std::string_view content, std::string& error,
                 FileSteps& steps) {
  if (path.empty()) {
    error = "No file name given.";
    return false;
  }
  if (path == "-") return writeInPlace(path, content, false, error);
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) {
    error = reason(path, std::strerror(errno));
    return false;
  }
  if (exists && S_ISDIR(st.st_mode)) {
    error = reason(path, "it is a folder");
    return false;
  }
  const bool kernelName = path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0;
  if (exists && (!S_ISREG(st.st_mode) || kernelName)) {
    return writeInPlace(path, content, S_ISREG(st.st_mode), error);
  }
  if (exists && !modeLetsWrite(path, st)) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    error = reason(path, std::string("the file is read-only (mode ") + mode + ")");
    return false;
  }
  const std::string file = linkTarget(path);
  struct stat folder {};
  if (::stat(folderOf(file).c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
    error = reason(path, "the folder " + folderOf(file) + " does not exist");
    return false;
  }
  return replaceThrough(steps, path, file, exists, content, error);
}

std::unique_ptr<FileSteps> systemFileSteps() {
  return std::make_unique<PosixSteps>();
}

bool replaceThrough(FileSteps& steps, const std::string& path, const std::string& file,
                    bool replacing, std::string_view content, std::string& error) {
  std::string temp;
  if (!steps.open(file, replacing, temp)) {
    error = reason(path, steps.failure());
    return false;
  }
  bool ok = steps.write(content) && (!replacing || steps.keepAttributes(file)) && steps.flush();
  std::string why = ok ? "" : steps.failure();
  if (!steps.close() && ok) {
    ok = false;
    why = steps.failure();
  }
  if (ok && !steps.replace(temp, file)) {
    ok = false;
    why = steps.failure();
  }
  if (!ok) {
    steps.discard(temp);
    error = reason(path, why);
    return false;
  }
  steps.syncFolder(file);
  return true;
}

int removeStaleTemporaries(const std::string& path) {
  const std::string file = linkTarget(path);
  const std::string folder = folderOf(file);
  const std::string prefix = "." + nameOf(file) + kTempMark;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.rfind(prefix, 0) != 0) continue;
    struct stat st {};
    const std::string full = folder + "/" + name;
    if (::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(full.c_str()) == 0) {
      ++removed;
    }
  }
  ::closedir(dir);
  return removed;
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

}  // namespace osd

#include "common/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include "common/win_text.h"
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace osd {

namespace {

#ifdef _WIN32
constexpr const char* kSeparators = "\\/";
#else
constexpr const char* kSeparators = "/";
#endif

std::string folderOf(const std::string& file) {
  const size_t slash = file.find_last_of(kSeparators);
  if (slash == std::string::npos) return ".";
#ifdef _WIN32
  if (slash == 2 && file[1] == ':') return file.substr(0, 3);  // "C:\" itself
#endif
  return slash == 0 ? file.substr(0, 1) : file.substr(0, slash);
}

std::string nameOf(const std::string& file) {
  const size_t slash = file.find_last_of(kSeparators);
  return slash == std::string::npos ? file : file.substr(slash + 1);
}

std::string reason(const std::string& path, const std::string& why) {
  return "Cannot write " + path + ": " + why;
}

#ifdef _WIN32
// Whether the file lets itself be written: its read-only attribute is not set.
bool modeLetsWrite(const std::string& file, const struct stat&) {
  const DWORD attributes = ::GetFileAttributesW(win::widen(file).c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY);
}

std::string readOnlyReason(const struct stat&) {
  return "the file is read-only (its read-only attribute is set)";
}
#else
// Whether the file's mode lets this user write it. Root is held to the mode bits as well: a
// file nobody may write was made read-only on purpose.
bool modeLetsWrite(const std::string& file, const struct stat& st) {
  if (::geteuid() == 0) return (st.st_mode & 0222) != 0;
  return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0 || errno == EROFS;
}

std::string readOnlyReason(const struct stat& st) {
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  return std::string("the file is read-only (mode ") + mode + ")";
}
#endif

// Writes into what is there (a device, FIFO, socket or a kernel-made name) without renaming.
bool writeInPlace(const std::string& path, std::string_view content, bool regular,
                  std::string& error) {
  const bool stdOut = path == "-";
#ifdef _WIN32
  // Bytes go out as they are: no line-end translation, on standard output too.
  if (stdOut) ::_setmode(1, _O_BINARY);
  const int fd =
      stdOut ? 1 : ::_open(path.c_str(), _O_WRONLY | _O_BINARY | (regular ? _O_TRUNC : 0));
#else
  const int fd =
      stdOut ? 1 : ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (regular ? O_TRUNC : 0));
#endif
  if (fd < 0) {
    error = reason(path, std::strerror(errno));
    return false;
  }
  bool ok = writeAll(fd, content);
  int saved = errno;
#ifdef _WIN32
  if (ok && regular && ::_commit(fd) != 0) {
#else
  if (ok && regular && ::fsync(fd) != 0) {
#endif
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

#ifdef _WIN32
// A new temporary file's name beside `file`: ".NAME.osdtmp-" and six random letters.
std::string temporaryName(const std::string& file) {
  static std::atomic<unsigned> counter{0};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device rd;
  unsigned bits = rd() ^ (counter++ * 2654435761u);
  std::string suffix;
  for (int k = 0; k < 6; ++k, bits /= 36) suffix += kLetters[bits % 36];
  const std::string folder = folderOf(file);
  const bool ends = folder.back() == '\\' || folder.back() == '/';
  return folder + (ends ? "." : "\\.") + nameOf(file) + kTempMark + suffix;
}

// The Windows steps: the content is flushed to the disk, and the temporary replaces the file
// with a write-through move, which reaches the disk before it returns (there is no folder to
// sync apart from it).
class WindowsSteps final : public FileSteps {
 public:
  ~WindowsSteps() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  bool open(const std::string& file, bool, std::string& temp) override {
    for (int attempt = 0; attempt < 100; ++attempt) {
      temp = temporaryName(file);
      handle_ = ::CreateFileW(win::widen(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle_ != INVALID_HANDLE_VALUE) return true;
      if (::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    why_ = ::GetLastError() == ERROR_ACCESS_DENIED
               ? "no permission to create files in " + folderOf(file)
               : win::systemMessage(::GetLastError());
    return false;
  }
  bool write(std::string_view content) override {
    while (!content.empty()) {
      DWORD n = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size(), 1u << 30));
      if (!check(::WriteFile(handle_, content.data(), chunk, &n, nullptr) && n > 0)) return false;
      content.remove_prefix(n);
    }
    return true;
  }
  // The old file's hidden, system and archive marks (its access rights are the folder's).
  bool keepAttributes(const std::string& file) override {
    const DWORD old = ::GetFileAttributesW(win::widen(file).c_str());
    if (!check(old != INVALID_FILE_ATTRIBUTES)) return false;
    FILE_BASIC_INFO info{};
    info.FileAttributes =
        old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    if (info.FileAttributes == 0) return true;
    return check(::SetFileInformationByHandle(handle_, FileBasicInfo, &info, sizeof info));
  }
  bool flush() override { return check(::FlushFileBuffers(handle_)); }
  bool close() override {
    const HANDLE h = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return check(::CloseHandle(h));
  }
  bool replace(const std::string& temp, const std::string& file) override {
    return check(::MoveFileExW(win::widen(temp).c_str(), win::widen(file).c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  }
  void syncFolder(const std::string&) override {}
  void discard(const std::string& temp) override { ::DeleteFileW(win::widen(temp).c_str()); }
  std::string failure() const override { return why_; }

 private:
  bool check(bool ok) {
    if (!ok) why_ = win::systemMessage(::GetLastError());
    return ok;
  }
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::string why_;
};

#else
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
#endif

}  // namespace

std::string linkTarget(const std::string& path) {
#ifdef _WIN32
  return path;  // a replace on Windows keeps links of its own accord
#else
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
#endif
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
#ifdef _WIN32
  const bool kernelName = path.rfind("\\\\.\\", 0) == 0;  // \\.\DEVICE
#else
  const bool kernelName = path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0;
#endif
  if (exists && (!S_ISREG(st.st_mode) || kernelName)) {
    return writeInPlace(path, content, S_ISREG(st.st_mode), error);
  }
  if (exists && !modeLetsWrite(path, st)) {
    error = reason(path, readOnlyReason(st));
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
#ifdef _WIN32
  return std::make_unique<WindowsSteps>();
#else
  return std::make_unique<PosixSteps>();
#endif
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
#ifdef _WIN32
    if (::stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(full.c_str()) == 0) {
#else
    if (::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(full.c_str()) == 0) {
#endif
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

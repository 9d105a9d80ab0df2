// The safe writer's steps on POSIX systems: fsync of the content, rename, fsync of the folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

#include "platform/file_steps.h"
#include "platform/file_system.h"

namespace osd {

namespace {

// Opens a new temporary file beside `file`. -1 with errno set when none can be made.
int makeTemporary(const std::string& file, mode_t mode, std::string& tempName) {
  static std::atomic<unsigned> counter{0};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device rd;
  const std::string stem = sys::folderOf(file) + "/." + sys::nameOf(file) + kTempMark;
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

class PosixSteps final : public FileSteps {
 public:
  ~PosixSteps() override {
    if (fd_ >= 0) ::close(fd_);
  }
  bool open(const std::string& file, bool replacing, std::string& temp) override {
    // A new file gets the usual permissions (the umask applies); a replaced one keeps its own.
    fd_ = makeTemporary(file, replacing ? 0600 : 0666, temp);
    if (fd_ >= 0) return true;
    why_ = errno == EACCES ? "no permission to create files in " + sys::folderOf(file)
                           : std::string(std::strerror(errno));
    return false;
  }
  bool write(std::string_view content) override { return check(sys::writeAll(fd_, content)); }
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
    const int dir = ::open(sys::folderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

std::unique_ptr<FileSteps> systemFileSteps() {
  return std::make_unique<PosixSteps>();
}

}  // namespace osd

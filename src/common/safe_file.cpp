#include "common/safe_file.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace osd {

namespace {

std::string reason(const std::string& path, const std::string& why) {
  return "Cannot write " + path + ": " + why;
}

// Writes into what is there (a device, FIFO, socket or a kernel-made name) without renaming.
bool writeInPlace(const std::string& path, std::string_view content, bool regular,
                  std::string& error) {
  const bool stdOut = path == "-";
  const int fd = sys::openInPlace(path, regular);
  if (fd < 0) {
    error = reason(path, std::strerror(errno));
    return false;
  }
  bool ok = writeAll(fd, content);
  int saved = errno;
  if (ok && regular && !sys::syncFile(fd)) {
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

}  // namespace

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
  if (exists && (!S_ISREG(st.st_mode) || sys::isKernelName(path))) {
    return writeInPlace(path, content, S_ISREG(st.st_mode), error);
  }
  if (exists) {
    const std::string readOnly = sys::readOnlyReason(path, st);
    if (!readOnly.empty()) {
      error = reason(path, readOnly);
      return false;
    }
  }
  const std::string file = linkTarget(path);
  const std::string folderName = sys::folderOf(file);
  struct stat folder {};
  if (::stat(folderName.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
    error = reason(path, "the folder " + folderName + " does not exist");
    return false;
  }
  return replaceThrough(steps, path, file, exists, content, error);
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
  const std::string folder = sys::folderOf(file);
  const std::string prefix = "." + sys::nameOf(file) + kTempMark;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.rfind(prefix, 0) != 0) continue;
    const std::string full = folder + "/" + name;
    if (sys::isPlainFile(full) && ::unlink(full.c_str()) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

}  // namespace osd

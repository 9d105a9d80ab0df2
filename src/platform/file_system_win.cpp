// The file system's helpers on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/file_system.h"
#include "platform/win_text.h"

namespace osd::sys {

const char* pathSeparators() {
  return "\\/";
}

char pathSeparator() {
  return '\\';
}

std::string folderOf(const std::string& file) {
  const size_t slash = file.find_last_of(pathSeparators());
  if (slash == std::string::npos) return ".";
  if (slash == 2 && file[1] == ':') return file.substr(0, 3);  // "C:\" itself
  return slash == 0 ? file.substr(0, 1) : file.substr(0, slash);
}

std::string linkTarget(const std::string& path) {
  return path;  // a replace on Windows keeps links of its own accord
}

bool isKernelName(const std::string& path) {
  return path.rfind("\\\\.\\", 0) == 0;  // \\.\DEVICE
}

std::string readOnlyReason(const std::string& file, const struct stat&) {
  const DWORD attributes = ::GetFileAttributesW(win::widen(file).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return "";
  return "the file is read-only (its read-only attribute is set)";
}

int openInPlace(const std::string& path, bool regular) {
  if (path == "-") {
    ::_setmode(1, _O_BINARY);
    return 1;
  }
  return ::_open(path.c_str(), _O_WRONLY | _O_BINARY | (regular ? _O_TRUNC : 0));
}

bool syncFile(int fd) {
  return ::_commit(fd) == 0;
}

bool isPlainFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool makeFolders(const std::string& dir) {
  if (dir.empty()) return true;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return std::filesystem::is_directory(dir, ec);
}

// Size and the time of the last write.
std::string stampOf(const std::string& file, const struct stat& st) {
  std::error_code ec;
  const auto written = std::filesystem::last_write_time(file, ec);
  return std::to_string(st.st_size) + ":" +
         std::to_string(ec ? 0 : written.time_since_epoch().count());
}

bool folderWritable(const std::string& dir) {
  // The read-only attribute says nothing about a folder: a file made and dropped at once tells.
  const std::string probe = dir + "\\.osdprog-probe-" + std::to_string(::GetCurrentProcessId());
  const HANDLE h = ::CreateFileW(win::widen(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  return true;
}

std::string userDataBase() {
  const char* local = std::getenv("LOCALAPPDATA");
  if (local && *local) return local;
  const char* profile = std::getenv("USERPROFILE");
  return std::string(profile && *profile ? profile : ".") + "\\AppData\\Local";
}

// The user's roaming application data.
std::string userConfigBase() {
  const char* appData = std::getenv("APPDATA");
  const char* profile = std::getenv("USERPROFILE");
  if (appData && *appData) return appData;
  return std::string(profile && *profile ? profile : ".") + "\\AppData\\Roaming";
}

FolderLock::FolderLock(const std::string& dir) {
  const HANDLE h =
      ::CreateFileW(win::widen(dir + "\\.osdprog.lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  OVERLAPPED whole{};
  if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
    ::CloseHandle(h);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
}

FolderLock::~FolderLock() {
  if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace osd::sys

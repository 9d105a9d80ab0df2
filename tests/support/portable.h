// The few POSIX calls the unit tests use, on systems that lack them (Windows), and what the
// tests need of the file system on every system.
#pragma once

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>

inline int setenv(const char* name, const char* value, int) {
  return _putenv_s(name, value);
}
inline int unsetenv(const char* name) {
  return _putenv_s(name, "");
}
inline char* mkdtemp(char* pattern) {
  if (_mktemp_s(pattern, std::strlen(pattern) + 1) != 0) return nullptr;
  return _mkdir(pattern) == 0 ? pattern : nullptr;
}
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace osd::test {

// A new folder in the system's temporary folder, named PREFIX-XXXXXX.
inline std::string makeTempDir(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

// What tells one file from another at the same path (its inode, its file index on Windows);
// 0 when there is no file.
inline unsigned long long fileIdentity(const std::string& path) {
#ifdef _WIN32
  const HANDLE h = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = ::GetFileInformationByHandle(h, &info);
  ::CloseHandle(h);
  return ok ? (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow : 0;
#else
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
#endif
}

}  // namespace osd::test

// The safe writer's steps on Windows: the content is flushed to the disk, and the temporary
// replaces the file with a write-through move, which reaches the disk before it returns (there
// is no folder to sync apart from it).
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <random>

#include "platform/file_steps.h"
#include "platform/file_system.h"
#include "platform/win_text.h"

namespace osd {

namespace {

// A new temporary file's name beside `file`: ".NAME.osdtmp-" and six random letters.
std::string temporaryName(const std::string& file) {
  static std::atomic<unsigned> counter{0};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device rd;
  unsigned bits = rd() ^ (counter++ * 2654435761u);
  std::string suffix;
  for (int k = 0; k < 6; ++k, bits /= 36) suffix += kLetters[bits % 36];
  const std::string folder = sys::folderOf(file);
  const bool ends = folder.back() == '\\' || folder.back() == '/';
  return folder + (ends ? "." : "\\.") + sys::nameOf(file) + kTempMark + suffix;
}

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
               ? "no permission to create files in " + sys::folderOf(file)
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

}  // namespace

std::unique_ptr<FileSteps> systemFileSteps() {
  return std::make_unique<WindowsSteps>();
}

}  // namespace osd

// Replacing a file's content: what is at the path decides whether it is replaced atomically,
// written in place or refused.
#include "common/safe_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <vector>

#include "platform/file_system.h"
#include "support/fakes.h"
#include "support/portable.h"

namespace {

namespace fs = std::filesystem;
using namespace osd::test;

enum class Kind { None, LongerFile, Device, Fifo, Link, ReadOnly, Folder };

// Makes `t` of that kind; for a FIFO, returns what its reader will have received.
std::shared_future<std::string> make(Kind kind, const std::string& t) {
  if (kind == Kind::LongerFile) writeFile(t, std::string(900, 'x'));
  if (kind == Kind::ReadOnly) writeFile(t, "keep"), ::chmod(t.c_str(), 0444);
  if (kind == Kind::Folder) fs::create_directory(t);
#ifndef _WIN32
  if (kind == Kind::Device) ::mknod(t.c_str(), S_IFCHR | 0666, makedev(1, 3));
  if (kind == Kind::Link) writeFile(t + ".real", "old"), fs::create_symlink("t.real", t);
  if (kind == Kind::Fifo) {
    ::mkfifo(t.c_str(), 0600);
    return std::async(std::launch::async, [t] { return readFileBytes(t); }).share();
  }
#endif
  return {};
}

TEST(SafeReplace, EachKindOfTargetIsHandledByItsRule) {
#ifndef _WIN32
  // The kernel's own names are written in place whatever they look like.
  for (const auto& [path, kernel] :
       std::vector<std::pair<std::string, bool>>{{"/dev/ttyS0", true},
                                                 {"/proc/self/fd/1", true},
                                                 {"/tmp/dev/x", false},
                                                 {"/devx", false}}) {
    EXPECT_EQ(osd::sys::isKernelName(path), kernel) << path;
  }
  // The settings folder: $XDG_CONFIG_HOME when it is absolute, else ~/.config.
  const char* xdg0 = std::getenv("XDG_CONFIG_HOME");
  const std::string xdgBefore = xdg0 ? xdg0 : "",
                    home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("HOME", "/h", 1);
  for (const char* xdg : {"/x/conf", "rel/conf", static_cast<const char*>(nullptr)}) {
    xdg ? ::setenv("XDG_CONFIG_HOME", xdg, 1) : ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(osd::sys::userConfigBase(), xdg && xdg[0] == '/' ? xdg : "/h/.config") << !xdg;
  }
  ::setenv("HOME", home.c_str(), 1);
  xdg0 ? ::setenv("XDG_CONFIG_HOME", xdgBefore.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
#endif
  // typeAfter: what `t` is afterwards (lstat); said: part of the reason for a refusal
  // clang-format off
  struct Target { Kind kind; bool written; mode_t typeAfter; const char* said; };
  // clang-format on
  const std::vector<Target> targets = {
      {Kind::None, true, S_IFREG, ""},
      {Kind::LongerFile, true, S_IFREG, ""},
#ifdef _WIN32
      // Windows: chmod sets the read-only attribute, which is what refuses the file.
      {Kind::ReadOnly, false, S_IFREG, "read-only (its read-only attribute is set)"},
#else
      {Kind::Device, true, S_IFCHR, ""},
      {Kind::Fifo, true, S_IFIFO, ""},
      {Kind::Link, true, S_IFLNK, ""},
      {Kind::ReadOnly, false, S_IFREG, "read-only (mode 0444)"},
#endif
      {Kind::Folder, false, S_IFDIR, "it is a folder"},
  };
  for (const Target& target : targets) {
    const int row = static_cast<int>(target.kind);
    const std::string dir = makeTempDir("osdsafe"), t = dir + "/t";
    const std::shared_future<std::string> reader = make(target.kind, t);
    std::string error;
    EXPECT_EQ(osd::safeReplace(t, "new content", error), target.written) << row << error;
    struct stat st {};
#ifdef _WIN32
    ASSERT_EQ(::stat(t.c_str(), &st), 0) << row;
    const bool file = target.typeAfter == S_IFREG;
#else
    ASSERT_EQ(::lstat(t.c_str(), &st), 0) << row;
    const bool file = target.typeAfter == S_IFREG || target.typeAfter == S_IFLNK;
#endif
    EXPECT_EQ(st.st_mode & S_IFMT, target.typeAfter) << row;
    EXPECT_NE(error.find(target.said), std::string::npos) << row << ": " << error;
    if (reader.valid() || file) {  // a FIFO's content is what its reader took
      EXPECT_EQ(reader.valid() ? reader.get() : readFileBytes(t),
                target.written ? "new content" : "keep")
          << row;
    }
    for (const auto& e : fs::directory_iterator(dir))
      EXPECT_EQ(e.path().filename().string().find(osd::kTempMark), std::string::npos) << row;
    ::chmod(t.c_str(), 0644);  // Windows removes no read-only file
    fs::remove_all(dir);
  }
}

// The system's steps, each call written down; the step named `failing` fails without running.
class RecordedSteps final : public osd::FileSteps {
 public:
  explicit RecordedSteps(std::string failing) : failing_(std::move(failing)) {}
  std::vector<std::string> calls;

  bool open(const std::string& file, bool replacing, std::string& temp) override {
    return step("open") && real_->open(file, replacing, temp);
  }
  bool write(std::string_view content) override { return step("write") && real_->write(content); }
  bool keepAttributes(const std::string& file) override {
    return step("keepAttributes") && real_->keepAttributes(file);
  }
  bool flush() override { return step("flush") && real_->flush(); }
  bool close() override {
    const bool fails = !step("close");
    return real_->close() && !fails;  // the real one runs all the same: no handle is left open
  }
  bool replace(const std::string& temp, const std::string& file) override {
    return step("replace") && real_->replace(temp, file);
  }
  void syncFolder(const std::string& file) override { step("syncFolder"), real_->syncFolder(file); }
  void discard(const std::string& temp) override { step("discard"), real_->discard(temp); }
  std::string failure() const override { return failedHere_ ? "made to fail" : real_->failure(); }

 private:
  bool step(const std::string& name) {
    calls.push_back(name);
    failedHere_ = failedHere_ || name == failing_;
    return name != failing_;
  }
  std::string failing_;
  bool failedHere_ = false;
  std::unique_ptr<osd::FileSteps> real_ = osd::systemFileSteps();
};

// Gives `file` what a replacement keeps: its mode (POSIX), its hidden mark (Windows).
void keepable(const std::string& file) {
#ifdef _WIN32
  ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN);
#else
  ::chmod(file.c_str(), 0640);
#endif
}

bool attributesKept(const std::string& file) {
#ifdef _WIN32
  const DWORD attributes = ::GetFileAttributesA(file.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
#else
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0 && (st.st_mode & 07777) == 0640;
#endif
}

// The content reaches the disk before the new file takes the old one's place, and the folder
// after it; a step that fails leaves the old file whole and no temporary behind.
TEST(SafeReplace, StepsOfAReplacementAndWhatAFailedStepLeaves) {
  // clang-format off
  struct Row { bool existing; const char* failing; std::vector<std::string> calls; };
  const std::vector<Row> rows = {
      {false, "", {"open", "write", "flush", "close", "replace", "syncFolder"}},
      {true, "", {"open", "write", "keepAttributes", "flush", "close", "replace", "syncFolder"}},
      {true, "open", {"open"}},
      {true, "write", {"open", "write", "close", "discard"}},
      {true, "keepAttributes", {"open", "write", "keepAttributes", "close", "discard"}},
      {true, "flush", {"open", "write", "keepAttributes", "flush", "close", "discard"}},
      {true, "close", {"open", "write", "keepAttributes", "flush", "close", "discard"}},
      {true, "replace",
       {"open", "write", "keepAttributes", "flush", "close", "replace", "discard"}},
      {false, "flush", {"open", "write", "flush", "close", "discard"}},
  };
  // clang-format on
  for (const Row& row : rows) {
    const std::string label = std::string(row.existing ? "existing, " : "new, ") + row.failing;
    const std::string dir = makeTempDir("osdsafe"), t = dir + "/t";
    if (row.existing) writeFile(t, "old"), keepable(t);
    RecordedSteps steps(row.failing);
    std::string error;
    const bool fails = *row.failing != '\0';
    EXPECT_EQ(osd::safeReplace(t, "new content", error, steps), !fails) << label;
    EXPECT_EQ(steps.calls, row.calls) << label;
    EXPECT_EQ(error, fails ? "Cannot write " + t + ": made to fail" : "") << label;
    // What is at the path afterwards: the new content, the old file whole, or nothing.
    const char* left = !fails ? "new content" : row.existing ? "old" : "(none)";
    EXPECT_EQ(fs::exists(t) ? readFileBytes(t) : "(none)", left) << label;
    EXPECT_TRUE(!row.existing || attributesKept(t)) << label;
    for (const auto& e : fs::directory_iterator(dir))
      EXPECT_EQ(e.path().filename().string().find(osd::kTempMark), std::string::npos) << label;
    fs::remove_all(dir);
  }
}

}  // namespace

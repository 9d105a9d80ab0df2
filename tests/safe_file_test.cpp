// Replacing a file's content: what is at the path decides whether it is replaced atomically,
// written in place or refused.
#include "common/safe_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>

namespace {

namespace fs = std::filesystem;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

enum class Kind { None, LongerFile, Device, Fifo, Link, ReadOnly, Folder };

// Makes `t` of that kind; for a FIFO, returns what its reader will have received.
std::shared_future<std::string> make(Kind kind, const std::string& t) {
  switch (kind) {
    case Kind::LongerFile:
      put(t, std::string(900, 'x'));
      break;
    case Kind::Device:
      ::mknod(t.c_str(), S_IFCHR | 0666, makedev(1, 3));
      break;
    case Kind::Fifo:
      ::mkfifo(t.c_str(), 0600);
      return std::async(std::launch::async, [t] { return slurp(t); }).share();
    case Kind::Link:
      put(t + ".real", "old"), fs::create_symlink("t.real", t);
      break;
    case Kind::ReadOnly:
      put(t, "keep"), ::chmod(t.c_str(), 0444);
      break;
    case Kind::Folder:
      fs::create_directory(t);
      break;
    case Kind::None:
      break;
  }
  return {};
}

TEST(SafeReplace, EachKindOfTargetIsHandledByItsRule) {
  struct Target {
    Kind kind;
    bool written;
    mode_t typeAfter;  // what `t` is afterwards (lstat)
    const char* said;  // part of the reason for a refusal
  };
  const std::vector<Target> targets = {
      {Kind::None, true, S_IFREG, ""},
      {Kind::LongerFile, true, S_IFREG, ""},
      {Kind::Device, true, S_IFCHR, ""},
      {Kind::Fifo, true, S_IFIFO, ""},
      {Kind::Link, true, S_IFLNK, ""},
      {Kind::ReadOnly, false, S_IFREG, "read-only (mode 0444)"},
      {Kind::Folder, false, S_IFDIR, "it is a folder"},
  };
  for (const Target& target : targets) {
    const int row = static_cast<int>(target.kind);
    char tmpl[] = "/tmp/osdsafe-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl), t = dir + "/t";
    const std::shared_future<std::string> reader = make(target.kind, t);
    std::string error;
    EXPECT_EQ(osd::safeReplace(t, "new content", error), target.written) << row << error;
    struct stat st {};
    ASSERT_EQ(::lstat(t.c_str(), &st), 0) << row;
    EXPECT_EQ(st.st_mode & S_IFMT, target.typeAfter) << row;
    EXPECT_NE(error.find(target.said), std::string::npos) << row << ": " << error;
    if (reader.valid()) {
      EXPECT_EQ(reader.get(), "new content");
    }
    if (target.kind == Kind::ReadOnly) {
      EXPECT_EQ(slurp(t), "keep");
    }
    if (target.written && (target.typeAfter == S_IFREG || target.typeAfter == S_IFLNK)) {
      EXPECT_EQ(slurp(t), "new content") << row;
    }
    for (const auto& e : fs::directory_iterator(dir)) {
      EXPECT_EQ(e.path().filename().string().find(osd::kTempMark), std::string::npos) << row;
    }
    fs::remove_all(dir);
  }
}
}  // namespace

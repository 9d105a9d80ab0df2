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
#include <functional>
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

// What a reader of the target received, for a target that has one.
using Reader = std::shared_future<std::string>;

struct Target {
  const char* name;
  std::function<Reader(const std::string&)> make;  // makes `t` in the folder given
  bool written;
  mode_t typeAfter;  // what `t` is afterwards (lstat)
  const char* said;  // part of the reason for a refusal
};

TEST(SafeReplace, EachKindOfTargetIsHandledByItsRule) {
  const std::vector<Target> targets = {
      {"new file", [](const std::string&) { return Reader(); }, true, S_IFREG, ""},
      {"longer old file",
       [](const std::string& t) {
         put(t, std::string(900, 'x'));
         return Reader();
       },
       true, S_IFREG, ""},
      {"device node",
       [](const std::string& t) {
         ::mknod(t.c_str(), S_IFCHR | 0666, makedev(1, 3));
         return Reader();
       },
       true, S_IFCHR, ""},
      {"fifo with a reader",
       [](const std::string& t) {
         ::mkfifo(t.c_str(), 0600);
         return std::async(std::launch::async, [t] { return slurp(t); }).share();
       },
       true, S_IFIFO, ""},
      {"symlink",
       [](const std::string& t) {
         put(t + ".real", "old");
         fs::create_symlink(fs::path(t).filename().string() + ".real", t);
         return Reader();
       },
       true, S_IFLNK, ""},
      {"read-only file",
       [](const std::string& t) {
         put(t, "keep");
         ::chmod(t.c_str(), 0444);
         return Reader();
       },
       false, S_IFREG, "read-only (mode 0444)"},
      {"folder",
       [](const std::string& t) {
         fs::create_directory(t);
         return Reader();
       },
       false, S_IFDIR, "it is a folder"},
  };
  for (const Target& target : targets) {
    char tmpl[] = "/tmp/osdsafe-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl), t = dir + "/t";
    const Reader reader = target.make(t);
    const std::string before = target.typeAfter == S_IFREG ? slurp(t) : "";
    std::string error;
    EXPECT_EQ(osd::safeReplace(t, "new content", error), target.written) << target.name << error;
    struct stat st {};
    ASSERT_EQ(::lstat(t.c_str(), &st), 0) << target.name;
    EXPECT_EQ(st.st_mode & S_IFMT, target.typeAfter) << target.name;
    EXPECT_NE(error.find(target.said), std::string::npos) << target.name << ": " << error;
    if (reader.valid()) {
      EXPECT_EQ(reader.get(), "new content") << target.name;
    } else if (target.typeAfter == S_IFREG || target.typeAfter == S_IFLNK) {
      EXPECT_EQ(slurp(t), target.written ? "new content" : before) << target.name;
    }
    for (const auto& e : fs::directory_iterator(dir)) {
      EXPECT_EQ(e.path().filename().string().find(osd::kTempMark), std::string::npos)
          << target.name;
    }
    fs::remove_all(dir);
  }
}

TEST(SafeReplace, StaleTemporariesOfThatFileAloneAreRemoved) {
  char tmpl[] = "/tmp/osdsafe-XXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  for (const char* name :
       {".a.ini.osdtmp-1x2y3z", ".a.ini.osdtmp-qqqqqq", ".b.ini.osdtmp-1x2y3z", "a.ini"})
    put(dir + "/" + name, "x");
  EXPECT_EQ(osd::removeStaleTemporaries(dir + "/a.ini"), 2);
  EXPECT_TRUE(fs::exists(dir + "/.b.ini.osdtmp-1x2y3z"));
  EXPECT_TRUE(fs::exists(dir + "/a.ini"));
  fs::remove_all(dir);
}

}  // namespace

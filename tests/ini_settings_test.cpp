// The INI settings file: where it lives, values written and read back, and writes that never
// damage a file, keep what they do not understand and spare the disk when nothing changed.
#include "settings/ini_settings.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>

#include "support/fakes.h"
#include "support/portable.h"

using namespace osd;
using namespace osd::test;
namespace fs = std::filesystem;

const std::string kPath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\RA7_Vud\\FormInit\\";

struct IniSettingsFile : ::testing::Test {
  ScratchDir scratch;
  const std::string dir = scratch.path, file = dir + "/s.ini";
};

TEST_F(IniSettingsFile, AwkwardValuesComeBackAndOtherLinesAreKept) {
  writeFile(file,
            "\xEF\xBB\xBF; by hand\ngarbage\n[Other]\nComPort=99\n[ FormInit ]\n  ComPort =  4 "
            "\nBMPpath1=/tmp/a=b.bmp\nNote= ; a comment alone\n\n[Tail]\nx=y");
  IniSettings ini(file, "RA7_Vud");
  EXPECT_EQ(ini.read(kPath + "ComPort"), std::optional<std::string>("4"));
  EXPECT_EQ(ini.read(kPath + "BMPpath1"), std::optional<std::string>("/tmp/a=b.bmp"));
  EXPECT_EQ(ini.read(kPath + "Note"), std::optional<std::string>(""));
  ASSERT_TRUE(ini.write(kPath + "BMPpath1", "/tmp/c.bmp"));  // the line is found and replaced
  EXPECT_EQ(ini.read(kPath + "BMPpath1"), std::optional<std::string>("/tmp/c.bmp"));
  // clang-format off
  const std::string values[] = {"", " 3", "-1,-1,", "C:\\Images\\logo 1.bmp", "a\\", "\"q\"", "x;y",
      "k=v", "two\nlines", "cr\r", "[FormInit]", std::string("nul\0b", 5), "\xE9t\xE9",
      "\\\\srv\\share"};
  // clang-format on
  int n = 0;
  for (const auto& v : values) {
    const std::string key = kPath + "Key" + std::to_string(n++);
    ASSERT_TRUE(ini.write(key, v));
    EXPECT_EQ(ini.read(key), std::optional<std::string>(v)) << "value #" << n;
  }
  const std::string text = readFileBytes(file);
  EXPECT_EQ(text.rfind("\xEF\xBB\xBF; by hand\ngarbage\n[Other]\nComPort=99\n[ FormInit ]\n", 0),
            0u);
  EXPECT_EQ(text.substr(text.size() - 12), "\n[Tail]\nx=y\n");
}

TEST_F(IniSettingsFile, WritesHonourWhatIsThere) {
  // A read-only file: its mode on POSIX, its read-only attribute on Windows (which chmod sets).
  // make: makes the settings path
  // clang-format off
  const struct { const char* name; std::function<void(const std::string&)> make; bool written; } cases[] = {
      {"folder", [](const std::string& f) { fs::create_directory(f); }, false},
      {"read-only file", [](const std::string& f) { writeFile(f, "[FormInit]\nA=1\n"), ::chmod(f.c_str(), 0444); }, false},
#ifndef _WIN32
      {"fifo", [](const std::string& f) { ::mkfifo(f.c_str(), 0600); }, false},
      {"link to a file", [](const std::string& f) {
         writeFile(f + ".real", "[FormInit]\nA=1\n"), fs::create_symlink("s.ini.real", f); }, true},
#endif
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::string dir = makeTempDir("osdini"), file = dir + "/s.ini";
    c.make(file);
    const auto type = fs::symlink_status(file).type();
    IniSettings ini(file, "RA7_Vud");
    EXPECT_EQ(ini.write(kPath + "B", "2"), c.written) << c.name;
    EXPECT_EQ(fs::symlink_status(file).type(), type) << c.name;
    if (fs::is_regular_file(file)) {
      EXPECT_EQ(readFileBytes(file), c.written ? "[FormInit]\nA=1\nB=2\n" : "[FormInit]\nA=1\n");
    }
    ::chmod(file.c_str(), 0644);  // Windows removes no read-only file
    fs::remove_all(dir);
  }
}

TEST_F(IniSettingsFile, AnUnchangedValueIsNotWrittenAndStaleTemporariesGo) {
  writeFile(dir + "/.s.ini.osdtmp-k1ll3d", "half");
  writeFile(dir + "/s.ini.tmp-AbC123", "half");
  IniSettings ini(file, "RA7_Vud");
  EXPECT_FALSE(fs::exists(dir + "/.s.ini.osdtmp-k1ll3d") || fs::exists(dir + "/s.ini.tmp-AbC123"));
  ASSERT_TRUE(ini.write(kPath + "SX_Model", "1"));
  const unsigned long long first = fileIdentity(file);
  ASSERT_NE(first, 0u);
  ASSERT_TRUE(ini.write(kPath + "SX_Model", "1"));
  EXPECT_EQ(fileIdentity(file), first);  // not replaced
  writeFile(file + ".new", "[FormInit]\nSX_Model=1\nOther=5\n");
  fs::rename(file + ".new", file);  // changed behind the store's back
  ASSERT_TRUE(ini.write(kPath + "SX_Model", "1"));
  ASSERT_TRUE(ini.write(kPath + "SX_Model", "4"));
  EXPECT_EQ(readFileBytes(file), "[FormInit]\nSX_Model=4\nOther=5\n");
}

#ifndef _WIN32
// A writer killed at any moment leaves the old value or the new one, whole: the child writes
// two large values by turns while this process reads, and is then killed mid-write (a forked
// child: POSIX).
TEST_F(IniSettingsFile, AKilledWriterLeavesTheOldOrTheNewValueWhole) {
  const std::string values[] = {std::string(1 << 20, 'a'), std::string(1 << 19, 'b')};
  IniSettings reader(file, "RA7_Vud");  // made first: opening a store removes temporaries
  ASSERT_TRUE(reader.write(kPath + "BMPpath1", values[1]));
  const pid_t child = ::fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives this test
    IniSettings ini(file, "RA7_Vud");
    for (int n = 0;; ++n) ini.write(kPath + "BMPpath1", values[n % 2]);
  }
  int torn = 0;
  for (int n = 0; n <= 40; ++n) {
    if (n == 40) ::kill(child, SIGKILL), ::waitpid(child, nullptr, 0);
    const auto v = reader.read(kPath + "BMPpath1");
    torn += v != values[0] && v != values[1];
  }
  EXPECT_EQ(torn, 0) << "reads that found neither value whole, of 41";
}
#endif

// The INI settings file: where it lives, how values are written and read back, and that a
// write is complete and durable, never damages a file it cannot read and keeps what it does
// not understand.
#include "settings/ini_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

const std::string kPath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\RA7_Vud\\FormInit\\";

struct TempDir {
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "osdini-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    path = ::mkdtemp(buf.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(path)) {
      out.push_back(e.path().filename().string());
    }
    return out;
  }
  std::string path;
};

// Restores an environment variable when the test ends.
struct EnvGuard {
  explicit EnvGuard(const char* n) : name(n) {
    const char* v = std::getenv(n);
    had = v != nullptr;
    if (had) old = v;
  }
  ~EnvGuard() {
    if (had) {
      ::setenv(name, old.c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  const char* name;
  bool had = false;
  std::string old;
};

}  // namespace

// ---------------- Location and layout ----------------

TEST(IniLocationTest, DefaultFileFollowsXdgConfigHome) {
  EnvGuard xdg("XDG_CONFIG_HOME");
  EnvGuard home("HOME");
  ::setenv("XDG_CONFIG_HOME", "/srv/cfg", 1);
  EXPECT_EQ(IniSettings::defaultFile("RA7_Vud"), "/srv/cfg/Norvo/RA7_Vud.ini");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", "/home/op", 1);
  EXPECT_EQ(IniSettings::defaultFile("RA7_Vud"), "/home/op/.config/Norvo/RA7_Vud.ini");
  ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);  // not absolute: ignored
  EXPECT_EQ(IniSettings::defaultFile("RA7_Vud"), "/home/op/.config/Norvo/RA7_Vud.ini");
}

TEST(IniLayoutTest, SectionIsTheGroupAndFoldersAreCreated) {
  TempDir t;
  const std::string file = t.path + "/Norvo/RA7_Vud.ini";
  IniSettings ini(file, "RA7_Vud");
  EXPECT_FALSE(ini.read(kPath + "ComPort").has_value());
  ASSERT_TRUE(ini.write(kPath + "ComPort", " 3"));
  ASSERT_TRUE(ini.write(kPath + "LogoSelect", "2"));
  EXPECT_EQ(readFileBytes(file), "[FormInit]\nComPort=\" 3\"\nLogoSelect=2\n");
}

// ---------------- Values ----------------

TEST(IniValueTest, AwkwardValuesComeBackUnchanged) {
  TempDir t;
  IniSettings ini(t.path + "/s.ini", "RA7_Vud");
  const std::string values[] = {"",
                                " 3",
                                "3 ",
                                "-1,-1,-1,",
                                "C:\\Images\\logo 1.bmp",
                                "a\\",
                                "\"quoted\"",
                                "x;y",
                                "k=v",
                                "tab\there",
                                "two\nlines",
                                "cr\rhere",
                                "#hash",
                                "[FormInit]",
                                std::string("nul\0byte", 8),
                                "\xE9t\xE9",
                                "  both  ",
                                "\\\\server\\share"};
  int n = 0;
  for (const auto& v : values) {
    const std::string key = kPath + "Key" + std::to_string(n++);
    ASSERT_TRUE(ini.write(key, v));
    EXPECT_EQ(ini.read(key), std::optional<std::string>(v)) << "value #" << n;
  }
  // Rewriting a value replaces it and leaves the others.
  ASSERT_TRUE(ini.write(kPath + "Key1", "7"));
  EXPECT_EQ(ini.read(kPath + "Key1"), std::optional<std::string>("7"));
  EXPECT_EQ(ini.read(kPath + "Key4"), std::optional<std::string>("C:\\Images\\logo 1.bmp"));
}

TEST(IniValueTest, QuotingOfCommasBlanksAndBackslashes) {
  EXPECT_EQ(IniSettings::quote("-1,-1,"), "\"-1,-1,\"");
  EXPECT_EQ(IniSettings::quote(" 3"), "\" 3\"");
  EXPECT_EQ(IniSettings::quote("C:\\x"), "C:\\\\x");
  EXPECT_EQ(IniSettings::quote("255"), "255");
  EXPECT_EQ(IniSettings::unquote("  \" 3\"  "), " 3");
  EXPECT_EQ(IniSettings::unquote("  True  "), "True");
  EXPECT_EQ(IniSettings::unquote("5 ; a comment"), "5");
}

TEST(IniValueTest, HandWrittenFilesAreRead) {
  TempDir t;
  const std::string file = t.path + "/s.ini";
  writeFile(file,
            "\xEF\xBB\xBF[General]\r\nComPort=9\r\n[ FormInit ]\r\n  ComPort =  4 \r\n"
            "Locked=true\r\n");
  IniSettings ini(file, "RA7_Vud");
  EXPECT_EQ(ini.read(kPath + "ComPort"), std::optional<std::string>("4"));
  EXPECT_EQ(ini.read(kPath + "Locked"), std::optional<std::string>("true"));
  EXPECT_FALSE(ini.read(kPath + "ShowMix").has_value());
}

// ---------------- Safety of writes ----------------

TEST(IniWriteTest, WritesLeaveNoTemporaryFilesAndKeepPermissions) {
  TempDir t;
  const std::string file = t.path + "/s.ini";
  IniSettings ini(file, "RA7_Vud");
  ASSERT_TRUE(ini.write(kPath + "A", "1"));
  ::chmod(file.c_str(), 0600);
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(ini.write(kPath + "B" + std::to_string(i), "x"));
  EXPECT_EQ(t.names(), std::vector<std::string>{"s.ini"});
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(ini.read(kPath + "B19"), std::optional<std::string>("x"));
}

TEST(IniWriteTest, GarbageAndOtherGroupsAreKept) {
  TempDir t;
  const std::string file = t.path + "/s.ini";
  const std::string before =
      "; written by hand\n"
      "garbage line without equals\n"
      "[Other]\n"
      "ComPort=99\n"
      "\n"
      "[FormInit]\n"
      "%%% \x01\x02 binary junk\n"
      "ComPort=\" 1\"\n"
      "# comment=not a key\n"
      "\n"
      "[Tail]\n"
      "x=y";
  writeFile(file, before);
  IniSettings ini(file, "RA7_Vud");
  ASSERT_TRUE(ini.write(kPath + "ComPort", " 3"));
  ASSERT_TRUE(ini.write(kPath + "SX_Model", "4"));
  EXPECT_EQ(readFileBytes(file),
            "; written by hand\n"
            "garbage line without equals\n"
            "[Other]\n"
            "ComPort=99\n"
            "\n"
            "[FormInit]\n"
            "%%% \x01\x02 binary junk\n"
            "ComPort=\" 3\"\n"
            "# comment=not a key\n"
            "SX_Model=4\n"
            "\n"
            "[Tail]\n"
            "x=y\n");
}

TEST(IniWriteTest, AFileThatCannotBeReadIsNeverWrittenOver) {
  TempDir t;
  // A folder where the file should be, and a pipe (reading it could block forever).
  const std::string folder = t.path + "/folder.ini";
  std::filesystem::create_directory(folder);
  IniSettings a(folder, "RA7_Vud");
  EXPECT_FALSE(a.write(kPath + "ComPort", " 3"));
  EXPECT_FALSE(a.read(kPath + "ComPort").has_value());
  EXPECT_TRUE(std::filesystem::is_directory(folder));

  const std::string pipe = t.path + "/pipe.ini";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  IniSettings b(pipe, "RA7_Vud");
  EXPECT_FALSE(b.read(kPath + "ComPort").has_value());
  EXPECT_FALSE(b.write(kPath + "ComPort", " 3"));
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));

  if (::geteuid() != 0) {  // root reads anything
    const std::string locked = t.path + "/locked.ini";
    writeFile(locked, "[FormInit]\nComPort=\" 5\"\n");
    ::chmod(locked.c_str(), 0200);
    IniSettings c(locked, "RA7_Vud");
    EXPECT_FALSE(c.write(kPath + "LogoSelect", "2"));
    ::chmod(locked.c_str(), 0600);
    EXPECT_EQ(readFileBytes(locked), "[FormInit]\nComPort=\" 5\"\n");
  }
}

TEST(IniWriteTest, ALinkedFileIsUpdatedWhereTheLinkPoints) {
  TempDir t;
  std::filesystem::create_directory(t.path + "/real");
  const std::string real = t.path + "/real/RA7_Vud.ini";
  writeFile(real, "[FormInit]\nA=1\n");
  const std::string link = t.path + "/RA7_Vud.ini";
  std::filesystem::create_symlink("real/RA7_Vud.ini", link);
  IniSettings ini(link, "RA7_Vud");
  ASSERT_TRUE(ini.write(kPath + "B", "2"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(readFileBytes(real), "[FormInit]\nA=1\nB=2\n");
}

TEST(IniWriteTest, TwoProgramsWritingAtOnceLoseNothing) {
  TempDir t;
  const std::string file = t.path + "/s.ini";
  constexpr int kKeys = 40;
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  const std::string prefix = child == 0 ? "Child" : "Parent";
  IniSettings ini(file, "RA7_Vud");
  bool allWritten = true;
  for (int i = 0; i < kKeys; ++i) {
    allWritten = ini.write(kPath + prefix + std::to_string(i), std::to_string(i)) && allWritten;
  }
  if (child == 0) ::_exit(allWritten ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(allWritten);
  int found = 0;
  for (int i = 0; i < kKeys; ++i) {
    found += ini.read(kPath + "Child" + std::to_string(i)).has_value();
    found += ini.read(kPath + "Parent" + std::to_string(i)).has_value();
  }
  EXPECT_EQ(found, 2 * kKeys);
}

// ---------------- Through the settings store ----------------

TEST(IniStoreTest, TheProgramsSettingsLandInTheFileAndSurviveARestart) {
  TempDir t;
  const std::string file = t.path + "/Norvo/RA7_Vud.ini";
  Harness h;
  IniSettings ini(file, kAppKey);
  Platform pf{h.port, h.loop, ini, h.dialogs, h.launcher, h.dir, h.dir};
  {
    App app(pf);
    EXPECT_EQ(app.readSetting("ShowMix"), "0");  // missing: created as "0"
    app.writeSetting("ComPort", " 3");
    app.writeSetting("S_Start", "-1,-1,");
  }
  IniSettings again(file, kAppKey);
  Platform pf2{h.port, h.loop, again, h.dialogs, h.launcher, h.dir, h.dir};
  App app2(pf2);
  EXPECT_EQ(app2.readSetting("ComPort"), " 3");
  EXPECT_EQ(app2.readSetting("S_Start"), "-1,-1,");
  EXPECT_EQ(app2.readSetting("ShowMix"), "0");
}

// Faults the program must survive: a bitmap that changes between loading and downloading, an
// "Images" folder that cannot be written, bad settings files, a program killed right after a
// settings change, and a read-back saved into a folder that does not exist or onto a full disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "logo_bitmap.h"
#include "settings/ini_settings.h"
#include "support/fakes.h"
#include "transfer/video_data.h"

using namespace osd;
using namespace osd::test;
namespace fs = std::filesystem;

namespace {

const std::string kPrefix = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\RA7_Vud\\FormInit\\";

// An App on the harness's doubles but with the INI file backend.
struct IniApp {
  IniApp(Harness& h, const std::string& file)
      : ini(file, kAppKey),
        platform{h.port, h.loop, ini, h.dialogs, h.launcher, h.dir, h.dir},
        app(std::make_unique<App>(platform)) {}
  IniSettings ini;
  Platform platform;
  std::unique_ptr<App> app;
};

}  // namespace

// ---------------- The bitmap changes under the program ----------------

TEST(VanishingBitmap, ChangedBeforeTheDownloadIsReportedAndNothingIsSent) {
  const std::vector<std::function<void(const std::string&)>> changes = {
      [](const std::string& p) { fs::remove(p); },
      [](const std::string& p) { writeFile(p, readFileBytes(p).substr(0, 1000)); },
      [](const std::string& p) { fs::remove(p), fs::create_directory(p); }};
  for (size_t k = 0; k < changes.size(); ++k) {
    Harness h;
    App& app = *h.app;
    h.openPort(3);
    app.session().setMemorySize(65536);
    app.session().setLargeMemory(false);
    h.loop.setTimerEnabled(TimerId::Delay, true);
    std::string path = h.dir + "/logo.bmp";
    writeFile(path, makeBitmap24(64, 16, [](int r, int c) { return stripedLogo(r, c, 64); }));
    app.selectedSlot = 1;
    ASSERT_EQ(app.readFile(path), 0);
    for (int i = 0; i <= 15; ++i) app.ui().setChecked(indexed("optLOGO", i), i == 1);
    app.ui().setChecked("optRGB(0)", true);
    app.dismissError();
    h.port.writes.clear();
    changes[k](path);
    app.runDownload();
    EXPECT_FALSE(app.downloading) << k;
    EXPECT_NE(app.ui().text("lblErrTxt"), "") << k;
    EXPECT_EQ(h.port.sent().find("QXW"), std::string::npos) << k;
  }
}

// ---------------- An "Images" folder that cannot be written ----------------

TEST(UnwritableImages, StartUpKeepsTheDefaultsAndASaveReportsTheFailure) {
  Harness h;
  fs::remove_all(h.dir + "/Images");
  writeFile(h.dir + "/Images", "not a folder");  // every path under it fails with ENOTDIR
  App& app = *h.app;
  app.formSetUp();
  EXPECT_EQ(app.ntscTable, video::defaultRegisters(video::Table::Ntsc));
  EXPECT_EQ(app.palbTable, video::defaultRegisters(video::Table::PalB));
  EXPECT_EQ(readFileBytes(h.dir + "/Images"), "not a folder");

  app.dismissError();
  app.saveCurrentSettingsClick();
  EXPECT_TRUE(app.ui().visible("frameError"));
  EXPECT_EQ(app.ui().text("frameError"), "mnuSaveCurrentSettings_Click");
  EXPECT_EQ(readFileBytes(h.dir + "/Images"), "not a folder");
}

// ---------------- Settings files ----------------

TEST(BadSettingsFile, EmptyGarbledUnreadableOrUnreachableFilesStartWithDefaults) {
  Harness h;
  writeFile(h.dir + "/empty.ini", "");
  writeFile(h.dir + "/garbled.ini",
            std::string("\xff\xfe\0[[[\r\n=\n", 10) + "[FormInit]\nTransparent=17\n");
  fs::create_directory(h.dir + "/folder.ini");  // exists, but cannot be read as a file
  writeFile(h.dir + "/plain", "x");
  const std::pair<const char*, int> cases[] = {
      {"/empty.ini", 255}, {"/garbled.ini", 17}, {"/folder.ini", 255}, {"/plain/a.ini", 255}};
  for (auto [name, transparent] : cases) {
    IniApp a(h, h.dir + name);
    a.app->formSetUp();
    EXPECT_EQ(a.app->transparentValue, transparent) << name;
    EXPECT_FALSE(a.app->showInt || a.app->locked) << name;
  }
  EXPECT_TRUE(fs::is_directory(h.dir + "/folder.ini"));
  EXPECT_EQ(readFileBytes(h.dir + "/plain"), "x");
  EXPECT_NE(readFileBytes(h.dir + "/garbled.ini").find("[[["), std::string::npos);
}

// ---------------- Killed right after a settings change ----------------

TEST(KilledAfterWrite, EveryAcknowledgedChangeIsInTheFile) {
  Harness h;
  const std::string file = h.dir + "/RA7_Vud.ini";
  writeFile(file, "[FormInit]\nShowInt=True\n");
  for (int round = 0; round < 5; ++round) {
    int ack[2];
    ASSERT_EQ(::pipe(ack), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(ack[0]);
      IniSettings ini(file, kAppKey);
      for (int k = 1;; ++k) {
        if (!ini.write(kPrefix + "Transparent", std::to_string(round * 100000 + k))) ::_exit(3);
        // The change is acknowledged only once the write returned.
        if (::write(ack[1], &k, sizeof k) != sizeof k) ::_exit(4);
      }
    }
    ::close(ack[1]);
    int last = 0, k = 0;
    // Let some writes through, then kill the writer in the middle of its work.
    while (last < 3 + round * 7 && ::read(ack[0], &k, sizeof k) == sizeof k) last = k;
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    while (::read(ack[0], &k, sizeof k) == sizeof k) last = k;
    ::close(ack[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended with " << status;
    EXPECT_EQ(WTERMSIG(status), SIGKILL);

    IniSettings reader(file, kAppKey);
    const std::string value = reader.read(kPrefix + "Transparent").value_or("missing");
    const int stored = std::stoi(value) - round * 100000;
    // The acknowledged change is there (or the one after it, that was under way).
    EXPECT_TRUE(stored == last || stored == last + 1) << value << " after " << last;
    EXPECT_EQ(reader.read(kPrefix + "ShowInt").value_or(""), "True");
  }
  // No half-written temporary files are taken for settings; the file itself is whole.
  const std::string text = readFileBytes(file);
  EXPECT_EQ(text.rfind("[FormInit]", 0), 0u);
  EXPECT_EQ(text.back(), '\n');
}

// ---------------- Saving a read-back ----------------

struct ReadBackSave : ::testing::Test {
  Harness h;
  App& app = *h.app;
  std::string stream;
  void SetUp() override {
    stream = std::string("\x06\x02SD", 4);
    for (int k = 0; k < 2048; ++k) stream.push_back(static_cast<char>(k * 7 % 256));
  }
};

TEST_F(ReadBackSave, IntoAFolderThatCannotExistIsReported) {
  writeFile(h.dir + "/plain", "plain");
  h.dialogs.fileNames.push_back(h.dir + "/plain/saved.bmp");
  app.savePicture(stream);
  EXPECT_TRUE(app.ui().visible("frameError"));
  EXPECT_EQ(app.ui().text("frameError"), "mnuSaveLogoDisk");
  EXPECT_EQ(readFileBytes(h.dir + "/plain"), "plain");
  EXPECT_FALSE(app.session().readBackPending());
}

TEST_F(ReadBackSave, OntoAFullDiskKeepsTheOldFileIntact) {
  const std::string path = h.dir + "/saved.bmp";
  std::string old(5000, '\0');
  for (size_t k = 0; k < old.size(); ++k) old[k] = static_cast<char>(k * 13 % 251);
  writeFile(path, old);
  h.dialogs.fileNames.push_back(path);

  // No file of this process may grow beyond 1000 bytes: the new bitmap (2110 bytes) cannot
  // be written, as on a full disk.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  app.savePicture(stream);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, oldHandler);

  EXPECT_TRUE(app.ui().visible("frameError"));
  EXPECT_EQ(app.ui().text("frameError"), "mnuSaveLogoDisk");
  EXPECT_EQ(readFileBytes(path), old);
  for (const auto& entry : fs::directory_iterator(h.dir)) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
        << "left behind: " << entry.path();
  }
}

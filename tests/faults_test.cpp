// Faults the program must survive, on the virtual clock: a node that stays silent through
// whole watchdog cycles, a bitmap that vanishes or shrinks between loading and downloading,
// an "Images" folder that cannot be written, settings files that are unreadable, empty or
// garbage, a program killed right after a settings change, and a read-back saved over a
// longer file, into a folder that does not exist and onto a full disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "image/bmp.h"
#include "logo_bitmap.h"
#include "settings/ini_settings.h"
#include "support/fakes.h"
#include "transfer/video_data.h"

using namespace osd;
using namespace osd::test;
namespace fs = std::filesystem;

namespace {

const std::string kPrefix = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\RA7_Vud\\FormInit\\";

size_t countContaining(const std::vector<std::string>& writes, const std::string& what) {
  size_t n = 0;
  for (const auto& w : writes) {
    if (w.find(what) != std::string::npos) ++n;
  }
  return n;
}

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

// ---------------- A silent node ----------------

TEST(SilentNode, TwoWatchdogCyclesWakeCloseAndReopenThenAnAnswerRestoresTheLink) {
  Harness h;
  h.openPort(3);
  App& app = *h.app;
  h.loop.setTimerEnabled(TimerId::Delay, true);

  // 20 s of silence: the link turns cyan and the node menus go grey.
  h.ticks(800);
  EXPECT_EQ(app.ui().get("txtCom").backColor, kCyan);
  EXPECT_FALSE(app.ui().enabled("mnuDownloadLogotoRam"));
  EXPECT_TRUE(h.port.isOpen());

  // 30 s: the port is closed and the cycle starts again.
  h.ticks(400);
  EXPECT_FALSE(h.port.isOpen());
  EXPECT_EQ(app.ui().get("txtCom").backColor, kRed);
  EXPECT_EQ(app.silentTicks, 601);
  const size_t firstCycleWrites = h.port.writes.size();
  const size_t firstWakes = countContaining(h.port.writes, "WK,");
  const size_t firstResets = countContaining(h.port.writes, "ARS");
  EXPECT_GE(firstWakes, 1u);
  EXPECT_GE(firstResets, 1u);

  // A second whole cycle: the wake-ups re-open the port, the cycle closes it again, and it
  // costs no more than the first did.
  const size_t opensBefore = h.port.openedNumbers.size();
  h.ticks(598);
  EXPECT_GT(h.port.openedNumbers.size(), opensBefore);
  EXPECT_TRUE(h.port.isOpen());
  h.ticks(1);
  EXPECT_FALSE(h.port.isOpen());
  EXPECT_EQ(app.silentTicks, 601);
  // Wake-ups at 800 and 1000 silent ticks, resets at 700, 900 and 1100.
  EXPECT_EQ(countContaining(h.port.writes, "WK,") - firstWakes, 2u);
  EXPECT_EQ(countContaining(h.port.writes, "ARS") - firstResets, 3u);
  EXPECT_LE(h.port.writes.size() - firstCycleWrites, firstCycleWrites + 8);

  // The node comes back and answers: the link is green and the watchdog starts over.
  h.ticks(200);  // the next wake-up re-opens the port
  ASSERT_TRUE(h.port.isOpen());
  h.port.receive("QX64K\r\nQX64K\r\n");
  h.ticks(4);
  EXPECT_EQ(app.ui().get("txtCom").backColor, kGreen);
  EXPECT_LT(app.silentTicks, 10);
  EXPECT_EQ(app.imageMemorySize, 64 * 1024);
}

// ---------------- The bitmap changes under the program ----------------

struct VanishingBitmap : ::testing::Test {
  Harness h;
  App& app = *h.app;
  std::string path;
  void SetUp() override {
    h.openPort(3);
    app.imageMemorySize = 65536;
    app.largeMemory = false;
    h.loop.setTimerEnabled(TimerId::Delay, true);
    path = h.dir + "/logo.bmp";
    writeFile(path, makeBitmap24(64, 16, [](int r, int c) { return stripedLogo(r, c, 64); }));
    app.selectedSlot = 1;
    std::string name = path;
    ASSERT_EQ(app.readFile(name), 0);
    ASSERT_EQ(app.slotFile[1], path);
    for (int k = 0; k <= 15; ++k) app.ui().setChecked(indexed("optLOGO", k), k == 1);
    app.ui().setChecked("optRGB(0)", true);
    app.dismissError();
    h.port.writes.clear();
  }
  void expectRefusedWithoutSending() {
    app.runDownload();
    EXPECT_FALSE(app.downloading);
    EXPECT_TRUE(app.ui().visible("frameError"));
    EXPECT_NE(app.ui().text("lblErrTxt"), "");
    EXPECT_EQ(h.port.sent().find("QXW"), std::string::npos) << "nothing may be sent";
    // The program goes on: the commands are usable again.
    EXPECT_TRUE(app.ui().enabled("mnuDiagSub(8)") || !app.ui().visible("mnuDiagSub(8)"));
  }
};

TEST_F(VanishingBitmap, DeletedBeforeTheDownloadIsReportedAndNothingIsSent) {
  ASSERT_TRUE(fs::remove(path));
  expectRefusedWithoutSending();
}

TEST_F(VanishingBitmap, CutShortBeforeTheDownloadIsReportedAndNothingIsSent) {
  const std::string bytes = readFileBytes(path);
  writeFile(path, bytes.substr(0, bytes.size() / 2));
  expectRefusedWithoutSending();
}

TEST_F(VanishingBitmap, ReplacedByAFolderIsReportedAndNothingIsSent) {
  ASSERT_TRUE(fs::remove(path));
  fs::create_directory(path);
  expectRefusedWithoutSending();
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

TEST(BadSettingsFile, EmptyFileStartsWithDefaults) {
  Harness h;
  const std::string file = h.dir + "/RA7_Vud.ini";
  writeFile(file, "");
  IniApp a(h, file);
  a.app->formSetUp();
  EXPECT_EQ(a.app->transparentValue, 255);
  EXPECT_FALSE(a.app->showInt);
  EXPECT_FALSE(a.app->locked);
  // The fix-ups were written into the file.
  EXPECT_EQ(a.ini.read(kPrefix + "Transparent").value_or(""), "255");
}

TEST(BadSettingsFile, GarbageAroundReadableLinesLosesNothingReadable) {
  Harness h;
  const std::string file = h.dir + "/RA7_Vud.ini";
  const std::string garbage("\xff\xfe\x00\x01[[[\r\n=\n;;\n\x7f", 15);
  const std::string content = garbage + "\n[FormInit]\nShowInt=True\nTransparent=17\n" + garbage +
                              "\nBMPpath1=\"/tmp/a b.bmp\"\n[Other]\nX=1\n" + garbage + "\n";
  writeFile(file, content);
  IniApp a(h, file);
  a.app->formSetUp();
  EXPECT_TRUE(a.app->showInt);
  EXPECT_EQ(a.app->transparentValue, 17);
  // Writes made at start-up kept every line they did not change, garbage included.
  EXPECT_EQ(a.ini.read(kPrefix + "ShowInt").value_or(""), "True");
  EXPECT_EQ(a.ini.read(kPrefix + "BMPpath1").value_or(""), "/tmp/a b.bmp");
  IniSettings other(file, kAppKey);
  EXPECT_EQ(other.read("HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\RA7_Vud\\Other\\X").value_or(""), "1");
  const std::string after = readFileBytes(file);
  EXPECT_NE(after.find("\x7f"), std::string::npos);
  EXPECT_NE(after.find("[[["), std::string::npos);
}

TEST(BadSettingsFile, UnreadableFileStartsWithDefaultsAndIsNeverWrittenOver) {
  Harness h;
  // A folder where the file should be: it exists but cannot be read as a file.
  const std::string file = h.dir + "/RA7_Vud.ini";
  fs::create_directory(file);
  writeFile(file + "/keep", "keep");
  IniApp a(h, file);
  a.app->formSetUp();
  EXPECT_EQ(a.app->transparentValue, 255);
  EXPECT_FALSE(a.app->showInt);
  EXPECT_TRUE(fs::is_directory(file));
  EXPECT_EQ(readFileBytes(file + "/keep"), "keep");
}

TEST(BadSettingsFile, FileBelowAPlainFileStartsWithDefaults) {
  Harness h;
  writeFile(h.dir + "/plain", "x");
  IniApp a(h, h.dir + "/plain/RA7_Vud.ini");
  a.app->formSetUp();
  EXPECT_EQ(a.app->transparentValue, 255);
  EXPECT_EQ(readFileBytes(h.dir + "/plain"), "x");
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

TEST_F(ReadBackSave, OverALongerFileLeavesOnlyTheNewBitmap) {
  const std::string path = h.dir + "/saved.bmp";
  writeFile(path, std::string(100000, 'x'));
  h.dialogs.fileNames.push_back(path);
  app.savePicture(stream);
  EXPECT_FALSE(app.ui().visible("frameError")) << app.ui().text("lblErrTxt");
  const std::string bytes = readFileBytes(path);
  ASSERT_GE(bytes.size(), 54u);
  EXPECT_LT(bytes.size(), 100000u);
  const auto headers = parseBmpHeaders(reinterpret_cast<const uint8_t*>(bytes.data()), 54);
  ASSERT_TRUE(headers.has_value());
  EXPECT_EQ(headers->fileSize, bytes.size());
  EXPECT_EQ(bytes.find("xxxx"), std::string::npos);
  std::string error;
  EXPECT_TRUE(decodeBmp(std::vector<uint8_t>(bytes.begin(), bytes.end()), error).has_value())
      << error;
}

TEST_F(ReadBackSave, IntoAFolderThatCannotExistIsReported) {
  writeFile(h.dir + "/plain", "plain");
  h.dialogs.fileNames.push_back(h.dir + "/plain/saved.bmp");
  app.savePicture(stream);
  EXPECT_TRUE(app.ui().visible("frameError"));
  EXPECT_EQ(app.ui().text("frameError"), "mnuSaveLogoDisk");
  EXPECT_EQ(readFileBytes(h.dir + "/plain"), "plain");
  EXPECT_FALSE(app.uploadPending);
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

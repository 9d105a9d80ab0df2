// The logo download over the virtual clock and the fake port: the exact byte stream, its
// pacing, progress and status, the refusals, one download at a time, and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "logo_bitmap.h"
#include "support/fakes.h"
#include "transfer/download_job.h"

using namespace osd;
using namespace osd::test;

namespace {

struct DownloadTest : ::testing::Test {
  Harness h;
  App& app = *h.app;
  void SetUp() override {
    h.lineReady();
    app.session().setMemorySize(65536);
    h.loop.setTimerEnabled(TimerId::Delay, true);
  }
  // Loads a striped 256 x 64 logo into `slot` with the bitmap reader.
  void loadLogo(int slot = 1) {
    std::string path = h.dir + "/logo.bmp";
    writeFile(path, makeBitmap24(256, 64, [](int r, int c) { return stripedLogo(r, c, 256); }));
    app.bench().logos().selected = slot;
    app.choices().chooseFormat(PixelFormat::Rgb);
    ASSERT_TRUE(app.logos().readFile(path) == 0 &&
                app.logos().view().slot.at(static_cast<size_t>(slot)).chosen)
        << app.statusLine().view().errorText;
  }
};

std::string row(const std::vector<int>& values, int w, int r) {
  std::string s;
  for (int c = 0; c < w; ++c)
    s.push_back(static_cast<char>(values[static_cast<size_t>(w * r + c)]));
  return s;
}

const std::string kFiller(128, '\xFF');

}  // namespace

// The stream's length and filler for everyone who sends or expects one.
TEST(DownloadPlanTest, LengthAndFillerAtTheMemoryBorders) {
  // clang-format off
  struct Row { int w, h; int64_t memory, fillers, length; } rows[] = {
      {256, 64, 65536, 383, 65667}, {256, 64, 256 * 64 + 254, 0, 16643}, {256, 64, 256 * 64 + 255, 1, 16771},
      {256, 255, 65536, 1, 65667}, {720, 576, 524288, 855, 524419}, {8, 1, 0, 0, 267}};
  // clang-format on
  for (const Row& r : rows) {
    const DownloadPlan plan{r.w, r.h, r.memory};
    EXPECT_EQ(std::pair(plan.fillerBlocks(), plan.streamLength()), std::pair(r.fillers, r.length))
        << r.w << "x" << r.h << " in " << r.memory;
  }
  EXPECT_FALSE(
      (DownloadPlan{256, 0, 65536}.sendable() || DownloadPlan{2000, 1001, 65536}.sendable()));
}

// The exact stream, the status texts in order and the progress while sending.
TEST_F(DownloadTest, WholeStreamForA64KNodeAnd256x64Logo) {
  loadLogo();
  app.bench().video().params()[1] = 0x73, app.bench().video().params()[2] = 0,
  app.bench().video().params()[3] = 0xE2;
  std::vector<int> values(2000001, 0);  // what the encoder makes of the logo: the rows to send
  app.logos().encodeLogo(1, values);
  app.dispatcher().wake(7);
  h.port.writes.clear();
  std::vector<std::string> statuses;
  std::string shown = app.statusLine().view().status;
  bool barAgrees = true;  // with the figures on the status line
  app.statusLine().onChange([&] {
    if (app.statusLine().view().status == shown) return;
    statuses.push_back(shown = app.statusLine().view().status);
    const size_t of = shown.find(" of 65,667 bytes");
    if (of == std::string::npos) return;
    std::string n = shown.substr(shown.find(": ") + 2, of - shown.find(": ") - 2);
    std::erase(n, ',');
    barAgrees = barAgrees &&
                std::abs(app.statusLine().view().progress - 100.0 * std::stod(n) / 65667) < 1e-9;
  });
  std::vector<double> progress;
  bool busyAndShownThroughout = true;
  h.port.onWrite = [&](const std::string& bytes) {
    if (bytes == "SP" || bytes.starts_with("WK,")) return;  // the wake-ups before the stream
    progress.push_back(app.statusLine().view().progress);
    busyAndShownThroughout = busyAndShownThroughout && app.statusLine().view().busy &&
                             app.statusLine().view().progressShown && app.download().lineHeld();
  };
  app.download().run();
  app.statusLine().onChange(nullptr);
  // Once "QXW" is out, the status tells what the line has carried ("Sending Image: 20,000 of
  // 65,667 bytes, 47 s left") and the bar follows the line, not the writes.
  std::vector<std::string> phases;
  for (const std::string& text : statuses)
    if (text.find(" of 65,667 bytes, ") == std::string::npos) phases.push_back(text);
  EXPECT_EQ(phases, (std::vector<std::string>{"Reading Logo From Disk", "Preparing For Download",
                                              "Starting Download", "Sending setup data", "",
                                              "Downloading Video Controller Data",
                                              "Logo 1 downloaded: 65,667 bytes in 1 min 8 s"}));
  ASSERT_EQ(progress.size(), 448u);
  // One bar for the whole stream, never going back.
  EXPECT_TRUE(busyAndShownThroughout && barAgrees && progress[0] < 1 &&
              std::is_sorted(progress.begin(), progress.end()));
  // Without the erase, "SP" and the operator's wake choice go right before the stream.
  ASSERT_EQ(h.port.writes.size(), 2u + 1u + 64u + 383u);
  EXPECT_EQ(h.port.sent().size(), 7u + 65667u);
  EXPECT_EQ(h.port.writes[0] + h.port.writes[1], "SPWK,07");
  h.port.writes.erase(h.port.writes.begin(), h.port.writes.begin() + 2);
  // "QXW" and the setup block in one write.
  std::string setup = "QXW";
  for (const int b : {0x55, 0xAA, 1, 0,  0x73, 0,   0xE2, 0,   64, 0,  32, 0,   0, 0,  0,   0,
                      4,    90,   2, 31, 3,    124, 4,    240, 5,  33, 7,  202, 7, 74, 255, 255})
    setup.push_back(static_cast<char>(b));
  setup.resize(259, '\0');
  EXPECT_EQ(h.port.writes[0], setup);
  // The rows from the top line (63) down to the bottom line (0), one write each.
  for (int k = 0; k < 64; ++k)
    EXPECT_EQ(h.port.writes[static_cast<size_t>(1 + k)], row(values, 256, 63 - k)) << "row " << k;
  // The test logo has distinct lines, so the order above is really checked.
  EXPECT_NE(row(values, 256, 63), row(values, 256, 0));
  for (size_t k = 65; k < h.port.writes.size(); ++k) EXPECT_EQ(h.port.writes[k], kFiller);
  const StatusView& status = app.statusLine().view();
  EXPECT_EQ(std::tuple(app.download().lineHeld(), app.bench().logos().selected, status.errorShown,
                       status.busy, status.progressShown),
            std::tuple(false, 1, false, false, false));
}

TEST_F(DownloadTest, OnlyOptionsOneToFourAreDownloadedAndSetupDataWaitsForTheNext) {
  app.video().sendSetup();
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_EQ(app.statusLine().view().status,
            "Setup data prepared: it goes to the node with the next logo download.");
  loadLogo(5);
  app.download().run();
  EXPECT_TRUE(h.port.writes.empty() && !app.download().lineHeld());
  EXPECT_EQ(h.error(), "No Logo: No logo was selected for download");
  app.statusLine().dismissError();
  app.bench().logos().selected = 0;
  app.bench().logos().file[0] = app.bench().logos().file[5];
  app.download().run();
  EXPECT_EQ(app.statusLine().view().errorTitle, "No Logo");
  loadLogo(4);
  app.download().run();
  EXPECT_EQ(h.port.writes.size(), 2u + 448u);
}

// A failure stops the download; whether or not a byte had gone and the port is still open, the
// status line keeps how far it got, whatever the error panel says.
TEST_F(DownloadTest, ABadSetupValueAFailingWriteOrALostPortStopsTheDownload) {
  loadLogo();
  const std::string stopped = "The download stopped: the serial port did not take the data.",
                    failed = "Write failed\r\n" + stopped;
  // failFrom: the write (1 = "QXW") from which writes fail, 0: none; lost: the port closes
  // before the first byte
  // clang-format off
  const struct { const char* name; int setupValue, failFrom; bool lost; std::string error, status; } cases[] = {
      {"setup value 300", 300, 0, false, "Setup byte 4 holds 300, which is not a byte value.", "Download stopped by an error"},
      {"failing write", 0x73, 1, false, failed, "Download stopped by an error"},
      {"failing second write", 0x73, 2, false, failed, "Download stopped by an error"},
      {"port lost", 0x73, 0, true, stopped, "Download stopped: port lost"}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    app.statusLine().dismissError();
    h.port.writes.clear();
    app.bench().video().params()[1] = c.setupValue;
    h.port.failWrites = c.failFrom == 1;
    h.port.onWrite = [&](const std::string&) { h.port.failWrites = c.failFrom == 2; };
    app.statusLine().onChange([&] {  // the port is lost just before the first byte
      if (c.lost && app.statusLine().view().status == "Starting Download")
        h.port.openable.clear(), h.port.close();
    });
    app.download().run();
    EXPECT_EQ(h.port.writes.size(), c.failFrom == 2 ? 1u : 0u);
    EXPECT_EQ(app.statusLine().view().errorTitle, "DivUvOR");
    const std::string& error = app.statusLine().view().errorText;  // lost: the job's own line
    EXPECT_EQ(c.lost ? error.substr(error.rfind("\r\n") + 2) : error, c.error);
    const std::string& status = app.statusLine().view().status;  // how far it got, if said
    EXPECT_EQ(
        status.starts_with("Download stopped") ? status.substr(0, status.find(" after ")) : "",
        c.status);
    EXPECT_TRUE(c.status.empty() || status.ends_with(" of 65,667 bytes")) << status;
    EXPECT_FALSE(app.download().lineHeld() || app.statusLine().view().busy);
  }
  app.statusLine().onChange(nullptr);
}

TEST_F(DownloadTest, NoticeOkErasesWaitsTenSecondsThenDownloads) {
  loadLogo();
  int64_t qxwAt = -1;
  double barAtQxw = -1;
  // "Download Image to RAM", "to EEPROM", "Send Logo" and the port search: on (1) or off.
  std::vector<std::string> entries;
  const auto mark = [&] {
    const MenusView& m = app.menus().view();
    entries.push_back({char('0' + m.download.enabled), char('0' + m.toEeprom.enabled),
                       char('0' + m.sendLogo), char('0' + m.portSearch)});
  };
  h.port.onWrite = [&](const std::string& bytes) {
    if (bytes.rfind("QXW", 0) == 0)
      qxwAt = h.loop.ms(), barAtQxw = app.statusLine().view().progress, mark();
  };
  // One bar from the erase to the last byte: shown throughout, never going back.
  std::vector<double> bar;
  app.statusLine().onChange([&] {
    if (app.statusLine().view().progressShown) bar.push_back(app.statusLine().view().progress);
  });
  h.dialogs.confirmAnswers = {false};  // Cancel first: nothing goes out
  app.download().downloadToRam();
  EXPECT_TRUE(h.port.writes.empty());
  const int64_t start = h.loop.ms();
  mark();
  h.loop.at(5000, [&] { app.download().downloadToRam(), mark(); });  // a second start: refused
  app.download().downloadToRam();
  mark();
  // The erase wait leaves "Send Logo" on; the download holds the line. No node answered
  // meanwhile: the node's commands stay off after it.
  EXPECT_EQ(entries, (std::vector<std::string>{"1111", "0010", "0000", "0111"}));
  app.statusLine().onChange(nullptr);
  EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()) && bar.back() == 100);
  EXPECT_NEAR(barAtQxw, 100.0 * 9600 / (9600 + 65667), 0.1);  // the erase: 10 s of the line
  ASSERT_GE(h.port.writes.size(), 5u);
  // "SP" and the operator's wake choice (all nodes) before the erase; the question names them.
  EXPECT_EQ(h.port.writes[0] + h.port.writes[1] + h.port.writes[2] + h.port.writes[3],
            "SPWK,00QXEACM");
  // Asked twice (Cancel, then OK); the start during the erase wait was refused unasked.
  EXPECT_EQ(h.dialogs.confirmTexts,
            std::vector<std::string>(2,
                                     "This will write the new Image data to the EEPROM.\n"
                                     "It goes to every node on the line."));
  EXPECT_NEAR(qxwAt - start, 10150, 150);
  // The node poll goes on during the erase wait; the download itself is complete.
  size_t qxw = 0;
  while (qxw < h.port.writes.size() && h.port.writes[qxw].rfind("QXW", 0) != 0) ++qxw;
  EXPECT_TRUE(h.port.writes.size() - qxw == 448u && app.menus().view().toEeprom.enabled &&
              !app.download().view().erasing && !app.download().lineHeld());
  EXPECT_EQ(h.dialogs.presets, std::vector(2, Dialogs::Preset::Cancel));  // Enter: Cancel
}

// A download only goes where the operator's wake choice points, and only for a memory a node
// has stated: otherwise it is refused before the question and before any byte.
TEST_F(DownloadTest, NoNodeAwakeOrNoSizeAnswerRefusesBeforeTheQuestion) {
  loadLogo();
  // clang-format off
  struct Case { int choice, memory; std::string why; } cases[] = {  // choice 0: all, -1: none
      {-1, 65536, "No node is awake: wake a node (Node menu) before a download."},
      {7, 0, noSizeAnswerText(7)}, {0, 0, noSizeAnswerText(0)}};
  // clang-format on
  for (const Case& c : cases) {
    c.choice < 0 ? app.dispatcher().sleep() : app.dispatcher().wake(c.choice);
    app.session().setMemorySize(c.memory);
    h.port.writes.clear();
    app.statusLine().dismissError();
    app.download().downloadToRam();
    app.download().run();
    EXPECT_TRUE(h.port.writes.empty() && h.dialogs.confirmTexts.empty()) << c.why;
    EXPECT_EQ(app.statusLine().view().errorText, c.why + "\r\n" + c.why);
  }
}

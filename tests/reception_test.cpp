// Reply reception and the main tick: answers and their effects, the short-answer rule, the
// node watchdog's timeline, the node poll, read-backs, a babbling node, port failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

constexpr const char* kNodeMenus[] = {"mnuDownloadLogotoRam", "mnuSaveCurrentSettings",
                                      "mnuSaveLogoinNVRAM", "mnuUpLoadLogo",
                                      "mnuSaveVideoContolData"};

struct ReceptionTest : ::testing::Test {
  Harness h;
  App& app = *h.app;
  // Every write with the virtual time it happened at.
  std::vector<std::pair<int64_t, std::string>> log;

  void SetUp() override {
    h.lineReady();
    app.ui().setBackColor("txtCom", kCyan);
    h.port.onWrite = [this](const std::string& w) { log.emplace_back(h.loop.ms(), w); };
    h.loop.setTimerEnabled(TimerId::Delay, true);
  }

  // Bytes from the node, taken in as a port event or a running poll would.
  void arrive(const std::string& bytes) {
    h.port.receive(bytes);
    app.recvData();
  }

  std::vector<int64_t> timesOf(const std::string& bytes) const {
    std::vector<int64_t> t;
    for (const auto& [ms, w] : log) {
      if (w == bytes) t.push_back(ms);
    }
    return t;
  }
};

// The controls that differ between two snapshots of the window.
std::vector<std::string> changedControls(const std::map<std::string, Control>& a,
                                         const std::map<std::string, Control>& b) {
  std::vector<std::string> changed;
  for (const auto& [name, c] : b) {
    auto it = a.find(name);
    if (it == a.end()) {
      changed.push_back(name);
      continue;
    }
    const Control& o = it->second;
    if (o.text != c.text || o.visible != c.visible || o.enabled != c.enabled ||
        o.checked != c.checked || o.foreColor != c.foreColor || o.backColor != c.backColor ||
        o.value != c.value || o.tag != c.tag || o.image != c.image) {
      changed.push_back(name);
    }
  }
  return changed;
}

std::string countingBytes(size_t n, int start = 0) {
  std::string s;
  for (size_t k = 0; k < n; ++k) s.push_back(static_cast<char>((start + k) % 256));
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Answers and node identification
// ---------------------------------------------------------------------------------------

TEST_F(ReceptionTest, SixtyFourKAnswerSetsTheWindowUpForASmallGraphicsNode) {
  app.setNodeMenusEnabled(false);
  app.largeMemory = true;
  app.sxModel = 4;
  app.silentTicks = 500;
  app.replyCount = 41;
  app.ui().setChecked(indexed("optRGB", 0), true);

  arrive("QX64K\r\n");
  h.ticks(1);  // one quiet tick: the answer is not complete yet
  EXPECT_EQ(app.ui().title(), kDesignTitle);
  h.ticks(1);  // second quiet tick: processed

  EXPECT_EQ(app.ui().title(), "QX3/QX7 -64K Grapics Node Detected");
  EXPECT_EQ(app.ui().text("lblEEPSize"), "65280 Pixels");
  EXPECT_EQ(app.imageMemorySize, 65536);
  EXPECT_FALSE(app.largeMemory);
  EXPECT_EQ(app.sxModel, 1);
  EXPECT_TRUE(app.graphicsNode);
  EXPECT_EQ(app.ui().text("lblCount"), "42");
  // Shown, then cleared again by the logo selection's send.
  EXPECT_EQ(app.ui().text("lblDiag"), "");
  EXPECT_EQ(app.ui().get("txtCom").backColor, kGreen);
  EXPECT_EQ(app.silentTicks, 1);  // reset by the answer, then counted by the same tick
  // Logo choice: only logo 1, selected on the node; colour format YCbCr.
  EXPECT_TRUE(app.ui().checked(indexed("mnuLogoSel", 1)));
  for (int i = 2; i <= 4; ++i) {
    EXPECT_FALSE(app.ui().visible(indexed("mnuLogoSel", i))) << i;
    EXPECT_FALSE(app.ui().visible(indexed("optLOGO", i))) << i;
  }
  EXPECT_TRUE(app.ui().checked(indexed("optRGB", 1)));
  EXPECT_FALSE(app.ui().checked(indexed("optRGB", 0)));
  EXPECT_EQ(app.selectedSlot, 1);
  EXPECT_FALSE(timesOf(std::string("AJ01") + std::string(3, '\0')).empty());
  // Menus for a graphics node: erase yes, the logo-generator entries no.
  EXPECT_TRUE(app.ui().visible("mnu_Erase"));
  EXPECT_TRUE(app.ui().enabled("mnu_Erase"));
  for (const char* name : {"mnuDownloadLogotoRam", "mnuSaveCurrentSettings",
                           "mnuSaveVideoContolData", "mnuUpLoadLogo"}) {
    EXPECT_FALSE(app.ui().visible(name)) << name;
  }
  // The reply handling enabled the five node entries before the answer hid four of them.
  for (const char* name : kNodeMenus) EXPECT_TRUE(app.ui().enabled(name)) << name;
}

TEST_F(ReceptionTest, FiveHundredTwelveKAnswerSetsLargeMemory) {
  app.largeMemory = false;
  arrive("QX512K");
  h.ticks(2);
  EXPECT_EQ(app.ui().title(), "QX3/QX7 -512K Grapics Node Detected");
  EXPECT_EQ(app.ui().text("lblEEPSize"), "524032 Pixels");
  EXPECT_EQ(app.imageMemorySize, 512 * 1024);
  EXPECT_TRUE(app.largeMemory);
  EXPECT_EQ(app.sxModel, 1);
}

TEST_F(ReceptionTest, OtherSizesLeaveTheMemoryFlagAlone) {
  app.largeMemory = false;
  arrive("QX128K");
  h.ticks(2);
  EXPECT_EQ(app.ui().title(), "QX3/QX7 -128K Grapics Node Detected");
  EXPECT_EQ(app.ui().text("lblEEPSize"), "130816 Pixels");
  EXPECT_FALSE(app.largeMemory);
}

TEST_F(ReceptionTest, SizeAnswerInsideLongerTextIsFound) {
  arrive("xxQX64K and more");
  h.ticks(2);
  EXPECT_EQ(app.ui().title(), "QX3/QX7 -64K Grapics Node Detected");
}

TEST_F(ReceptionTest, ZeroAndEmptySizesChangeOnlyTheReplyLabelAndCounter) {
  app.setNodeMenusEnabled(true);
  app.ui().setBackColor("txtCom", kGreen);
  app.sxModel = 4;
  app.largeMemory = true;
  for (const std::string answer : {"QX0K\r\n", "QXK\r\n", "QX00K"}) {
    const auto before = app.ui().controls();
    const int countBefore = app.replyCount;
    log.clear();
    arrive(answer);
    h.ticks(2);
    auto changed = changedControls(before, app.ui().controls());
    std::erase(changed, "lblCurrentTime");  // the clock runs on
    std::sort(changed.begin(), changed.end());
    EXPECT_EQ(changed, (std::vector<std::string>{"lblCount", "lblDiag"})) << answer;
    EXPECT_EQ(app.replyCount, countBefore + 1) << answer;
    EXPECT_EQ(app.ui().title(), kDesignTitle) << answer;
    EXPECT_EQ(app.sxModel, 4) << answer;
    EXPECT_TRUE(app.largeMemory) << answer;
    EXPECT_EQ(app.imageMemorySize, 0) << answer;
    EXPECT_TRUE(log.empty()) << answer;
  }
  EXPECT_EQ(app.ui().text("lblDiag"), "QX00K");
}

TEST_F(ReceptionTest, GarbledHugeSizeIsRejectedWithAReport) {
  arrive("QX99999999K");
  h.ticks(2);
  EXPECT_EQ(app.ui().title(), kDesignTitle);
  EXPECT_EQ(app.imageMemorySize, 0);
  EXPECT_TRUE(app.ui().visible("frameError"));
  EXPECT_EQ(app.ui().text("frameError"), "ProcessData");
  EXPECT_EQ(app.ui().text("lblErrTxt"), "Memory size out of range (99999999K): 3");
}

TEST_F(ReceptionTest, NegativeSizeIsIgnored) {
  arrive("QX-64K");
  h.ticks(2);
  EXPECT_EQ(app.ui().title(), kDesignTitle);
  EXPECT_EQ(app.imageMemorySize, 0);
  EXPECT_EQ(app.ui().text("lblDiag"), "QX-64K");
}

TEST_F(ReceptionTest, ReplyCounterWrapsAtTenThousand) {
  app.replyCount = 9999;
  arrive("hello");
  h.ticks(2);
  EXPECT_EQ(app.replyCount, 0);
  EXPECT_EQ(app.ui().text("lblCount"), "0");
}

TEST_F(ReceptionTest, EraseAcknowledgementStartsTheTenSecondWait) {
  app.ui().setVisible("mnu_ImageToEEPROM", false);
  arrive("QXERA\r\n");
  h.ticks(2);
  EXPECT_TRUE(h.loop.timerEnabled(TimerId::TenSec));
  EXPECT_FALSE(app.ui().enabled("mnu_ImageToEEPROM"));
  EXPECT_TRUE(app.ui().visible("mnu_ImageToEEPROM"));
  EXPECT_EQ(app.ui().title(), kDesignTitle);  // "QXERA" is no size answer

  h.loop.advance(5000);
  EXPECT_TRUE(app.ui().visible("ProgressBar1"));
  EXPECT_DOUBLE_EQ(app.ui().get("ProgressBar1").value, 50);
  h.loop.advance(5000);  // 100 steps: the bar is full, the wait not over yet
  EXPECT_DOUBLE_EQ(app.ui().get("ProgressBar1").value, 100);
  EXPECT_FALSE(app.ui().enabled("mnu_ImageToEEPROM"));
  h.loop.advance(100);
  EXPECT_FALSE(h.loop.timerEnabled(TimerId::TenSec));
  EXPECT_TRUE(app.ui().enabled("mnu_ImageToEEPROM"));
  EXPECT_TRUE(app.ui().visible("mnu_ImageToEEPROM"));
  EXPECT_FALSE(app.ui().visible("ProgressBar1"));
  EXPECT_EQ(app.tenSecCount, 0);
}

// ---------------------------------------------------------------------------------------
// When an answer is complete
// ---------------------------------------------------------------------------------------

TEST_F(ReceptionTest, ShortAnswerIsDroppedAndTwoFurtherPollsFollow) {
  arrive("ABC");
  EXPECT_EQ(app.readPolls, 2);
  h.ticks(2);
  EXPECT_EQ(app.replyCount, 0);
  EXPECT_EQ(app.ui().text("lblDiag"), "lblDiag");
  EXPECT_NE(app.ui().get("txtCom").backColor, kGreen);
  EXPECT_EQ(app.readPolls, 2);  // polls renewed for what may follow
  // A later short answer with no port event is taken in by those polls alone.
  h.port.receive("HELLO");
  h.ticks(1);
  EXPECT_EQ(app.readPolls, 2);
  h.ticks(2);
  EXPECT_EQ(app.ui().text("lblDiag"), "HELLO");
  EXPECT_EQ(app.replyCount, 1);
}

TEST_F(ReceptionTest, FourCharactersAreTooShortFiveAreAnAnswer) {
  arrive("ABCD");
  h.ticks(2);
  EXPECT_EQ(app.replyCount, 0);
  h.ticks(2);
  arrive("ABCDE");
  h.ticks(2);
  EXPECT_EQ(app.replyCount, 1);
  EXPECT_EQ(app.ui().text("lblDiag"), "ABCDE");
}

TEST_F(ReceptionTest, CopyrightAnswerWaitsThreeQuietTicks) {
  arrive("(C) Norvo 2004");
  EXPECT_EQ(app.readPolls, 3);
  h.ticks(2);
  EXPECT_EQ(app.replyCount, 0);
  h.ticks(1);
  EXPECT_EQ(app.replyCount, 1);
  EXPECT_EQ(app.ui().text("lblDiag"), "(C) Norvo 2004");
}

TEST_F(ReceptionTest, LongAnswerKeepsItsLastHundredAndShowsItsLastEighty) {
  // The size answer lies before the last 100 characters: it is not seen.
  std::string answer = "QX64K" + std::string(100, 'a') + "\r\n" + std::string(8, 'b');
  arrive(answer);
  h.ticks(2);
  EXPECT_EQ(app.replyCount, 1);
  EXPECT_EQ(app.ui().title(), kDesignTitle);
  EXPECT_EQ(app.ui().text("lblDiag"), std::string(71, 'a') + " " + std::string(8, 'b'));
}

TEST_F(ReceptionTest, BytesArrivingDuringProcessingAreDroppedButSendsAreKept) {
  // The logo selection of a size answer writes to the port; the reply it provokes is
  // already waiting when the answer is finished and is dropped.
  h.port.onWrite = [this](const std::string& w) {
    log.emplace_back(h.loop.ms(), w);
    if (w.rfind("AJ", 0) == 0) h.port.receive("AJ-OK!");
  };
  arrive("QX64K\r\n");
  h.ticks(2);
  EXPECT_EQ(h.port.bytesAvailable(), 0);
  EXPECT_EQ(timesOf(std::string("AJ01") + std::string(3, '\0')).size(), 1u);
  h.ticks(5);
  EXPECT_EQ(app.replyCount, 1);
}

TEST_F(ReceptionTest, NothingIsReadWhilePortIsNotValid) {
  app.portValid = false;
  h.port.receive("QX64K\r\n");
  app.recvData();
  EXPECT_EQ(h.port.bytesAvailable(), 7);
  EXPECT_EQ(app.readPolls, 0);
}

// ---------------------------------------------------------------------------------------
// The node watchdog
// ---------------------------------------------------------------------------------------

TEST_F(ReceptionTest, SilentNodeTimeline) {
  app.sxModel = 1;
  app.ui().setText("txtNODE", "26");
  std::vector<Color> colours;
  app.ui().onChange = [&](const std::string& name) {
    if (name == "txtCom") colours.push_back(app.ui().get("txtCom").backColor);
  };
  bool openAt1199 = false, closedAt1200 = false, enabledAt799 = false, disabledAt800 = false;
  // Checks just after the tick of the same time.
  h.loop.at(799 * 25 + 1, [&] { enabledAt799 = app.ui().enabled("mnuUpLoadLogo"); });
  h.loop.at(800 * 25 + 1, [&] { disabledAt800 = !app.ui().enabled("mnuUpLoadLogo"); });
  h.loop.at(1199 * 25 + 1, [&] { openAt1199 = h.port.isOpen(); });
  h.loop.at(1200 * 25 + 1, [&] { closedAt1200 = !h.port.isOpen(); });
  app.setNodeMenusEnabled(true);

  h.ticks(2400);  // one minute

  // "ARS" at 17.5 s, 22.5 s, 27.5 s, then every 5 s of the cycle restarted at tick 601.
  EXPECT_EQ(timesOf("ARS"),
            (std::vector<int64_t>{700 * 25, 900 * 25, 1100 * 25, 1299 * 25, 1499 * 25, 1699 * 25,
                                  1898 * 25, 2098 * 25, 2298 * 25}));
  EXPECT_EQ(timesOf("WK,1A"), (std::vector<int64_t>{1000 * 25, 1599 * 25, 2198 * 25}));
  EXPECT_TRUE(enabledAt799);
  EXPECT_TRUE(disabledAt800);
  EXPECT_TRUE(openAt1199);
  EXPECT_TRUE(closedAt1200);
  for (const char* name : kNodeMenus) EXPECT_FALSE(app.ui().enabled(name)) << name;
  // The port is re-opened by the next send and closed again every 15 s.
  EXPECT_FALSE(timesOf("ARS").empty());
  EXPECT_TRUE(std::find(colours.begin(), colours.end(), kRed) != colours.end());
  EXPECT_TRUE(std::find(colours.begin(), colours.end(), kCyan) != colours.end());
  EXPECT_TRUE(std::find(colours.begin(), colours.end(), kGreen) == colours.end());
  EXPECT_EQ(app.silentTicks, 603);  // cycles restarted at ticks 1200, 1799 and 2398
}

TEST_F(ReceptionTest, AnAnswerResetsTheWatchdog) {
  h.ticks(690);
  arrive("hello");
  h.ticks(2);
  EXPECT_EQ(app.silentTicks, 1);
  h.ticks(100);
  EXPECT_TRUE(timesOf("ARS").empty());
  h.ticks(600);
  EXPECT_EQ(timesOf("ARS"), (std::vector<int64_t>{(691 + 700) * 25}));
}

TEST_F(ReceptionTest, DuringADownloadTheWatchdogSendsNothingAndKeepsThePortOpen) {
  app.downloading = true;
  h.ticks(1300);
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(h.port.isOpen());
  EXPECT_FALSE(app.ui().enabled("mnuUpLoadLogo"));  // the 20-second stage still applies
  EXPECT_EQ(app.silentTicks, 1300 - 599);
  app.downloading = false;
  h.ticks(99);  // silent count 800: menus only
  h.ticks(100);
  EXPECT_EQ(timesOf("ARS"), (std::vector<int64_t>{(1300 + 199) * 25}));
}

// ---------------------------------------------------------------------------------------
// The node poll and the clock
// ---------------------------------------------------------------------------------------

TEST_F(ReceptionTest, NodePollRequestsCopyrightThenSettingsEveryCycle) {
  h.ticks(400);  // 10 s, before the watchdog's first send
  EXPECT_EQ(timesOf("ARC"), (std::vector<int64_t>{1275, 1275 + 3825, 1275 + 2 * 3825}));
  EXPECT_EQ(timesOf("QXS"), (std::vector<int64_t>{2550, 2550 + 3825}));
  // The byte 136 follows each "ARC" as a write of its own.
  for (size_t i = 0; i + 1 < log.size(); ++i) {
    if (log[i].second == "ARC") {
      EXPECT_EQ(log[i + 1].second, std::string(1, static_cast<char>(136)));
    }
  }
  EXPECT_EQ(log.size(), 3u * 2 + 2);
}

TEST_F(ReceptionTest, NodePollPausesDuringADownloadAndResumesWhereItStopped) {
  h.ticks(60);  // the first "ARC" is out; 9 ticks into the second step
  ASSERT_EQ(timesOf("ARC").size(), 1u);
  app.downloading = true;
  h.ticks(400);
  EXPECT_EQ(log.size(), 2u);
  app.downloading = false;
  h.ticks(41);
  EXPECT_TRUE(timesOf("QXS").empty());
  h.ticks(1);
  EXPECT_EQ(timesOf("QXS"), (std::vector<int64_t>{(60 + 400 + 42) * 25}));
}

TEST_F(ReceptionTest, ClockLabelEverySixTicks) {
  h.loop.setTimerEnabled(TimerId::Delay, false);
  h.loop.setClock(2, 9 * 3600 + 5 * 60 + 7);
  h.loop.setTimerEnabled(TimerId::Delay, true);
  h.ticks(1);
  EXPECT_EQ(app.ui().text("lblCurrentTime"), "9:05:07");
  h.loop.setClock(2, 13 * 3600 + 59);
  h.ticks(5);
  EXPECT_EQ(app.ui().text("lblCurrentTime"), "9:05:07");
  h.ticks(1);
  EXPECT_EQ(app.ui().text("lblCurrentTime"), "13:00:59");
}

TEST_F(ReceptionTest, TickCountsDownTheSharedWaitsAndTheStatusLine) {
  app.delayCountdown = 3;
  app.moveThrottle = 2;
  app.statusCountdown = 1;
  app.ui().setText("lblCopyright", "status");
  h.ticks(1);
  EXPECT_EQ(app.delayCountdown, 2);
  EXPECT_EQ(app.moveThrottle, 1);
  EXPECT_EQ(app.ui().text("lblCopyright"), "status");
  h.ticks(4);
  EXPECT_EQ(app.delayCountdown, 0);
  EXPECT_EQ(app.moveThrottle, 0);
  EXPECT_EQ(app.ui().text("lblCopyright"), "");
}

// ---------------------------------------------------------------------------------------
// Read-back streams
// ---------------------------------------------------------------------------------------

struct ReadBackTest : ReceptionTest {
  void request() {
    app.readPolls = 500;
    app.uploadPending = true;
  }
};

TEST_F(ReadBackTest, WaitingShowsTheRemainingPolls) {
  request();
  h.ticks(1);
  EXPECT_EQ(app.ui().text("lblCopyright"), "Waiting for Reply 499");
  EXPECT_TRUE(app.ui().visible("ProgressBar1"));
}

TEST_F(ReadBackTest, CompleteStreamIsHandedOverWhole) {
  app.sxModel = 4;
  app.selectedSlot = 2;
  const std::string stream = "xx" + std::string("SD") + countingBytes(2048);
  request();
  h.ticks(3);
  arrive(stream);
  EXPECT_EQ(app.readPolls, 20);
  EXPECT_TRUE(app.uploadPending);
  EXPECT_EQ(app.ui().text("lblCopyright"), "Reading Data 2048");
  EXPECT_DOUBLE_EQ(app.ui().get("ProgressBar1").value, 99);  // 2048 x 100 / 2077
  h.ticks(20);
  EXPECT_FALSE(app.uploadPending);
  EXPECT_FALSE(app.ui().visible("ProgressBar1"));
  EXPECT_EQ(app.ui().text("lblCopyright").find("too short"), std::string::npos);
  // The reconstruction got the bytes: rows 62 and 63 start with image bytes 0 and 1024.
  EXPECT_EQ(app.slotImage[2][62 * 32], 255);
  EXPECT_EQ(app.slotImage[2][63 * 32], 255);
  EXPECT_EQ(app.slotImage[2][62 * 32 + 1], 255 ^ 1);
  EXPECT_TRUE(app.recvBuffer.empty());
  EXPECT_TRUE(app.currentAnswer.empty());
}

TEST_F(ReadBackTest, StreamOfExactlyTheNeededLengthIsNotShort) {
  app.sxModel = 4;
  request();
  h.port.receive(std::string(2051, 'z'));
  h.ticks(21);
  EXPECT_FALSE(app.uploadPending);
  EXPECT_EQ(app.ui().text("lblCopyright").find("too short"), std::string::npos);
}

TEST_F(ReadBackTest, ShortStreamIsReportedAndDropped) {
  app.sxModel = 4;
  app.selectedSlot = 2;
  request();
  h.port.receive("SD" + std::string(1498, 'z'));
  h.ticks(21);
  EXPECT_EQ(app.ui().text("lblCopyright"), "Data stream too short: 1500 Bytes of 2052.");
  EXPECT_FALSE(app.uploadPending);
  EXPECT_FALSE(app.ui().visible("ProgressBar1"));
  EXPECT_EQ(app.slotImage[2][0], 0);
  // Further data are ordinary answers again.
  arrive("hello");
  h.ticks(2);
  EXPECT_EQ(app.ui().text("lblDiag"), "hello");
}

TEST_F(ReadBackTest, ColourStreamNeedsItsOwnLengthAndSaysSo) {
  app.colorNode = true;
  app.sxModel = 4;
  request();
  h.port.receive(std::string(8194, 'z'));
  h.ticks(21);
  EXPECT_EQ(app.ui().text("lblCopyright"), "Data stream too short: 8194 Bytes of 8196.");
  EXPECT_FALSE(app.uploadPending);
}

TEST_F(ReadBackTest, SilentNodeEndsTheWaitWithAMessage) {
  request();
  h.ticks(499);
  EXPECT_TRUE(app.uploadPending);
  h.ticks(1);
  EXPECT_FALSE(app.uploadPending);
  EXPECT_EQ(app.ui().text("lblCopyright"), "Data stream too short: 0 Bytes of 2052.");
  EXPECT_FALSE(app.ui().visible("ProgressBar1"));
}

TEST_F(ReadBackTest, StreamEndsAfterNineThousandBytes) {
  app.sxModel = 4;
  request();
  h.port.receive(std::string(9500, 'z'));
  h.ticks(1);
  EXPECT_FALSE(app.uploadPending);
  EXPECT_EQ(h.port.bytesAvailable(), 0);
}

// ---------------------------------------------------------------------------------------
// Misbehaving nodes and ports
// ---------------------------------------------------------------------------------------

TEST_F(ReceptionTest, BabblingNodeCannotGrowTheBufferWithoutLimit) {
  std::string chunk(1000, 'q');
  size_t largest = 0;
  for (int i = 0; i < 1000; ++i) {  // a megabyte without a pause
    h.port.receive(chunk);
    h.ticks(1);
    largest = std::max(largest, app.recvBuffer.size());
  }
  EXPECT_LE(largest, 16384u + 2500u);
  EXPECT_GT(largest, 10000u);
  EXPECT_NE(app.ui().text("lblCopyright").find("keeps sending"), std::string::npos);
  EXPECT_EQ(app.replyCount, 0);  // the answer never ended
  // Once the node stops, the newest part is taken as one answer.
  h.port.receive("HELLO");
  h.ticks(3);
  EXPECT_EQ(app.replyCount, 1);
  EXPECT_EQ(app.ui().text("lblDiag"), std::string(75, 'q') + "HELLO");
  EXPECT_TRUE(app.recvBuffer.empty());
}

TEST_F(ReceptionTest, ReadFailureGivesUpThePortAndSaysSo) {
  app.setNodeMenusEnabled(true);
  app.ui().setText("lblCopyright", "something");
  app.recvBuffer = "partial";
  h.port.failReads = true;
  h.port.receive("QX6");
  app.recvData();
  EXPECT_FALSE(h.port.isOpen());
  EXPECT_FALSE(app.portValid);
  EXPECT_EQ(app.ui().get("txtCom").backColor, kRed);
  for (const char* name : kNodeMenus) EXPECT_FALSE(app.ui().enabled(name)) << name;
  EXPECT_TRUE(app.recvBuffer.empty());
  EXPECT_EQ(app.ui().text("lblCopyright"), "");
  EXPECT_GE(h.dialogs.beeps, 1);
  EXPECT_EQ(app.ui().text("frameError"), "RecvData");
  EXPECT_EQ(app.ui().text("lblErrTxt"), "Read failed");
}

TEST_F(ReadBackTest, ReadFailureDuringAReadBackStopsWaiting) {
  request();
  h.port.failReads = true;
  h.port.receive("SD");
  h.ticks(1);
  EXPECT_FALSE(app.uploadPending);
  EXPECT_FALSE(app.ui().visible("ProgressBar1"));
  EXPECT_FALSE(app.portValid);
}

TEST_F(ReceptionTest, FailureAfterTheAnswerWasTakenCarriesStepMarkTwo) {
  // The port fails while the answer is being processed (its logo selection is written).
  h.port.onWrite = [this](const std::string& w) {
    if (w.rfind("AJ", 0) == 0) {
      h.port.receive("late");
      h.port.failReads = true;
    }
  };
  arrive("QX64K\r\n");
  h.ticks(2);
  EXPECT_EQ(app.ui().title(), "QX3/QX7 -64K Grapics Node Detected");
  EXPECT_EQ(app.ui().text("frameError"), "RecvData");
  EXPECT_EQ(app.ui().text("lblErrTxt"), "Read failed 2");
  EXPECT_FALSE(h.port.isOpen());
  EXPECT_FALSE(app.portValid);
  EXPECT_EQ(app.ui().get("txtCom").backColor, kRed);
  EXPECT_TRUE(app.currentAnswer.empty());
}

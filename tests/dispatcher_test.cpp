// The command dispatcher: exact bytes per code, refusals, the send counter.
#include <gtest/gtest.h>

#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

struct DispatcherTest : ::testing::Test {
  Harness h;
  App& app = *h.app;
  void SetUp() override { h.lineReady(); }
};

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

}  // namespace

TEST_F(DispatcherTest, PlainCodesWriteTheirMnemonicsExactly) {
  struct Case {
    int code;
    std::string arg, wire;
  } cases[] = {
      {6, "5A", "AHP5A"},     {7, "04", "AVP04"},      {8, "", "ALD"},
      {11, "", "ACI"},        {13, "\x04", "APA\x04"}, {14, "\xff", "API\xff"},
      {16, "", "SP"},         {17, "", "QXS"},         {19, "", "ARM"},
      {21, "04", "ACT04"},    {25, "pw", "AEPWpw"},    {26, "\x10", "ACH\x10"},
      {27, "RAW,1", "RAW,1"}, {1, "", "AT0"},          {2, "", "AT1"},
      {3, "\x05", "AFR\x05"},
  };
  for (const auto& c : cases) {
    h.port.writes.clear();
    app.cmdTree(c.code, c.arg);
    ASSERT_EQ(h.port.writes.size(), 1u) << "code " << c.code;
    EXPECT_EQ(h.port.writes[0], c.wire) << "code " << c.code;
  }
}

TEST_F(DispatcherTest, ToggleTakeAlternatesStartingWithTakeOn) {
  app.cmdTree(0);
  app.cmdTree(0);
  app.cmdTree(2);
  app.cmdTree(0);
  ASSERT_EQ(h.port.writes.size(), 4u);
  EXPECT_EQ(h.port.writes[0], "AT1");
  EXPECT_EQ(h.port.writes[1], "AT0");
  EXPECT_EQ(h.port.writes[3], "AT0");
}

TEST_F(DispatcherTest, CodesWithoutNodeCommandSendNothingAndSaySo) {
  app.cmdTree(4, "\x01");
  app.cmdTree(5, "\x01");
  app.cmdTree(23);
  app.cmdTree(24);
  app.cmdTree(29);
  app.cmdTree(-2);
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_NE(app.ui().text("lblCopyright").find("nothing sent"), std::string::npos);
  EXPECT_FALSE(app.cmdBusy);
}

TEST_F(DispatcherTest, ChangeIdPadsShortArgumentAndChangesCallersText) {
  std::string arg = "7";
  app.cmdTree(12, arg);
  EXPECT_EQ(h.port.sent(), "ANI,01");
  EXPECT_EQ(arg, "01");
}

TEST_F(DispatcherTest, WakeUpArgumentRules) {
  app.sxModel = 1;
  app.ui().setText("txtNODE", "26");
  app.cmdTree(15, "");
  app.ui().setText("txtNODE", "300");
  app.cmdTree(15, "");
  app.sxModel = 4;
  app.cmdTree(15, "");
  app.cmdTree(15, "00");
  ASSERT_EQ(h.port.writes.size(), 4u);
  EXPECT_EQ(h.port.writes[0], "WK,1A");
  EXPECT_EQ(h.port.writes[1], "WK,2C");
  EXPECT_EQ(h.port.writes[2], "WK,00");
  EXPECT_EQ(h.port.writes[3], "WK,00");
}

TEST_F(DispatcherTest, SelectLogoEndsInThreeZeroBytes) {
  app.cmdTree(18, "03");
  EXPECT_EQ(h.port.sent(), bytes({'A', 'J', '0', '3', 0, 0, 0}));
}

TEST_F(DispatcherTest, SettingsPacketIsOneByteThenTwentyOne) {
  for (int i = 0; i < 21; ++i) app.imageParams[i] = i * 10 + 1;
  app.imageParams[15] = 255;
  app.cmdTree(9);
  ASSERT_EQ(h.port.writes.size(), 2u);
  EXPECT_EQ(h.port.writes[0], bytes({128}));
  std::string expect = bytes({130, 138, 49, 16});
  for (int i = 0; i < 16; ++i) expect.push_back(static_cast<char>(app.imageParams[i]));
  expect.push_back(3);
  EXPECT_EQ(h.port.writes[1], expect);
  EXPECT_EQ(app.ui().text("lblImageSettings"), "Control: 0FF");
}

TEST_F(DispatcherTest, CopyrightRequestIsTwoWritesAndArmsStatusCountdown) {
  app.cmdTree(22);
  ASSERT_EQ(h.port.writes.size(), 2u);
  EXPECT_EQ(h.port.writes[0], "ARC");
  EXPECT_EQ(h.port.writes[1], bytes({136}));
  EXPECT_EQ(app.statusCountdown, 200);
}

TEST_F(DispatcherTest, EraseAsksFirstAndCancelSendsNothing) {
  h.dialogs.confirmAnswers = {false, true, true};
  app.cmdTree(20);
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_FALSE(app.cmdBusy);
  app.cmdTree(20);
  ASSERT_EQ(h.port.writes.size(), 2u);
  EXPECT_EQ(h.port.writes[0], "QXE");
  EXPECT_EQ(h.port.writes[1], "ACM");
  EXPECT_TRUE(h.loop.timerEnabled(TimerId::TenSec));
  EXPECT_FALSE(app.ui().enabled("mnu_ImageToEEPROM"));
  h.port.writes.clear();
  app.cmdTree(28);
  ASSERT_EQ(h.port.writes.size(), 1u);
  EXPECT_EQ(h.port.writes[0], "QXE");
  EXPECT_EQ(h.dialogs.confirmTitles.back(), "EEPROM ERASE: Notice!");
}

TEST_F(DispatcherTest, RefusalsWhileGuardedDownloadingOrBusy) {
  app.sendGuard = true;
  app.cmdTree(17);
  app.sendCom("X");
  app.sendGuard = false;
  app.downloading = true;
  app.cmdTree(17);
  EXPECT_TRUE(h.port.writes.empty());
  app.sendCom("RAW");  // the download writes directly
  EXPECT_EQ(h.port.sent(), "RAW");
  app.downloading = false;
  app.cmdBusy = true;
  app.cmdTree(17);
  EXPECT_EQ(h.port.sent(), "RAW");
}

TEST_F(DispatcherTest, SaveLogoWaitsWithProgressAndRefusesMeanwhile) {
  h.loop.setTimerEnabled(TimerId::Delay, true);
  const int64_t before = h.loop.ms();
  app.cmdTree(10);
  EXPECT_EQ(h.port.sent(), "ASI");
  EXPECT_GE(h.loop.ms() - before, 31 * 25);
  EXPECT_LE(h.loop.ms() - before, 33 * 25);
  EXPECT_FALSE(app.ui().visible("ProgressBar1"));
  EXPECT_FALSE(app.cmdBusy);
}

TEST_F(DispatcherTest, SendCounterAndLastSentLabel) {
  app.sendCount = 9998;
  app.sendCom("A");
  EXPECT_EQ(app.ui().text("lblSCount"), "9999");
  app.sendCom("B");
  EXPECT_EQ(app.ui().text("lblSCount"), "0");
  EXPECT_EQ(app.ui().text("lblDiagSend"), "SendCom: B");
  app.cmdTree(-1);
  EXPECT_EQ(app.ui().text("lblDiagSend"), "");
}

TEST_F(DispatcherTest, SendOnClosedPortWithoutSelectionWritesNothing) {
  h.port.close();
  app.comPort = 0;
  app.sendCom("QXS");
  EXPECT_TRUE(h.port.writes.empty());
}

TEST_F(DispatcherTest, WriteFailureIsReportedAsSendCom) {
  h.port.failWrites = true;
  app.sendCom("QXS");
  EXPECT_TRUE(app.ui().visible("frameError"));
  EXPECT_EQ(app.ui().text("frameError"), "SendCom");
}

// Start-up of the main window: order of the steps, the send guard, the command line, the
// saved logo, port and recent files, the previous copy of the program, the first wake-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "support/bmp_builder.h"
#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

// Another copy of the program, as the desktop reports it.
struct FakeInstances : InstanceGuard {
  bool running = false;
  bool closes = true;
  bool throws = false;
  int fronted = 0, closeCalls = 0;
  std::vector<bool> guardSeen;  // the send guard at the time of the question
  App* app = nullptr;
  bool otherInstanceRunning() override {
    if (throws) throw std::runtime_error("window lookup failed");
    if (app) guardSeen.push_back(app->dispatcher().guarded());
    return running;
  }
  void bringOtherToFront() override { ++fronted; }
  bool closeOther() override {
    ++closeCalls;
    return closes;
  }
};

// A port that tries to put bytes on the line the moment it is opened, to prove that the
// send guard holds while the window is being set up.
struct EagerPort : FakePort {
  App* app = nullptr;
  bool eager = true;
  int attempts = 0;
  bool open(int number, PortOpenError& error) override {
    bool ok = FakePort::open(number, error);
    if (ok && eager && app) {
      ++attempts;
      app->dispatcher().send("WK,00");
      app->dispatcher().sizeQuery();
    }
    return ok;
  }
};

struct StartupTest : ::testing::Test {
  Harness h;
  App& app = *h.app;
  bool contains(const std::vector<int>& v, int n) {
    return std::find(v.begin(), v.end(), n) != v.end();
  }
  int countWrites(const std::string& text) {
    return static_cast<int>(std::count(h.port.writes.begin(), h.port.writes.end(), text));
  }
};

}  // namespace

// ---- The send guard and the first wake-up ----

TEST_F(StartupTest, NothingReachesTheLineWhileTheWindowIsSetUp) {
  EagerPort port;
  port.openable = {1, 3};
  FakeInstances instances;
  Platform p{port, h.loop, h.settings, h.dialogs, h.launcher, h.dir, h.dir, &instances};
  h.app.reset();
  App a(p);
  port.app = &a;
  instances.app = &a;
  h.settings.set("ComPort", " 3");

  a.formLoad("");
  port.eager = false;

  EXPECT_TRUE(port.isOpen());
  EXPECT_EQ(port.currentNumber, 3);
  EXPECT_GT(port.attempts, 0);  // the port did try to send while opening
  EXPECT_TRUE(port.writes.empty());
  ASSERT_EQ(instances.guardSeen.size(), 1u);
  EXPECT_TRUE(instances.guardSeen[0]);
  EXPECT_FALSE(a.dispatcher().guarded());

  // Once set up, commands go out.
  a.dispatcher().run(Command::Blink);
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0], "ACI");
}

TEST_F(StartupTest, AllNodesAreWokenAboutTwoSecondsAfterStart) {
  h.port.openable = {3};
  h.settings.set("ComPort", " 3");
  app.formLoad("");
  EXPECT_TRUE(h.port.writes.empty());

  h.loop.advance(2150);
  EXPECT_EQ(countWrites("WK,00"), 0);
  h.loop.advance(150);
  EXPECT_EQ(countWrites("WK,00"), 1);
}

TEST_F(StartupTest, WithoutASavedPortNothingIsOpenedOrSent) {
  h.port.openable = {1, 2};
  app.formLoad("");  // "ComPort" missing: the store's "0"
  EXPECT_EQ(app.link().port(), 0);
  EXPECT_EQ(app.ui().text("txtCom"), "0");
  EXPECT_FALSE(h.port.isOpen());
  h.loop.advance(5000);
  EXPECT_TRUE(h.port.writes.empty());
}

// ---- The saved port ----

TEST_F(StartupTest, SavedPortIsSelectedShownAndOpenedWithItsTimeouts) {
  h.port.openable = {1, 3, 5};
  h.settings.set("ComPort", " 3");
  app.formLoad("");
  EXPECT_EQ(app.link().port(), 3);
  EXPECT_EQ(app.ui().text("txtCom"), "3");
  EXPECT_TRUE(h.port.isOpen());
  EXPECT_EQ(h.port.currentNumber, 3);
  // The entry whose tag is "3" is the one checked.
  int checked = 0;
  for (int i = 1; i <= 12; ++i) {
    const std::string e = indexed("mnuCOMsel", i);
    if (app.ui().checked(e)) {
      ++checked;
      EXPECT_EQ(app.ui().get(e).tag, "3");
    }
  }
  EXPECT_EQ(checked, 1);
  EXPECT_EQ(h.port.timeouts[0], 2u);
  EXPECT_EQ(h.port.timeouts[1], 1u);
  EXPECT_EQ(h.port.timeouts[2], 1000u);
}

TEST_F(StartupTest, SavedPortOutsideThePortNumbersSelectsNone) {
  h.port.openable = {44};
  for (const char* text : {"300", "-3", "abc"}) {
    h.port.openedNumbers.clear();
    h.settings.set("ComPort", text);
    app.formLoad("");
    EXPECT_EQ(app.link().port(), 0) << text;
    EXPECT_EQ(app.ui().text("txtCom"), "0") << text;
    EXPECT_FALSE(h.port.isOpen()) << text;
  }
}

// ---- The command line ----

TEST_F(StartupTest, SkipcomReadsOneDigitInAnyCase) {
  struct Case {
    const char* line;
    int skip;
  } cases[] = {{"", -1},        {"skipcom 3", 3}, {"SKIPCOM12", 1},   {"  SkipCom   7  ", 7},
               {"SKIPCOMx", 0}, {"SKIPCOM", 0},   {"--simulate", -1}, {"x SKIPCOM\t4 y", 4}};
  for (const auto& c : cases) {
    app.formLoad(c.line);
    EXPECT_EQ(app.link().skipPort(), c.skip) << c.line;
  }
}

TEST_F(StartupTest, SkippedPortIsNeitherProbedNorListed) {
  h.port.openable = {1, 2, 3, 4};
  app.formLoad("skipcom 3");
  EXPECT_FALSE(contains(h.port.openedNumbers, 3));
  EXPECT_TRUE(contains(h.port.openedNumbers, 4));
  std::vector<std::string> listed;
  for (int i = 1; i <= 12; ++i) {
    const std::string e = indexed("mnuCOMsel", i);
    if (app.ui().visible(e)) listed.push_back(app.ui().get(e).tag);
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"1", "2", "4"}));
}

TEST_F(StartupTest, TwoDigitSkipLeavesOutOnlyTheFirstDigit) {
  h.port.openable = {1, 2, 12};
  app.formLoad("SKIPCOM12");
  EXPECT_FALSE(contains(h.port.openedNumbers, 1));
  EXPECT_TRUE(contains(h.port.openedNumbers, 2));
  EXPECT_TRUE(contains(h.port.openedNumbers, 12));
}

// ---- Logo selection and recent files ----

TEST_F(StartupTest, SavedLogoBelowOneSelectsLogoOne) {
  h.settings.set("LogoSelect", "0");
  app.formLoad("");
  EXPECT_EQ(app.selectedSlot, 1);
  EXPECT_TRUE(app.ui().checked("optLOGO(1)"));
  EXPECT_TRUE(app.ui().checked("mnuLogoSel(1)"));
}

TEST_F(StartupTest, SavedLogoIsSelectedAndLimitedToTheLastSlot) {
  h.settings.set("LogoSelect", "3");
  app.formLoad("");
  EXPECT_EQ(app.selectedSlot, 3);
  EXPECT_TRUE(app.ui().checked("optLOGO(3)"));
  EXPECT_TRUE(app.ui().checked("mnuLogoSel(3)"));

  Harness h2;
  h2.settings.set("LogoSelect", "99");
  h2.app->formLoad("");
  EXPECT_EQ(h2.app->selectedSlot, 15);
  EXPECT_TRUE(h2.app->ui().checked("optLOGO(15)"));
  EXPECT_FALSE(h2.app->ui().visible("frameError"));
}

TEST_F(StartupTest, RecentFilesAreFilledFromTheSettings) {
  h.settings.set("FileSelect1", "/logos/newest.bmp");
  h.settings.set("FileSelect2", "");
  h.settings.set("FileSelect3", "/logos/older.bmp");
  for (int i = 4; i <= 8; ++i) h.settings.set("FileSelect" + std::to_string(i), "");
  app.formLoad("");
  EXPECT_EQ(app.ui().text("mnuRecentFile(0)"), "/logos/newest.bmp");
  EXPECT_TRUE(app.ui().visible("mnuRecentFile(0)"));
  EXPECT_TRUE(app.ui().enabled("mnuRecentFile(0)"));
  EXPECT_FALSE(app.ui().visible("mnuRecentFile(1)"));
  EXPECT_FALSE(app.ui().enabled("mnuRecentFile(1)"));
  EXPECT_EQ(app.ui().text("mnuRecentFile(2)"), "/logos/older.bmp");
  EXPECT_TRUE(app.ui().visible("mnuRecentFile(2)"));
  EXPECT_FALSE(app.ui().visible("mnuRecentFile(7)"));
  EXPECT_EQ(app.currentFile, "/logos/newest.bmp");
}

TEST_F(StartupTest, FirstStartWithNoRecentFileReportsNothing) {
  app.formLoad("");
  EXPECT_FALSE(app.ui().visible("frameError")) << app.ui().text("lblErrTxt");
}

TEST_F(StartupTest, NewestRecentFileIsLoadedIntoTheSelectedSlot) {
  BmpPlan picture;
  picture.width = 256;
  picture.height = 64;
  const std::string file = h.dir + "/newest.bmp";
  writeFile(file, makeBmp(picture));
  h.settings.set("FileSelect1", file);
  h.settings.set("LogoSelect", "2");
  app.formLoad("");
  EXPECT_EQ(app.currentFile, file);
  EXPECT_EQ(app.slotFile[app.selectedSlot], file);
  EXPECT_EQ(app.ui().text("mnuRecentFile(0)"), file);
  EXPECT_FALSE(app.ui().visible("frameError")) << app.ui().text("lblErrTxt");
}

// ---- The window after start-up ----

TEST_F(StartupTest, WindowEndsInItsIdleState) {
  app.ui().setText("lblDiag", "old");
  app.ui().setHeightTwips(9000);
  app.imageWidth = 10;
  app.imageHeight = 10;
  app.session().setGraphicsNode(false);
  app.session().setLargeMemory(false);
  app.formLoad("");
  EXPECT_EQ(app.ui().text("lblDiag"), "No Reply");
  EXPECT_EQ(app.ui().get("LOGO_SELECT").height, 4155);
  EXPECT_EQ(app.ui().heightTwips(), 5650);
  EXPECT_EQ(app.imageWidth, 256);
  EXPECT_EQ(app.imageHeight, 64);
  EXPECT_TRUE(app.session().graphicsNode());
  EXPECT_TRUE(app.session().largeMemory());
  // With no model known only logo 1 is offered, and its option is there to be chosen.
  EXPECT_TRUE(app.ui().visible(indexed("optLOGO", 1)));
  for (int i = 2; i <= 7; ++i) EXPECT_FALSE(app.ui().visible(indexed("optLOGO", i))) << i;
  EXPECT_FALSE(app.dispatcher().guarded());
  EXPECT_TRUE(h.loop.timerEnabled(TimerId::Delay));
  EXPECT_TRUE(h.loop.timerEnabled(TimerId::Splash));
}

TEST_F(StartupTest, RestoredReplyAreaKeepsTheTallerWindow) {
  h.settings.set("ShowReply", "True");
  app.formLoad("");
  EXPECT_EQ(app.ui().heightTwips(), 6125);
  EXPECT_TRUE(app.ui().checked("mnuDiagSub(23)"));
}

// ---- Another copy of the program ----

struct InstanceTest : StartupTest {
  FakeInstances instances;
  std::unique_ptr<Platform> p;
  std::unique_ptr<App> a;
  void SetUp() override {
    h.app.reset();
    p = std::make_unique<Platform>(
        Platform{h.port, h.loop, h.settings, h.dialogs, h.launcher, h.dir, h.dir, &instances});
    a = std::make_unique<App>(*p);
    instances.app = a.get();
  }
};

TEST_F(InstanceTest, AnotherCopyIsBroughtForwardAndClosed) {
  instances.running = true;
  a->formLoad("");
  EXPECT_EQ(instances.fronted, 1);
  EXPECT_EQ(instances.closeCalls, 1);
  EXPECT_TRUE(h.dialogs.messages.empty());
  EXPECT_FALSE(h.loop.timerEnabled(TimerId::Splash));
  EXPECT_EQ(a->ui().text("lblDiag"), "No Reply");  // start-up goes on
}

TEST_F(InstanceTest, ACopyThatCannotBeClosedIsReported) {
  instances.running = true;
  instances.closes = false;
  a->formLoad("");
  ASSERT_EQ(h.dialogs.messages.size(), 1u);
  EXPECT_EQ(h.dialogs.messages[0], "RA7_Vud: EndTask: cannot terminate RA7_Vud task");
  EXPECT_FALSE(h.loop.timerEnabled(TimerId::Splash));
  EXPECT_FALSE(a->dispatcher().guarded());
}

TEST_F(InstanceTest, AloneTheSplashIsScheduled) {
  a->formLoad("");
  EXPECT_EQ(instances.closeCalls, 0);
  EXPECT_TRUE(h.loop.timerEnabled(TimerId::Splash));
}

TEST_F(InstanceTest, AFailingStepIsReportedAndStartUpGoesOn) {
  instances.throws = true;
  h.settings.set("LogoSelect", "2");
  a->formLoad("");
  EXPECT_TRUE(a->ui().visible("frameError"));
  EXPECT_EQ(a->ui().text("frameError"), "Form_Load");
  EXPECT_NE(a->ui().text("lblErrTxt").find("window lookup failed"), std::string::npos);
  EXPECT_EQ(a->selectedSlot, 2);
  EXPECT_EQ(a->ui().text("lblDiag"), "No Reply");
  EXPECT_FALSE(a->dispatcher().guarded());
}

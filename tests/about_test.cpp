// The about window and the start-up splash: texts, countdowns, the credits' rhythm, the
// mouse hold, closing by click or key, and the mail and web links.
#include "shell/about.h"

#include <gtest/gtest.h>

#include "build_config.h"
#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

struct AboutTest : ::testing::Test {
  VirtualLoop loop;
  FakeLauncher launcher;
  AboutWindow w{loop, launcher};
  int closedCalls = 0;
  void SetUp() override {
    w.closed = [this] { ++closedCalls; };
  }
  // Ticks until the window closes; the number of ticks it took (0 if it stayed open).
  int ticksToClose(int limit) {
    for (int i = 1; i <= limit; ++i) {
      if (w.tick()) return i;
    }
    return 0;
  }
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t at = text.find("\r\n", start);
    out.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return out;
    start = at + 2;
  }
}

}  // namespace

// ---- Texts ----

TEST_F(AboutTest, LabelsAreFilledOnLoad) {
  w.load(false);
  const std::string version = std::to_string(OSD_VERSION_MAJOR) + "." +
                              std::to_string(OSD_VERSION_MINOR) + "." +
                              std::to_string(OSD_VERSION_PATCH);
  EXPECT_EQ(w.ui().text("lblVersion"), "Version " + version + " ");
  EXPECT_EQ(w.ui().text("lblProductName"), "ZE3/ZI7-Vova");
  EXPECT_EQ(lines(w.ui().text("lblCompany")),
            (std::vector<std::string>{OSD_MAKER_NAME, OSD_MAKER_TOWN}));
  EXPECT_EQ(w.ui().text("lblProduct"), "RA7-Ziro\r\nOn Screen Display Programmer");
  EXPECT_EQ(lines(w.ui().text("lblCredit")),
            (std::vector<std::string>{"Software Developed by:", OSD_DEVELOPER_NAME,
                                      OSD_DEVELOPER_PHONE, OSD_DEVELOPER_WEB, OSD_DEVELOPER_MAIL}));
  EXPECT_FALSE(w.ui().visible("lblCredit"));
}

// ---- Countdowns ----

TEST_F(AboutTest, SplashClosesOnTheEighthTick) {
  w.load(false);
  EXPECT_EQ(w.closeCountdown(), 7);
  EXPECT_EQ(w.waitCounter(), 7);
  EXPECT_EQ(w.showCounter(), 5);
  EXPECT_FALSE(w.held());
  EXPECT_TRUE(loop.timerEnabled(TimerId::About));
  EXPECT_EQ(ticksToClose(50), 8);
  EXPECT_FALSE(w.isOpen());
  EXPECT_EQ(closedCalls, 1);
  EXPECT_FALSE(loop.timerEnabled(TimerId::About));
}

TEST_F(AboutTest, AboutEntryStaysSixHundredTicks) {
  w.load(true);
  EXPECT_EQ(w.closeCountdown(), 600);
  EXPECT_EQ(ticksToClose(2000), 601);
  EXPECT_EQ(closedCalls, 1);
}

TEST_F(AboutTest, HeldButtonKeepsTheWindowOpenUntilReleased) {
  w.load(false);
  w.press();
  EXPECT_TRUE(w.held());
  EXPECT_EQ(ticksToClose(40), 0);
  EXPECT_TRUE(w.isOpen());
  w.release();
  EXPECT_FALSE(w.held());
  EXPECT_TRUE(w.isOpen());  // closes on the next tick, not at once
  EXPECT_TRUE(w.tick());
  EXPECT_EQ(closedCalls, 1);
}

TEST_F(AboutTest, ReloadStartsTheCountdownAfresh) {
  w.load(false);
  ticksToClose(5);
  w.load(true);
  EXPECT_EQ(w.closeCountdown(), 600);
  EXPECT_EQ(w.waitCounter(), 7);
  EXPECT_TRUE(w.isOpen());
}

// ---- Credits ----

TEST_F(AboutTest, CreditsComeAndGoInTheirRhythm) {
  w.load(true);
  std::string seen;
  for (int i = 0; i < 26; ++i) {
    w.tick();
    seen += w.ui().visible("lblCredit") ? 'V' : '-';
  }
  // Hidden for 7 ticks, shown for 5, hidden for 8, shown again.
  EXPECT_EQ(seen, "-------VVVVV--------VVVVV-");
}

TEST_F(AboutTest, MovingWithTheButtonHeldShowsTheCredits) {
  w.load(true);
  w.move();
  EXPECT_FALSE(w.ui().visible("lblCredit"));
  w.press();
  w.move();
  EXPECT_TRUE(w.ui().visible("lblCredit"));
}

// ---- Closing and links ----

TEST_F(AboutTest, ClickOrKeyCloses) {
  w.load(true);
  w.click("Frame1");
  EXPECT_FALSE(w.isOpen());
  EXPECT_TRUE(launcher.opened.empty());
  w.load(true);
  w.keyPress();
  EXPECT_FALSE(w.isOpen());
  EXPECT_EQ(closedCalls, 2);
}

TEST_F(AboutTest, MailAndWebLabelsOpenTheirAddresses) {
  w.load(true);
  w.click("lblMail");
  w.load(true);
  w.click("lblWeb");
  ASSERT_EQ(launcher.opened.size(), 2u);
  EXPECT_EQ(launcher.opened[0], "mailto:" + w.ui().text("lblMail"));
  EXPECT_EQ(launcher.opened[0], std::string("mailto:") + OSD_DEVELOPER_MAIL);
  EXPECT_EQ(launcher.opened[1], OSD_DEVELOPER_WEB);
  EXPECT_FALSE(w.isOpen());
}

// ---- From the main window ----

struct AboutFromAppTest : ::testing::Test {
  Harness h;
  App& app = *h.app;
  int shows = 0;
  bool lastModal = false;
  bool mainEnabledDuringShow = true;
  int64_t shownFor = 0;
  void SetUp() override {
    // A modal showing runs the event loop until the window closes, as the real one does.
    app.onShowAbout = [this](AboutWindow& w, bool modal) {
      ++shows;
      lastModal = modal;
      mainEnabledDuringShow = app.ui().windowEnabled();
      if (!modal) return;
      const int64_t start = h.loop.ms();
      while (w.isOpen() && h.loop.ms() - start < 3600 * 1000) h.loop.yield();
      shownFor = h.loop.ms() - start;
    };
  }
};

TEST_F(AboutFromAppTest, SplashShowsOnceModallyAndGivesTheWindowBack) {
  h.loop.setTimerEnabled(TimerId::Splash, true);
  h.loop.advance(100);
  EXPECT_EQ(shows, 1);
  EXPECT_TRUE(lastModal);
  EXPECT_FALSE(mainEnabledDuringShow);
  EXPECT_TRUE(app.ui().windowEnabled());
  EXPECT_TRUE(app.splashShown);
  EXPECT_FALSE(h.loop.timerEnabled(TimerId::Splash));
  ASSERT_NE(app.about(), nullptr);
  EXPECT_FALSE(app.about()->isOpen());
  EXPECT_GE(shownFor, 8000);
  EXPECT_LT(shownFor, 9000);

  h.loop.setTimerEnabled(TimerId::Splash, true);
  h.loop.advance(1000);
  EXPECT_EQ(shows, 1);
}

TEST_F(AboutFromAppTest, AboutEntryShowsModelessForTenMinutes) {
  app.click("mnuAbout");
  EXPECT_EQ(shows, 1);
  EXPECT_FALSE(lastModal);
  ASSERT_NE(app.about(), nullptr);
  h.loop.advance(600 * 1000);
  EXPECT_TRUE(app.about()->isOpen());
  h.loop.advance(1000);
  EXPECT_FALSE(app.about()->isOpen());
  EXPECT_FALSE(h.loop.timerEnabled(TimerId::About));
}

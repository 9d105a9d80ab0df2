// Menu entries that start outside programs: the manual and the paint program; and exit.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

struct MenusTest : ::testing::Test {
  Harness h;
  App& app = *h.app;
  std::string savedPath;
  bool hadPath = false;
  void SetUp() override {
    if (const char* p = std::getenv("PATH")) {
      hadPath = true;
      savedPath = p;
    }
    ::setenv("PATH", "/opt/paint/bin:/usr/bin", 1);
  }
  void TearDown() override {
    if (hadPath) {
      ::setenv("PATH", savedPath.c_str(), 1);
    } else {
      ::unsetenv("PATH");
    }
  }
};

}  // namespace

TEST_F(MenusTest, ManualIsOpenedFromTheProgramFolder) {
  const std::string manual = h.dir + "/QX7_QX3_Manual.pdf";
  h.launcher.existing.insert(manual);
  app.click("mnuManual");
  ASSERT_EQ(h.launcher.opened.size(), 1u);
  EXPECT_EQ(h.launcher.opened[0], manual);
}

TEST_F(MenusTest, MissingManualChangesNothing) {
  app.click("mnuManual");
  EXPECT_TRUE(h.launcher.opened.empty());
  EXPECT_TRUE(h.launcher.started.empty());
  EXPECT_FALSE(app.ui().visible("frameError"));
  EXPECT_EQ(h.dialogs.beeps, 0);
}

TEST_F(MenusTest, EveryPaintProgramFoundIsStartedWithoutAFileWhenNoneIsChecked) {
  h.launcher.existing = {"/usr/bin/kolourpaint", "/opt/paint/bin/gimp", "/usr/bin/gimp"};
  app.click("mnuPaintBrush");
  ASSERT_EQ(h.launcher.started.size(), 2u);
  EXPECT_EQ(h.launcher.started[0].first, "/usr/bin/kolourpaint");
  EXPECT_EQ(h.launcher.started[1].first, "/opt/paint/bin/gimp");  // first on the path
  EXPECT_TRUE(h.launcher.started[0].second.empty());
  EXPECT_TRUE(h.launcher.started[1].second.empty());
}

TEST_F(MenusTest, CheckedRecentFileIsHandedToThePaintProgram) {
  h.launcher.existing = {"/usr/bin/pinta"};
  app.ui().setText("mnuRecentFile(2)", "/logos/my logo.bmp");
  app.ui().setChecked("mnuRecentFile(2)", true);
  app.click("mnuPaintBrush_top");
  ASSERT_EQ(h.launcher.started.size(), 1u);
  EXPECT_EQ(h.launcher.started[0].first, "/usr/bin/pinta");
  EXPECT_EQ(h.launcher.started[0].second, (std::vector<std::string>{"/logos/my logo.bmp"}));
}

TEST_F(MenusTest, NoPaintProgramIsReported) {
  app.click("mnuPaintBrush");
  EXPECT_TRUE(h.launcher.started.empty());
  EXPECT_TRUE(app.ui().visible("frameError"));
  EXPECT_EQ(app.ui().text("lblErrTxt").rfind("No paint program found", 0), 0u);
}

TEST_F(MenusTest, ExitAsksTheWindowToClose) {
  int exits = 0;
  app.onExit = [&] { ++exits; };
  app.click("mnuExit");
  app.click("btn_Exit");
  EXPECT_EQ(exits, 2);
}

TEST_F(MenusTest, ClosingTheProgramDuringTheSplashIsSafe) {
  bool shown = false;
  // The window is closed while the splash is up: shutdown discards the about window.
  app.onShowAbout = [&](AboutWindow&, bool modal) {
    shown = modal;
    app.shutdown();
  };
  app.splashTick();
  EXPECT_TRUE(shown);
  EXPECT_TRUE(app.ui().windowEnabled());
}

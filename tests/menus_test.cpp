// Menu entries that start outside programs: the manual and the paint program; exit; the
// about window and the splash.
#include <gtest/gtest.h>

#include <cstdlib>

#include "shell/about.h"
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
  EXPECT_TRUE(app.statusLine().view().errorShown);
  EXPECT_EQ(app.statusLine().view().errorText.rfind("No paint program found", 0), 0u);
}

TEST_F(MenusTest, ExitAsksTheWindowToClose) {
  int exits = 0;
  app.setWindowActions({[&] { ++exits; }, {}, {}, {}, {}});
  app.click("mnuExit");
  app.click("btn_Exit");
  EXPECT_EQ(exits, 2);
}

// What the window shows before anything happened.
TEST_F(MenusTest, CaptionsAtStart) {
  const std::pair<const char*, const char*> captions[] = {{"mnuPaintBrush", "&PaintBrush"},
                                                          {"mnuNodeView", "&Node View"}};
  for (const auto& [name, text] : captions) EXPECT_EQ(app.ui().text(name), text) << name;
}

TEST_F(MenusTest, ClosingTheProgramDuringTheSplashIsSafe) {
  bool shown = false;
  // The window is closed while the splash is up: shutdown discards the about window.
  App::WindowActions actions;
  actions.showAbout = [&](AboutWindow&, bool modal) {
    shown = modal;
    app.shutdown();
  };
  app.setWindowActions(actions);
  app.splashTick();
  EXPECT_TRUE(shown);
  EXPECT_TRUE(app.statusLine().view().windowEnabled);
}

// The splash closes itself on its eighth one-second tick, the about window on its 601st.
TEST_F(MenusTest, SplashAndAboutWindowCloseThemselvesOnTheirTick) {
  for (const auto& [asAbout, closingTick] : {std::pair{false, 8}, std::pair{true, 601}}) {
    AboutWindow w{h.loop, h.launcher};
    w.load(asAbout);
    int tick = 1;
    while (!w.tick() && tick < 1000) ++tick;
    EXPECT_EQ(tick, closingTick) << (asAbout ? "about window" : "splash");
    EXPECT_FALSE(w.isOpen());
  }
}

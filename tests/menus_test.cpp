// Menu entries that start outside programs: the manual and the paint program; exit; the
// about window and the splash.
#include <gtest/gtest.h>

#include <cstdlib>

#include "shell/about.h"
#include "support/fakes.h"
#include "support/portable.h"

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

// The desktop's paint programs on the search path, each found one started; on Windows, Paint
// at its known places, each tried in turn.
TEST_F(MenusTest, CheckedRecentFileIsHandedToThePaintProgram) {
#ifdef _WIN32
  const std::vector<std::string> tried = {"C:\\winnt\\System32\\mspaint.exe",
                                          "C:\\windows\\System32\\mspaint.exe",
                                          "C:\\Windows\\Pbrush.exe"};
  const std::string paint = tried[1];
#else
  const std::string paint = "/usr/bin/pinta";
  const std::vector<std::string> tried = {paint};
#endif
  h.launcher.existing = {paint};
  app.ui().setText("mnuRecentFile(2)", "/logos/my logo.bmp");
  app.ui().setChecked("mnuRecentFile(2)", true);
  app.click("mnuPaintBrush_top");
  ASSERT_EQ(h.launcher.started.size(), tried.size());
  for (size_t i = 0; i < tried.size(); ++i) {
    EXPECT_EQ(h.launcher.started[i].first, tried[i]);
    EXPECT_EQ(h.launcher.started[i].second, (std::vector<std::string>{"/logos/my logo.bmp"}));
  }
  EXPECT_FALSE(app.statusLine().view().errorShown);
}

TEST_F(MenusTest, NoPaintProgramIsReported) {
  app.click("mnuPaintBrush");
#ifdef _WIN32
  EXPECT_EQ(h.launcher.started.size(), 3u);  // each known place tried, none there
#else
  EXPECT_TRUE(h.launcher.started.empty());
#endif
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

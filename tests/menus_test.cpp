// Menu entries that start outside programs: the manual and the paint program; the about
// window and the splash.
#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

#include "settings/setting_keys.h"
#include "shell/about.h"
#include "support/fakes.h"
#include "support/portable.h"

using namespace osd;
using namespace osd::test;

namespace {

struct MenusTest : ::testing::Test {
  Harness h;
  App& app = *h.app;
  const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  void SetUp() override { ::setenv("PATH", "/opt/paint/bin:/usr/bin", 1); }
  void TearDown() override { ::setenv("PATH", savedPath.c_str(), 1); }
};

}  // namespace

// The desktop's paint programs on the search path, each found one started with the checked
// recent file; on Windows, Paint at its known places, each tried in turn. None found is said.
TEST_F(MenusTest, CheckedRecentFileIsHandedToThePaintProgram) {
#ifdef _WIN32
  const std::vector<std::string> tried = {"C:\\winnt\\System32\\mspaint.exe",
                                          "C:\\windows\\System32\\mspaint.exe",
                                          "C:\\Windows\\Pbrush.exe"};
  const std::string paint = tried[1];
  const std::vector<std::string> triedWhenNone = tried;
#else
  const std::string paint = "/usr/bin/pinta";
  const std::vector<std::string> tried = {paint}, triedWhenNone = {};
#endif
  app.logos().restoreRecent(2, "/logos/my logo.bmp");
  app.logos().checkRecent(2);
  for (const bool found : {true, false}) {
    h.launcher.existing = found ? std::set<std::string>{paint} : std::set<std::string>{};
    h.launcher.started.clear();
    app.menus().openPaint();
    std::vector<std::pair<std::string, std::vector<std::string>>> expected;
    for (const std::string& p : found ? tried : triedWhenNone)
      expected.push_back({p, {"/logos/my logo.bmp"}});
    EXPECT_EQ(h.launcher.started, expected) << found;
    EXPECT_EQ(app.statusLine().view().errorShown, !found);
    EXPECT_EQ(app.statusLine().view().errorText.rfind("No paint program found", 0) == 0, !found);
  }
}

#ifndef _WIN32
// $VISUAL and $EDITOR come first, split into words without a shell; an editor that needs a
// terminal is left out.
TEST_F(MenusTest, TextEditorsTakeTheUsersChoiceFirst) {
  for (const auto& [visual, editor, first] :
       std::vector<std::tuple<const char*, const char*, std::vector<std::string>>>{
           {" code\t -w ", "vi", {"code", "-w"}},
           {"/usr/bin/nano", "emacs -nw", {"xdg-open"}},
           {"", "kate --new", {"kate", "--new"}},
           {"emacs", "", {"emacs"}},
           {"", "mousepad -nw", {"mousepad", "-nw"}}}) {
    ::setenv("VISUAL", visual, 1);
    ::setenv("EDITOR", editor, 1);
    const std::vector<std::vector<std::string>> editors = h.launcher.Launcher::textEditors();
    ::unsetenv("VISUAL");
    ::unsetenv("EDITOR");
    ASSERT_FALSE(editors.empty());
    EXPECT_EQ(editors.front(), first) << visual << " | " << editor;
    EXPECT_EQ(editors.size(), 9u + (first.front() != "xdg-open")) << visual;
  }
}
#endif

TEST_F(MenusTest, ClosingTheProgramDuringTheSplashIsSafe) {
  bool shown = false;
  // The window is closed while the splash is up: shutdown discards the about window.
  app.menus().setWindowActions({.showAbout = [&](AboutWindow&, bool modal) {
    shown = modal;
    app.shutdown();
  }});
  app.menus().splashTick();
  EXPECT_TRUE(shown && app.statusLine().view().windowEnabled);
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

// The show modes: each entry inverts its flag and stores it; no other index is one of them.
TEST_F(MenusTest, ShowModesInvertAndStoreTheirFlag) {
  const auto flags = [&] {
    const MenusView& v = app.menus().view();
    return std::vector<bool>{v.showIntensity, v.showMix, v.showFade};
  };
  const std::vector<bool> before = flags();
  for (const int i : {-1, 0, 1, 2, 3, 0}) app.menus().showMode(i);
  EXPECT_EQ(flags(), (std::vector<bool>{before[0], !before[1], !before[2]}));
  const std::vector<std::string> stored = {*h.settings.get("ShowInt"), *h.settings.get("ShowMix"),
                                           *h.settings.get("ShowFade")};
  EXPECT_EQ(stored, (std::vector<std::string>{truthText(before[0]), truthText(!before[1]),
                                              truthText(!before[2])}));
}

// Start-up of the main window: order of the steps, the send guard, the command line, the
// saved logo, port and recent files, the previous copy of the program, the first wake-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "support/bmp_builder.h"
#include "support/fakes.h"
#include "support/sim_line.h"

using namespace osd;
using namespace osd::test;

namespace {

// No other copy of the program is running; the question is asked with the send guard on.
struct FakeInstances : InstanceGuard {
  std::vector<bool> guardSeen;  // the send guard at the time of the question
  App* app = nullptr;
  bool otherInstanceRunning() override {
    if (app) guardSeen.push_back(app->dispatcher().guarded());
    return false;
  }
  Handover closeOther() override { return Handover::Closed; }
};

// A port that tries to put bytes on the line the moment it is opened, to prove that the
// send guard holds while the window is being set up.
struct EagerPort : FakePort {
  App* app = nullptr;
  int attempts = 0;
  bool open(int number, PortOpenError& error) override {
    bool ok = FakePort::open(number, error);
    if (ok && app) {
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
};

}  // namespace

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

  EXPECT_TRUE(port.isOpen() && port.currentNumber == 3 && !a.dispatcher().guarded());
  EXPECT_GT(port.attempts, 0);  // the port did try to send while opening
  EXPECT_EQ(instances.guardSeen, std::vector<bool>{true});
  // Once set up, commands go out, and only they.
  a.dispatcher().run(Command::Blink);
  EXPECT_EQ(port.writes, std::vector<std::string>{"ACI"});
}

// All nodes are woken about two seconds after start. The node search is on the status line
// until a node answers or 8 s have passed; with no port chosen the title and the status line
// say so, until the operator chooses one.
TEST_F(StartupTest, NodesAreWokenAndTheSearchIsToldOnTheStatusLine) {
  const char* kNoPort = "No port chosen: pick one in the Com menu";
  struct Case {
    const char* savedPort;
    bool node;
    int64_t afterMs;
    const char* status;
    const char* titleEnd;
    int wakeUps;  // "WK,00" sent so far
  } cases[] = {
      {"3", true, 1000, "Looking for a node on COM3…", "(No NodeDetected)", 0},
      {"3", false, 2150, "Looking for a node on COM3…", "(No NodeDetected)", 0},
      {"3", false, 2300, "Looking for a node on COM3…", "(No NodeDetected)", 1},
      {"3", true, 6000, "", "64K Grapics Node Detected", 1},
      {"3", false, 7900, "Looking for a node on COM3…", "(No NodeDetected)", 1},
      {"3", false, 8100, "No node answered on COM3.", "(No NodeDetected)", 1},
      {"255", false, 8100, "No node answered on COM255.", "(No NodeDetected)", 1},
      {"256", false, 21000, kNoPort, "(No NodeDetected) - no port chosen", 0},
      {"0", false, 21000, kNoPort, "(No NodeDetected) - no port chosen", 0},
  };
  for (const Case& c : cases) {
    Harness h;
    std::optional<SimLine> line;
    if (c.node) line.emplace(h, sim::NodeConfig{}, 0);
    h.port.openable = {1, 3, 255, 256};
    h.settings.set("ComPort", c.savedPort);
    h.app->menus().skipSplash();
    h.app->formLoad("");
    h.loop.advance(c.afterMs);
    const std::string title = h.app->port().view().title;
    EXPECT_EQ(h.app->statusLine().view().status, c.status) << c.afterMs;
    EXPECT_TRUE(title.ends_with(c.titleEnd) && title.find("COM0") == std::string::npos) << title;
    EXPECT_EQ(std::count(h.port.writes.begin(), h.port.writes.end(), "WK,00"), c.wakeUps)
        << c.afterMs;
    if (c.status != kNoPort) continue;
    h.app->port().selectPort(c.savedPort[0] == '0' ? 1 : 3);  // the lowest number too
    EXPECT_EQ(h.app->statusLine().view().status, "");
  }
}

TEST_F(StartupTest, RecentFilesAreFilledFromTheSettings) {
  // "0": the placeholder of an entry never filled.
  const char* stored[] = {"/logos/newest.bmp", "", "/logos/older.bmp", "", "", "", "", "0"};
  for (int i = 0; i < 8; ++i) h.settings.set("FileSelect" + std::to_string(i + 1), stored[i]);
  app.formLoad("");
  const auto& recent = app.logos().view().recent;
  EXPECT_EQ(
      std::vector<std::string>(recent.begin(), recent.end()),
      (std::vector<std::string>{"/logos/newest.bmp", "", "/logos/older.bmp", "", "", "", "", ""}));
  EXPECT_EQ(app.bench().logos().current, "/logos/newest.bmp");
}

TEST_F(StartupTest, NewestRecentFileIsLoadedIntoTheSelectedSlot) {
  const std::string file = h.dir + "/newest.bmp";
  writeFile(file, makeBmp(BmpPlan{.width = 256, .height = 64}));
  h.settings.set("FileSelect1", file);
  h.settings.set("LogoSelect", "2");
  app.formLoad("");
  const LogoSlots& logos = app.bench().logos();
  EXPECT_EQ((std::vector{logos.current, logos.file[logos.selected], app.logos().view().recent[0]}),
            std::vector<std::string>(3, file));
  EXPECT_FALSE(app.statusLine().view().errorShown) << app.statusLine().view().errorText;
}

// Status line, error panel and the input window answer rules.
#include <gtest/gtest.h>

#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {
struct ReportingTest : ::testing::Test {
  Harness h;
  App& app = *h.app;
  void tick(int n) {
    for (int i = 0; i < n; ++i) app.statusLine().tick();
  }
};
}  // namespace

TEST_F(ReportingTest, TwoErrorsWithinTheCountdownShareOnePanel) {
  app.statusLine().error("first failure", "TitleOne");
  tick(100);
  app.statusLine().error("second failure", "TitleTwo");
  const StatusView& v = app.statusLine().view();
  EXPECT_EQ(std::tuple(v.errorShown, v.errorTitle, v.errorText, h.dialogs.beeps),
            std::tuple(true, "TitleTwo", "first failure\r\nsecond failure", 2));
  tick(StatusPresenter::kErrorTicks);  // the second failure starts the countdown again
  EXPECT_TRUE(app.statusLine().view().errorShown);
  tick(1);
  EXPECT_FALSE(app.statusLine().view().errorShown);
}

// A download's result is held 5 s, and gives way at once to the next action's own text or
// bar; a node's answers meanwhile do not keep it up longer.
TEST_F(ReportingTest, AHeldResultGivesWayToTheNextActionsOwnFeedback) {
  const std::string result = "Logo 1 downloaded: 65,667 bytes in 1 min 9 s", text = "Waiting";
  // The next action (0: none, 1: a text, 2: a bar, 3: the node poll's answers), ticks after it.
  const std::tuple<int, int, std::string> cases[] = {
      {0, 199, result}, {0, 201, ""}, {1, 300, text}, {2, 0, ""}, {3, 300, ""}};
  const auto keep = [&](bool poll) { poll ? app.statusLine().keepStatus(200) : void(); };
  for (const auto& [next, ticks, shown] : cases) {
    app.statusLine().status(result);
    app.statusLine().holdStatus(StatusPresenter::kUsualStatusTicks);
    app.statusLine().progressShown(next == 2);
    if (next == 1) app.statusLine().status(text);
    for (int t = 0; t < ticks; ++t, tick(1)) keep(next == 3 && t % 150 == 0);
    EXPECT_EQ(app.statusLine().view().status, shown) << next << " " << ticks;
  }
}

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
  EXPECT_TRUE(app.statusLine().view().errorShown);
  EXPECT_EQ(app.statusLine().view().errorTitle, "TitleTwo");
  EXPECT_EQ(app.statusLine().view().errorText, "first failure\r\nsecond failure");
  EXPECT_EQ(h.dialogs.beeps, 2);
  tick(StatusPresenter::kErrorTicks);  // the second failure starts the countdown again
  EXPECT_TRUE(app.statusLine().view().errorShown);
  tick(1);
  EXPECT_FALSE(app.statusLine().view().errorShown);
}

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
    for (int i = 0; i < n; ++i) app.reportTick();
  }
};
}  // namespace

TEST_F(ReportingTest, TwoErrorsWithinTheCountdownShareOnePanel) {
  app.showError("first failure", "TitleOne");
  tick(100);
  app.showError("second failure", "TitleTwo");
  EXPECT_TRUE(app.ui().visible("frameError"));
  EXPECT_EQ(app.ui().text("frameError"), "TitleTwo");
  EXPECT_EQ(app.ui().text("lblErrTxt"), "first failure\r\nsecond failure");
  EXPECT_EQ(h.dialogs.beeps, 2);
  EXPECT_EQ(app.ui().get("frameError").left, 1000);
  EXPECT_EQ(app.ui().get("frameError").width, 3500);
}

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

TEST_F(ReportingTest, ASecondErrorRestartsTheTenSecondCountdown) {
  app.showError("a", "t");
  tick(360);  // 9 seconds
  app.showError("b", "t");
  tick(399);
  EXPECT_TRUE(app.ui().visible("frameError"));
  tick(2);
  EXPECT_FALSE(app.ui().visible("frameError"));
  EXPECT_EQ(app.errorCountdown, -1);
}

TEST_F(ReportingTest, DismissThenNewErrorShowsOnlyTheNewMessage) {
  app.showError("old", "t");
  app.click("cmdErrOK");
  EXPECT_FALSE(app.ui().visible("frameError"));
  tick(1);
  EXPECT_EQ(app.errorCountdown, -1);
  app.showError("new", "t2");
  EXPECT_EQ(app.ui().text("lblErrTxt"), "new");
}

TEST_F(ReportingTest, StatusTextStaysWithoutCountdownAndClearsWithOne) {
  app.showStatus("Sending Image");
  tick(1000);
  EXPECT_EQ(app.ui().text("lblCopyright"), "Sending Image");
  app.statusCountdown = 200;
  tick(200);
  EXPECT_EQ(app.ui().text("lblCopyright"), "Sending Image");
  tick(1);
  EXPECT_EQ(app.ui().text("lblCopyright"), "");
  EXPECT_EQ(app.statusCountdown, -1);
}

TEST_F(ReportingTest, InputWindowClosedWithoutEnterGivesEmptyAnswer) {
  h.dialogs.answers = {std::string("42"), std::nullopt};
  EXPECT_EQ(app.askValue("Enter a Fade Rate (0-99)"), "42");
  EXPECT_EQ(app.askValue("Enter a Password"), "");
  ASSERT_EQ(h.dialogs.prompts.size(), 2u);
  EXPECT_EQ(h.dialogs.prompts[1], "Enter a Password");
}

TEST_F(ReportingTest, ProgressIsLimitedToItsRange) {
  app.setProgress(150);
  EXPECT_EQ(app.ui().get("ProgressBar1").value, 100);
  app.setProgress(-3);
  EXPECT_EQ(app.ui().get("ProgressBar1").value, 0);
}

// Restoring the window from the settings at start-up, and the option menus that write them.
#include <gtest/gtest.h>

#include "common/textnum.h"
#include "schedule/schedule_model.h"
#include "settings/setting_rules.h"
#include "support/fakes.h"

namespace osd::test {
namespace {

class FormSetUpTest : public ::testing::Test {
 protected:
  Harness h;
  App& app = *h.app;
  const MenusView& menus = app.menus().view();
  const LogoView& logos = app.logos().view();
};

TEST_F(FormSetUpTest, StartPositionLabelFollowsTheImageTable) {
  app.formSetUp();
  EXPECT_TRUE(app.bench().video().params()[1] != 0 && app.bench().video().params()[3] != 0);
  const int hpos = app.bench().video().params()[2] * 256 + app.bench().video().params()[1];
  const int vpos = app.bench().video().params()[4] * 256 + app.bench().video().params()[3];
  EXPECT_EQ(app.placement().view().startPosition,
            "H= " + rightAlign(std::to_string(hpos), 4) +
                "    V= " + rightAlign(std::to_string(vpos), 4));
}

TEST_F(FormSetUpTest, TransparencyIsClampedAndZeroBecomes255) {
  for (auto [stored, value, written] : {std::tuple{"300", 255, "300"},
                                        {"-5", 0, "-5"},
                                        {"0", 255, "255"},
                                        {"12abc", 12, "12abc"}}) {
    Harness fresh;
    fresh.settings.set("Transparent", stored);
    fresh.app->formSetUp();
    EXPECT_EQ(fresh.app->choices().transparent(), value) << stored;
    EXPECT_EQ(fresh.settings.get("Transparent"), written) << stored;
    EXPECT_EQ(fresh.app->menus().view().transparentCaption,
              "Transparent Value= " + std::to_string(value));
  }
}

TEST_F(FormSetUpTest, ModelSevenOffersSevenLogosAndUnknownModelsChangeNothing) {
  h.settings.set("SX_Model", " 7");
  app.formSetUp();
  EXPECT_EQ(std::tuple(app.choices().model(), menus.model, logos.menuSlots), std::tuple(7, 7, 7));

  Harness other;
  other.settings.set("SX_Model", "5");
  other.app->formSetUp();
  EXPECT_EQ(std::pair(other.app->choices().model(), other.app->menus().view().model),
            std::pair(0, -1));
  EXPECT_EQ(other.app->statusLine().view().errorTitle, "Form_SetUp");
  EXPECT_NE(other.app->statusLine().view().errorText.find("SX_Model"), std::string::npos);
  EXPECT_EQ(other.settings.get("SX_Model"), "5");  // left as stored
}

TEST_F(FormSetUpTest, SlotFilesLoadHighestFirstAndTheLowestEndsSelected) {
  h.settings.set("SX_Model", "4");
  h.settings.set("BMPpath2", h.dir + "/two.bmp");
  h.settings.set("BMPpath4", h.dir + "/four.bmp");
  h.settings.set("BMPpath3", "ab.bmp");  // six characters: not loaded
  app.formSetUp();
  const auto& files = app.bench().logos().file;
  EXPECT_EQ((std::vector<std::string>{files[1], files[3], files[4], *h.settings.get("BMPpath1")}),
            (std::vector<std::string>{"", "ab.bmp", h.dir + "/four.bmp", ""}));
  EXPECT_EQ(app.bench().logos().selected, 2);
}

TEST_F(FormSetUpTest, ScheduleLockMarkFollowsTheSettingAndTheMenu) {
  h.settings.set("Locked", "True");
  app.formSetUp();
  EXPECT_TRUE(app.schedule().view().locked);
  app.schedule().toggleLock();
  EXPECT_FALSE(app.schedule().view().locked);
  EXPECT_EQ(h.settings.get("Locked"), "False");
}

TEST_F(FormSetUpTest, ModelMenu) {
  app.formSetUp();
  app.menus().chooseModel(2);
  // Chosen, then the model, the stored word, the menu's mark and the logos the menu offers.
  const std::tuple<int, int, std::string, int, int> steps[] = {
      {4, 4, "4", 4, 4}, {0, 1, "0", 0, 1}, {5, 1, "1", 1, 1}};  // 5: no such model
  for (const auto& step : steps) {
    app.menus().chooseModel(std::get<0>(step));
    EXPECT_EQ(std::tuple(std::get<0>(step), app.choices().model(), *h.settings.get("SX_Model"),
                         menus.model, logos.menuSlots),
              step);
    if (std::get<0>(step) == 4) {
      EXPECT_EQ(app.port().view().title + "|" + app.port().view().nodeLabel,
                "Sigilon - SX4 Selected|Com");
    }
  }
}

}  // namespace
}  // namespace osd::test

// Restoring the window from the settings at start-up, and the option menus that write them.
#include <gtest/gtest.h>

#include "common/textnum.h"
#include "schedule/schedule_model.h"
#include "settings/setting_keys.h"
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
  const StatusView& status = other.app->statusLine().view();
  EXPECT_EQ(std::tuple(other.app->choices().model(), other.app->menus().view().model,
                       status.errorTitle, other.settings.get("SX_Model")),  // left as stored
            std::tuple(0, -1, "Form_SetUp", std::optional<std::string>("5")));
  EXPECT_NE(status.errorText.find("SX_Model"), std::string::npos);
}

TEST_F(FormSetUpTest, SlotFilesLoadHighestFirstAndTheLowestEndsSelected) {
  h.settings.set("SX_Model", "4");
  h.settings.set("BMPpath2", h.dir + "/two.bmp");
  h.settings.set("BMPpath4", h.dir + "/four.bmp");
  h.settings.set("BMPpath3", "ab.bmp");  // six characters: not loaded
  app.formSetUp();
  const LogoSlots& slots = app.bench().logos();
  EXPECT_EQ(std::tuple(slots.selected, slots.file[4], slots.file[3], slots.file[1]),
            std::tuple(2, h.dir + "/four.bmp", "ab.bmp", ""));
  EXPECT_EQ(h.settings.get("BMPpath1"), "");
}

TEST_F(FormSetUpTest, ScheduleLockMarkFollowsTheSettingAndTheMenu) {
  h.settings.set("Locked", "True");
  app.formSetUp();
  EXPECT_TRUE(app.schedule().view().locked);
  app.schedule().toggleLock();
  EXPECT_TRUE(!app.schedule().view().locked && h.settings.get("Locked") == "False");
}

TEST_F(FormSetUpTest, ModelMenu) {
  app.formSetUp();
  // The model chosen, what is stored, the menu's mark and the logo menu's entries.
  const auto state = [&] {
    return std::tuple(app.choices().model(), *h.settings.get("SX_Model"), menus.model,
                      logos.menuSlots);
  };
  app.menus().chooseModel(2);
  app.menus().chooseModel(4);
  EXPECT_EQ(state(), std::tuple(4, "4", 4, 4));
  EXPECT_EQ(app.port().view().title + " " + app.port().view().nodeLabel,
            "Sigilon - SX4 Selected Com");
  app.menus().chooseModel(0);
  EXPECT_EQ(state(), std::tuple(1, "0", 0, 1));
  app.menus().chooseModel(5);  // no such model
  EXPECT_EQ(state(), std::tuple(1, "1", 1, 1));
}

}  // namespace
}  // namespace osd::test

// Restoring the window from the settings at start-up, and the option menus that write them.
#include <gtest/gtest.h>

#include "common/textnum.h"
#include "schedule/schedule_model.h"
#include "settings/setting_rules.h"
#include "support/fakes.h"

namespace osd::test {
namespace {

std::string repeated(const std::string& group) {
  std::string out;
  for (int i = 0; i < 20; ++i) out += group;
  return out;
}

class FormSetUpTest : public ::testing::Test {
 protected:
  Harness h;
  App& app = *h.app;
  WindowModel& ui = app.ui();
};

TEST_F(FormSetUpTest, FirstStartWithAnEmptyStoreCreatesEveryKey) {
  app.formSetUp();
  EXPECT_FALSE(ui.visible("frameError")) << ui.text("lblErrTxt");
  // The store now holds every key read, as the key table says.
  EXPECT_EQ(h.settings.get("S_Start"), repeated("-1,"));
  for (const char* key : {"S_End", "S_ON", "S_OFF", "S_Logo", "S_Days"}) {
    EXPECT_EQ(h.settings.get(key), repeated("0,")) << key;
  }
  for (const char* key : {"ShowInt", "Locked", "PanelLock", "Color", "optRGB"}) {
    EXPECT_EQ(h.settings.get(key), "False") << key;
  }
  EXPECT_EQ(h.settings.get("Transparent"), "255");
  for (const char* key : {"ShowMix", "ShowFade", "ShowReply", "SX_Model", "DiagTools", "ScheduleOn",
                          "OPTNTSC", "SMPTE"}) {
    EXPECT_EQ(h.settings.get(key), "0") << key;
  }
  EXPECT_EQ(h.settings.get("BMPpath1"), "");
  // The window.
  EXPECT_EQ(app.sxModel, 1);
  EXPECT_TRUE(ui.checked("mnuSetLGx(0)"));
  EXPECT_TRUE(ui.visible("mnuLogoSel(1)"));
  EXPECT_TRUE(ui.checked("mnuLogoSel(1)"));
  for (int n = 2; n <= 15; ++n) EXPECT_FALSE(ui.visible(indexed("mnuLogoSel", n))) << n;
  EXPECT_FALSE(ui.visible("mnuDiag"));
  EXPECT_FALSE(ui.checked("mnuDiagTools"));
  EXPECT_FALSE(app.scheduleOn);
  EXPECT_FALSE(h.loop.timerEnabled(TimerId::Schedule));
  EXPECT_FALSE(ui.visible("lblRunning"));
  EXPECT_FALSE(app.locked);
  EXPECT_FALSE(app.panelLock);
  EXPECT_FALSE(app.colorNode);
  EXPECT_EQ(app.transparentValue, 255);
  EXPECT_EQ(ui.text("mnuShowMode(3)"), "Transparent Value= 255");
  EXPECT_TRUE(ui.checked("optNTSC(0)"));
  EXPECT_FALSE(ui.checked("optNTSC(1)"));
  EXPECT_TRUE(ui.checked("optRGB(1)"));
  EXPECT_FALSE(ui.checked("optRGB(0)"));
  EXPECT_FALSE(ui.visible("img_SMPTE"));
  EXPECT_FALSE(ui.checked("mnu_SMPTE"));
  EXPECT_EQ(ui.heightTwips(), 5650);
  // Step 1 and 13.
  EXPECT_FALSE(ui.visible("mnuSaveLogoDisk"));
  EXPECT_FALSE(ui.enabled("mnuDownloadLogotoRam"));
  EXPECT_FALSE(ui.enabled("mnu_Erase"));
  EXPECT_TRUE(ui.enabled("mnu_ImageToEEPROM"));
  for (int i = 2; i <= 4; ++i) EXPECT_FALSE(ui.visible(indexed("optLOGO", i)));
  // The schedule: every sequence off.
  for (int i = 0; i < 20; ++i) EXPECT_EQ(app.schedule->start[i], -1);
}

TEST_F(FormSetUpTest, StartPositionLabelFollowsTheImageTable) {
  app.formSetUp();
  EXPECT_NE(app.imageParams[1], 0);
  EXPECT_NE(app.imageParams[3], 0);
  const int hpos = app.imageParams[2] * 256 + app.imageParams[1];
  const int vpos = app.imageParams[4] * 256 + app.imageParams[3];
  EXPECT_EQ(ui.text("lblStartPosn"), "H= " + rightAlign(std::to_string(hpos), 4) +
                                         "    V= " + rightAlign(std::to_string(vpos), 4));
  EXPECT_EQ(ui.text("lblStartPosn").substr(0, 3), "H= ");
}

TEST_F(FormSetUpTest, AMalformedListIsReportedOnceAndStartUpGoesOn) {
  h.settings.set("S_End", "100,200,");
  h.settings.set("S_Logo", "1,x,2,");
  h.settings.set("Transparent", "77");
  app.formSetUp();
  EXPECT_TRUE(ui.visible("frameError"));
  EXPECT_EQ(ui.text("frameError"), "Form_SetUp");
  const std::string errors = ui.text("lblErrTxt");
  EXPECT_NE(errors.find("S_End"), std::string::npos) << errors;
  EXPECT_NE(errors.find("S_Logo"), std::string::npos) << errors;
  EXPECT_EQ(errors.find("S_End"), errors.rfind("S_End"));  // once
  // What could be read is kept, the rest is the default, the stored text stays as it was.
  EXPECT_EQ(app.schedule->end[0], 100);
  EXPECT_EQ(app.schedule->end[1], 200);
  EXPECT_EQ(app.schedule->end[2], 0);
  EXPECT_EQ(app.schedule->logo[0], 1);
  EXPECT_EQ(app.schedule->logo[1], 0);
  EXPECT_EQ(app.schedule->logo[2], 2);
  EXPECT_EQ(h.settings.get("S_End"), "100,200,");
  EXPECT_EQ(app.transparentValue, 77);  // later steps ran
}

TEST_F(FormSetUpTest, OneCharacterListIsReplacedByTheDefault) {
  h.settings.set("S_Start", "5");
  app.formSetUp();
  EXPECT_EQ(h.settings.get("S_Start"), repeated("-1,"));
  EXPECT_FALSE(ui.visible("frameError"));
}

TEST_F(FormSetUpTest, TruthRulesPerKey) {
  h.settings.set("ShowMix", " true ");
  h.settings.set("ShowFade", "yes");
  h.settings.set("Locked", "no");
  h.settings.set("PanelLock", "0");
  h.settings.set("Color", "anything");
  h.settings.set("ScheduleOn", "TRUE");
  h.settings.set("DiagTools", "True");
  h.settings.set("SMPTE", "true");
  app.formSetUp();
  EXPECT_TRUE(ui.checked("mnuShowMode(1)"));
  EXPECT_FALSE(ui.checked("mnuShowMode(2)"));
  EXPECT_TRUE(app.locked);
  EXPECT_TRUE(ui.checked("mnuScheduleEdit(1)"));
  EXPECT_FALSE(app.panelLock);
  EXPECT_EQ(h.settings.get("PanelLock"), "False");
  EXPECT_TRUE(app.colorNode);
  EXPECT_TRUE(app.scheduleOn);
  EXPECT_TRUE(h.loop.timerEnabled(TimerId::Schedule));
  EXPECT_TRUE(ui.checked("mnuScheduleOnOff"));
  EXPECT_TRUE(ui.visible("lblRunning"));
  EXPECT_TRUE(ui.visible("mnuDiag"));
  EXPECT_TRUE(ui.checked("mnuDiagTools"));
  EXPECT_TRUE(ui.visible("img_SMPTE"));
  EXPECT_TRUE(ui.checked("mnu_SMPTE"));
  EXPECT_EQ(h.settings.get("ShowFade"), "yes");  // no fix-up for it
}

TEST(SettingRules, ComparisonsAndFixUps) {
  EXPECT_TRUE(textIsTrue(" true "));
  EXPECT_FALSE(textIsTrue("1"));
  EXPECT_TRUE(textIsFalse(" False"));
  EXPECT_EQ(settingRule("Locked").truth, TruthRule::TrueUnlessFalse);
  EXPECT_EQ(settingRule("ShowMix").truth, TruthRule::TrueOnly);
  EXPECT_EQ(settingRule("ShowMix").zeroFixUp, nullptr);
  EXPECT_STREQ(settingRule("ShowInt").zeroFixUp, "False");
  EXPECT_STREQ(settingRule("BMPpath12").zeroFixUp, "");
  EXPECT_STREQ(settingRule("Transparent").zeroFixUp, "255");
}

TEST_F(FormSetUpTest, TransparencyIsClampedAndZeroBecomes255) {
  for (auto [stored, value, written] : {std::tuple{"300", 255, "300"},
                                        {"-5", 0, "-5"},
                                        {"0", 255, "255"},
                                        {"12abc", 12, "12abc"}}) {
    Harness fresh;
    fresh.settings.set("Transparent", stored);
    fresh.app->formSetUp();
    EXPECT_EQ(fresh.app->transparentValue, value) << stored;
    EXPECT_EQ(fresh.settings.get("Transparent"), written) << stored;
    EXPECT_EQ(fresh.app->ui().text("mnuShowMode(3)"),
              "Transparent Value= " + std::to_string(value));
  }
}

TEST_F(FormSetUpTest, ModelSevenOffersSevenLogosAndUnknownModelsChangeNothing) {
  h.settings.set("SX_Model", " 7");
  app.formSetUp();
  EXPECT_EQ(app.sxModel, 7);
  EXPECT_TRUE(ui.checked("mnuSetLGx(7)"));
  EXPECT_FALSE(ui.checked("mnuSetLGx(0)"));
  for (int n = 1; n <= 15; ++n) EXPECT_EQ(ui.visible(indexed("mnuLogoSel", n)), n <= 7) << n;

  Harness other;
  other.settings.set("SX_Model", "5");
  other.app->formSetUp();
  EXPECT_EQ(other.app->sxModel, 0);
  EXPECT_FALSE(other.app->ui().checked("mnuSetLGx(0)"));
  EXPECT_EQ(other.app->ui().text("frameError"), "Form_SetUp");
  EXPECT_NE(other.app->ui().text("lblErrTxt").find("SX_Model"), std::string::npos);
  EXPECT_EQ(other.settings.get("SX_Model"), "5");  // left as stored
}

TEST_F(FormSetUpTest, ReplyDisplayHeight) {
  h.settings.set("ShowReply", "True");
  ui.setHeightTwips(7000);
  app.formSetUp();
  EXPECT_TRUE(ui.checked("mnuDiagSub(23)"));
  EXPECT_EQ(ui.heightTwips(), 7000);

  Harness shorter;
  shorter.settings.set("ShowReply", "True");
  shorter.app->formSetUp();
  EXPECT_EQ(shorter.app->ui().heightTwips(), 6125);
}

TEST_F(FormSetUpTest, PanelLockDisablesThePlacementControls) {
  h.settings.set("PanelLock", "True");
  app.selectedSlot = 2;
  app.formSetUp();
  EXPECT_TRUE(app.panelLock);
  EXPECT_TRUE(ui.checked("mnuPanelLock"));
  EXPECT_FALSE(ui.enabled("picPicture2(2)"));
  EXPECT_FALSE(ui.enabled("txtVPOS"));
  EXPECT_FALSE(ui.enabled("txtHPOS"));
}

TEST_F(FormSetUpTest, VideoOptionsFromTheSettings) {
  h.settings.set("OPTNTSC", " 1 ");
  h.settings.set("optRGB", "True");
  app.formSetUp();
  EXPECT_TRUE(ui.checked("optNTSC(1)"));
  EXPECT_FALSE(ui.checked("optNTSC(0)"));
  EXPECT_TRUE(ui.checked("optRGB(0)"));
  EXPECT_FALSE(ui.checked("optRGB(1)"));
}

TEST_F(FormSetUpTest, SlotFilesLoadHighestFirstAndTheLowestEndsSelected) {
  h.settings.set("SX_Model", "4");
  h.settings.set("BMPpath2", h.dir + "/two.bmp");
  h.settings.set("BMPpath4", h.dir + "/four.bmp");
  h.settings.set("BMPpath3", "ab.bmp");  // six characters: not loaded
  app.formSetUp();
  EXPECT_EQ(app.selectedSlot, 2);
  EXPECT_EQ(app.slotFile[4], h.dir + "/four.bmp");
  EXPECT_EQ(app.slotFile[3], "ab.bmp");
  EXPECT_EQ(app.slotFile[1], "");
  EXPECT_EQ(h.settings.get("BMPpath1"), "");
}

// ---- Option menus ----

TEST_F(FormSetUpTest, ShowModeMenusToggleAndWrite) {
  app.formSetUp();
  app.selectedSlot = 1;
  for (int i = 0; i < 3; ++i) {
    const std::string name = indexed("mnuShowMode", i);
    const char* key = i == 0 ? "ShowInt" : i == 1 ? "ShowMix" : "ShowFade";
    app.click(name);
    EXPECT_TRUE(ui.checked(name));
    EXPECT_EQ(h.settings.get(key), "True");
    app.click(name);
    EXPECT_FALSE(ui.checked(name));
    EXPECT_EQ(h.settings.get(key), "False");
  }
  EXPECT_TRUE(ui.visible("picPicture2(1)"));  // show fade turned off
}

TEST_F(FormSetUpTest, TransparencyMenuAsksAndClamps) {
  app.formSetUp();
  h.dialogs.answers = {std::string("300"), std::string("abc"), std::string(""), std::nullopt};
  app.click("mnuShowMode(3)");
  EXPECT_EQ(h.dialogs.prompts.back(), "Set Transparency value (0-255)");
  EXPECT_EQ(h.settings.get("Transparent"), "255");
  app.click("mnuShowMode(3)");
  EXPECT_EQ(h.settings.get("Transparent"), "0");
  EXPECT_EQ(app.transparentValue, 0);
  EXPECT_EQ(ui.text("mnuShowMode(3)"), "Transparent Value= 0");
  app.click("mnuShowMode(3)");  // empty answer
  app.click("mnuShowMode(3)");  // closed
  EXPECT_EQ(h.settings.get("Transparent"), "0");
  // The next start reads the stored "0" back as 255.
  Harness next;
  next.settings.values = h.settings.values;
  next.app->formSetUp();
  EXPECT_EQ(next.app->transparentValue, 255);
}

TEST_F(FormSetUpTest, SmpteDiagToolsAndPanelLockMenus) {
  app.formSetUp();
  app.click("mnu_SMPTE");
  EXPECT_TRUE(ui.visible("img_SMPTE"));
  EXPECT_EQ(h.settings.get("SMPTE"), "True");
  app.click("mnu_SMPTE");
  EXPECT_FALSE(ui.visible("img_SMPTE"));
  EXPECT_EQ(h.settings.get("SMPTE"), "False");

  app.click("mnuDiagTools");
  EXPECT_TRUE(ui.visible("mnuDiag"));
  EXPECT_TRUE(ui.checked("mnuDiagTools"));
  EXPECT_EQ(h.settings.get("DiagTools"), "True");
  app.click("mnuDiagTools");
  EXPECT_FALSE(ui.visible("mnuDiag"));
  EXPECT_EQ(h.settings.get("DiagTools"), "False");

  const size_t writesBefore = h.port.writes.size();
  app.click("mnuPanelLock");
  EXPECT_TRUE(app.panelLock);
  EXPECT_FALSE(ui.enabled("txtHPOS"));
  EXPECT_EQ(h.settings.get("PanelLock"), "True");
  app.click("mnuPanelLock");
  EXPECT_TRUE(ui.enabled("txtHPOS"));
  EXPECT_EQ(h.settings.get("PanelLock"), "False");
  EXPECT_EQ(h.port.writes.size(), writesBefore);  // nothing sent
}

TEST_F(FormSetUpTest, ScheduleLockAndOnOffMenus) {
  app.formSetUp();
  app.click("mnuScheduleEdit(1)");
  EXPECT_TRUE(app.locked);
  EXPECT_TRUE(ui.checked("mnuScheduleEdit(1)"));
  EXPECT_EQ(h.settings.get("Locked"), "True");
  app.click("mnuScheduleEdit(1)");
  EXPECT_EQ(h.settings.get("Locked"), "False");

  ui.setForeColor("optLOGO(2)", kGreen);
  ui.setVisible("Shape1(2)", true);
  app.click("mnuScheduleOnOff");
  EXPECT_TRUE(app.scheduleOn);
  EXPECT_TRUE(h.loop.timerEnabled(TimerId::Schedule));
  EXPECT_TRUE(ui.visible("lblRunning"));
  EXPECT_EQ(h.settings.get("ScheduleOn"), "True");
  EXPECT_EQ(ui.get("optLOGO(2)").foreColor, kWhite);
  EXPECT_FALSE(ui.visible("Shape1(2)"));
  app.click("mnuScheduleOnOff");
  EXPECT_FALSE(app.scheduleOn);
  EXPECT_FALSE(h.loop.timerEnabled(TimerId::Schedule));
  EXPECT_FALSE(ui.visible("lblRunning"));
  EXPECT_FALSE(ui.checked("mnuScheduleOnOff"));
  EXPECT_EQ(h.settings.get("ScheduleOn"), "False");
}

TEST_F(FormSetUpTest, ModelMenu) {
  app.formSetUp();
  app.click("mnuSetLGx(2)");
  app.click("mnuSetLGx(4)");
  EXPECT_EQ(app.sxModel, 4);
  EXPECT_EQ(h.settings.get("SX_Model"), "4");
  EXPECT_EQ(ui.title(), "Sigilon - SX4 Selected");
  EXPECT_EQ(ui.text("lblNode"), "Com");
  for (int n : {0, 1, 2, 3, 7, 15, 31}) EXPECT_FALSE(ui.checked(indexed("mnuSetLGx", n))) << n;
  EXPECT_TRUE(ui.checked("mnuSetLGx(4)"));
  for (int k = 1; k <= 15; ++k) EXPECT_EQ(ui.visible(indexed("mnuLogoSel", k)), k <= 4) << k;

  app.click("mnuSetLGx(0)");
  EXPECT_EQ(app.sxModel, 1);
  EXPECT_EQ(h.settings.get("SX_Model"), "0");
  EXPECT_TRUE(ui.checked("mnuSetLGx(0)"));
  EXPECT_FALSE(ui.checked("mnuSetLGx(4)"));
  EXPECT_FALSE(ui.visible("mnuLogoSel(2)"));

  app.setModelClick(5);  // no such model
  EXPECT_EQ(app.sxModel, 1);
  EXPECT_EQ(h.settings.get("SX_Model"), "1");
  EXPECT_TRUE(ui.checked("mnuSetLGx(1)"));
}

TEST_F(FormSetUpTest, ShutdownStopsTimersAndClosesThePort) {
  h.openPort(3);
  app.formSetUp();
  h.loop.setTimerEnabled(TimerId::Delay, true);
  h.loop.setTimerEnabled(TimerId::Schedule, true);
  const int writes = h.settings.writes;
  app.shutdown();
  for (int id = 0; id < static_cast<int>(TimerId::Count); ++id) {
    EXPECT_FALSE(h.loop.timerEnabled(static_cast<TimerId>(id))) << id;
  }
  EXPECT_FALSE(h.port.isOpen());
  EXPECT_FALSE(h.port.dtr);
  EXPECT_FALSE(h.port.rts);
  EXPECT_EQ(h.settings.writes, writes);
}

}  // namespace
}  // namespace osd::test

// Logo placement: typed positions, dragging the preview, the slot choice and zoom.
#include <gtest/gtest.h>

#include "logo_bitmap.h"
#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

struct PlacementTest : ::testing::Test {
  Harness h;
  App& app = *h.app;
  void SetUp() override {
    h.lineReady();
    app.selectedSlot = 1;
    app.lastSlot = 1;
    app.sxModel = 15;
  }
  const Control& pic(int slot) { return app.ui().get(indexed("picPicture2", slot)); }
  void type(const std::string& field, const std::string& text) { app.textEdited(field, text); }
  // A drag on slot `slot` from the preview at (left, top), pointer moved by (dx, dy) twips
  // from where it was pressed.
  void drag(int slot, int left, int top, double dx, double dy) {
    app.ui().setLeft(indexed("picPicture2", slot), left);
    app.ui().setTop(indexed("picPicture2", slot), top);
    app.moveThrottle = 0;
    app.previewPress(slot);
    app.previewMove(slot, app.lastX + dx, app.lastY + dy);
  }
};

std::string packet(int v, int hpos) {
  std::string s = "\x80\x89";
  s += static_cast<char>(v);
  s += '\0';
  s += static_cast<char>(hpos);
  s += '\0';
  return s;
}

}  // namespace

// ---------------- Typed positions ----------------

TEST_F(PlacementTest, TypedHorizontalPositions) {
  type("txtHPOS", "50");
  type("txtHPOS", "100");
  type("txtHPOS", "0");
  EXPECT_EQ(h.port.writes, (std::vector<std::string>{"AHP5E", "AHP9A", "AHP22"}));
  EXPECT_EQ(pic(1).left, 60);
  type("txtHPOS", "50");
  EXPECT_EQ(pic(1).left, 2070);
  type("txtHPOS", "100");
  EXPECT_EQ(pic(1).left, 4080);
}

TEST_F(PlacementTest, TypedVerticalPositions) {
  type("txtVPOS", "50");
  EXPECT_EQ(pic(1).top, 1680);
  type("txtVPOS", "100");
  EXPECT_EQ(pic(1).top, 3120);
  type("txtVPOS", "1");
  EXPECT_EQ(h.port.writes, (std::vector<std::string>{"AVP1E", "AVP38", "AVP05"}));
}

TEST_F(PlacementTest, TypedValuesAreLimitedAndWrittenBack) {
  type("txtHPOS", "150");
  EXPECT_EQ(app.ui().text("txtHPOS"), "100");
  type("txtVPOS", "-5");
  EXPECT_EQ(app.ui().text("txtVPOS"), "0");
  type("txtVPOS", "5");
  type("txtVPOS", "50");
  EXPECT_EQ(h.port.writes, (std::vector<std::string>{"AHP9A", "AVP04", "AVP07", "AVP1E"}));
  // Typing changes neither the table nor the start label, and sends no packet.
  EXPECT_EQ(app.imageParams[1], 0);
  EXPECT_EQ(app.ui().text("lblStartPosn"), "Image Start Position");
}

TEST_F(PlacementTest, NonNumericTextBeepsAndResets) {
  type("txtVPOS", "-");
  EXPECT_EQ(app.ui().text("txtVPOS"), "0");
  EXPECT_EQ(app.ui().text("lblErrTxt"), "Allowable Range 4 to 55");
  EXPECT_EQ(app.ui().text("frameError"), "txtVPOS");
  EXPECT_EQ(h.dialogs.beeps, 2);  // the field's beep and the error panel's
  app.dismissError();
  type("txtHPOS", "abc");
  EXPECT_EQ(app.ui().text("lblErrTxt"), "Allowable Range 34 to 154  ");
  EXPECT_EQ(app.ui().text("txtHPOS"), "0");
  app.dismissError();
  type("txtHPOS", "");
  EXPECT_EQ(h.dialogs.beeps, 5);
  EXPECT_FALSE(app.ui().visible("frameError"));
  EXPECT_TRUE(h.port.writes.empty());
}

TEST_F(PlacementTest, BeyondSixteenBitsIsAFailureThatKeepsTheText) {
  type("txtHPOS", "40000");
  EXPECT_EQ(app.ui().text("txtHPOS"), "40000");
  EXPECT_EQ(app.ui().text("frameError"), "txtHPOS");
  EXPECT_TRUE(app.ui().visible("frameError"));
  type("txtVPOS", "-32769");
  EXPECT_EQ(app.ui().text("frameError"), "txtVPOS");
  EXPECT_TRUE(h.port.writes.empty());
  type("txtVPOS", "32767");  // in range: limited to 100
  EXPECT_EQ(h.port.writes, std::vector<std::string>{"AVP38"});
}

TEST_F(PlacementTest, PanelLockRefusesTypedPositions) {
  app.panelLock = true;
  type("txtHPOS", "50");
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_NE(pic(1).left, 2070);
}

// ---------------- Dragging ----------------

TEST_F(PlacementTest, DragClampsAtTheTopLeftCorner) {
  drag(1, 200, 400, -4000, -4000);
  EXPECT_EQ(pic(1).left, 60);
  EXPECT_EQ(pic(1).top, 240);
  EXPECT_EQ(app.ui().text("txtHPOS"), "0");
  EXPECT_EQ(app.ui().text("txtVPOS"), "0");
  EXPECT_EQ(h.port.writes, (std::vector<std::string>{"AVP04", "AHP22", packet(4, 34)}));
}

TEST_F(PlacementTest, DragClampsAtTheBottomRightCorner) {
  drag(1, 5000, 4000, 8000, 8000);
  EXPECT_EQ(pic(1).left, 5650);
  EXPECT_EQ(pic(1).top, 4080);
  EXPECT_EQ(h.port.writes, (std::vector<std::string>{"AVP38", "AHP9A", packet(56, 154)}));
}

TEST_F(PlacementTest, DragMovesByAQuarterOfThePointerOffset) {
  drag(1, 1000, 1000, 400, -200);
  EXPECT_EQ(pic(1).left, 1100);
  EXPECT_EQ(pic(1).top, 950);
  // 1040 * 100 / 5600 = 18.57 -> 19; 710 * 100 / 3840 = 18.49 -> 18.
  EXPECT_EQ(app.ui().text("txtHPOS"), "19");
  EXPECT_EQ(app.ui().text("txtVPOS"), "18");
  // V = 18 * 0.52 + 4 = 13.36 -> 13; H = Int(22.8) + 34 = 56.
  EXPECT_EQ(h.port.writes, (std::vector<std::string>{"AVP0D", "AHP38", packet(13, 56)}));
  // h2 = 1040 * 360 / 5600 = 66.9 -> 67 -> 66; v2 = 712 * 242 / 3840 = 44.87 -> 45 -> 44.
  EXPECT_EQ(app.imageParams[1], 33);
  EXPECT_EQ(app.imageParams[3], 62);
  EXPECT_EQ(app.ui().text("lblStartPosn"), "H=  132    V=   88");
  EXPECT_EQ(app.ui().text("lblImageSettings").substr(0, 29), "Image Parameters: 00 21 00 3E");
}

TEST_F(PlacementTest, PalScalesTheVerticalEntry) {
  app.ui().setChecked("optNTSC(0)", true);
  drag(1, 60, 2158, 0, 0);
  EXPECT_EQ(app.imageParams[3], 138);
  EXPECT_EQ(app.imageParams[4], 0);
  app.previewRelease(1);
  app.ui().setChecked("optNTSC(0)", false);
  app.ui().setChecked("optNTSC(1)", true);
  drag(1, 60, 2158, 0, 0);
  EXPECT_EQ(app.imageParams[3], 160);
  EXPECT_EQ(app.imageParams[4], 0);
}

TEST_F(PlacementTest, OneMovePerTick) {
  h.loop.setTimerEnabled(TimerId::Delay, true);
  drag(1, 1000, 1000, 40, 0);
  const size_t afterFirst = h.port.writes.size();
  app.previewMove(1, app.lastX + 80, app.lastY);
  EXPECT_EQ(h.port.writes.size(), afterFirst);  // throttled
  h.ticks(1);
  app.previewMove(1, app.lastX + 80, app.lastY);
  EXPECT_EQ(h.port.writes.size(), afterFirst + 3);
}

TEST_F(PlacementTest, PanelLockMovesAndSendsNothing) {
  app.panelLock = true;
  drag(1, 1000, 1000, 400, 400);
  EXPECT_EQ(pic(1).left, 1000);
  EXPECT_TRUE(h.port.writes.empty());
}

TEST_F(PlacementTest, DuringADownloadThePreviewMovesSilently) {
  app.downloading = true;
  drag(1, 1000, 1000, 400, 0);
  EXPECT_EQ(pic(1).left, 1100);
  EXPECT_TRUE(h.port.writes.empty());
}

TEST_F(PlacementTest, OtherSlotsPreviewIsNotDragged) {
  drag(2, 1000, 1000, 400, 0);
  EXPECT_EQ(pic(2).left, 1000);
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_FALSE(app.dragging);
}

// ---------------- Slot choice ----------------

TEST_F(PlacementTest, SlotOfAnotherBankHidesTheOthers) {
  app.optLogoClick(6);
  EXPECT_EQ(app.selectedSlot, 6);
  EXPECT_EQ(h.port.writes, std::vector<std::string>{std::string("AJ06\0\0\0", 7)});
  EXPECT_EQ(h.settings.get("LogoSelect"), "6");
  for (int k = 1; k <= 15; ++k) {
    const bool inBank = k >= 5 && k <= 8;
    EXPECT_EQ(app.ui().visible(indexed("lblLogoName", k)), inBank) << k;
    if (!inBank) {
      EXPECT_FALSE(app.ui().visible(indexed("optLOGO", k))) << k;
      EXPECT_FALSE(app.ui().visible(indexed("Shape1", k))) << k;
    }
  }
  EXPECT_TRUE(app.ui().checked("mnuLogoSel(6)"));
  EXPECT_FALSE(app.ui().checked("mnuLogoSel(1)"));
}

TEST_F(PlacementTest, SlotBeyondTheModelOrAlreadyChosenDoesNothing) {
  app.sxModel = 4;
  app.optLogoClick(6);
  app.optLogoClick(1);
  app.optLogoClick(0);
  EXPECT_EQ(app.selectedSlot, 1);
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_FALSE(h.settings.get("LogoSelect").has_value());
}

TEST_F(PlacementTest, PreviewFollowsTheChosenSlot) {
  app.ui().setVisible("picPicture2(1)", true);
  app.logoSelMenuClick(3);
  EXPECT_TRUE(app.ui().visible("picPicture2(3)"));
  EXPECT_FALSE(app.ui().visible("picPicture2(1)"));
  EXPECT_TRUE(app.ui().checked("optLOGO(3)"));
  EXPECT_FALSE(app.ui().checked("optLOGO(1)"));
}

TEST_F(PlacementTest, SlotFifteenHasAPreviewAndIsSelected) {
  app.ui().setVisible("picPicture2(1)", true);
  app.optLogoClick(15);
  EXPECT_EQ(app.selectedSlot, 15);
  EXPECT_TRUE(app.ui().visible("picPicture2(15)"));
  EXPECT_EQ(h.port.writes, std::vector<std::string>{std::string("AJ15\0\0\0", 7)});
  EXPECT_FALSE(app.ui().visible("frameError"));
  // Its preview can be dragged like any other.
  drag(15, 1000, 1000, 400, 0);
  EXPECT_EQ(pic(15).left, 1100);
}

TEST_F(PlacementTest, SlotChoiceDuringStartUpSendsNothing) {
  app.dispatcher().setGuard(true);
  app.optLogoClick(2);
  EXPECT_EQ(app.selectedSlot, 2);
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_FALSE(h.settings.get("LogoSelect").has_value());
  EXPECT_TRUE(app.dispatcher().guarded());
}

TEST_F(PlacementTest, ChosenSlotLoadsItsBitmapWithoutSending) {
  std::string path = h.dir + "/small.bmp";
  writeFile(path, makeBitmap24(128, 32, [](int, int) { return Rgb{10, 20, 30}; }));
  app.slotFile[2] = path;
  const int settingWrites = h.settings.writes;
  app.optLogoClick(2);
  EXPECT_EQ(app.imageWidth, 128);
  EXPECT_EQ(app.imageHeight, 32);
  EXPECT_FALSE(app.dispatcher().guarded());
  // "AJ" only; the load itself sent nothing and left the recent files alone.
  EXPECT_EQ(h.port.writes, std::vector<std::string>{std::string("AJ02\0\0\0", 7)});
  EXPECT_FALSE(h.settings.get("FileSelect1").has_value());
  EXPECT_GT(h.settings.writes, settingWrites);  // "LogoSelect"
}

// ---------------- Zoom ----------------

TEST_F(PlacementTest, ZoomOnNeedsAVisiblePreview) {
  app.ui().setVisible("picPicture2(1)", false);
  app.zoomOnClick();
  EXPECT_FALSE(app.ui().visible("picPicture1"));
  EXPECT_FALSE(app.ui().checked("mnuZoomOn"));
  app.zoomOffClick();
  EXPECT_TRUE(app.ui().visible("picPicture2(1)"));
  EXPECT_TRUE(app.ui().checked("mnuZoomOff"));
  app.zoomOnClick();
  EXPECT_TRUE(app.ui().visible("picPicture1"));
  EXPECT_TRUE(app.ui().checked("mnuZoomOn"));
  EXPECT_FALSE(app.ui().checked("mnuZoomOff"));
  app.zoomOffClick();
  EXPECT_FALSE(app.ui().visible("picPicture1"));
}

TEST(SlotOptionsTest, OptionsFollowTheModelAndTheChosenBank) {
  Harness h;
  App& app = *h.app;
  app.sxModel = 7;
  app.selectedSlot = 2;
  app.showSlotOptions();
  for (int k = 1; k <= 4; ++k) EXPECT_TRUE(app.ui().visible(indexed("optLOGO", k))) << k;
  for (int k = 5; k <= 15; ++k) EXPECT_FALSE(app.ui().visible(indexed("optLOGO", k))) << k;
  app.selectedSlot = 6;
  app.showSlotOptions();
  for (int k = 5; k <= 7; ++k) EXPECT_TRUE(app.ui().visible(indexed("optLOGO", k))) << k;
  EXPECT_FALSE(app.ui().visible(indexed("optLOGO", 8)));  // above the model
  EXPECT_FALSE(app.ui().visible(indexed("optLOGO", 1)));
  app.setModelClick(1);
  EXPECT_TRUE(app.ui().visible(indexed("optLOGO", 1)));
  EXPECT_FALSE(app.ui().visible(indexed("optLOGO", 5)));
}

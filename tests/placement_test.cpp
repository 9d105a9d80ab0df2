// Logo placement: typed positions, dragging the preview, the slot choice and zoom.
#include <gtest/gtest.h>

#include <sstream>

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
    app.bench().logos().selected = 1;
    app.choices().setModel(15);
  }
  const Control& pic(int slot) { return app.ui().get(indexed("picPicture2", slot)); }
  void type(const std::string& field, const std::string& text) { app.textEdited(field, text); }
  // A drag on slot `slot` from the preview at (left, top), pressed where the pointer last
  // moved (at first (0, 0)) and moved by (dx, dy) twips from there.
  void drag(int slot, int left, int top, double dx, double dy) {
    const std::string name = indexed("picPicture2", slot);
    app.ui().setLeft(name, left);
    app.ui().setTop(name, top);
    app.mouse(name, 0, 0, 0);
    app.mouse(name, 1, dx, dy);
    app.mouse(name, 2, dx, dy);
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
  type("txtVPOS", "&h32");  // 50
  type("txtVPOS", "&HG1");  // no hexadecimal number: refused
  EXPECT_EQ(app.ui().text("txtVPOS"), "0");
  EXPECT_EQ(h.port.writes, (std::vector<std::string>{"AVP1E", "AVP38", "AVP05", "AVP1E"}));
}

TEST_F(PlacementTest, DragClampsAtTheCorners) {
  drag(1, 200, 400, -4000, -4000);
  EXPECT_EQ(pic(1).left, 60);
  EXPECT_EQ(pic(1).top, 240);
  EXPECT_EQ(app.ui().text("txtHPOS"), "0");
  EXPECT_EQ(app.ui().text("txtVPOS"), "0");
  EXPECT_EQ(h.port.writes, (std::vector<std::string>{"AVP04", "AHP22", packet(4, 34)}));
  h.port.writes.clear();
  app.timerFired(TimerId::Delay);  // the preview follows the pointer once a main tick
  drag(1, 200, 400, 40000, 40000);
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
  EXPECT_EQ(app.bench().video().params()[1], 33);
  EXPECT_EQ(app.bench().video().params()[3], 62);
  EXPECT_EQ(app.ui().text("lblStartPosn"), "H=  132    V=   88");
  EXPECT_EQ(app.ui().text("lblImageSettings").substr(0, 29), "Image Parameters: 00 21 00 3E");
}

TEST_F(PlacementTest, PalScalesTheVerticalEntry) {
  app.choices().choosePal(false);
  drag(1, 60, 2158, 0, 0);
  EXPECT_EQ(app.bench().video().params()[3], 138);
  EXPECT_EQ(app.bench().video().params()[4], 0);
  app.timerFired(TimerId::Delay);  // the preview follows the pointer once a main tick
  app.choices().choosePal(true);
  drag(1, 60, 2158, 0, 0);
  EXPECT_EQ(app.bench().video().params()[3], 160);
  EXPECT_EQ(app.bench().video().params()[4], 0);
}

// The menus' check marks follow the view and the slot chosen.
TEST_F(PlacementTest, CheckMarksFollowTheViewAndTheSlot) {
  app.ui().setVisible("picPicture2(1)", true);  // a logo is shown
  const std::pair<const char*, const char*> steps[] = {
      {"mnuZoomOn", "+mnuZoomOn -mnuZoomOff"},
      {"mnuZoomOff", "+mnuZoomOff -mnuZoomOn"},
      {"mnuNodeView", "+mnuNodeView +mnuZoomOn -mnuZoomOff"},
      {"mnuNodeView", "-mnuNodeView +mnuZoomOn"},
      {"optLOGO(3)", "+mnuLogoSel(3) -mnuLogoSel(1)"}};
  for (const auto& [click, marks] : steps) {
    std::string(click) == "mnuNodeView" ? app.nodeViewClick() : app.click(click);
    std::istringstream in(marks);
    for (std::string m; in >> m;) {
      EXPECT_EQ(app.ui().checked(m.substr(1)), m[0] == '+') << click << ": " << m;
    }
  }
}

TEST(SlotOptionsTest, OptionsFollowTheModelAndTheChosenBank) {
  Harness h;
  App& app = *h.app;
  app.choices().setModel(7);
  app.bench().logos().selected = 2;
  app.showSlotOptions();
  for (int k = 1; k <= 4; ++k) EXPECT_TRUE(app.ui().visible(indexed("optLOGO", k))) << k;
  for (int k = 5; k <= 15; ++k) EXPECT_FALSE(app.ui().visible(indexed("optLOGO", k))) << k;
  app.bench().logos().selected = 6;
  app.showSlotOptions();
  for (int k = 5; k <= 7; ++k) EXPECT_TRUE(app.ui().visible(indexed("optLOGO", k))) << k;
  EXPECT_FALSE(app.ui().visible(indexed("optLOGO", 8)));  // above the model
  EXPECT_FALSE(app.ui().visible(indexed("optLOGO", 1)));
  app.setModelClick(1);
  EXPECT_TRUE(app.ui().visible(indexed("optLOGO", 1)));
  EXPECT_FALSE(app.ui().visible(indexed("optLOGO", 5)));
}

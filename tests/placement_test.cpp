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
  // The position commands on the line (the node poll runs beside them).
  std::vector<std::string> positions() const {
    std::vector<std::string> out;
    for (const auto& w : h.port.writes)
      if (w.rfind("AHP", 0) == 0 || w.rfind("AVP", 0) == 0) out.push_back(w);
    return out;
  }
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

// Typing 100 keystroke by keystroke, selecting it again and clicking into the field: the
// position goes out once, 700 ms after the last keystroke.
TEST_F(PlacementTest, TypedPositionIsSentOnceWhenTheTypingRests) {
  h.loop.setTimerEnabled(TimerId::Delay, true);
  for (const char* text : {"1", "10", "100"}) {
    type("txtHPOS", text);
    h.ticks(20);  // 500 ms between keystrokes
  }
  EXPECT_TRUE(positions().empty());
  h.ticks(8);
  EXPECT_EQ(positions(), std::vector<std::string>{"AHP9A"});
  EXPECT_EQ(pic(1).left, 4080);
  type("txtHPOS", "100");  // select-all: the same text again
  app.click("txtHPOS");
  h.ticks(40);
  EXPECT_EQ(positions(), std::vector<std::string>{"AHP9A"});
}

// A committed position: its code, the preview's place, the field written back; text that is
// no number beeps and, unless empty, shows the range and resets the field.
TEST_F(PlacementTest, CommittedPositionsTheirCodesAndRangeChecks) {
  struct Case {
    const char* field;
    const char* typed;
    const char* sent;  // "" when nothing goes out
    int place;         // the preview's left or top; -1: not moved
    const char* shown;
    const char* error;
  } cases[] = {
      {"txtHPOS", "50", "AHP5E", 2070, "50", ""},
      {"txtHPOS", "100", "AHP9A", 4080, "100", ""},
      {"txtHPOS", "0", "AHP22", 60, "0", ""},
      {"txtHPOS", "150", "AHP9A", 4080, "100", ""},
      {"txtHPOS", "abc", "", -1, "0", "Allowable Range 34 to 154  "},
      {"txtVPOS", "50", "AVP1E", 1680, "50", ""},
      {"txtVPOS", "100", "AVP38", 3120, "100", ""},
      {"txtVPOS", "1", "AVP05", 269, "1", ""},
      {"txtVPOS", " -5", "AVP04", 240, "0", ""},
      {"txtVPOS", "&h32", "AVP1E", 1680, "50", ""},
      {"txtVPOS", "&HG1", "", -1, "0", "Allowable Range 4 to 55"},
      {"txtVPOS", "-", "", -1, "0", "Allowable Range 4 to 55"},
      {"txtVPOS", "", "", -1, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " '" + c.typed + "'");
    app.ui().setLeft(indexed("picPicture2", 1), -1);
    app.ui().setTop(indexed("picPicture2", 1), -1);
    app.statusLine().dismissError();
    h.port.writes.clear();
    const int beeps = h.dialogs.beeps;
    type(c.field, c.typed);
    EXPECT_TRUE(h.port.writes.empty());
    app.commitPosition(c.field);
    EXPECT_EQ(h.port.sent(), c.sent);
    const bool across = std::string(c.field) == "txtHPOS";
    EXPECT_EQ(across ? pic(1).left : pic(1).top, c.place);
    EXPECT_EQ(app.ui().text(c.field), c.shown);
    EXPECT_EQ(app.statusLine().view().errorShown ? app.statusLine().view().errorText : "", c.error);
    EXPECT_EQ(h.dialogs.beeps - beeps, *c.sent ? 0 : *c.error ? 2 : 1);
    app.commitPosition(c.field);  // committed once only
    EXPECT_EQ(h.port.sent(), c.sent);
  }
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

// Logo placement: typed positions, dragging the preview, the slot choice and zoom.
#include <gtest/gtest.h>

#include <functional>

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
  const PlacementView::Place& pic(int slot) {
    return app.placement().view().places.at(static_cast<size_t>(slot));
  }
  // The position commands on the line (the node poll runs beside them).
  std::vector<std::string> positions() const {
    std::vector<std::string> out;
    for (const auto& w : h.port.writes)
      if (w.rfind("AHP", 0) == 0 || w.rfind("AVP", 0) == 0) out.push_back(w);
    return out;
  }
  void type(Axis axis, const std::string& text) { app.placement().keyPosition(axis, text); }
  // A drag on slot `slot` from the preview at (left, top), pressed where the pointer last
  // moved (at first (0, 0)) and moved by (dx, dy) twips from there.
  void drag(int slot, int left, int top, double dx, double dy) {
    PlacementPresenter& p = app.placement();
    p.placePreview(slot, left, top);
    p.press(slot);
    p.move(slot, dx, dy);
    p.release(slot);
  }
};

std::string packet(int v, int hpos) {
  return {'\x80', '\x89', static_cast<char>(v), '\0', static_cast<char>(hpos), '\0'};
}

}  // namespace

// Typing keystroke by keystroke with pauses sends nothing; a commit (Enter, Tab, leaving the
// field) sends the whole number once; Up and Down step by one and send at once.
TEST_F(PlacementTest, TypedPositionsGoOutOnlyWhenCommittedOrStepped) {
  h.loop.setTimerEnabled(TimerId::Delay, true);
  enum Op { Type, Commit, Step };
  // The operator's step, its field, the text typed ("+" or "-" for a step), the position
  // command that goes out ("" for none), the field after it.
  const std::tuple<Op, Axis, const char*, const char*, const char*> steps[] = {
      {Type, Axis::Vertical, "3", "", "3"},           {Type, Axis::Vertical, "37", "", "37"},
      {Commit, Axis::Vertical, "", "AVP17", "37"},    {Commit, Axis::Vertical, "", "", "37"},
      {Step, Axis::Vertical, "+", "AVP18", "38"},     {Step, Axis::Vertical, "-", "AVP17", "37"},
      {Type, Axis::Horizontal, "10", "", "10"},       {Type, Axis::Horizontal, "100", "", "100"},
      {Commit, Axis::Horizontal, "", "AHP9A", "100"}, {Step, Axis::Horizontal, "+", "", "100"},
      {Step, Axis::Horizontal, "-", "AHP98", "99"},   {Type, Axis::Horizontal, "x", "", "x"},
      {Step, Axis::Horizontal, "+", "AHP23", "1"},
  };
  for (const auto& [op, axis, text, sent, shown] : steps) {
    h.port.writes.clear();
    if (op == Type) type(axis, text);
    if (op == Commit) app.placement().commitPosition(axis);
    if (op == Step) app.placement().stepPosition(axis, *text == '+' ? 1 : -1);
    h.ticks(80);  // a 2 s pause after each step
    const PlacementView& v = app.placement().view();
    EXPECT_EQ(std::pair(positions(), axis == Axis::Horizontal ? v.hpos : v.vpos),
              std::pair(*sent ? std::vector<std::string>{sent} : std::vector<std::string>{},
                        std::string(shown)))
        << op << text;
  }
  EXPECT_EQ(pic(1).left, 100);  // 1 % of the way: 40 twips from the left edge at 60
}

// A committed position: its code, the preview's place, the field written back; text that is
// no number beeps and, unless empty, shows the range and resets the field.
TEST_F(PlacementTest, CommittedPositionsTheirCodesAndRangeChecks) {
  struct Case {
    Axis field;
    const char* typed;
    const char* sent;  // "" when nothing goes out
    int place;         // the preview's left or top; -1: not moved
    const char* shown;
    const char* error;
  } cases[] = {
      {Axis::Horizontal, "50", "AHP5E", 2070, "50", ""},
      {Axis::Horizontal, "100", "AHP9A", 4080, "100", ""},
      {Axis::Horizontal, "0", "AHP22", 60, "0", ""},
      {Axis::Horizontal, "150", "AHP9A", 4080, "100", ""},
      {Axis::Horizontal, "abc", "", -1, "0", "Allowable Range 34 to 154  "},
      {Axis::Vertical, "50", "AVP1E", 1680, "50", ""},
      {Axis::Vertical, "100", "AVP38", 3120, "100", ""},
      {Axis::Vertical, "1", "AVP05", 269, "1", ""},
      {Axis::Vertical, " -5", "AVP04", 240, "0", ""},
      {Axis::Vertical, "&h32", "AVP1E", 1680, "50", ""},
      {Axis::Vertical, "&HG1", "", -1, "0", "Allowable Range 4 to 55"},
      {Axis::Vertical, "-", "", -1, "0", "Allowable Range 4 to 55"},
      {Axis::Vertical, "", "", -1, "", ""},
  };
  for (const Case& c : cases) {
    const bool across = c.field == Axis::Horizontal;
    SCOPED_TRACE(std::string(across ? "H" : "V") + " '" + c.typed + "'");
    app.placement().placePreview(1, -1, -1);
    app.statusLine().dismissError();
    h.port.writes.clear();
    const int beeps = h.dialogs.beeps;
    type(c.field, c.typed);
    EXPECT_TRUE(h.port.writes.empty());
    app.placement().commitPosition(c.field);
    EXPECT_EQ(h.port.sent(), c.sent);
    EXPECT_EQ(across ? pic(1).left : pic(1).top, c.place);
    EXPECT_EQ(across ? app.placement().view().hpos : app.placement().view().vpos, c.shown);
    EXPECT_EQ(app.statusLine().view().errorShown ? app.statusLine().view().errorText : "", c.error);
    EXPECT_EQ(h.dialogs.beeps - beeps, *c.sent ? 0 : *c.error ? 2 : 1);
    app.placement().commitPosition(c.field);  // committed once only
    EXPECT_EQ(h.port.sent(), c.sent);
  }
}

TEST_F(PlacementTest, DragClampsAtTheCorners) {
  drag(1, 200, 400, -4000, -4000);
  EXPECT_EQ(std::pair(pic(1).left, pic(1).top), std::pair(60, 240));
  EXPECT_EQ(app.placement().view().hpos + " " + app.placement().view().vpos, "0 0");
  EXPECT_EQ(h.port.writes, (std::vector<std::string>{"AVP04", "AHP22", packet(4, 34)}));
  h.port.writes.clear();
  h.loop.onTimer(TimerId::Delay);  // the preview follows the pointer once a main tick
  drag(1, 200, 400, 40000, 40000);
  EXPECT_EQ(h.port.writes, (std::vector<std::string>{"AVP38", "AHP9A", packet(56, 154)}));
}

TEST_F(PlacementTest, DragMovesByAQuarterOfThePointerOffset) {
  drag(1, 1000, 1000, 400, -200);
  EXPECT_EQ(std::pair(pic(1).left, pic(1).top), std::pair(1100, 950));
  // 1040 * 100 / 5600 = 18.57 -> 19; 710 * 100 / 3840 = 18.49 -> 18.
  EXPECT_EQ(app.placement().view().hpos + " " + app.placement().view().vpos, "19 18");
  // V = 18 * 0.52 + 4 = 13.36 -> 13; H = Int(22.8) + 34 = 56.
  EXPECT_EQ(h.port.writes, (std::vector<std::string>{"AVP0D", "AHP38", packet(13, 56)}));
  // h2 = 1040 * 360 / 5600 = 66.9 -> 67 -> 66; v2 = 712 * 242 / 3840 = 44.87 -> 45 -> 44.
  EXPECT_EQ(std::pair(app.bench().video().params()[1], app.bench().video().params()[3]),
            std::pair(33, 62));
  EXPECT_EQ(app.placement().view().startPosition, "H=  132    V=   88");
  EXPECT_EQ(app.video().view().imageSettings.substr(0, 29), "Image Parameters: 00 21 00 3E");
}

TEST_F(PlacementTest, PalScalesTheVerticalEntry) {
  for (const auto& [pal, entry] : {std::pair{false, 138}, {true, 160}}) {
    h.loop.onTimer(TimerId::Delay);  // the preview follows the pointer once a main tick
    app.choices().choosePal(pal);
    drag(1, 60, 2158, 0, 0);
    EXPECT_EQ(std::pair(app.bench().video().params()[3], app.bench().video().params()[4]),
              std::pair(entry, 0))
        << pal;
  }
}

// The menus' check marks follow the view and the slot chosen.
TEST_F(PlacementTest, CheckMarksFollowTheViewAndTheSlot) {
  app.logos().showPreview(1, true);  // a logo is shown
  const LogoView& v = app.logos().view();
  struct Step {
    std::function<void()> run;
    const char* marks;  // zoom on, zoom off, node view
    int menuSlot;
  } steps[] = {{[&] { app.logos().zoomOn(); }, "+on -off -node", 0},
               {[&] { app.logos().zoomOff(); }, "-on +off -node", 0},
               {[&] { app.logos().toggleNodeView(); }, "+on -off +node", 0},
               {[&] { app.logos().toggleNodeView(); }, "+on -off -node", 0},
               {[&] { app.logos().chooseSlot(3); }, "+on -off -node", 3}};
  for (const Step& step : steps) {
    step.run();
    const std::string marks = std::string(v.zoomOn ? "+on" : "-on") +
                              (v.zoomOff ? " +off" : " -off") + (v.nodeView ? " +node" : " -node");
    EXPECT_TRUE(marks == step.marks && (step.menuSlot ? v.menuChecked : 0) == step.menuSlot);
  }
}

TEST(SlotOptionsTest, OptionsFollowTheModelAndTheChosenBank) {
  Harness h;
  App& app = *h.app;
  app.choices().setModel(7);
  app.bench().logos().selected = 2;
  const auto offered = [&] {
    std::vector<int> slots;
    for (int k = 0; k < LogoView::kSlots; ++k)
      if (app.logos().view().slot.at(static_cast<size_t>(k)).offered) slots.push_back(k);
    return slots;
  };
  app.logos().showSlotOptions();
  EXPECT_EQ(offered(), (std::vector<int>{1, 2, 3, 4}));
  app.bench().logos().selected = 6;
  app.logos().showSlotOptions();
  EXPECT_EQ(offered(), (std::vector<int>{5, 6, 7}));  // 8 is above the model
  app.menus().chooseModel(1);
  EXPECT_EQ(offered(), std::vector<int>{1});
}

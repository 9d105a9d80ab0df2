// The schedule editor's logic: filling the grid, selecting rows, the sliders' push and pull
// rules, day buttons, the logo cycle, the lock, saving, auto scan and conflict colours.
#include "shell/schedule_editor.h"

#include <gtest/gtest.h>

#include "schedule/schedule_model.h"
#include "support/fakes.h"

namespace osd::test {
namespace {

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 25; ++i) set(i, i < 20 ? -1 : 0, 0, 0, 0, 0, 0);
    app.choices().setModel(4);
  }
  void set(int i, int start, int end, int on, int off, int logo, int dayBits) {
    s.start[i] = start, s.end[i] = end, s.on[i] = on, s.off[i] = off, s.logo[i] = logo;
    if (i < 20)
      for (int d = 0; d < 7; ++d) s.dayFlags[i][d] = (dayBits >> d) & 1;
  }
  ScheduleEditor& open() {
    app.scheduleViewClick();  // no window: the editor stays open
    EXPECT_NE(app.editor(), nullptr);
    return *app.editor();
  }
  int slider(ScheduleEditor& e, int k) {
    return static_cast<int>(e.ui().get(indexed("VScroll1", k)).value);
  }

  Harness h;
  App& app = *h.app;
  ScheduleTable& s = app.scheduleTable();
};

TEST_F(EditorTest, OpeningFillsTheGridAndSelectsNoRow) {
  set(0, 1921, 2160, 1, 40, 3, (1 << 1) | (1 << 5));
  ScheduleEditor& e = open();
  const std::pair<const char*, const char*> cells[] = {
      {"txtStart(0)", "8:00:15 "}, {"txtEnd(0)", "9:00:00 "}, {"txtTON(0)", "0:00:15 "},
      {"txtOFF(0)", "0:10:00 "},   {"txtLogo(0)", "3"},       {"txtLogo(1)", "Off"},
      {"txtStart(1)", "Off     "}, {"Command1(1)", "x"},      {"Command1(5)", "x"},
      {"Command1(0)", ""},         {"cmdButtons(0)", "EXIT"}};
  for (const auto& [name, text] : cells) EXPECT_EQ(e.ui().text(name), text) << name;
  EXPECT_EQ(e.currentSequence(), kNoSequence);
  EXPECT_TRUE(e.ui().checked("Option1(20)"));
  e.sliderMoved(0, 300);  // without a selected row: nothing changes
  e.sliderMoved(3, 50);
  EXPECT_EQ(s.start[0], 1921);
  EXPECT_EQ(s.end[0], 2160);
  // Exit closes without saving.
  const int writes = h.settings.writes;
  e.click("cmdButtons(0)");
  EXPECT_FALSE(app.editorShown());
  EXPECT_FALSE(h.loop.timerEnabled(TimerId::Editor));
  EXPECT_EQ(h.settings.writes, writes);
}

// Each step: the slider moved, then the four values and the row's texts that must follow.
TEST_F(EditorTest, SlidersPushAndPullTheirNeighbours) {
  set(0, 1920, 2160, 4, 8, 1, 2);
  ScheduleEditor& e = open();
  e.click("txtOFF(0)");
  EXPECT_EQ(e.currentSequence(), 0);
  EXPECT_EQ(slider(e, 0), 1920);
  EXPECT_EQ(slider(e, 3), 2160);
  const struct {
    int slider, value, start, on, off, end;
    const char *cell, *text;
  } steps[] = {
      {0, 2160, 2160, 4, 8, 2161, "txtEnd(0)", "9:00:15 "},      // Start onto End pushes End
      {3, 1000, 999, 4, 8, 1000, "txtStart(0)", "4:09:45 "},     // End before Start pulls Start
      {3, -1, -1, 4, 8, -1, "txtStart(0)", "Off     "},          // End at the top: Start off
      {0, 5759, 5759, 4, 8, 5760, "txtEnd(0)", "24:00:00 "},     // Start at the bottom
      {0, 99999, 5759, 4, 8, 5760, "txtStart(0)", "23:59:45 "},  // held at the slider's end
      {1, 20, 5759, 20, 20, 5760, "txtOFF(0)", "0:05:00 "},      // T-ON raises Repeat
      {2, 6, 5759, 6, 6, 5760, "txtTON(0)", "0:01:30 "},         // Repeat lowers T-ON
      {2, 30, 5759, 6, 30, 5760, "txtTON(0)", "0:01:30 "},       // ... and raising it does not
  };
  for (const auto& st : steps) {
    e.sliderMoved(st.slider, st.value);
    SCOPED_TRACE(std::to_string(st.slider) + " to " + std::to_string(st.value));
    EXPECT_EQ(s.start[0], st.start);
    EXPECT_EQ(s.on[0], st.on);
    EXPECT_EQ(s.off[0], st.off);
    if (st.end >= 0) {
      EXPECT_EQ(s.end[0], st.end);
    }
    EXPECT_EQ(e.ui().text(st.cell), st.text);
  }
  EXPECT_EQ(e.ui().text("txtEnd(0)"), "24:00:00 ");
}

TEST_F(EditorTest, DaysAndSaveStoreTheListsSundaySaturdayAs65) {
  set(0, 1920, 2160, 1, 40, 2, 0);
  ScheduleEditor& e = open();
  e.click("Command1(15)");  // row 2, Monday: on and off again
  EXPECT_TRUE(s.dayFlags[2][1]);
  EXPECT_EQ(e.ui().text("Command1(15)"), "x");
  e.click("Command1(15)");
  EXPECT_FALSE(s.dayFlags[2][1]);
  e.click("Command1(140)");  // past the last row's Saturday: nothing
  EXPECT_EQ(e.ui().text("Command1(140)"), "");
  e.click("Command1(0)");  // Sunday
  e.click("Command1(6)");  // Saturday
  e.click("cmdButtons(1)");
  const std::pair<const char*, const char*> stored[] = {
      {"S_Days", "65,0,"}, {"S_Start", "1920,-1,"}, {"S_End", "2160,0,"},
      {"S_ON", "1,0,"},    {"S_OFF", "40,0,"},      {"S_Logo", "2,0,"}};
  for (const auto& [key, head] : stored) EXPECT_EQ(h.settings.get(key)->rfind(head, 0), 0u) << key;
  // Read back: all seven days from 127 (row 1 had none).
  h.settings.set("S_Days", "65,127," + std::string(*h.settings.get("S_Days")).substr(5));
  app.loadSchedule();
  for (int d = 0; d < 7; ++d) EXPECT_TRUE(s.dayFlags[1][d]) << d;
  EXPECT_FALSE(s.dayFlags[2][0]);
}

TEST_F(EditorTest, LogoCycleFollowsTheModel) {
  ScheduleEditor& e = open();
  auto cycle = [&](int row, int presses) {
    std::vector<std::string> shown{e.ui().text(indexed("txtLogo", row))};
    for (int k = 0; k < presses; ++k) {
      e.click(indexed("txtLogo", row));
      shown.push_back(e.ui().text(indexed("txtLogo", row)));
    }
    return shown;
  };
  app.choices().setModel(1);
  EXPECT_EQ(cycle(0, 2), (std::vector<std::string>{"Off", "1", "Off"}));
  app.choices().setModel(4);
  EXPECT_EQ(cycle(1, 5), (std::vector<std::string>{"Off", "1", "2", "3", "4", "Off"}));
  EXPECT_EQ(e.currentSequence(), 1);  // the cycle selects the row
  app.choices().setModel(31);
  const std::vector<std::string> all = cycle(2, 32);
  for (int n = 1; n <= 31; ++n) EXPECT_EQ(all[static_cast<size_t>(n)], std::to_string(n));
  EXPECT_EQ(all[32], "Off");
}

TEST_F(EditorTest, LockedEditorAllowsOnlyAutoScan) {
  app.setLocked(true);
  set(0, 1920, 2160, 1, 40, 2, 2);
  ScheduleEditor& e = open();
  EXPECT_TRUE(e.ui().visible("lblLocked"));
  EXPECT_FALSE(e.ui().enabled("cmdButtons(1)"));
  const int writes = h.settings.writes;
  for (const char* name : {"Command1(3)", "txtLogo(0)", "txtStart(0)", "cmdButtons(1)"})
    e.click(name);
  e.sliderMoved(0, 10);
  EXPECT_FALSE(s.dayFlags[0][3]);
  EXPECT_EQ(s.logo[0], 2);
  EXPECT_EQ(s.start[0], 1920);
  EXPECT_EQ(h.settings.writes, writes);
  e.click("chkAutoScan");
  EXPECT_EQ(h.settings.get("AutoScan"), "1");
}

TEST_F(EditorTest, ScanColoursConflictingDaysAndLogos) {
  set(0, 1920, 2160, 1, 40, 1, (1 << 1) | (1 << 2));  // 08:00:00-08:00:15, Mon and Tue
  set(1, 1921, 1930, 1, 1, 2, 1 << 1);                // from 08:00:15 on Monday
  set(2, 3000, 3010, 1, 1, 3, 1 << 1);                // elsewhere
  ScheduleEditor& e = open();                         // the scan runs at the end of filling
  WindowModel& m = e.ui();
  EXPECT_EQ(m.get("Command1(1)").backColor, kLightRed);          // row 0 Monday
  EXPECT_EQ(m.get("Command1(8)").backColor, kLightRed);          // row 1 Monday
  EXPECT_EQ(m.get("Command1(2)").backColor, kSysHighlightText);  // row 0 Tuesday
  EXPECT_EQ(m.get("txtLogo(1)").foreColor, kRed);
  EXPECT_EQ(m.get("txtLogo(2)").foreColor, kSysWindowText);
  s.start[1] = 1922;  // resolved: a scan clears the colours
  e.click("cmdScan");
  EXPECT_EQ(m.get("Command1(1)").backColor, kSysHighlightText);
  EXPECT_EQ(m.get("txtLogo(1)").foreColor, kSysWindowText);
}

TEST_F(EditorTest, AutoScanRunsEveryFifthTickAndSlidersPostponeIt) {
  h.settings.set("AutoScan", " 1 ");
  h.loop.setClock(2, 8 * 3600 + 5 * 60 + 9);
  ScheduleEditor& e = open();
  EXPECT_FALSE(e.ui().enabled("cmdScan"));
  set(0, 1920, 2160, 1, 40, 1, 2);
  set(1, 1920, 2160, 1, 40, 2, 2);  // a conflict the grid has not seen yet
  h.loop.advance(500);
  EXPECT_EQ(e.ui().text("lblCurrentTime"), "8:05:09");
  h.loop.advance(1500);  // four ticks
  EXPECT_EQ(e.ui().get("txtLogo(0)").foreColor, kSysWindowText);
  e.sliderMoved(0, 0);   // no row selected: only postpones
  h.loop.advance(2000);  // four more ticks
  EXPECT_EQ(e.ui().get("txtLogo(0)").foreColor, kSysWindowText);
  h.loop.advance(500);  // the fifth since the slider
  EXPECT_EQ(e.ui().get("txtLogo(0)").foreColor, kRed);
  EXPECT_EQ(e.ui().text("lblCurrentTime"), "8:05:13");
  e.click("chkAutoScan");
  EXPECT_TRUE(e.ui().enabled("cmdScan"));
  EXPECT_EQ(h.settings.get("AutoScan"), "0");
}

}  // namespace
}  // namespace osd::test

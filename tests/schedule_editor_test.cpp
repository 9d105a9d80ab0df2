// The schedule editor's logic: filling the grid, selecting rows, the sliders' push and pull
// rules, day buttons, the logo cycle, the lock, saving, auto scan and conflict colours.
#include "shell/schedule_editor.h"

#include <gtest/gtest.h>

#include "common/textnum.h"
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
    app.schedule().openEditor({});  // no window: the editor stays open
    EXPECT_NE(app.schedule().editor(), nullptr);
    return *app.schedule().editor();
  }

  Harness h;
  App& app = *h.app;
  ScheduleTable& s = app.schedule().table();
};

TEST_F(EditorTest, OpeningFillsTheGridSelectsNoRowAndSlidersPushAndPullTheirNeighbours) {
  set(0, 1921, 2160, 1, 40, 3, (1 << 1) | (1 << 5));
  set(2, 1920, 2160, 4, 8, 1, 2);
  ScheduleEditor& e = open();
  const EditorRow& row = e.view().rows[0];
  EXPECT_EQ(row.times,
            (std::array<std::string, 4>{"8:00:15 ", "0:00:15 ", "0:10:00 ", "9:00:00 "}));
  EXPECT_EQ(std::tuple(row.logo, row.days, e.view().rows[1].logo + e.view().rows[1].times[0]),
            std::tuple("3", std::array<bool, 7>{false, true, false, false, false, true, false},
                       "OffOff     "));
  e.sliderMoved(0, 300);  // without a selected row: nothing changes
  e.sliderMoved(3, 50);
  EXPECT_EQ(std::tuple(e.currentSequence(), s.start[0], s.end[0]),
            std::tuple(kNoSequence, 1921, 2160));
  // Each step: the slider moved, then the four values and the row's texts that must follow.
  e.clickTime(2);
  EXPECT_EQ(std::tuple(e.currentSequence(), e.view().sliders),
            std::tuple(2, std::array<int, 4>{1920, 4, 8, 2160}));
  const struct {
    int slider, value, start, on, off, end, cell;
    const char* text;
  } steps[] = {
      {0, 2160, 2160, 4, 8, 2161, 3, "9:00:15 "},    // Start onto End pushes End
      {3, 1000, 999, 4, 8, 1000, 0, "4:09:45 "},     // End before Start pulls Start
      {3, -1, -1, 4, 8, -1, 0, "Off     "},          // End at the top: Start off
      {0, 5759, 5759, 4, 8, 5760, 3, "24:00:00 "},   // Start at the bottom
      {0, 99999, 5759, 4, 8, 5760, 0, "23:59:45 "},  // held at the slider's end
      {1, 20, 5759, 20, 20, 5760, 2, "0:05:00 "},    // T-ON raises Repeat
      {2, 6, 5759, 6, 6, 5760, 1, "0:01:30 "},       // Repeat lowers T-ON
      {2, 30, 5759, 6, 30, 5760, 1, "0:01:30 "},     // ... and raising it does not
  };
  for (const auto& st : steps) {
    e.sliderMoved(st.slider, st.value);
    SCOPED_TRACE(std::to_string(st.slider) + " to " + std::to_string(st.value));
    EXPECT_EQ(std::tuple(s.start[2], s.on[2], s.off[2], st.end < 0 ? -1 : s.end[2]),
              std::tuple(st.start, st.on, st.off, st.end));
    EXPECT_EQ(e.view().rows[2].times[static_cast<size_t>(st.cell)], st.text);
  }
  EXPECT_EQ(e.view().rows[2].times[3], "24:00:00 ");
}

// The status line marks edits the settings do not hold; closing with such edits asks, OK
// saves as SAVE does, Cancel closes and the edits stay live; a store that keeps nothing is
// told and the mark comes back.
TEST_F(EditorTest, UnsavedEditsAreMarkedAndClosingAsksAboutThem) {
  set(0, 1920, 2160, 4, 8, 1, 1);
  enum Op { Open, Save, Toggle, Ok, Cancel, Refuse };
  // The step; the open editor's status line after it (5 s after a save); questions so far;
  // "S_Days" entry 0 as stored (Monday: the edit Cancel kept live); whether it is open.
  const char* kU = "Changes not saved";
  const std::tuple<Op, const char*, int, int, bool> steps[] = {
      {Open, kU, 0, 0, true},   {Save, "", 0, 1, true},   {Toggle, kU, 0, 1, true},
      {Toggle, "", 0, 1, true}, {Toggle, kU, 0, 1, true}, {Cancel, "", 1, 1, false},
      {Open, kU, 1, 1, true},   {Ok, "", 2, 3, false},    {Open, "", 2, 3, true},
      {Ok, "", 2, 3, false},    {Open, "", 2, 3, true},   {Refuse, kU, 2, 3, true}};
  for (const auto& [op, status, asked, storedDays, open] : steps) {
    ScheduleEditor& e = op == Open ? this->open() : *app.schedule().editor();
    h.dialogs.confirmAnswers = {op == Ok};
    if (op == Ok || op == Cancel) e.exit();
    if (op == Toggle || op == Refuse) e.toggleDay(0, 1);
    h.settings.refuseWrites = op == Refuse;
    if (op == Save || op == Refuse) {
      e.save();
      EXPECT_EQ(e.view().status.substr(0, 14), op == Save ? "Schedule saved" : "The schedule c");
      for (int i = 0; i < 10; ++i) e.timerTick();
    }
    EXPECT_EQ(open ? e.view().status : "", status) << op;
    EXPECT_EQ(std::tuple(app.schedule().editorOpen(), h.loop.timerEnabled(TimerId::Editor),
                         h.dialogs.confirmTexts.size()),
              std::tuple(open, open, static_cast<size_t>(asked)))
        << op;
    EXPECT_EQ(leadingInt(h.settings.get("S_Days").value_or("")), storedDays) << op;
  }
  EXPECT_EQ(h.dialogs.confirmTitles, std::vector<std::string>(2, kEditorCaption));
  EXPECT_EQ(h.dialogs.confirmTexts.back(), "Save the changes to the schedule?");
  EXPECT_EQ(h.dialogs.presets, std::vector(2, Dialogs::Preset::Ok));  // it writes no node
  ScheduleEditor& e = *app.schedule().editor();  // a start time moved is an edit too
  h.settings.refuseWrites = false;
  e.save();
  const bool savedBefore = !e.unsaved();
  e.selectRow(0), e.sliderMoved(0, s.start[0] + 15);
  EXPECT_TRUE(savedBefore && e.unsaved());
}

TEST_F(EditorTest, DaysAndSaveStoreTheListsSundaySaturdayAs65AndTheLogoCycleFollowsTheModel) {
  set(0, 1920, 2160, 1, 40, 2, 0);
  ScheduleEditor& e = open();
  e.toggleDay(2, 1);  // row 2, Monday: on and off again
  EXPECT_TRUE(s.dayFlags[2][1] && e.view().rows[2].days[1]);
  e.toggleDay(2, 1);
  e.toggleDay(20, 0), e.toggleDay(0, 7);  // past the last row and the last day: nothing
  EXPECT_FALSE(s.dayFlags[2][1] || s.dayFlags[1][0]);
  e.toggleDay(0, 0), e.toggleDay(0, 6), e.save();  // Sunday, Saturday
  const std::pair<const char*, const char*> stored[] = {
      {"S_Days", "65,0,"}, {"S_Start", "1920,-1,"}, {"S_End", "2160,0,"},
      {"S_ON", "1,0,"},    {"S_OFF", "40,0,"},      {"S_Logo", "2,0,"}};
  for (const auto& [key, head] : stored) EXPECT_EQ(h.settings.get(key)->rfind(head, 0), 0u) << key;
  // Read back: all seven days from 127 (row 1 had none).
  h.settings.set("S_Days", "65,127," + std::string(*h.settings.get("S_Days")).substr(5));
  app.schedule().load();
  EXPECT_EQ(std::vector(s.dayFlags[1].begin(), s.dayFlags[1].begin() + 7), std::vector(7, true));
  EXPECT_FALSE(s.dayFlags[2][0]);
  // The logo cycle follows the model (rows 3 to 5 have no logo yet).
  auto cycle = [&](int row, int presses) {
    std::vector<std::string> shown{e.view().rows[static_cast<size_t>(row)].logo};
    for (int k = 0; k < presses; ++k) {
      e.cycleLogo(row);
      shown.push_back(e.view().rows[static_cast<size_t>(row)].logo);
    }
    return shown;
  };
  app.choices().setModel(1);
  EXPECT_EQ(cycle(3, 2), (std::vector<std::string>{"Off", "1", "Off"}));
  app.choices().setModel(4);
  EXPECT_EQ(cycle(4, 5), (std::vector<std::string>{"Off", "1", "2", "3", "4", "Off"}));
  EXPECT_EQ(e.currentSequence(), 4);  // the cycle selects the row
  app.choices().setModel(31);
  std::vector<std::string> all{"Off"};
  for (int n = 1; n <= 31; ++n) all.push_back(std::to_string(n));
  all.push_back("Off");
  EXPECT_EQ(cycle(5, 32), all);
}

TEST_F(EditorTest, LockedEditorAllowsOnlyAutoScan) {
  app.schedule().toggleLock();
  set(0, 1920, 2160, 1, 40, 2, 2);
  ScheduleEditor& e = open();
  EXPECT_EQ(std::tuple(e.view().lockedShown, e.view().saveEnabled, e.view().rows[0].enabled),
            std::tuple(true, false, false));
  const int writes = h.settings.writes;
  e.toggleDay(0, 3), e.cycleLogo(0), e.clickTime(0), e.selectRow(0), e.save();
  e.sliderMoved(0, 10);
  EXPECT_EQ(std::tuple(e.currentSequence(), s.dayFlags[0][3], s.logo[0], s.start[0], writes),
            std::tuple(kNoSequence, false, 2, 1920, h.settings.writes));
  e.toggleAutoScan();
  EXPECT_EQ(h.settings.get("AutoScan"), "1");
}

TEST_F(EditorTest, ScanColoursConflictingDaysAndLogos) {
  set(0, 1920, 2160, 1, 40, 1, (1 << 1) | (1 << 2));  // 08:00:00-08:00:15, Mon and Tue
  set(1, 1921, 1930, 1, 1, 2, 1 << 1);                // from 08:00:15 on Monday
  set(2, 3000, 3010, 1, 1, 3, 1 << 1);                // elsewhere
  ScheduleEditor& e = open();                         // the scan runs at the end of filling
  const auto& rows = e.view().rows;
  // Rows 0 and 1 on Monday, row 0 on Tuesday, the logos of rows 1 and 2, the scan's ink.
  const auto colours = [&] {
    return std::vector{rows[0].dayGround[1], rows[1].dayGround[1], rows[0].dayGround[2],
                       rows[1].logoInk,      rows[2].logoInk,      e.view().autoScanInk};
  };
  const Color ground = kSysHighlightText, ink = kSysWindowText;
  EXPECT_EQ(colours(), (std::vector{kLightRed, kLightRed, ground, kRed, ink, kWhite}));
  s.start[1] = 1922;  // resolved: a scan clears the colours
  e.scan();
  EXPECT_EQ(colours(), (std::vector{ground, ground, ground, ink, ink, kWhite}));
}

TEST_F(EditorTest, AutoScanRunsEveryFifthTickAndSlidersPostponeIt) {
  h.settings.set("AutoScan", " 1 ");
  h.loop.setClock(2, 8 * 3600 + 5 * 60 + 9);
  ScheduleEditor& e = open();
  EXPECT_FALSE(e.view().scanEnabled);
  set(0, 1920, 2160, 1, 40, 1, 2);
  set(1, 1920, 2160, 1, 40, 2, 2);  // a conflict the grid has not seen yet
  h.loop.advance(500);
  EXPECT_EQ(e.view().clock, "8:05:09");
  h.loop.advance(1500);  // four ticks
  EXPECT_EQ(e.view().rows[0].logoInk, kSysWindowText);
  e.sliderMoved(0, 0);   // no row selected: only postpones
  h.loop.advance(2000);  // four more ticks
  EXPECT_EQ(e.view().rows[0].logoInk, kSysWindowText);
  h.loop.advance(500);  // the fifth since the slider
  EXPECT_EQ(std::tuple(e.view().rows[0].logoInk, e.view().clock), std::tuple(kRed, "8:05:13"));
  e.toggleAutoScan();
  EXPECT_EQ(std::tuple(e.view().scanEnabled, h.settings.get("AutoScan")), std::tuple(true, "0"));
}

}  // namespace
}  // namespace osd::test

// The schedule editor's logic: filling the grid, selecting rows, the sliders' push and pull
// rules, day buttons, the logo cycle, the lock, auto scan and conflict colours, saving, and
// the help window's texts.
#include <gtest/gtest.h>

#include "schedule/editor.h"
#include "schedule/schedule_model.h"
#include "support/fakes.h"

namespace osd::test {
namespace {

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 20; ++i) set(i, -1, 0, 0, 0, 0, 0);
    for (int i = 20; i < 25; ++i) set(i, 0, 0, 0, 0, 0, 0);
    app.sxModel = 4;
  }
  void set(int i, int start, int end, int on, int off, int logo, int dayBits) {
    ScheduleTable& s = *app.schedule;
    s.start[i] = start;
    s.end[i] = end;
    s.on[i] = on;
    s.off[i] = off;
    s.logo[i] = logo;
    if (i < 20) {
      for (int d = 0; d < 7; ++d) s.dayFlags[i][d] = (dayBits >> d) & 1;
    }
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
  ScheduleTable& s = *app.schedule;
};

TEST_F(EditorTest, OpeningFillsTheGridAndSelectsNoRow) {
  set(0, 1921, 2160, 1, 40, 3, (1 << 1) | (1 << 5));
  ScheduleEditor& e = open();
  WindowModel& m = e.ui();
  EXPECT_EQ(m.title(), "SX-1 and  SX-4 Take Scheduler");
  EXPECT_EQ(m.text("txtStart(0)"), "8:00:15 ");
  EXPECT_EQ(m.text("txtEnd(0)"), "9:00:00 ");
  EXPECT_EQ(m.text("txtTON(0)"), "0:00:15 ");
  EXPECT_EQ(m.text("txtOFF(0)"), "0:10:00 ");
  EXPECT_EQ(m.text("txtLogo(0)"), "3");
  EXPECT_EQ(m.text("txtLogo(1)"), "Off");
  EXPECT_EQ(m.text("txtStart(1)"), "Off     ");
  EXPECT_EQ(m.text("Command1(1)"), "x");
  EXPECT_EQ(m.text("Command1(5)"), "x");
  EXPECT_EQ(m.text("Command1(0)"), "");
  EXPECT_EQ(e.currentSequence(), kNoSequence);
  EXPECT_TRUE(m.checked("Option1(20)"));
  EXPECT_FALSE(m.visible("Option1(20)"));
  EXPECT_FALSE(e.loading());
  EXPECT_TRUE(app.editorOpen);
  EXPECT_TRUE(h.loop.timerEnabled(TimerId::Editor));
  EXPECT_EQ(m.text("lblHeader(0)"), "START     T-ON     REPEAT     END     LOGO  S M T W T F S");
  EXPECT_EQ(m.text("lblHeader(1)"), "Start  T-ON  Repeat  End");
  EXPECT_EQ(m.text("cmdScan"), "Scan for Conflicts");
  EXPECT_FALSE(m.visible("lblLocked"));
  EXPECT_EQ(h.settings.get("AutoScan"), "0");  // read, so created
}

TEST_F(EditorTest, SlidersWithoutASelectedRowChangeNothing) {
  set(0, 100, 200, 4, 8, 1, 2);
  ScheduleEditor& e = open();
  e.sliderMoved(0, 300);
  e.sliderMoved(3, 50);
  EXPECT_EQ(s.start[0], 100);
  EXPECT_EQ(s.end[0], 200);
}

TEST_F(EditorTest, ExitClosesWithoutSaving) {
  ScheduleEditor& e = open();
  bool closed = false;
  e.onClose = [&] { closed = true; };
  const int writes = h.settings.writes;
  e.click("cmdButtons(0)");
  EXPECT_TRUE(closed);
  EXPECT_FALSE(app.editorOpen);
  EXPECT_FALSE(h.loop.timerEnabled(TimerId::Editor));
  EXPECT_EQ(h.settings.writes, writes);
}

TEST_F(EditorTest, ModalWindowIsDiscardedWhenItCloses) {
  bool shown = false;
  app.onShowEditor = [&](ScheduleEditor& e) {
    shown = true;
    EXPECT_TRUE(app.editorOpen);
    EXPECT_TRUE(app.ui().busyCursor());
    e.click("txtStart(2)");
    EXPECT_EQ(e.currentSequence(), 2);
  };
  app.scheduleViewClick();
  EXPECT_TRUE(shown);
  EXPECT_EQ(app.editor(), nullptr);
  EXPECT_FALSE(app.editorOpen);
  EXPECT_FALSE(app.ui().busyCursor());
  EXPECT_FALSE(h.loop.timerEnabled(TimerId::Editor));
}

TEST_F(EditorTest, SelectingARowSetsTheSliders) {
  set(3, 1920, 2160, 2, 40, 1, 2);
  ScheduleEditor& e = open();
  e.click("txtOFF(3)");
  EXPECT_EQ(e.currentSequence(), 3);
  EXPECT_TRUE(e.ui().checked("Option1(3)"));
  EXPECT_FALSE(e.ui().checked("Option1(20)"));
  EXPECT_EQ(slider(e, 0), 1920);
  EXPECT_EQ(slider(e, 1), 2);
  EXPECT_EQ(slider(e, 2), 40);
  EXPECT_EQ(slider(e, 3), 2160);
  EXPECT_EQ(s.end[3], 2160);  // nothing pushed
}

TEST_F(EditorTest, StartPushesEndAndEndPullsStart) {
  set(0, 1920, 2160, 1, 40, 1, 2);
  ScheduleEditor& e = open();
  e.click("Option1(0)");
  e.sliderMoved(0, 2160);  // Start onto End: End one unit later
  EXPECT_EQ(s.start[0], 2160);
  EXPECT_EQ(s.end[0], 2161);
  EXPECT_EQ(e.ui().text("txtEnd(0)"), "9:00:15 ");
  e.sliderMoved(3, 1000);  // End before Start: Start one unit earlier
  EXPECT_EQ(s.end[0], 1000);
  EXPECT_EQ(s.start[0], 999);
  EXPECT_EQ(e.ui().text("txtStart(0)"), "4:09:45 ");
  e.sliderMoved(3, -1);  // End at the top: box emptied, Start off
  EXPECT_EQ(e.ui().text("txtEnd(0)"), "");
  EXPECT_EQ(s.start[0], -1);
  EXPECT_EQ(e.ui().text("txtStart(0)"), "Off     ");
  e.sliderMoved(0, 5759);  // Start at the bottom
  EXPECT_EQ(e.ui().text("txtStart(0)"), "23:59:45 ");
  EXPECT_EQ(s.end[0], 5760);
  EXPECT_EQ(e.ui().text("txtEnd(0)"), "24:00:00 ");
  e.sliderMoved(0, 99999);  // beyond the slider: held at its end
  EXPECT_EQ(s.start[0], 5759);
}

TEST_F(EditorTest, TonRaisesRepeatAndRepeatLowersTon) {
  set(0, 1920, 2160, 4, 8, 1, 2);
  ScheduleEditor& e = open();
  e.click("Option1(0)");
  e.sliderMoved(1, 20);
  EXPECT_EQ(s.on[0], 20);
  EXPECT_EQ(s.off[0], 20);
  EXPECT_EQ(e.ui().text("txtOFF(0)"), "0:05:00 ");
  e.sliderMoved(2, 6);
  EXPECT_EQ(s.off[0], 6);
  EXPECT_EQ(s.on[0], 6);
  EXPECT_EQ(e.ui().text("txtTON(0)"), "0:01:30 ");
  e.sliderMoved(2, 30);  // raising Repeat leaves T-ON alone
  EXPECT_EQ(s.on[0], 6);
  EXPECT_EQ(slider(e, 1), 6);
}

TEST_F(EditorTest, DayButtonsToggleTheFlags) {
  ScheduleEditor& e = open();
  e.click("Command1(15)");  // row 2, Monday
  EXPECT_TRUE(s.dayFlags[2][1]);
  EXPECT_EQ(e.ui().text("Command1(15)"), "x");
  e.click("Command1(15)");
  EXPECT_FALSE(s.dayFlags[2][1]);
  EXPECT_EQ(e.ui().text("Command1(15)"), "");
}

TEST_F(EditorTest, SaveStoresTheListsAndSundaySaturdayAs65) {
  set(0, 1920, 2160, 1, 40, 2, 0);
  ScheduleEditor& e = open();
  e.click("Command1(0)");  // Sunday
  e.click("Command1(6)");  // Saturday
  e.click("cmdButtons(1)");
  const std::string days = *h.settings.get("S_Days");
  EXPECT_EQ(days.substr(0, 5), "65,0,");
  EXPECT_EQ(parseScheduleList(days, ListKind::Days).values[0], 65);
  EXPECT_EQ(h.settings.get("S_Start")->substr(0, 8), "1920,-1,");
  EXPECT_EQ(h.settings.get("S_End")->substr(0, 5), "2160,");
  EXPECT_EQ(h.settings.get("S_ON")->substr(0, 2), "1,");
  EXPECT_EQ(h.settings.get("S_OFF")->substr(0, 3), "40,");
  EXPECT_EQ(h.settings.get("S_Logo")->substr(0, 2), "2,");
  EXPECT_EQ(*h.settings.get("S_Logo"), formatScheduleList(s.logo));
}

TEST_F(EditorTest, StoredAllDaysLoadsSevenFlags) {
  std::string days = "127,";
  for (int i = 1; i < 20; ++i) days += "0,";
  h.settings.set("S_Days", days);
  app.loadSchedule();
  for (int d = 0; d < 7; ++d) EXPECT_TRUE(s.dayFlags[0][d]) << d;
  EXPECT_FALSE(s.dayFlags[1][0]);
}

std::vector<std::string> cycle(ScheduleEditor& e, int row, int presses) {
  std::vector<std::string> shown{e.ui().text(indexed("txtLogo", row))};
  for (int k = 0; k < presses; ++k) {
    e.click(indexed("txtLogo", row));
    shown.push_back(e.ui().text(indexed("txtLogo", row)));
  }
  return shown;
}

TEST_F(EditorTest, LogoCycleFollowsTheModel) {
  app.sxModel = 1;
  ScheduleEditor& e = open();
  EXPECT_EQ(cycle(e, 0, 2), (std::vector<std::string>{"Off", "1", "Off"}));
  app.sxModel = 4;
  EXPECT_EQ(cycle(e, 1, 5), (std::vector<std::string>{"Off", "1", "2", "3", "4", "Off"}));
  EXPECT_EQ(s.logo[1], 0);
  EXPECT_EQ(e.currentSequence(), 1);  // the cycle selects the row
  app.sxModel = 31;
  std::vector<std::string> all = cycle(e, 2, 32);
  ASSERT_EQ(all.size(), 33u);
  for (int n = 1; n <= 31; ++n) EXPECT_EQ(all[n], std::to_string(n));
  EXPECT_EQ(all[32], "Off");
}

TEST_F(EditorTest, ALogoPressDuringAnotherIsIgnored) {
  ScheduleEditor& e = open();
  int nested = 0;
  e.ui().onChange = [&](const std::string& name) {
    if (name == "txtLogo(0)" && nested++ == 0) e.click("txtLogo(0)");
  };
  e.click("txtLogo(0)");
  EXPECT_EQ(e.ui().text("txtLogo(0)"), "1");
  EXPECT_EQ(s.logo[0], 1);
  e.ui().onChange = nullptr;
  e.click("txtLogo(0)");
  EXPECT_EQ(s.logo[0], 2);  // the guard is released afterwards
}

TEST_F(EditorTest, LockedEditorAllowsOnlyAutoScan) {
  app.locked = true;
  set(0, 1920, 2160, 1, 40, 2, 2);
  ScheduleEditor& e = open();
  WindowModel& m = e.ui();
  EXPECT_TRUE(m.visible("lblLocked"));
  EXPECT_FALSE(m.enabled("cmdButtons(1)"));
  EXPECT_FALSE(m.enabled("cmdScan"));
  for (int k = 0; k < 4; ++k) EXPECT_FALSE(m.enabled(indexed("VScroll1", k)));
  EXPECT_FALSE(m.enabled("txtStart(0)"));
  EXPECT_FALSE(m.enabled("Option1(0)"));
  EXPECT_FALSE(m.enabled("Command1(3)"));
  EXPECT_FALSE(m.enabled("txtLogo(0)"));
  const int writes = h.settings.writes;
  e.click("Command1(3)");
  e.click("txtLogo(0)");
  e.click("txtStart(0)");
  e.click("cmdButtons(1)");
  e.sliderMoved(0, 10);
  EXPECT_FALSE(s.dayFlags[0][3]);
  EXPECT_EQ(s.logo[0], 2);
  EXPECT_EQ(s.start[0], 1920);
  EXPECT_EQ(h.settings.writes, writes);
  e.click("chkAutoScan");
  EXPECT_TRUE(m.checked("chkAutoScan"));
  EXPECT_EQ(h.settings.get("AutoScan"), "1");
}

TEST_F(EditorTest, AutoScanSettingAndClick) {
  h.settings.set("AutoScan", " 1 ");
  ScheduleEditor& e = open();
  EXPECT_TRUE(e.ui().checked("chkAutoScan"));
  EXPECT_FALSE(e.ui().enabled("cmdScan"));
  e.click("chkAutoScan");
  EXPECT_FALSE(e.ui().checked("chkAutoScan"));
  EXPECT_TRUE(e.ui().enabled("cmdScan"));
  EXPECT_EQ(h.settings.get("AutoScan"), "0");
  e.click("chkAutoScan");
  EXPECT_EQ(h.settings.get("AutoScan"), "1");
  EXPECT_FALSE(e.ui().enabled("cmdScan"));
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
  EXPECT_EQ(m.get("Command1(15)").backColor, kSysHighlightText);
  EXPECT_EQ(m.get("txtLogo(0)").foreColor, kRed);
  EXPECT_EQ(m.get("txtLogo(1)").foreColor, kRed);
  EXPECT_EQ(m.get("txtLogo(2)").foreColor, kSysWindowText);
  EXPECT_EQ(m.get("chkAutoScan").foreColor, kWhite);
  // Resolving the conflict and scanning again clears the colours.
  s.start[1] = 1922;
  e.click("cmdScan");
  EXPECT_EQ(m.get("Command1(1)").backColor, kSysHighlightText);
  EXPECT_EQ(m.get("txtLogo(1)").foreColor, kSysWindowText);
}

TEST_F(EditorTest, AutoScanRunsEveryFifthTickAndSlidersPostponeIt) {
  h.settings.set("AutoScan", "1");
  h.loop.setClock(2, 8 * 3600 + 5 * 60 + 9);
  ScheduleEditor& e = open();
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
}

TEST(ScheduleHelp, EightTabsWithTheirTexts) {
  const char* captions[8] = {"Start", "End",         "T-ON",  "Repeat",
                             "Logo",  "Day-Of-Week", "SAVE ", "Scan Conflicts"};
  const char* heads[8] = {"START TIME:\r\n",     "END TIME:\r\n",        "T-ON TIME:\r\n",
                          "REPEAT TIME:\r\n",    "LOGO SELECT:\r\n",     "DAY-OF-WEEK Select:\r\n",
                          "SAVE YOUR WORK:\r\n", "CONFLICT TESTING:\r\n"};
  for (int t = 0; t < kHelpTabCount; ++t) {
    EXPECT_STREQ(helpTabCaption(t), captions[t]);
    EXPECT_EQ(std::string(helpText(t)).rfind(heads[t], 0), 0u) << t;
  }
  const std::string start = helpText(0);
  EXPECT_NE(start.find("A start time of 8:00:15 will start a logo sequence 15 seconds after"),
            std::string::npos);
  auto endsWith = [](const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
  };
  EXPECT_TRUE(
      endsWith(start, "\r\nMove the slider all the way to the top to disable the sequence. "));
  const std::string end = helpText(1);
  EXPECT_NE(end.find("end for the day.An End time"), std::string::npos);  // no space there
  const std::string scan = helpText(7);
  EXPECT_TRUE(endsWith(scan, "turned OFF and ON of as desired.  "));  // two trailing spaces
  EXPECT_STREQ(helpText(8), "");
}

}  // namespace
}  // namespace osd::test

// The schedule runner on the virtual clock: logo selection ahead of time, take-on and
// take-off with the lamps, the look-ahead across midnight, editor colouring, failures.
#include <gtest/gtest.h>

#include "schedule/editor.h"
#include "schedule/schedule_model.h"
#include "support/fakes.h"

namespace osd::test {
namespace {

constexpr int kSunday = 1, kMonday = 2, kSaturday = 7;  // clock weekdays

struct Sent {
  double second;  // clock seconds since the start of the first day
  std::string text;
};

class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h.openPort(3);
    // The model stays unknown so the logo option click adds no selections of its own; the
    // tests below see the runner's own traffic only (one test turns the model on).
    app.sxModel = 0;
    for (int i = 0; i < 20; ++i) set(i, -1, 0, 0, 0, 0, 0);
    h.port.onWrite = [this](const std::string& bytes) {
      sent.push_back({startSecond + h.loop.ms() / 1000.0, bytes.substr(0, 4)});
    };
  }

  void set(int i, int start, int end, int on, int off, int logo, int dayBits) {
    ScheduleTable& s = *app.schedule;
    s.start[i] = start;
    s.end[i] = end;
    s.on[i] = on;
    s.off[i] = off;
    s.logo[i] = logo;
    for (int d = 0; d < 7; ++d) s.dayFlags[i][d] = (dayBits >> d) & 1;
  }

  // Starts the runner at `seconds` on `weekday`.
  void startAt(int weekday, double seconds) {
    startSecond = seconds - h.loop.ms() / 1000.0;
    h.loop.setClock(weekday, seconds);
    h.loop.setTimerEnabled(TimerId::Schedule, true);
  }
  // Runs the clock until `seconds` (since the start of the first day).
  void runUntil(double seconds) {
    const double now = startSecond + h.loop.ms() / 1000.0;
    h.loop.advance(static_cast<int64_t>((seconds - now) * 1000.0 + 0.5));
  }

  std::vector<double> timesOf(const std::string& text) const {
    std::vector<double> out;
    for (const Sent& s : sent) {
      if (s.text.rfind(text, 0) == 0) out.push_back(s.second);
    }
    return out;
  }
  bool lampLit(int logo) {
    return app.ui().visible(indexed("Shape1", logo)) &&
           app.ui().get(indexed("Shape1", logo)).backColor == kRed;
  }

  Harness h;
  App& app = *h.app;
  std::vector<Sent> sent;
  double startSecond = 0;
};

TEST_F(RunnerTest, TenMinuteRepeatOnMondayMorning) {
  set(0, 1920, 2160, 1, 40, 1, 1 << 1);  // 08:00:00-09:00:00, 15 s on every 10 min, Mondays
  startAt(kMonday, 7 * 3600 + 59 * 60 + 45);

  runUntil(28799.9);
  std::vector<double> selects = timesOf("AJ01");
  ASSERT_EQ(selects.size(), 1u);
  EXPECT_GE(selects[0], 28791.5);  // about 07:59:52
  EXPECT_LE(selects[0], 28792.5);
  EXPECT_FALSE(lampLit(1));
  EXPECT_TRUE(app.ui().checked("mnuLogoSel(1)"));
  EXPECT_EQ(app.ui().get("optLOGO(1)").foreColor, kGreen);

  runUntil(28800.2);
  EXPECT_TRUE(lampLit(1));
  runUntil(28814.9);
  EXPECT_TRUE(lampLit(1));
  runUntil(28815.2);
  EXPECT_FALSE(app.ui().visible("Shape1(1)"));
  EXPECT_EQ(app.ui().get("Shape1(1)").backColor, kSysButtonFace);

  runUntil(32500);
  std::vector<double> ons = timesOf("AT1");
  std::vector<double> offs = timesOf("AT0");
  ASSERT_EQ(ons.size(), 6u);
  ASSERT_EQ(offs.size(), 6u);
  for (int k = 0; k < 6; ++k) {
    EXPECT_DOUBLE_EQ(ons[k], 28800 + 600 * k);
    EXPECT_DOUBLE_EQ(offs[k], 28815 + 600 * k);
  }
  EXPECT_EQ(timesOf("AJ").size(), 1u);  // the logo stays selected
  EXPECT_FALSE(app.ui().visible("frameError"));
}

TEST_F(RunnerTest, TonEqualToRepeatStaysOnFromStartToEnd) {
  set(0, 1920, 1932, 4, 4, 2, 1 << 1);  // 08:00:00-08:03:00
  startAt(kMonday, 28790);
  runUntil(28860);
  EXPECT_TRUE(lampLit(2));
  runUntil(29000);
  EXPECT_EQ(timesOf("AT1"), std::vector<double>{28800});
  EXPECT_EQ(timesOf("AT0"), std::vector<double>{28980});
}

TEST_F(RunnerTest, OverlappingSequencesWithDifferentLogosBothSelectEverySecond) {
  set(0, 1920, 1924, 4, 4, 1, 1 << 1);
  set(1, 1920, 1924, 4, 4, 2, 1 << 1);
  startAt(kMonday, 28805);
  sent.clear();
  runUntil(28815);
  std::vector<std::string> selects;
  for (const Sent& s : sent) {
    if (s.text.rfind("AJ", 0) == 0) selects.push_back(s.text);
  }
  ASSERT_EQ(selects.size(), 20u);  // ten look-ahead ticks, two selections each
  for (size_t k = 0; k < selects.size(); ++k) EXPECT_EQ(selects[k], k % 2 ? "AJ02" : "AJ01");
  EXPECT_EQ(app.currentLogo, 2);
  EXPECT_TRUE(app.ui().checked("mnuLogoSel(2)"));
  EXPECT_FALSE(app.ui().checked("mnuLogoSel(1)"));
  EXPECT_EQ(app.ui().get("optLOGO(2)").foreColor, kGreen);
  EXPECT_EQ(app.ui().get("optLOGO(1)").foreColor, kWhite);
}

TEST_F(RunnerTest, OverlappingSequencesWithTheSameLogoShareTheLamp) {
  set(0, 1920, 1922, 2, 2, 3, 1 << 1);  // 08:00:00-08:00:30
  set(1, 1921, 1924, 3, 3, 3, 1 << 1);  // 08:00:15-08:01:00
  startAt(kMonday, 28790);
  runUntil(28829);
  EXPECT_TRUE(lampLit(3));
  runUntil(28831);
  EXPECT_FALSE(app.ui().visible("Shape1(3)"));  // the first one took it off
  EXPECT_TRUE(app.sequenceOn[1]);
  runUntil(28900);
  EXPECT_EQ(timesOf("AJ").size(), 1u);
  EXPECT_EQ(timesOf("AT1"), (std::vector<double>{28800, 28815}));
  EXPECT_EQ(timesOf("AT0"), (std::vector<double>{28830, 28860}));
}

TEST_F(RunnerTest, LookAheadBeforeMidnightSelectsSundaysSequenceOnSaturday) {
  set(0, 0, 4, 4, 4, 5, 1 << 0);  // Sunday 00:00:00-00:01:00
  set(1, 0, 4, 4, 4, 6, 1 << 6);  // Saturday 00:00:00: must not be selected now
  startAt(kSaturday, 86390);
  runUntil(86399.9);
  std::vector<double> selects = timesOf("AJ05");
  ASSERT_EQ(selects.size(), 1u);
  EXPECT_GE(selects[0], 86391.5);
  EXPECT_TRUE(timesOf("AJ06").empty());
  EXPECT_FALSE(lampLit(5));
  runUntil(86400.2);
  EXPECT_TRUE(lampLit(5));
  EXPECT_EQ(timesOf("AT1"), std::vector<double>{86400});
  EXPECT_EQ(h.loop.now().weekday, kSunday);
}

TEST_F(RunnerTest, EndAtMidnightStaysOnUntilMidnightAndDoesNotCarryOver) {
  set(0, 5756, 5760, 4, 4, 1, (1 << 1) | (1 << 2));  // Monday and Tuesday 23:59:00-24:00:00
  startAt(kMonday, 86330);
  runUntil(86399.8);
  EXPECT_TRUE(lampLit(1));
  runUntil(86400.2);
  EXPECT_FALSE(app.ui().visible("Shape1(1)"));
  EXPECT_EQ(timesOf("AT0"), std::vector<double>{86400});
  runUntil(86420);
  EXPECT_EQ(timesOf("AT1").size(), 1u);
}

TEST_F(RunnerTest, SequencesThatAreNotSetUpDoNothing) {
  set(0, 1920, 2000, 4, 4, 1, 0);       // no day
  set(1, 1920, 2000, 4, 4, 0, 1 << 1);  // logo Off
  set(2, 1920, 2000, 0, 4, 1, 1 << 1);  // T-ON 0
  set(3, 1920, 2000, 4, 0, 1, 1 << 1);  // Repeat 0
  set(4, -1, 2000, 4, 4, 1, 1 << 1);    // Start off
  startAt(kMonday, 28790);
  runUntil(28830);
  EXPECT_TRUE(timesOf("AJ").empty());
  EXPECT_TRUE(timesOf("AT").empty());
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(app.sequenceOn[i]);
}

TEST_F(RunnerTest, EditorRowsAreColouredWhileItIsOpen) {
  set(0, 1920, 1924, 4, 4, 1, 1 << 1);  // on
  set(1, 1940, 1944, 4, 4, 1, 1 << 1);  // set up, off now
  set(2, -1, 1944, 4, 4, 1, 1 << 1);    // start off
  set(3, 1940, 1944, 4, 4, 0, 1 << 1);  // logo Off
  app.scheduleViewClick();              // no window: the editor stays open
  ASSERT_NE(app.editor(), nullptr);
  ASSERT_TRUE(app.editorOpen);
  startAt(kMonday, 28805);
  runUntil(28806.2);
  WindowModel& e = app.editor()->ui();
  EXPECT_EQ(e.get("txtTON(0)").backColor, kYellow);
  EXPECT_EQ(e.get("txtOFF(0)").backColor, kSysWindow);
  EXPECT_EQ(e.get("txtOFF(1)").backColor, kYellow);
  EXPECT_EQ(e.get("txtTON(1)").backColor, kSysWindow);
  for (int i : {2, 3}) {
    EXPECT_EQ(e.get(indexed("txtOFF", i)).backColor, kSysWindow) << i;
    EXPECT_EQ(e.get(indexed("txtTON", i)).backColor, kSysWindow) << i;
  }
}

TEST_F(RunnerTest, LabelBlinksYellowAndBlue) {
  startAt(kMonday, 100);
  runUntil(100.6);
  EXPECT_EQ(app.ui().get("lblRunning").foreColor, kYellow);
  runUntil(101.1);
  EXPECT_EQ(app.ui().get("lblRunning").foreColor, kBlue);
  runUntil(101.6);
  EXPECT_EQ(app.ui().get("lblRunning").foreColor, kYellow);
}

TEST_F(RunnerTest, ABadLogoNumberEndsThePassWithTheStepInTheTitle) {
  set(0, 1920, 1924, 4, 4, 40, 1 << 1);  // no such logo
  set(1, 1920, 1924, 4, 4, 2, 1 << 1);
  startAt(kMonday, 28805);
  runUntil(28805.6);  // one look-ahead pass
  EXPECT_TRUE(app.ui().visible("frameError"));
  EXPECT_EQ(app.ui().text("frameError"), "Scan_Schedule x5a");
  EXPECT_TRUE(timesOf("AJ").empty());  // sequence 1 was not reached
  runUntil(28806.1);                   // the current pass fails the same way
  EXPECT_TRUE(timesOf("AT1").empty());
}

TEST_F(RunnerTest, LogosAboveFifteenAreSelectedWithoutLampOrError) {
  set(0, 1920, 1924, 4, 4, 20, 1 << 1);
  startAt(kMonday, 28805);
  runUntil(28808);
  EXPECT_EQ(timesOf("AJ20").size(), 1u);
  EXPECT_EQ(timesOf("AT1").size(), 1u);
  EXPECT_EQ(app.currentLogo, 20);
  EXPECT_FALSE(app.ui().visible("frameError"));
}

TEST_F(RunnerTest, TheSelectionRunsTheLogoOptionClick) {
  app.sxModel = 4;
  set(0, 1920, 1924, 4, 4, 3, 1 << 1);
  startAt(kMonday, 28805);
  runUntil(28806);
  EXPECT_EQ(app.selectedSlot, 3);
  EXPECT_TRUE(app.ui().checked("optLOGO(3)"));
  EXPECT_TRUE(app.ui().checked("mnuLogoSel(3)"));
}

TEST_F(RunnerTest, SwitchedOffAndOnAgainAFlaggedSequenceGetsNoNewTakeOn) {
  set(0, 1920, 1924, 4, 4, 1, 1 << 1);
  startAt(kMonday, 28805);
  runUntil(28806.2);
  ASSERT_TRUE(app.sequenceOn[0]);
  app.scheduleOnOffClick();  // the setting starts off, so the first click switches on
  app.scheduleOnOffClick();
  EXPECT_FALSE(app.ui().visible("Shape1(1)"));
  runUntil(28810);
  EXPECT_EQ(timesOf("AT1").size(), 1u);
}

}  // namespace
}  // namespace osd::test

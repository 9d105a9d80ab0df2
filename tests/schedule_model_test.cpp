// The schedule's pure rules: time display, stored lists, the runner's on/off rule with its
// look-ahead, and the conflict scan.
#include "schedule/schedule_model.h"

#include <gtest/gtest.h>

#include <random>

namespace osd {
namespace {

constexpr int kMonday = 1;  // day index, 0 = Sunday

// A sequence in units: start, end, T-ON, repeat, logo, days as bits.
void setSequence(ScheduleTable& s, int i, int start, int end, int on, int off, int logo, int days) {
  s.start[i] = start;
  s.end[i] = end;
  s.on[i] = on;
  s.off[i] = off;
  s.logo[i] = logo;
  for (int d = 0; d < 7; ++d) s.dayFlags[i][d] = (days >> d) & 1;
}

ScheduleTable emptyTable() {
  ScheduleTable s;
  for (int i = 0; i < 20; ++i) setSequence(s, i, -1, 0, 0, 0, 0, 0);
  return s;
}

TEST(ScheduleTimeText, FormatsUnitsAsClockTimeWithTrailingSpace) {
  EXPECT_EQ(formatScheduleTime(1921), "8:00:15 ");
  EXPECT_EQ(formatScheduleTime(5760), "24:00:00 ");
  EXPECT_EQ(formatScheduleTime(5759), "23:59:45 ");
  EXPECT_EQ(formatScheduleTime(0), "0:00:00 ");
  EXPECT_EQ(formatScheduleTime(40), "0:10:00 ");
  EXPECT_EQ(formatScheduleTime(-1), "Off     ");
  EXPECT_EQ(formatClockTime(8 * 3600 + 5 * 60 + 9), "8:05:09");
}

TEST(ScheduleLists, DefaultListsHaveTwentyEntries) {
  std::string starts;
  std::string zeros;
  for (int i = 0; i < 20; ++i) starts += "-1,", zeros += "0,";
  EXPECT_EQ(defaultScheduleList(ListKind::Start), starts);
  EXPECT_EQ(defaultScheduleList(ListKind::Days), zeros);
  EXPECT_EQ(defaultScheduleList(ListKind::End), zeros);
  EXPECT_TRUE(listNeedsDefault("0"));
  EXPECT_FALSE(listNeedsDefault("0,"));
}

TEST(ScheduleLists, TimesTakeTheLeadingNumber) {
  std::string text = " 1920,12abc,,7.5,";
  for (int i = 4; i < 20; ++i) text += "5,";
  ParsedList p = parseScheduleList(text, ListKind::Start);
  EXPECT_TRUE(p.problem.empty()) << p.problem;
  EXPECT_EQ(p.values[0], 1920);
  EXPECT_EQ(p.values[1], 12);
  EXPECT_EQ(p.values[2], 0);  // no number reads as 0
  EXPECT_EQ(p.values[3], 8);  // rounded, halves to even
  EXPECT_EQ(p.values[19], 5);
}

TEST(ScheduleLists, LogosAndDaysMustBeWholeNumbers) {
  std::string text = "3,x,2.5,";
  for (int i = 3; i < 20; ++i) text += "1,";
  ParsedList p = parseScheduleList(text, ListKind::Logo);
  EXPECT_FALSE(p.problem.empty());
  EXPECT_NE(p.problem.find("entry 2"), std::string::npos) << p.problem;
  EXPECT_EQ(p.values[0], 3);
  EXPECT_EQ(p.values[1], 0);  // unreadable: the default
  EXPECT_EQ(p.values[2], 2);
  EXPECT_EQ(p.values[19], 1);
}

TEST(ScheduleLists, ShortListGivesDefaultsForTheMissingEntries) {
  ParsedList starts = parseScheduleList("100,200,", ListKind::Start);
  EXPECT_EQ(starts.values[0], 100);
  EXPECT_EQ(starts.values[1], 200);
  for (int i = 2; i < 20; ++i) EXPECT_EQ(starts.values[i], -1) << i;
  EXPECT_NE(starts.problem.find("2 of 20"), std::string::npos) << starts.problem;

  ParsedList days = parseScheduleList("127,3", ListKind::Days);  // no comma after 3
  EXPECT_EQ(days.values[0], 127);
  for (int i = 1; i < 20; ++i) EXPECT_EQ(days.values[i], 0) << i;
  EXPECT_FALSE(days.problem.empty());
}

TEST(ScheduleLists, ValuesOutsideTheirRangeAreRejected) {
  std::string logos = "32,";
  std::string ends = "5761,";
  for (int i = 1; i < 20; ++i) logos += "31,", ends += "5760,";
  ParsedList l = parseScheduleList(logos, ListKind::Logo);
  EXPECT_EQ(l.values[0], 0);
  EXPECT_EQ(l.values[1], 31);
  EXPECT_FALSE(l.problem.empty());
  ParsedList e = parseScheduleList(ends, ListKind::End);
  EXPECT_EQ(e.values[0], 0);
  EXPECT_EQ(e.values[1], 5760);
}

TEST(ScheduleLists, FormatWritesEntriesZeroToNineteen) {
  std::array<int, 25> values{};
  for (int i = 0; i < 25; ++i) values[i] = i * 10 - 1;
  std::string text = formatScheduleList(values);
  EXPECT_EQ(text.substr(0, 9), "-1,9,19,2");
  EXPECT_EQ(text.substr(text.size() - 4), "189,");
  ParsedList back = parseScheduleList(text, ListKind::End);
  EXPECT_TRUE(back.problem.empty());
  for (int i = 0; i < 20; ++i) EXPECT_EQ(back.values[i], values[i]);
}

TEST(ScheduleLists, DayBitsSundayIsBitZero) {
  std::array<bool, 8> flags{};
  flags[0] = flags[6] = true;
  EXPECT_EQ(dayBits(flags), 65);
  flags.fill(true);
  EXPECT_EQ(dayBits(flags), 127);  // column 7 is not a day
}

TEST(ScheduleRunnerRule, TenMinuteRepeatWithFifteenSecondsOn) {
  ScheduleTable s = emptyTable();
  setSequence(s, 0, 1920, 2160, 1, 40, 1, 1 << kMonday);
  EXPECT_FALSE(sequenceOnAt(s, 0, kMonday, 28799));
  EXPECT_TRUE(sequenceOnAt(s, 0, kMonday, 28800));
  EXPECT_TRUE(sequenceOnAt(s, 0, kMonday, 28814));
  EXPECT_FALSE(sequenceOnAt(s, 0, kMonday, 28815));
  EXPECT_TRUE(sequenceOnAt(s, 0, kMonday, 28800 + 600));
  EXPECT_TRUE(sequenceOnAt(s, 0, kMonday, 28800 + 3000));
  EXPECT_FALSE(sequenceOnAt(s, 0, kMonday, 32400));  // End is excluded
  EXPECT_FALSE(sequenceOnAt(s, 0, kMonday + 1, 28800));
}

TEST(ScheduleRunnerRule, InactiveSequencesNeverShow) {
  ScheduleTable s = emptyTable();
  setSequence(s, 0, 0, 5760, 1, 1, 1, 0);     // no day
  setSequence(s, 1, 0, 5760, 1, 1, 0, 127);   // logo Off
  setSequence(s, 2, 0, 5760, 0, 1, 1, 127);   // T-ON 0
  setSequence(s, 3, 0, 5760, 1, 0, 1, 127);   // repeat 0
  setSequence(s, 4, -1, 5760, 1, 1, 1, 127);  // start off
  for (int i = 0; i < 5; ++i) {
    for (int d = 0; d < 7; ++d) EXPECT_FALSE(sequenceOnAt(s, i, d, 100)) << i << " " << d;
  }
  EXPECT_FALSE(scanScheduleConflicts(s).found());
}

TEST(ScheduleRunnerRule, TonEqualToRepeatStaysOnAndEndAtMidnight) {
  ScheduleTable s = emptyTable();
  setSequence(s, 0, 5000, 5760, 40, 40, 2, 127);
  for (long long t = 75000; t < 86400; t += 7) ASSERT_TRUE(sequenceOnAt(s, 0, 3, t)) << t;
  EXPECT_TRUE(sequenceOnAt(s, 0, 3, 86399));
  EXPECT_FALSE(sequenceOnAt(s, 0, 3, 74999));
}

TEST(ScheduleInstantRule, LookAheadCrossesMidnightAndSaturday) {
  // weekday 1 = Sunday .. 7 = Saturday
  ScheduleInstant now = scheduleInstant(2, 28792.4, false);
  EXPECT_EQ(now.day, 1);
  EXPECT_EQ(now.t, 28792);
  ScheduleInstant ahead = scheduleInstant(2, 28792.4, true);
  EXPECT_EQ(ahead.day, 1);
  EXPECT_EQ(ahead.t, 28800);
  ScheduleInstant sat = scheduleInstant(7, 86395.0, true);
  EXPECT_EQ(sat.day, 0);
  EXPECT_EQ(sat.t, 3);
  ScheduleInstant edge = scheduleInstant(3, 86391.5, true);  // rounds to 86392 (even)
  EXPECT_EQ(edge.day, 3);
  EXPECT_EQ(edge.t, 0);
  ScheduleInstant before = scheduleInstant(3, 86390.5, true);  // rounds to 86390
  EXPECT_EQ(before.day, 2);
  EXPECT_EQ(before.t, 86398);
}

TEST(ScheduleConflicts, WindowsThatMeetEndToStartConflict) {
  ScheduleTable s = emptyTable();
  setSequence(s, 0, 1920, 2160, 1, 40, 1, 1 << kMonday);  // on 08:00:00 to 08:00:15
  setSequence(s, 1, 1921, 1930, 1, 1, 2, 1 << kMonday);   // from 08:00:15
  ConflictMap map = scanScheduleConflicts(s);
  EXPECT_TRUE(map.day[0][kMonday]);
  EXPECT_TRUE(map.day[1][kMonday]);
  EXPECT_FALSE(map.day[0][kMonday + 1]);
  EXPECT_TRUE(map.any[0] && map.any[1]);
  // The runner itself shows them one after the other.
  EXPECT_TRUE(sequenceOnAt(s, 0, kMonday, 28814));
  EXPECT_FALSE(sequenceOnAt(s, 1, kMonday, 28814));
  EXPECT_FALSE(sequenceOnAt(s, 0, kMonday, 28815));
  EXPECT_TRUE(sequenceOnAt(s, 1, kMonday, 28815));
}

TEST(ScheduleConflicts, SeparateWindowsDaysAndMissingDaysDoNotConflict) {
  ScheduleTable s = emptyTable();
  setSequence(s, 0, 1920, 1960, 1, 40, 1, 1 << kMonday);  // 08:00:00 to 08:00:15
  setSequence(s, 1, 1922, 1930, 1, 1, 1, 1 << kMonday);   // a unit after the counted one
  setSequence(s, 2, 1920, 1930, 1, 1, 3, 1 << 2);         // Tuesday only
  setSequence(s, 3, 1920, 1930, 1, 1, 4, 0);              // no day
  EXPECT_FALSE(scanScheduleConflicts(s).found());
  // The same logo on the same day counts as a conflict too.
  setSequence(s, 4, 1925, 1926, 1, 1, 1, 1 << kMonday);
  ConflictMap map = scanScheduleConflicts(s);
  EXPECT_TRUE(map.day[1][kMonday]);
  EXPECT_TRUE(map.day[4][kMonday]);
  EXPECT_FALSE(map.any[0]);
  EXPECT_FALSE(map.any[3]);
}

TEST(ScheduleConflicts, RepeatPeriodsAreFollowed) {
  ScheduleTable s = emptyTable();
  // A: on 1 unit every 40 from 0; B: a single unit at 81 (A shows 80 and 81).
  setSequence(s, 0, 0, 5760, 1, 40, 1, 1);
  setSequence(s, 1, 81, 82, 1, 1, 2, 1);
  EXPECT_TRUE(scanScheduleConflicts(s).day[1][0]);
  setSequence(s, 1, 82, 83, 1, 1, 2, 1);
  EXPECT_FALSE(scanScheduleConflicts(s).found());
}

// The scan's rule taken sample by sample, as an independent check of the fast scan.
ConflictMap sampleBySample(const ScheduleTable& s) {
  ConflictMap map;
  for (int d = 0; d < 7; ++d) {
    for (long long t = 7; t <= 86392; t += 15) {
      int showing[20];
      int n = 0;
      for (int i = 0; i < 20; ++i) {
        if (s.start[i] == -1 || s.logo[i] == 0 || s.off[i] == 0 || s.on[i] == 0) continue;
        if (!s.dayFlags[i][d]) continue;
        if (t < 15LL * s.start[i] || t >= 15LL * s.end[i]) continue;
        if ((t - 15LL * s.start[i]) % (15LL * s.off[i]) < 15LL * (s.on[i] + 1)) showing[n++] = i;
      }
      if (n < 2) continue;
      for (int a = 0; a < n; ++a) map.day[showing[a]][d] = map.any[showing[a]] = true;
    }
  }
  return map;
}

TEST(ScheduleConflicts, AgreesWithTheSampleRuleOnRandomSchedules) {
  std::mt19937 rng(20260);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 60; ++round) {
    ScheduleTable s = emptyTable();
    const int count = pick(2, 8);
    for (int i = 0; i < count; ++i) {
      const int seq = pick(0, 19);
      const int start = pick(-60, 5700);
      const int end = pick(start, 5760);
      const int on = pick(0, 30);
      const int off = pick(0, 40);
      const int logo = pick(0, 4);
      setSequence(s, seq, start, end, on, off, logo, pick(0, 127));
    }
    ConflictMap fast = scanScheduleConflicts(s);
    ConflictMap slow = sampleBySample(s);
    for (int i = 0; i < 20; ++i) {
      for (int d = 0; d < 7; ++d) {
        ASSERT_EQ(fast.day[i][d], slow.day[i][d])
            << "round " << round << " seq " << i << " day " << d << ": " << s.start[i] << " "
            << s.end[i] << " " << s.on[i] << " " << s.off[i] << [&] {
                 std::string all;
                 for (int j = 0; j < 20; ++j) {
                   if (s.start[j] == -1) continue;
                   all += "\n  " + std::to_string(j) + ": " + std::to_string(s.start[j]) + " " +
                          std::to_string(s.end[j]) + " " + std::to_string(s.on[j]) + " " +
                          std::to_string(s.off[j]) + " logo " + std::to_string(s.logo[j]) +
                          " days " + std::to_string(dayBits(s.dayFlags[j]));
                 }
                 return all;
               }();
      }
      ASSERT_EQ(fast.any[i], slow.any[i]);
    }
  }
}

// The most work for the scan (its time is measured by bench/schedule_bench.cpp, not here):
// short runs with short periods, 1920 runs a day each, all twenty overlapping.
TEST(ScheduleConflicts, TwentyFullSequencesAllConflict) {
  ScheduleTable s = emptyTable();
  for (int i = 0; i < 20; ++i) setSequence(s, i, i, 5760, 1, 3, 1 + i, 127);
  const ConflictMap map = scanScheduleConflicts(s);
  for (int i = 0; i < 20; ++i) {
    EXPECT_TRUE(map.any[i]);
    for (int d = 0; d < 7; ++d) EXPECT_TRUE(map.day[i][d]) << i << " " << d;
  }
}

}  // namespace
}  // namespace osd

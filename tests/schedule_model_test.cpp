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
  s.start[i] = start, s.end[i] = end, s.on[i] = on, s.off[i] = off, s.logo[i] = logo;
  for (int d = 0; d < 7; ++d) s.dayFlags[i][d] = (days >> d) & 1;
}

ScheduleTable emptyTable() {
  ScheduleTable s;
  for (int i = 0; i < 20; ++i) setSequence(s, i, -1, 0, 0, 0, 0, 0);
  return s;
}

std::string repeated(const std::string& head, const std::string& entry, int count) {
  std::string text = head;
  for (int i = 0; i < count; ++i) text += entry;
  return text;
}

TEST(ScheduleText, TimesDaysAndTheStoredListsWithTheirProblems) {
  const std::pair<int, const char*> times[] = {{1921, "8:00:15 "},  {5760, "24:00:00 "},
                                               {5759, "23:59:45 "}, {0, "0:00:00 "},
                                               {40, "0:10:00 "},    {-1, "Off     "}};
  for (const auto& [units, text] : times) EXPECT_EQ(formatScheduleTime(units), text);
  EXPECT_EQ(formatClockTime(8 * 3600 + 5 * 60 + 9), "8:05:09");
  // The clock labels: whole seconds of the day, never "24:00:00" or a negative time.
  // clang-format off
  const std::pair<double, const char*> clocks[] = {{9 * 3600 + 5 * 60 + 7.9, "9:05:07"},
      {86399.99, "23:59:59"}, {86400.0, "0:00:00"}, {-0.5, "0:00:00"}, {36000, "10:00:00"}};
  // clang-format on
  for (const auto& [seconds, text] : clocks) EXPECT_EQ(clockText(seconds), text) << seconds;
  EXPECT_EQ(dayBits({true, true, true, true, true, true, true, true}), 127);  // 7 is not a day
  // Parsing the stored lists takes each kind's rule and reports problems.
  // first: entries from 0; last: entry 19; problem: part of its text, "" for none, " " for any
  // clang-format off
  const struct { std::string text; ListKind kind; std::vector<int> first; int last;
                 const char* problem; } cases[] = {
      // Times take the leading number, halves to even; no number reads as 0.
      {repeated(" 1920,12abc,,7.5,", "5,", 16), ListKind::Start, {1920, 12, 0, 8}, 5, ""},
      // Logos and days must be whole numbers; an unreadable one gets the default.
      {repeated("3,x,2.5,", "1,", 17), ListKind::Logo, {3, 0, 2}, 1, "entry 2"},
      {"100,200,", ListKind::Start, {100, 200, -1}, -1, "2 of 20"},
      {"127,3", ListKind::Days, {127, 0}, 0, " "},  // no comma after 3
      {repeated("32,", "31,", 19), ListKind::Logo, {0, 31}, 31, " "},
      {repeated("5761,", "5760,", 19), ListKind::End, {0, 5760}, 5760, " "},
      {defaultScheduleList(ListKind::Start), ListKind::Start, {-1}, -1, ""},
      {defaultScheduleList(ListKind::Days), ListKind::Days, {0}, 0, ""},
  };
  // clang-format on
  for (const auto& c : cases) {
    const ParsedList p = parseScheduleList(c.text, c.kind);
    for (size_t i = 0; i < c.first.size(); ++i) EXPECT_EQ(p.values[i], c.first[i]) << c.text;
    EXPECT_EQ(p.values[19], c.last) << c.text;
    const bool said = *c.problem == ' ' ? !p.problem.empty()
                      : *c.problem      ? p.problem.find(c.problem) != std::string::npos
                                        : p.problem.empty();
    EXPECT_TRUE(said) << c.text << ": " << p.problem;
  }
  EXPECT_TRUE(listNeedsDefault("0") && !listNeedsDefault("0,"));
  std::array<int, 25> values{};
  for (int i = 0; i < 25; ++i) values[i] = i * 10 - 1;  // entries 0 to 19 are written
  EXPECT_EQ(formatScheduleList(values),
            "-1,9,19,29,39,49,59,69,79,89,99,109,119,129,139,149,159,169,179,189,");
}

// The scan's rule taken sample by sample, as an independent check of the fast scan.
ConflictMap sampleBySample(const ScheduleTable& s) {
  ConflictMap map;
  for (int d = 0; d < 7; ++d)
    for (long long t = 7; t <= 86392; t += 15) {
      std::vector<int> showing;
      for (int i = 0; i < 20; ++i) {
        if (s.start[i] == -1 || s.logo[i] == 0 || s.off[i] == 0 || s.on[i] == 0) continue;
        if (!s.dayFlags[i][d] || t < 15LL * s.start[i] || t >= 15LL * s.end[i]) continue;
        if ((t - 15LL * s.start[i]) % (15LL * s.off[i]) < 15LL * (s.on[i] + 1))
          showing.push_back(i);
      }
      if (showing.size() < 2) continue;
      for (int i : showing) map.day[i][d] = map.any[i] = true;
    }
  return map;
}

TEST(ScheduleRunnerRule, OnTimesLookAheadAndConflictsFollowStartEndTonRepeatAndDays) {
  ScheduleTable s = emptyTable();
  setSequence(s, 0, 1920, 2160, 1, 40, 1, 1 << kMonday);  // 15 s every 10 minutes from 8:00
  setSequence(s, 1, 5000, 5760, 40, 40, 2, 127);          // T-ON = repeat: on to midnight
  setSequence(s, 2, 0, 5760, 1, 1, 1, 0);                 // no day
  setSequence(s, 3, 0, 5760, 1, 1, 0, 127);               // logo Off
  setSequence(s, 4, 0, 5760, 0, 1, 1, 127);               // T-ON 0
  setSequence(s, 5, 0, 5760, 1, 0, 1, 127);               // repeat 0
  setSequence(s, 6, -1, 5760, 1, 1, 1, 127);              // start off
  // clang-format off
  const struct { int seq, day; long long t; bool on; } cases[] = {
      {0, kMonday, 28799, false}, {0, kMonday, 28800, true}, {0, kMonday, 28814, true},
      {0, kMonday, 28815, false}, {0, kMonday, 29400, true}, {0, kMonday, 31800, true},
      {0, kMonday, 32400, false},  // End is excluded
      {0, 2, 28800, false}, {1, 3, 74999, false}, {1, 3, 75000, true}, {1, 3, 80006, true},
      {1, 3, 86399, true}, {2, 1, 100, false}, {3, 1, 100, false}, {4, 1, 100, false}, {5, 1, 100, false},
      {6, 1, 100, false}};
  // clang-format on
  for (const auto& c : cases)
    EXPECT_EQ(sequenceOnAt(s, c.seq, c.day, c.t), c.on) << c.seq << " at " << c.t;
  // The look-ahead crosses midnight and Saturday. weekday: 1 = Sunday .. 7 = Saturday; the
  // instant: day from 0, seconds
  // clang-format off
  struct { int weekday; double seconds; bool ahead; std::pair<int, long long> at; } instants[] = {
      {2, 28792.4, false, {1, 28792}}, {2, 28792.4, true, {1, 28800}}, {7, 86395.0, true, {0, 3}},
      {3, 86391.5, true, {3, 0}},  // rounds to 86392 (even)
      {3, 86390.5, true, {2, 86398}}};
  // clang-format on
  for (const auto& c : instants) {
    const ScheduleInstant at = scheduleInstant(c.weekday, c.seconds, c.ahead);
    EXPECT_EQ(std::pair(at.day, at.t), c.at) << c.seconds;
  }
  // Conflicts: meeting windows, repeats and the same logos, as the sample rule says.
  s = emptyTable();
  setSequence(s, 0, 1920, 2160, 1, 40, 1, 1 << kMonday);  // on 08:00:00 to 08:00:15
  setSequence(s, 1, 1921, 1930, 1, 1, 2, 1 << kMonday);   // from 08:00:15: meets it
  setSequence(s, 2, 1920, 1930, 1, 1, 3, 1 << 2);         // Tuesday only
  setSequence(s, 3, 1920, 1930, 1, 1, 4, 0);              // no day
  ConflictMap map = scanScheduleConflicts(s);
  EXPECT_TRUE(map.day[0][kMonday] && map.day[1][kMonday] && map.any[0] && map.any[1]);
  EXPECT_FALSE(map.day[0][kMonday + 1] || map.any[2] || map.any[3]);
  // A unit after the counted one does not conflict; the same logo on the same day does.
  setSequence(s, 1, 1922, 1930, 1, 1, 1, 1 << kMonday);
  EXPECT_FALSE(scanScheduleConflicts(s).found());
  setSequence(s, 4, 1925, 1926, 1, 1, 1, 1 << kMonday);
  map = scanScheduleConflicts(s);
  EXPECT_TRUE(map.day[1][kMonday] && map.day[4][kMonday] && !map.any[0]);
  // Repeats are followed: A shows 80 and 81 of every 40 from 0.
  s = emptyTable();
  setSequence(s, 0, 0, 5760, 1, 40, 1, 1);
  setSequence(s, 1, 81, 82, 1, 1, 2, 1);
  EXPECT_TRUE(scanScheduleConflicts(s).day[1][0]);
  setSequence(s, 1, 82, 83, 1, 1, 2, 1);
  EXPECT_FALSE(scanScheduleConflicts(s).found());
  // The most work for the scan: twenty short runs with short periods, all overlapping.
  for (int i = 0; i < 20; ++i) setSequence(s, i, i, 5760, 1, 3, 1 + i, 127);
  map = scanScheduleConflicts(s);
  for (int i = 0; i < 20; ++i)
    for (int d = 0; d < 7; ++d) EXPECT_TRUE(map.day[i][d]) << i << " " << d;
  // The fast scan agrees with the sample rule on random schedules.
  std::mt19937 rng(20260);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 60; ++round) {
    s = emptyTable();
    for (int k = pick(2, 8); k > 0; --k) {
      const int start = pick(-60, 5700);
      setSequence(s, pick(0, 19), start, pick(start, 5760), pick(0, 30), pick(0, 40), pick(0, 4),
                  pick(0, 127));
    }
    const ConflictMap fast = scanScheduleConflicts(s), slow = sampleBySample(s);
    for (int i = 0; i < 20; ++i)
      for (int d = 0; d < 7; ++d) ASSERT_EQ(fast.day[i][d], slow.day[i][d]) << round << " " << i;
  }
}

}  // namespace
}  // namespace osd

// The weekly schedule: twenty logo sequences in 15-second units, its stored list form, the
// time display, the conflict scan and the runner's on/off rule. Standard library only.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace osd {

constexpr int kSequenceCount = 20;  // sequences 0..19
constexpr int kUnitsPerDay = 5760;  // 15-second units in a day
constexpr int kSecondsPerDay = 86400;
constexpr int kLookAheadSeconds = 8;  // a sequence's logo is selected this early

// Editor ranges of the six arrays (also what a stored list may hold).
constexpr int kStartMin = -1, kStartMax = 5759;
constexpr int kEndMin = -1, kEndMax = 5760;
constexpr int kOnMin = 0, kOnMax = 480;  // T-ON and Repeat: up to 2 hours
constexpr int kLogoMax = 31;
constexpr int kDaysMax = 127;

struct ScheduleTable {
  // Entries 0..19 are the sequences; 20..24 are never shown, saved or run.
  std::array<int, 25> start{}, end{}, on{}, off{}, logo{}, days{};
  // dayFlags[i][d]: sequence i runs on day d (0 = Sunday .. 6 = Saturday); column 7 unused.
  std::array<std::array<bool, 8>, 20> dayFlags{};
};

// ---- Stored lists ("S_Start" ... "S_Days") ----

enum class ListKind {
  Start,  // leading-number entries, default -1, range -1..5759
  End,    // leading-number entries, default 0, range -1..5760
  OnTime,
  Repeat,  // leading-number entries, default 0, range 0..480
  Logo,    // whole integers, default 0, range 0..31
  Days,    // whole integers (bit sets), default 0, range 0..127
};

// A stored list of exactly one character (a missing key reads as "0") is replaced by the
// default list, which is written back.
inline bool listNeedsDefault(std::string_view stored) {
  return stored.size() == 1;
}

// The value a missing or unreadable entry of that kind gets (-1 for starts, 0 otherwise).
int listDefaultEntry(ListKind kind);

// Twenty copies of the default entry, each followed by a comma ("-1,-1,...," / "0,0,...,").
std::string defaultScheduleList(ListKind kind);

struct ParsedList {
  std::array<int, kSequenceCount> values{};
  // Empty when all twenty entries were read and valid; otherwise one sentence naming the
  // first problem (entries that could not be read hold the default).
  std::string problem;
};

// Reads a stored list: twenty entries, each ended by a comma. Starts, ends, T-ON and repeat
// take the leading number of the entry; logos and days must be whole integers. Entries
// missing at the end, unreadable entries and values outside the kind's range get the default.
ParsedList parseScheduleList(std::string_view text, ListKind kind);

// Entries 0..19 as decimal numbers, each followed by a comma.
std::string formatScheduleList(const std::array<int, 25>& values);

// The bit set of a sequence's days (bit d for day d, d = 0..6).
int dayBits(const std::array<bool, 8>& flags);

// ---- Display ----

// "8:00:15 " for 1921 units, "24:00:00 " for 5760, "Off     " below 0.
std::string formatScheduleTime(int units);

// "8:05:09" for a clock time in whole seconds since midnight.
std::string formatClockTime(long long seconds);

// The clock labels of the main window and the schedule editor: the time of day in whole
// seconds, hours without a leading zero ("9:05:07"); times outside the day are brought into it.
std::string clockText(double secondsSinceMidnight);

// ---- Evaluation ----

// Whether sequence i is set up to run on day d (0 = Sunday): start not -1, logo, T-ON and
// repeat not 0, day flag set.
bool sequenceActive(const ScheduleTable& s, int i, int day);

// The runner's rule: sequence i shows its logo at second t of day d. T-ON counts exactly.
bool sequenceOnAt(const ScheduleTable& s, int i, int day, long long t);

// The instant a runner pass looks at: the rounded clock, or 8 seconds later on a look-ahead
// pass, moved into the next day (Saturday to Sunday) when it passes midnight.
struct ScheduleInstant {
  int day = 0;      // 0 = Sunday .. 6 = Saturday
  long long t = 0;  // whole seconds since midnight
};
ScheduleInstant scheduleInstant(int weekday, double secondsSinceMidnight, bool lookAhead);

// The conflict scan: every 15 s from 7 s after midnight (5760 samples a day), each day, a
// sequence counts as showing for one unit longer than its T-ON. Two or more sequences
// showing at the same sample conflict on that day, whatever their logos.
struct ConflictMap {
  std::array<std::array<bool, 7>, kSequenceCount> day{};  // [sequence][day]
  std::array<bool, kSequenceCount> any{};                 // any day of that sequence
  bool found() const;
};
ConflictMap scanScheduleConflicts(const ScheduleTable& s);

}  // namespace osd

#include "schedule/schedule_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/textnum.h"

namespace osd {

namespace {

struct Range {
  int lo, hi;
};

Range rangeOf(ListKind kind) {
  switch (kind) {
    case ListKind::Start:
      return {kStartMin, kStartMax};
    case ListKind::End:
      return {kEndMin, kEndMax};
    case ListKind::OnTime:
    case ListKind::Repeat:
      return {kOnMin, kOnMax};
    case ListKind::Logo:
      return {0, kLogoMax};
    case ListKind::Days:
      return {0, kDaysMax};
  }
  return {0, 0};
}

// A whole integer: optional blanks, sign, digits, an optional fraction (rounded, halves to
// even), optional blanks; nothing else. Limited to the 16-bit range the lists were made for.
bool wholeInteger(std::string_view text, int& out) {
  std::string t = trimBlanks(text);
  size_t p = 0;
  if (p < t.size() && (t[p] == '+' || t[p] == '-')) ++p;
  size_t digits = 0;
  while (p < t.size() && t[p] >= '0' && t[p] <= '9') ++p, ++digits;
  if (p < t.size() && t[p] == '.') {
    ++p;
    while (p < t.size() && t[p] >= '0' && t[p] <= '9') ++p, ++digits;
  }
  if (digits == 0 || p != t.size()) return false;
  double v = std::strtod(t.c_str(), nullptr);
  long long r = roundHalfEven(v);
  if (r < -32768 || r > 32767) return false;
  out = static_cast<int>(r);
  return true;
}

}  // namespace

int listDefaultEntry(ListKind kind) {
  return kind == ListKind::Start ? -1 : 0;
}

std::string defaultScheduleList(ListKind kind) {
  std::string one = std::to_string(listDefaultEntry(kind)) + ",";
  std::string list;
  for (int i = 0; i < kSequenceCount; ++i) list += one;
  return list;
}

ParsedList parseScheduleList(std::string_view text, ListKind kind) {
  ParsedList out;
  const int def = listDefaultEntry(kind);
  const Range range = rangeOf(kind);
  const bool leading = kind != ListKind::Logo && kind != ListKind::Days;
  out.values.fill(def);
  size_t pos = 0;
  for (int i = 0; i < kSequenceCount; ++i) {
    size_t comma = text.find(',', pos);
    if (comma == std::string_view::npos) {
      if (out.problem.empty()) {
        out.problem = "the stored list has " + std::to_string(i) +
                      " of 20 entries; the others are taken as " + std::to_string(def);
      }
      break;
    }
    std::string_view entry = text.substr(pos, comma - pos);
    pos = comma + 1;
    int value = def;
    bool ok = true;
    if (leading) {
      value = leadingInt(entry);
    } else {
      ok = wholeInteger(entry, value);
    }
    if (ok && (value < range.lo || value > range.hi)) ok = false;
    if (!ok) {
      if (out.problem.empty()) {
        out.problem = "entry " + std::to_string(i + 1) + " (\"" + std::string(entry) +
                      "\") is not valid; it is taken as " + std::to_string(def);
      }
      value = def;
    }
    out.values[i] = value;
  }
  return out;
}

std::string formatScheduleList(const std::array<int, 25>& values) {
  std::string list;
  for (int i = 0; i < kSequenceCount; ++i) list += std::to_string(values[i]) + ",";
  return list;
}

int dayBits(const std::array<bool, 8>& flags) {
  int bits = 0;
  for (int d = 0; d < 7; ++d) {
    if (flags[d]) bits |= 1 << d;
  }
  return bits;
}

std::string formatClockTime(long long seconds) {
  long long h = seconds / 3600;
  int m = static_cast<int>(seconds / 60 % 60);
  int s = static_cast<int>(seconds % 60);
  std::string text = std::to_string(h) + ":";
  if (m < 10) text += "0";
  text += std::to_string(m) + ":";
  if (s < 10) text += "0";
  return text + std::to_string(s);
}

std::string clockText(double secondsSinceMidnight) {
  const long long whole = static_cast<long long>(std::floor(secondsSinceMidnight));
  return formatClockTime(whole < 0 ? 0 : whole % kSecondsPerDay);
}

std::string formatScheduleTime(int units) {
  if (units < 0) return "Off     ";
  return formatClockTime(static_cast<long long>(units) * 15) + " ";
}

bool sequenceActive(const ScheduleTable& s, int i, int day) {
  if (i < 0 || i >= kSequenceCount || day < 0 || day > 6) return false;
  return s.start[i] != -1 && s.logo[i] != 0 && s.on[i] != 0 && s.off[i] != 0 && s.dayFlags[i][day];
}

bool sequenceOnAt(const ScheduleTable& s, int i, int day, long long t) {
  if (!sequenceActive(s, i, day)) return false;
  const long long start = 15LL * s.start[i];
  const long long end = 15LL * s.end[i];
  if (t < start || t >= end) return false;
  // The remainder takes the sign of the dividend (never negative here).
  return (t - start) % (15LL * s.off[i]) < 15LL * s.on[i];
}

ScheduleInstant scheduleInstant(int weekday, double secondsSinceMidnight, bool lookAhead) {
  ScheduleInstant at;
  at.day = ((weekday - 1) % 7 + 7) % 7;
  at.t = roundHalfEven(secondsSinceMidnight);
  if (lookAhead) {
    at.t += kLookAheadSeconds;
    if (at.t > kSecondsPerDay - 1) {
      at.t -= kSecondsPerDay;
      at.day = (at.day + 1) % 7;
    }
  }
  return at;
}

bool ConflictMap::found() const {
  for (bool b : any) {
    if (b) return true;
  }
  return false;
}

namespace {
// The runs of a sequence within the day: [first + j * period, + length), cut to [0, last).
struct Runs {
  long long first = 0, last = 0, period = 1, length = 0;
  bool empty = true;
};

Runs runsOf(const ScheduleTable& s, int i) {
  Runs r;
  const long long start = s.start[i];
  r.last = std::min<long long>(s.end[i], kUnitsPerDay);
  r.period = std::llabs(static_cast<long long>(s.off[i]));
  r.length = static_cast<long long>(s.on[i]) + 1;
  if (r.length <= 0 || start >= r.last || r.period == 0) return r;
  r.empty = false;
  if (r.length >= r.period) {  // the runs join up: one run from start
    r.first = std::max<long long>(start, 0);
    r.length = r.last - r.first;
    r.period = r.last - r.first;
    return r;
  }
  // The first run that ends after 0: start + j * period with start + j * period + length > 0.
  const long long before = -start - r.length + 1;  // j * period must reach this
  const long long j = before > 0 ? (before + r.period - 1) / r.period : 0;
  r.first = start + j * r.period;
  return r;
}
}  // namespace

ConflictMap scanScheduleConflicts(const ScheduleTable& s) {
  ConflictMap map;
  // Sample k lies at 15k + 7 seconds. In units the showing test
  //   15 start <= 15k + 7 < 15 end  and  (15k + 7 - 15 start) mod (15 repeat) < 15 (T-ON + 1)
  // reads: start <= k < end and (k - start) mod |repeat| <= T-ON. So a sequence shows on
  // the runs [p, p + T-ON + 1) for p = start, start + repeat, ... cut off at End and at the
  // end of the day. Runs are counted with a difference array; a sequence conflicts on a day
  // when one of its runs holds a sample that two or more sequences show.
  std::array<int, kUnitsPerDay + 1> count;
  std::array<int, kUnitsPerDay + 1> shared;  // prefix sums of "count >= 2"
  std::array<Runs, kSequenceCount> runs;
  for (int i = 0; i < kSequenceCount; ++i) runs[i] = runsOf(s, i);

  std::array<unsigned, 7> activeSet{};
  for (int d = 0; d < 7; ++d) {
    int active[kSequenceCount];
    int n = 0;
    for (int i = 0; i < kSequenceCount; ++i) {
      if (sequenceActive(s, i, d) && !runs[i].empty) {
        active[n++] = i;
        activeSet[d] |= 1u << i;
      }
    }
    if (n < 2) continue;
    // A day with the same sequences as an earlier day has the same conflicts.
    int same = -1;
    for (int e = 0; e < d && same < 0; ++e) {
      if (activeSet[e] == activeSet[d]) same = e;
    }
    if (same >= 0) {
      for (int i = 0; i < kSequenceCount; ++i) map.day[i][d] = map.day[i][same];
      continue;
    }
    int* c = count.data();
    int* m = shared.data();
    count.fill(0);
    for (int a = 0; a < n; ++a) {
      const Runs& r = runs[active[a]];
      for (long long p = r.first; p < r.last; p += r.period) {
        const long long lo = p < 0 ? 0 : p;
        const long long hi = p + r.length < r.last ? p + r.length : r.last;
        ++c[lo];
        --c[hi];
      }
    }
    int level = 0;
    m[0] = 0;
    for (int k = 0; k < kUnitsPerDay; ++k) {
      level += c[k];
      m[k + 1] = m[k] + (level >= 2 ? 1 : 0);
    }
    if (m[kUnitsPerDay] == 0) continue;
    for (int a = 0; a < n; ++a) {
      const Runs& r = runs[active[a]];
      bool hit = false;
      for (long long p = r.first; p < r.last && !hit; p += r.period) {
        const long long lo = p < 0 ? 0 : p;
        const long long hi = p + r.length < r.last ? p + r.length : r.last;
        hit = m[hi] > m[lo];
      }
      map.day[active[a]][d] = hit;
    }
  }
  for (int i = 0; i < kSequenceCount; ++i) {
    for (int d = 0; d < 7; ++d) map.any[i] = map.any[i] || map.day[i][d];
  }
  return map;
}

}  // namespace osd

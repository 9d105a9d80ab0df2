// The schedule's stored lists on arbitrary text: each of the six kinds is read, its values
// must lie in the kind's range, and the list written from them reads back unchanged. The
// evaluation of the table built from the lists must not misbehave either.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "schedule/schedule_model.h"

using namespace osd;

namespace {

void range(ListKind kind, int& lo, int& hi) {
  switch (kind) {
    case ListKind::Start:
      lo = kStartMin, hi = kStartMax;
      return;
    case ListKind::End:
      lo = kEndMin, hi = kEndMax;
      return;
    case ListKind::OnTime:
    case ListKind::Repeat:
      lo = kOnMin, hi = kOnMax;
      return;
    case ListKind::Logo:
      lo = 0, hi = kLogoMax;
      return;
    case ListKind::Days:
      lo = 0, hi = kDaysMax;
      return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ScheduleTable table;
  std::array<int, 25>* columns[6] = {&table.start, &table.end,  &table.on,
                                     &table.off,   &table.logo, &table.days};
  for (int k = 0; k < 6; ++k) {
    constexpr ListKind kKinds[6] = {ListKind::Start,  ListKind::End,  ListKind::OnTime,
                                    ListKind::Repeat, ListKind::Logo, ListKind::Days};
    const ListKind kind = kKinds[k];
    const ParsedList parsed = parseScheduleList(text, kind);
    int lo = 0, hi = 0;
    range(kind, lo, hi);
    std::array<int, 25> all{};
    for (int i = 0; i < kSequenceCount; ++i) {
      const int v = parsed.values[static_cast<size_t>(i)];
      FUZZ_CHECK(v >= lo && v <= hi);
      all[static_cast<size_t>(i)] = v;
    }
    const std::string written = formatScheduleList(all);
    const ParsedList again = parseScheduleList(written, kind);
    FUZZ_CHECK(again.problem.empty());
    FUZZ_CHECK(again.values == parsed.values);
    *columns[k] = all;
    FUZZ_CHECK(!formatScheduleTime(parsed.values[0]).empty());
  }
  for (int i = 0; i < kSequenceCount; ++i) {
    for (int d = 0; d < 7; ++d) {
      table.dayFlags[static_cast<size_t>(i)][static_cast<size_t>(d)] =
          (table.days[static_cast<size_t>(i)] >> d) & 1;
    }
    FUZZ_CHECK(dayBits(table.dayFlags[static_cast<size_t>(i)]) ==
               table.days[static_cast<size_t>(i)]);
  }
  // A few instants through the runner's rule (the whole conflict scan is too slow here).
  for (long long t : {0LL, 7LL, 3600LL, 43207LL, 86399LL}) {
    for (int i = 0; i < kSequenceCount; ++i)
      (void)sequenceOnAt(table, i, static_cast<int>(t % 7), t);
  }
  // The whole conflict scan takes about a millisecond: only for some inputs.
  if (size % 8 == 0) {
    const ConflictMap conflicts = scanScheduleConflicts(table);
    for (int i = 0; i < kSequenceCount; ++i) {
      bool anyDay = false;
      for (int d = 0; d < 7; ++d)
        anyDay = anyDay || conflicts.day[static_cast<size_t>(i)][static_cast<size_t>(d)];
      FUZZ_CHECK(conflicts.any[static_cast<size_t>(i)] == anyDay);
    }
  }
  const ScheduleInstant at = scheduleInstant(7, 86399.6, true);
  FUZZ_CHECK(at.day == 0 && at.t >= 0 && at.t < kSecondsPerDay);
  return 0;
}

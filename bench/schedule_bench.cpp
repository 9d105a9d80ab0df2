// The schedule editor's conflict scan with all twenty sequences in use.
#include <benchmark/benchmark.h>

#include "schedule/schedule_model.h"

namespace osd::bench {
namespace {

// Twenty sequences over the whole day, each running often (T-ON 1 unit every 3 to 5 units,
// so a day holds thousands of runs) and on every day; `dayGaps` takes sequence d off day d,
// so no two days hold the same set of sequences and each day is scanned on its own.
ScheduleTable fullSchedule(bool dayGaps) {
  ScheduleTable s;
  for (int i = 0; i < kSequenceCount; ++i) {
    s.start[i] = i * 7;
    s.end[i] = kEndMax;
    s.on[i] = 1;
    s.off[i] = 3 + i % 3;
    s.logo[i] = 1 + i % kLogoMax;
    for (int d = 0; d < 7; ++d) s.dayFlags[i][d] = !(dayGaps && i == d);
    s.days[i] = dayBits(s.dayFlags[i]);
  }
  return s;
}

void conflictScan(benchmark::State& state, bool dayGaps) {
  const ScheduleTable s = fullSchedule(dayGaps);
  for (auto _ : state) {
    ConflictMap map = scanScheduleConflicts(s);
    benchmark::DoNotOptimize(map);
  }
}

BENCHMARK_CAPTURE(conflictScan, twenty_every_day, false)
    ->Name("conflicts/twenty/every_day")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(conflictScan, twenty_days_differ, true)
    ->Name("conflicts/twenty/days_differ")
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace osd::bench

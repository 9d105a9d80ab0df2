#include "platform/std_event_loop.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <tuple>
#include <vector>

namespace osd {
namespace {

// A loop on virtual milliseconds: a wait moves the clock to its end at once and is noted.
struct VirtualClockLoop {
  int64_t nowMs = 1000;
  std::vector<int64_t> waits;
  StdEventLoop loop{StdEventLoop::Clock{[this] { return nowMs; },
                                        [this](int64_t until) {
                                          waits.push_back(until - nowMs);
                                          nowMs = until;
                                        }}};
  std::map<TimerId, int> fired;
  VirtualClockLoop() {
    loop.onTimer = [this](TimerId id) { ++fired[id]; };
  }
  void runFor(int64_t ms) {
    const int64_t end = nowMs + ms;
    while (nowMs < end) loop.yield();
  }
};

TEST(StdEventLoop, TimersFireAtTheirPeriodsAndTheWaitsStayShort) {
  VirtualClockLoop v;
  for (TimerId id : {TimerId::Delay, TimerId::TenSec, TimerId::Schedule, TimerId::About})
    v.loop.setTimerEnabled(id, true);
  v.loop.setTimerEnabled(TimerId::About, false);
  int polls = 0;
  v.loop.repeat(4, [&] { ++polls; });
  v.runFor(1000);
  // The About timer was disabled again; nothing else fired.
  EXPECT_EQ(v.fired, (std::map<TimerId, int>{
                         {TimerId::Delay, 40}, {TimerId::TenSec, 10}, {TimerId::Schedule, 2}}));
  EXPECT_EQ(polls, 250);
  for (int64_t w : v.waits) EXPECT_TRUE(w > 0 && w <= StdEventLoop::kMaxWaitMs) << w;
  // Nothing enabled: a yield still waits, and no longer than the bound.
  VirtualClockLoop idle;
  idle.loop.yield();
  EXPECT_EQ(idle.waits, std::vector<int64_t>{StdEventLoop::kMaxWaitMs});
  idle.loop.runPending();
  EXPECT_EQ(idle.waits.size(), 1u);
}

// The schedule's beat falls on the wall clock's whole periods, never less than a fifth away.
TEST(StdEventLoop, TheBeatFallsOnTheWallClocksWholePeriods) {
  const std::tuple<long long, int, int> cases[] = {
      {1000, 500, 500}, {1001, 500, 499}, {1399, 500, 101}, {1400, 500, 100},
      {1401, 500, 599}, {1499, 500, 501}, {-1, 500, 501},   {7, 0, 0}};
  for (const auto& [wall, period, ms] : cases)
    EXPECT_EQ(msToNextBeat(wall, period), ms) << wall << " " << period;
}

// The main tick's timetable with sleeps: each step (sleep for n quiet ticks, a wake, the timer
// firing, at a millisecond) gives the ticks to run and where the timer is armed next. Ticks
// slept through run when something wakes the loop, never the one the timer is armed for; a
// target a whole period late starts the timetable again; sleeps are bounded.
TEST(StdEventLoop, TheTickSleepsThroughQuietTicksAndRunsThemBeforeAnythingElse) {
  enum Step { Sleep, Wake, Fire };
  const std::tuple<Step, int, int64_t, int64_t> steps[] = {
      {Fire, 1024, 0, 1025}, {Fire, 1025, 1, 1050}, {Sleep, 3, 1, 1125},   {Sleep, 3, 0, 1125},
      {Wake, 1074, 1, 1125}, {Wake, 1080, 1, 1125}, {Wake, 1120, 1, 1125}, {Wake, 1125, 0, 1125},
      {Fire, 1125, 1, 1150}, {Sleep, 0, 0, 1150},   {Fire, 1190, 1, 1215}, {Sleep, 1000, 1, 3215},
      {Sleep, -5, 1, 1215},  {Wake, 900, 0, 1215},  {Fire, 1300, 1, 1325}, {Sleep, 2, 1, 1375},
      {Fire, 1375, 3, 1400}};
  TickGrid grid(25);
  grid.start(1000);
  for (const auto& [step, arg, ticks, armedAt] : steps) {
    const int64_t ran = step == Sleep  ? grid.sleep(arg)
                        : step == Wake ? grid.wake(arg)
                                       : grid.fire(arg);
    EXPECT_EQ(std::pair(ran, grid.targetMs()), std::pair(ticks, armedAt)) << step << " " << arg;
  }
}

TEST(StdEventLoop, AHandlerIsNotReenteredFallsBehindWithoutBurstsAndKeepsItsFailures) {
  VirtualClockLoop v;
  int nestedDelay = 0, depth = 0, tenSec = 0, delays = 0;
  v.loop.onTimer = [&](TimerId id) {
    if (id == TimerId::TenSec) return void(++tenSec);
    ++delays;
    if (depth > 0) ++nestedDelay;
    if (delays == 1) {  // a wait inside the tick: other timers run, the tick itself does not
      ++depth;
      while (tenSec == 0) v.loop.yield();
      --depth;
    }
    if (delays == 3) throw std::runtime_error("a failing handler");
  };
  v.loop.setTimerEnabled(TimerId::Delay, true);
  v.loop.setTimerEnabled(TimerId::TenSec, true);
  v.runFor(300);
  EXPECT_EQ(std::pair(nestedDelay, tenSec), std::pair(0, 3));
  EXPECT_GT(delays, 4);  // went on after the failure
  // A clock jump fires a timer once; enabling it again does not restart its period.
  const int before = delays;
  v.nowMs += 5000;
  v.loop.runPending();
  v.loop.runPending();
  EXPECT_EQ(delays, before + 1);
  v.nowMs += 20;
  v.loop.setTimerEnabled(TimerId::Delay, true);
  v.nowMs += 5;
  v.loop.runPending();
  EXPECT_EQ(delays, before + 2);
}

TEST(StdEventLoop, RepeatedWorkStopsItselfAndRunsBeforeTheTimers) {
  VirtualClockLoop v;
  std::vector<std::string> order;
  v.loop.onTimer = [&](TimerId) { order.push_back("tick"); };
  int id = 0, runs = 0;
  id = v.loop.repeat(25, [&] {
    order.push_back("poll");
    if (++runs == 2) v.loop.stopRepeating(id);
  });
  v.loop.setTimerEnabled(TimerId::Delay, true);
  v.runFor(100);
  EXPECT_EQ(order, (std::vector<std::string>{"poll", "tick", "poll", "tick", "tick", "tick"}));
  EXPECT_DOUBLE_EQ(v.loop.monotonicSeconds(), v.nowMs / 1000.0);
}

}  // namespace
}  // namespace osd

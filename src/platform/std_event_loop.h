// Timers and the event loop on the standard library, for programs built without Qt (osdctl on
// Windows). The timers run on the steady clock; work that must be polled (a serial port that
// raises no events of its own, a progress line) is repeated every few milliseconds. yield()
// keeps the contract of the Qt loop: what is due runs once; when nothing was due it waits for
// the next due thing, never longer than kMaxWaitMs, and runs that.
//
// A timer or repeated work whose handler is running is not started again from a yield() inside
// that handler (a wait inside a tick does not tick itself), and a handler that falls behind
// fires once, not once for every period it missed.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>

#include "platform/seams.h"

namespace osd {

class StdEventLoop : public EventLoop {
 public:
  static constexpr int kMaxWaitMs = 10;

  // The clock the loop runs on: milliseconds that never go back, and a wait until a time on
  // them. The default is the steady clock and a sleep of the thread.
  struct Clock {
    std::function<int64_t()> nowMs;
    std::function<void(int64_t untilMs)> sleepUntil;
  };
  StdEventLoop();
  explicit StdEventLoop(Clock clock);
  ~StdEventLoop() override;

  void setTimerEnabled(TimerId id, bool enabled) override;
  bool timerEnabled(TimerId id) const override;
  void yield() override;
  void runPending() override;
  LocalTime now() const override;
  double monotonicSeconds() const override;

  // Runs `work` every `periodMs` (at least 1) while the loop runs; returns a number for
  // stopRepeating(). Failures thrown by `work` are its own and go no further.
  int repeat(int periodMs, std::function<void()> work);
  // Ends repeated work; allowed from inside that work.
  void stopRepeating(int id);

 private:
  struct Due {
    bool enabled = false;
    bool running = false;
    int64_t dueMs = 0;
    int periodMs = 0;
  };
  // Runs what is due at `nowMs` once; false when nothing was.
  bool runDue(int64_t nowMs);
  // The earliest time something not running is due; `fallback` when nothing is.
  int64_t nextDue(int64_t fallback) const;
  static void advance(Due& d, int64_t nowMs);

  Clock clock_;
  std::array<Due, static_cast<size_t>(TimerId::Count)> timers_{};
  struct Work {
    Due due;
    std::function<void()> run;
  };
  std::map<int, Work> work_;
  int nextWorkId_ = 1;
};

}  // namespace osd

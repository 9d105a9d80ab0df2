#include "platform/std_event_loop.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace osd {

namespace {

int64_t steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void sleepUntilMs(int64_t untilMs) {
  const int64_t left = untilMs - steadyMs();
  if (left > 0) std::this_thread::sleep_for(std::chrono::milliseconds(left));
}

}  // namespace

StdEventLoop::StdEventLoop() : StdEventLoop(Clock{steadyMs, sleepUntilMs}) {}

StdEventLoop::StdEventLoop(Clock clock) : clock_(std::move(clock)) {
  for (size_t i = 0; i < timers_.size(); ++i) {
    timers_[i].periodMs = timerPeriodMs(static_cast<TimerId>(i));
  }
}

StdEventLoop::~StdEventLoop() {
  onTimer = nullptr;
}

void StdEventLoop::setTimerEnabled(TimerId id, bool enabled) {
  const int i = static_cast<int>(id);
  if (i < 0 || i >= static_cast<int>(TimerId::Count)) return;
  Due& t = timers_[static_cast<size_t>(i)];
  // Enabling a running timer leaves its period where it is, as a started timer does.
  if (enabled && !t.enabled) t.dueMs = clock_.nowMs() + t.periodMs;
  t.enabled = enabled;
}

bool StdEventLoop::timerEnabled(TimerId id) const {
  const int i = static_cast<int>(id);
  if (i < 0 || i >= static_cast<int>(TimerId::Count)) return false;
  return timers_[static_cast<size_t>(i)].enabled;
}

void StdEventLoop::advance(Due& d, int64_t nowMs) {
  d.dueMs += d.periodMs;
  if (d.dueMs <= nowMs) d.dueMs = nowMs + d.periodMs;  // fell behind: no burst to catch up
}

bool StdEventLoop::runDue(int64_t nowMs) {
  bool ran = false;
  // Repeated work first: a port's poll raises the events the timers' handlers then see.
  std::vector<int> ids;
  for (const auto& [id, w] : work_) ids.push_back(id);
  for (int id : ids) {
    auto it = work_.find(id);
    if (it == work_.end() || it->second.due.running || it->second.due.dueMs > nowMs) continue;
    advance(it->second.due, nowMs);
    it->second.due.running = true;
    const std::function<void()> run = it->second.run;  // the work may stop itself
    try {
      run();
    } catch (...) {
      // Repeated work reports its own failures; nothing may escape into the loop.
    }
    it = work_.find(id);
    if (it != work_.end()) it->second.due.running = false;
    ran = true;
  }
  for (size_t i = 0; i < timers_.size(); ++i) {
    Due& t = timers_[i];
    if (!t.enabled || t.running || t.dueMs > nowMs) continue;
    advance(t, nowMs);
    t.running = true;
    try {
      if (onTimer) onTimer(static_cast<TimerId>(i));
    } catch (...) {
      // Timer handlers report their own failures; nothing may escape into the loop.
    }
    t.running = false;
    ran = true;
  }
  return ran;
}

int64_t StdEventLoop::nextDue(int64_t fallback) const {
  int64_t next = fallback;
  for (const Due& t : timers_) {
    if (t.enabled && !t.running) next = std::min(next, t.dueMs);
  }
  for (const auto& [id, w] : work_) {
    if (!w.due.running) next = std::min(next, w.due.dueMs);
  }
  return next;
}

void StdEventLoop::yield() {
  const int64_t start = clock_.nowMs();
  if (runDue(start)) return;
  const int64_t until = nextDue(start + kMaxWaitMs);
  if (until > start) clock_.sleepUntil(until);
  runDue(clock_.nowMs());
}

void StdEventLoop::runPending() {
  runDue(clock_.nowMs());
}

LocalTime StdEventLoop::now() const {
  return localTimeNow();
}

double StdEventLoop::monotonicSeconds() const {
  return static_cast<double>(clock_.nowMs()) / 1000.0;
}

int StdEventLoop::repeat(int periodMs, std::function<void()> work) {
  const int id = nextWorkId_++;
  Work w;
  w.due.enabled = true;
  w.due.periodMs = std::max(periodMs, 1);
  w.due.dueMs = clock_.nowMs() + w.due.periodMs;
  w.run = std::move(work);
  work_.emplace(id, std::move(w));
  return id;
}

void StdEventLoop::stopRepeating(int id) {
  work_.erase(id);
}

}  // namespace osd

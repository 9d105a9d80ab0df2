#include "platform/seams.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>

namespace osd {

LocalTime localTimeNow() {
  using std::chrono::steady_clock;
  static std::atomic<steady_clock::rep> zoneReadAt{0};  // 0: never
  const steady_clock::rep at = steady_clock::now().time_since_epoch().count();
  const steady_clock::rep last = zoneReadAt.load();
  if (last == 0 || steady_clock::duration(at - last) >= std::chrono::minutes(1)) {
#ifdef _WIN32
    _tzset();
#else
    tzset();
#endif
    zoneReadAt.store(at);
  }
  const auto wall = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(wall);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  const auto fraction = wall - std::chrono::system_clock::from_time_t(seconds);
  LocalTime lt;
  lt.secondsSinceMidnight = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                            std::chrono::duration<double>(fraction).count();
  lt.weekday = local.tm_wday + 1;  // tm: 0 = Sunday
  return lt;
}

int timerPeriodMs(TimerId id) {
  switch (id) {
    case TimerId::Delay:
      return 25;
    case TimerId::TenSec:
    case TimerId::ComInit:
    case TimerId::Splash:
      return 100;
    case TimerId::Schedule:
    case TimerId::Editor:
      return 500;
    case TimerId::About:
      return 1000;
    case TimerId::Count:
      break;
  }
  return 1000;
}

int msToNextBeat(long long wallMs, int periodMs) {
  if (periodMs <= 0) return 0;
  long long into = wallMs % periodMs;
  if (into < 0) into += periodMs;
  long long ms = periodMs - into;
  if (ms < periodMs / 5) ms += periodMs;
  return static_cast<int>(ms);
}

void TickGrid::start(int64_t nowMs) {
  origin_ = nowMs;
  ran_ = 0;
  target_ = 1;
}

bool TickGrid::sleep(int quiet) {
  const int64_t target = ran_ + 1 + std::clamp(quiet, 0, kMostQuiet);
  if (target == target_) return false;
  target_ = target;
  return true;
}

int64_t TickGrid::wake(int64_t nowMs) {
  if (nowMs < origin_) return 0;
  const int64_t due = std::min(target_ - 1, (nowMs - origin_) / period_) - ran_;
  if (due <= 0) return 0;
  ran_ += due;
  return due;
}

int64_t TickGrid::fire(int64_t nowMs) {
  if (nowMs < targetMs()) return 0;
  if (nowMs - targetMs() >= period_) origin_ = nowMs - target_ * period_;
  const int64_t due = target_ - ran_;
  ran_ = target_++;
  return due;
}

double EventLoop::monotonicSeconds() const {
  const LocalTime t = now();
  return (t.weekday - 1) * 86400.0 + t.secondsSinceMidnight;
}

}  // namespace osd

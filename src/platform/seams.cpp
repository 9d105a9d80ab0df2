#include "platform/seams.h"

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

double EventLoop::monotonicSeconds() const {
  const LocalTime t = now();
  return (t.weekday - 1) * 86400.0 + t.secondsSinceMidnight;
}

}  // namespace osd

#include "platform/seams.h"

namespace osd {

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

double EventLoop::monotonicSeconds() const {
  const LocalTime t = now();
  return (t.weekday - 1) * 86400.0 + t.secondsSinceMidnight;
}

}  // namespace osd

#include "qtplatform/qt_event_loop.h"

#include <QCoreApplication>
#include <chrono>
#include <exception>

namespace osd::qt {

QtEventLoop::QtEventLoop(QObject* parent) : QObject(parent) {
  for (int i = 0; i < static_cast<int>(TimerId::Count); ++i) {
    const TimerId id = static_cast<TimerId>(i);
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(timerPeriodMs(id));
    // The 25 ms tick is precise: the line's quiet spells and waits are counted in its ticks, and
    // a coarse timer may fire up to 5 % early. The schedule's timer beats on the wall clock.
    timer->setTimerType(id == TimerId::Delay || onBeat(id) ? Qt::PreciseTimer : Qt::CoarseTimer);
    timer->setSingleShot(onBeat(id));
    connect(timer.get(), &QTimer::timeout, this, [this, id] {
      if (onBeat(id)) arm(id);  // the next beat
      if (!onTimer) return;
      try {
        onTimer(id);
      } catch (...) {
        // Timer handlers report their own failures; nothing may escape into the event loop.
      }
    });
    timers_[static_cast<size_t>(i)] = std::move(timer);
  }
  wake_.setSingleShot(true);
  wake_.setInterval(kMaxWaitMs);
  wake_.setTimerType(Qt::PreciseTimer);
}

QtEventLoop::~QtEventLoop() {
  onTimer = nullptr;
  for (auto& t : timers_) t->stop();
}

void QtEventLoop::setTimerEnabled(TimerId id, bool enabled) {
  const int i = static_cast<int>(id);
  if (i < 0 || i >= static_cast<int>(TimerId::Count)) return;
  QTimer& t = *timers_[static_cast<size_t>(i)];
  if (enabled && !t.isActive()) {
    arm(id);
  } else if (!enabled) {
    t.stop();
  }
}

bool QtEventLoop::onBeat(TimerId id) {
  return id == TimerId::Schedule;
}

void QtEventLoop::arm(TimerId id) {
  QTimer& t = *timers_[static_cast<size_t>(id)];
  if (!onBeat(id)) {
    t.start();
    return;
  }
  const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  t.start(msToNextBeat(wall.count(), timerPeriodMs(id)));
}

bool QtEventLoop::timerEnabled(TimerId id) const {
  const int i = static_cast<int>(id);
  if (i < 0 || i >= static_cast<int>(TimerId::Count)) return false;
  return timers_[static_cast<size_t>(i)]->isActive();
}

void QtEventLoop::yield() {
  if (!QCoreApplication::instance()) return;
  // Waits for the next event, at most kMaxWaitMs (the wake-up timer is an event too).
  const bool armed = !wake_.isActive();
  if (armed) wake_.start();
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  if (armed) wake_.stop();
}

void QtEventLoop::runPending() {
  if (!QCoreApplication::instance()) return;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

LocalTime QtEventLoop::now() const {
  return localTimeNow();
}

double QtEventLoop::monotonicSeconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace osd::qt

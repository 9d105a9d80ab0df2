#include "qtplatform/qt_event_loop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <chrono>
#include <exception>

namespace osd::qt {

namespace {

int64_t steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

QtEventLoop::QtEventLoop(QObject* parent) : QObject(parent) {
  for (int i = 0; i < static_cast<int>(TimerId::Count); ++i) {
    const TimerId id = static_cast<TimerId>(i);
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(timerPeriodMs(id));
    // The 25 ms tick is precise: the line's quiet spells and waits are counted in its ticks, and
    // a coarse timer may fire up to 5 % early. The schedule's timer beats on the wall clock.
    timer->setTimerType(id == TimerId::Delay || onBeat(id) ? Qt::PreciseTimer : Qt::CoarseTimer);
    // The main tick is armed for each tick it is to run, on its own timetable.
    timer->setSingleShot(onBeat(id) || id == TimerId::Delay);
    connect(timer.get(), &QTimer::timeout, this, [this, id] {
      if (id == TimerId::Delay) {
        if (inTicks_) return;  // a tick's own wait: the tick arms the next when it is done
        runTicks(grid_.fire(steadyMs()));
        if (tickOn_) armTick();
        return;
      }
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
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
  if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance())
    connect(d, &QAbstractEventDispatcher::aboutToBlock, this, &QtEventLoop::sleepTick);
}

QtEventLoop::~QtEventLoop() {
  onTimer = nullptr;
  tickOn_ = false;
  for (auto& t : timers_) t->stop();
}

void QtEventLoop::setTimerEnabled(TimerId id, bool enabled) {
  const int i = static_cast<int>(id);
  if (i < 0 || i >= static_cast<int>(TimerId::Count)) return;
  QTimer& t = *timers_[static_cast<size_t>(i)];
  if (id == TimerId::Delay) {
    // Enabling a running tick leaves its timetable where it is.
    if (enabled && !tickOn_) {
      grid_.start(steadyMs());
      armTick();
    } else if (!enabled) {
      t.stop();
    }
    tickOn_ = enabled;
    return;
  }
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

void QtEventLoop::armTick() {
  timers_[static_cast<size_t>(TimerId::Delay)]->start(
      static_cast<int>(std::max<int64_t>(grid_.targetMs() - steadyMs(), 0)));
}

void QtEventLoop::runTicks(int64_t count) {
  if (count <= 0 || inTicks_) return;
  inTicks_ = true;
  const int64_t nowMs = steadyMs(), last = grid_.ran();
  for (int64_t n = last - count + 1; n <= last && tickOn_ && onTimer; ++n) {
    lateMs_ = std::max<int64_t>(nowMs - grid_.tickMs(n), 0);
    try {
      onTimer(TimerId::Delay);
    } catch (...) {
      // The tick reports its own failures; nothing may escape into the event loop.
    }
  }
  lateMs_ = 0;
  inTicks_ = false;
}

void QtEventLoop::sleepTick() {
  if (tickOn_ && !inTicks_ && quietTicks && grid_.sleep(quietTicks())) armTick();
}

bool QtEventLoop::eventFilter(QObject* watched, QEvent* event) {
  if (tickOn_ && !inTicks_) {
    const int64_t due = grid_.wake(steadyMs());
    runTicks(due);
    if (due > 0 && tickOn_) armTick();
  }
  return QObject::eventFilter(watched, event);
}

bool QtEventLoop::timerEnabled(TimerId id) const {
  const int i = static_cast<int>(id);
  if (i < 0 || i >= static_cast<int>(TimerId::Count)) return false;
  if (id == TimerId::Delay) return tickOn_;
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
  LocalTime t = localTimeNow();
  if (lateMs_ <= 0) return t;
  t.secondsSinceMidnight -= static_cast<double>(lateMs_) / 1000;
  if (t.secondsSinceMidnight < 0) {  // due the day before
    t.secondsSinceMidnight += 86400;
    t.weekday = t.weekday == 1 ? 7 : t.weekday - 1;
  }
  return t;
}

double QtEventLoop::monotonicSeconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace osd::qt

// Timers and the event loop on Qt: one QTimer per TimerId with its period; yield() lets
// pending events run once and waits a little for the next one instead of spinning. The main
// tick sleeps through the ticks its handler calls quiet (EventLoop::quietTicks) and runs them
// in a row before the next event of any kind is delivered.
#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <memory>

#include "platform/seams.h"

namespace osd::qt {

class QtEventLoop : public QObject, public EventLoop {
  Q_OBJECT

 public:
  // The longest yield() waits for an event when none is pending.
  static constexpr int kMaxWaitMs = 10;

  explicit QtEventLoop(QObject* parent = nullptr);
  ~QtEventLoop() override;

  void setTimerEnabled(TimerId id, bool enabled) override;
  bool timerEnabled(TimerId id) const override;
  void yield() override;
  void runPending() override;
  LocalTime now() const override;
  double monotonicSeconds() const override;

 protected:
  // Sees every event of the program's thread first: the ticks slept through run before it.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void runTicks(int64_t count);
  void armTick();
  // Before the loop waits: the tick sleeps as long as its handler allows.
  void sleepTick();
  // Timers that fire on the wall clock's beats of their period rather than a period after they
  // were started: one-shot, started again for each beat.
  static bool onBeat(TimerId id);
  void arm(TimerId id);
  std::array<std::unique_ptr<QTimer>, static_cast<size_t>(TimerId::Count)> timers_;
  QTimer wake_;  // bounds the wait of yield()
  TickGrid grid_{timerPeriodMs(TimerId::Delay)};
  bool tickOn_ = false;
  bool inTicks_ = false;
  int64_t lateMs_ = 0;  // how late the tick being run is
};

}  // namespace osd::qt

#include "transfer/line_sink.h"

namespace osd {

DownloadHooks lineWaits(Dispatcher& dispatcher, EventLoop& loop) {
  DownloadHooks hooks;
  hooks.wait = [&dispatcher, &loop](int ticks) {
    SharedWait& shared = dispatcher.sharedWait();
    shared.start(ticks);
    while (shared.left() > 0) {
      // Only the main tick counts the wait down; once it has stopped (the window closing)
      // nothing ever would.
      if (!loop.timerEnabled(TimerId::Delay)) {
        shared.stop();
        break;
      }
      loop.yield();
    }
  };
  hooks.yield = [&loop] { loop.yield(); };
  hooks.armEraseWait = [&loop] { loop.setTimerEnabled(TimerId::TenSec, true); };
  hooks.eraseWaiting = [&loop] { return loop.timerEnabled(TimerId::TenSec); };
  return hooks;
}

}  // namespace osd

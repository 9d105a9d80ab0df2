// The Qt event loop seam: yield() may wait for the next event, runPending() only runs what is
// already there.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "qtplatform/qt_event_loop.h"

namespace {

void ensureApplication() {
  static int argc = 1;
  static char name[] = "osd_e2e_tests";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

TEST(QtEventLoopE2E, RunPendingRunsWhatIsQueued) {
  ensureApplication();
  osd::qt::QtEventLoop loop;
  bool ran = false;
  QTimer::singleShot(0, [&ran] { ran = true; });
  loop.runPending();
  EXPECT_TRUE(ran);
}

// Calls until a timer 200 ms away fires. A call that waited for the next event, as yield()
// may (up to kMaxWaitMs each time), would fit about 20 times; runPending() returns at once.
TEST(QtEventLoopE2E, RunPendingDoesNotWaitForTheNextEvent) {
  ensureApplication();
  osd::qt::QtEventLoop loop;
  bool fired = false;
  QTimer::singleShot(200, [&fired] { fired = true; });
  QElapsedTimer guard;
  guard.start();
  long calls = 0;
  while (!fired && guard.elapsed() < 5000) {
    loop.runPending();
    ++calls;
  }
  EXPECT_TRUE(fired);
  EXPECT_GT(calls, 10 * (200 / osd::qt::QtEventLoop::kMaxWaitMs));
}

}  // namespace

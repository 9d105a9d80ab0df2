#include "platform/stop_signals.h"

#include <signal.h>

#include <csignal>

namespace osd {

namespace {

volatile std::sig_atomic_t gStop = 0;

void onStopSignal(int) {
  gStop = 1;
}

#ifdef _WIN32
// Ctrl+C and Ctrl+Break reach a console program as SIGINT and SIGBREAK.
void (*gOldInt)(int) = nullptr;
void (*gOldBreak)(int) = nullptr;
#else
struct sigaction gOldInt = {}, gOldTerm = {};
#endif

}  // namespace

StopSignals::StopSignals() {
  gStop = 0;
#ifdef _WIN32
  gOldInt = std::signal(SIGINT, onStopSignal);
  gOldBreak = std::signal(SIGBREAK, onStopSignal);
#else
  struct sigaction stop = {};
  stop.sa_handler = onStopSignal;
  sigaction(SIGINT, &stop, &gOldInt);
  sigaction(SIGTERM, &stop, &gOldTerm);
#endif
}

StopSignals::~StopSignals() {
#ifdef _WIN32
  std::signal(SIGINT, gOldInt);
  std::signal(SIGBREAK, gOldBreak);
#else
  sigaction(SIGINT, &gOldInt, nullptr);
  sigaction(SIGTERM, &gOldTerm, nullptr);
#endif
}

bool StopSignals::raised() {
  return gStop != 0;
}

}  // namespace osd

// A stop asked for from outside: SIGINT and SIGTERM (on a Windows console Ctrl+C and
// Ctrl+Break). While a StopSignals object lives, they no longer end the program at once:
// they set a flag that the running job reads between two blocks, so it can stop cleanly.
#pragma once

namespace osd {

class StopSignals {
 public:
  StopSignals();   // takes the signals over and clears the flag
  ~StopSignals();  // gives them back
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // A stop was asked for since the object was made.
  static bool raised();
};

}  // namespace osd

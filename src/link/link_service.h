// The serial link: which port is selected, opening and re-opening it, the wake-up after an
// open, the port's events, paced writing and the count of ticks since the node was last
// heard. It knows nothing of windows; what the operator should see goes to the listener.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/line_state.h"
#include "link/link_listener.h"
#include "platform/seams.h"

namespace osd {

struct FoundPort {
  int number = 0;
  std::string device;  // "/dev/ttyUSB0"; "" when unknown
};

// What the node watchdog asks for on one tick.
enum class WatchdogStep { None, CallReset, CallWake };

class LinkService {
 public:
  // One read of the port delivers at most this many bytes.
  static constexpr int64_t kInputLen = 2500;
  // Reads of one call at most: what arrives meanwhile is taken by the next poll or event, so
  // a node that never stops talking cannot keep one call busy forever.
  static constexpr int kMaxReadsPerCall = 8;

  LinkService(SerialPort& port, EventLoop& loop, LinkListener& listener);

  // ---- Selection ----
  int port() const { return comPort_; }
  void select(int number) { comPort_ = number; }
  int skipPort() const { return skipPort_; }
  void setSkipPort(int number) { skipPort_ = number; }
  // Usable: set 2 s after an open succeeded, cleared by a failed open or read.
  bool valid() const { return valid_; }
  void setValid(bool valid) { valid_ = valid; }
  PortState state() const { return state_; }
  void setState(PortState state);
  int lastOpenError() const { return lastOpenError_; }
  const std::string& eventText() const { return eventText_; }

  // ---- Opening ----
  // The lowest `most` openable port numbers, rising, leaving out the skipped one. Closes the
  // port; failures are ignored.
  std::vector<FoundPort> search(size_t most);
  // Closes and re-opens the selected port; nothing when none is selected. A new open error
  // is reported once. On success the wake-up timer runs.
  void open();
  // Once per main tick while the port is not usable: a re-open every 41 ticks.
  void reconnectTick();
  // The wake-up timer (100 ms). True when all nodes are to be woken now; the port is usable
  // from then on.
  bool comInitTick(bool downloading);
  void applyTimeouts();
  void closeAtExit();
  // Closes the port, ignoring a failure.
  void close();

  // ---- Data ----
  bool isOpen() const;
  // The wake choice and the bytes on their way: every write goes through it.
  LineState& line() { return line_; }
  const LineState& line() const { return line_; }
  // Bytes written that the line has not carried yet.
  int64_t held() const { return line_.inFlight(); }
  // Writes `bytes` through the line state (never more than about a second of the line
  // ahead). Throws Failure when the port fails or closes.
  void write(const std::string& bytes) { line_.write(bytes); }
  int64_t available() const;
  std::string read(int64_t maxBytes);
  // Reads and drops a bounded amount of what waits.
  void dropInput();

  // A port event: `receive` is called for data; the rest is handled here.
  void handleEvent(int code, const std::function<void()>& receive);

  // ---- The node watchdog ----
  int silentTicks() const { return silentTicks_; }
  void heard() { silentTicks_ = 0; }
  void setSilentTicks(int ticks) { silentTicks_ = ticks; }
  // Counts one tick of silence: the node silent at 20 s, port closed at 30 s, the node called
  // in between (not while a download runs).
  WatchdogStep watchdogTick(bool downloading);
  // How many coming ticks the watchdog and the reconnect only count.
  int quietTicks() const;

 private:
  void reportOpenError(int number, const std::string& description, const std::string& step);

  SerialPort& port_;
  EventLoop& loop_;
  LinkListener& listener_;
  LineState line_{port_, loop_};
  int comPort_ = 0;
  int skipPort_ = -1;
  bool valid_ = false;
  PortState state_ = PortState::Unknown;
  int lastOpenError_ = 0;
  int reconnectCountdown_ = 0;
  bool comInitArmed_ = false;
  int comInitCount_ = 0;
  int silentTicks_ = 0;
  std::string eventText_;
};

}  // namespace osd

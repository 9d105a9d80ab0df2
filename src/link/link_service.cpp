// The serial link: the port search, opening and re-opening the selected port, the wake-up
// after an open, the port's events, paced writing and the node watchdog's count.
#include "link/link_service.h"

#include <algorithm>
#include <exception>

namespace osd {

namespace {

constexpr int kHighestPort = 255;
constexpr int kComInitTicks = 20;
constexpr int kReconnectTicks = 40;
// Failures that carry no number of their own are reported with this one.
constexpr int kUnnumberedFailure = -1;

constexpr int kSilentTicks = 800;    // 20 s silent
constexpr int kCloseTicks = 1200;    // 30 s silent
constexpr int kCallFromTicks = 600;  // the node is called beyond 15 s
constexpr int kCallPeriod = 200;

int failureNumber(const std::exception& e) {
  if (auto f = dynamic_cast<const Failure*>(&e); f && f->number() != 0) return f->number();
  return kUnnumberedFailure;
}

std::string eventTextOf(int code) {
  switch (code) {
    case kEvCts:
      return "Change in CTS Detected";
    case kEvDsr:
      return "Change in DSR Detected";
    case kEvCd:
      return "Change in CD Detected";
    case kEvRing:
      return "The Phone is Ringing";
    case kEvEof:
      return "End of File Detected";
    case kEvBreak:
      return "Break Received";
    case kEvCtsTimeout:
      return "CTS Timeout";
    case kEvDsrTimeout:
      return "DSR Timeout";
    case kEvFrame:
      return "Framing Error";
    case kEvOverrun:
      return "Overrun Error";
    case kEvCdTimeout:
      return "Carrier Detect Timeout";
    case kEvRxOver:
      return "Receive Buffer Overflow";
    case kEvParity:
      return "Parity Error";
    case kEvDcb:
      return "Error retrieving DCB";
    default:
      return "Unknown error or event";
  }
}

}  // namespace

LinkService::LinkService(SerialPort& port, EventLoop& loop, LinkListener& listener)
    : port_(port), loop_(loop), listener_(listener) {
  line_.onAwakeChanged = [this](const Awake& awake) { listener_.awakeChanged(awake); };
}

void LinkService::setState(PortState state) {
  state_ = state;
  listener_.portState(state);
}

std::vector<FoundPort> LinkService::search(size_t most) {
  std::vector<FoundPort> found;
  try {
    if (port_.isOpen()) port_.close();
  } catch (...) {
  }
  for (int n = 1; n <= kHighestPort && found.size() < most; ++n) {
    if (n == skipPort_) continue;
    try {
      PortOpenError error;
      if (!port_.open(n, error)) continue;
      port_.close();
      found.push_back({n, port_.deviceName(n)});
    } catch (...) {
    }
  }
  return found;
}

void LinkService::reportOpenError(int number, const std::string& description,
                                  const std::string& step) {
  if (number == lastOpenError_) return;
  std::string message;
  if (number == kErrNoSuchPort) {
    message = "Invalid Port Number - " + std::to_string(comPort_) +
              " Port not available for use as a device interface.";
  } else if (number == kErrPortInUse) {
    message = "Port Already Open - Port in use - " + std::to_string(comPort_) +
              " can't be used as a device interface.";
  } else {
    message = "Error # " + std::string(number >= 0 ? " " : "") + std::to_string(number) +
              ": In DetermineValidPorts\r" + description;
  }
  listener_.openFailed(message, errorTitle(ErrorAt::StartCom, step));
  lastOpenError_ = number;
}

void LinkService::open() {
  if (comPort_ == 0) return;
  // 1. Close a port that is open.
  try {
    if (port_.isOpen()) {
      port_.setModemLines(false, false);
      port_.close();
    }
  } catch (const std::exception& e) {
    reportOpenError(failureNumber(e), e.what(), "");
  }
  // 2. The line settings are fixed and applied by the port on opening (step "01").
  // 3. Open, then raise DTR and RTS (step "02").
  const std::string step = "02";
  try {
    PortOpenError error;
    if (!port_.open(comPort_, error)) reportOpenError(error.number, error.description, step);
  } catch (const std::exception& e) {
    reportOpenError(failureNumber(e), e.what(), step);
  }
  try {
    if (port_.isOpen()) port_.setModemLines(true, true);
  } catch (const std::exception& e) {
    reportOpenError(failureNumber(e), e.what(), step);
  }
  line_.forget();
  // 4./5. The port state.
  if (!isOpen()) {
    valid_ = false;
    setState(PortState::NotUsable);
    return;
  }
  setState(PortState::Open);
  loop_.setTimerEnabled(TimerId::ComInit, true);
}

bool LinkService::comInitTick(bool downloading) {
  if (downloading) return false;
  if (!comInitArmed_) {
    comInitArmed_ = true;
    return false;
  }
  if (comInitCount_ < kComInitTicks) {
    ++comInitCount_;
    return false;
  }
  comInitCount_ = 0;
  valid_ = true;
  loop_.setTimerEnabled(TimerId::ComInit, false);
  return true;
}

void LinkService::reconnectTick() {
  if (valid_) return;
  if (reconnectCountdown_ > 1) {
    --reconnectCountdown_;
  } else if (reconnectCountdown_ == 1) {
    open();
    reconnectCountdown_ = 0;
  } else if (reconnectCountdown_ == 0) {
    reconnectCountdown_ = kReconnectTicks;
  } else {
    reconnectCountdown_ = 0;
  }
}

void LinkService::applyTimeouts() {
  try {
    port_.setReadTimeouts(2, 1, 1000);
  } catch (...) {
    // Without a usable port there is nothing to set.
  }
}

void LinkService::closeAtExit() {
  try {
    if (port_.isOpen()) {
      port_.setModemLines(false, false);
      port_.close();
    }
  } catch (...) {
  }
}

void LinkService::close() {
  line_.forget();
  try {
    if (port_.isOpen()) port_.close();
  } catch (...) {
    // Closing a port that already failed may fail as well; it is closed either way.
  }
}

bool LinkService::isOpen() const {
  try {
    return port_.isOpen();
  } catch (...) {
    return false;
  }
}

int64_t LinkService::available() const {
  return port_.bytesAvailable();
}

std::string LinkService::read(int64_t maxBytes) {
  return port_.read(maxBytes);
}

void LinkService::dropInput() {
  for (int reads = 0; reads < kMaxReadsPerCall && port_.isOpen() && port_.bytesAvailable() > 0;
       ++reads) {
    if (port_.read(kInputLen).empty()) break;
  }
}

void LinkService::handleEvent(int code, const std::function<void()>& receive) {
  try {
    if (code == kEvReceive) {
      receive();
    } else if (code == kEvTxFull) {
      listener_.error("Lost USB/Serial Connection ", ErrorAt::PortLost);
      close();
    } else {
      eventText_ = eventTextOf(code);
    }
  } catch (const std::exception& e) {
    try {
      if (code != kEvReceive) {
        listener_.error(std::string(e.what()) + " " + eventText_, ErrorAt::PortEvent,
                        std::to_string(code));
        port_.purge();
      }
    } catch (...) {
    }
    close();
    open();
  }
}

int LinkService::quietTicks() const {
  // A lost port is opened again when the reconnect's countdown has run down from the start.
  const int reconnect = valid_                    ? kCloseTicks
                        : reconnectCountdown_ > 0 ? reconnectCountdown_ - 1
                                                  : kReconnectTicks;
  // The watchdog's steps fall on the silent and the closing count and on every half call
  // period beyond the count it calls from: the next one is the tick that reaches `step`.
  const int half = kCallPeriod / 2;
  int step = (std::max(silentTicks_, kCallFromTicks) / half + 1) * half;
  if (silentTicks_ < kSilentTicks) step = std::min(step, kSilentTicks);
  if (silentTicks_ < kCloseTicks) step = std::min(step, kCloseTicks);
  return std::min(reconnect, step - silentTicks_ - 1);
}

WatchdogStep LinkService::watchdogTick(bool downloading) {
  ++silentTicks_;
  if (silentTicks_ == kSilentTicks) {
    // A node being erased or programmed says nothing: that is no sign of a lost node.
    if (!downloading) setState(PortState::Open);
    listener_.nodeSilent(downloading);
  } else if (silentTicks_ == kCloseTicks) {
    // Closing the port would throw away the bytes of a running download that still wait to
    // go out; then the cycle only starts again.
    if (!downloading) {
      if (port_.isOpen()) port_.close();
      setState(PortState::NotUsable);
    }
    silentTicks_ = kCallFromTicks + 1;
  } else if (silentTicks_ > kCallFromTicks && !downloading) {
    if (silentTicks_ % kCallPeriod == 0) return WatchdogStep::CallWake;
    if (silentTicks_ % kCallPeriod == kCallPeriod / 2) return WatchdogStep::CallReset;
  }
  return WatchdogStep::None;
}

}  // namespace osd

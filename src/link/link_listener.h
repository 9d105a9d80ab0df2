// What the link components tell their presenter: the port's state, what was sent, what the
// node answered, and the failures and progress to show. The window's presenter turns these
// into labels, colours and menus; osdctl prints the failures. Every call has a default that
// does nothing, so a listener takes only what it needs.
#pragma once

#include <string>

#include "common/reporter.h"

namespace osd {

// The port as the operator sees it.
enum class PortState {
  Unknown,       // nothing happened yet
  NotUsable,     // an open failed, a send found the port closed, the port was given up
  Open,          // opened, or a silent node is being called
  DataReceived,  // the node answered
};

// The reports (status, failures, progress) are a Reporter's; a listener that does not take
// them ignores them.
class LinkListener : public Reporter {
 public:
  // ---- Reports ----
  using Reporter::error;
  void error(const std::string& /*message*/, const std::string& /*title*/) override {}
  void status(const std::string& /*text*/) override {}
  // Holds the status line for `ticks` ticks before it is cleared.
  virtual void statusHold(int /*ticks*/) {}
  void progressShown(bool /*visible*/) override {}
  void progress(double /*percent*/) override {}

  // ---- Serial port ----
  virtual void portState(PortState /*state*/) {}
  // An open failed with a new error number: reported, and no port entry stays checked.
  virtual void openFailed(const std::string& message, const std::string& title) {
    error(message, title);
  }

  // ---- Dispatcher ----
  // `text` was handed to the port (or would have been, when the port stayed closed);
  // `count` is the send counter after it.
  virtual void sent(const std::string& /*text*/, int /*count*/) {}
  virtual void lastSentCleared() {}
  // A send is about to go out: the last answer shown is out of date.
  virtual void answerCleared() {}
  // One value of the settings packet as it is built.
  virtual void settingsValue(int /*value*/) {}
  // The erase was sent (or acknowledged) and its 10-second wait runs.
  virtual void eraseStarted() {}

  // ---- Node session ----
  // The node menus (download, save settings, save logo, upload, video setup).
  virtual void nodeMenusEnabled(bool /*enabled*/) {}
  // The node that answered has been silent for 20 s (never during a download).
  virtual void nodeSilent() {}
  // An answer was taken in: the reply counter and the answer as it is shown (80 characters).
  virtual void answerShown(int /*replyCount*/, const std::string& /*shown*/) {}
  // A graphics node gave its memory size: the digits as sent and the size in bytes.
  virtual void sizeAnswered(const std::string& /*digits*/, int /*memorySize*/) {}
  // The erase wait is over.
  virtual void eraseDone() {}
  // A read-back: still waiting (`polls` left), bytes coming in, and the whole stream.
  virtual void readBackWaiting(int /*polls*/) {}
  virtual void readBackProgress(double /*percent*/, size_t /*length*/) {}
  virtual void readBack(const std::string& /*stream*/) {}
};

}  // namespace osd

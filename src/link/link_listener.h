// What the link components tell their listener, in the link's own words: the port's state,
// what went out, what the node answered or that it went silent, and the failures and
// progress to report. What the operator sees of it is the listener's to decide: the window's
// presenters turn these into labels, colours and menus; osdctl keeps what its commands judge.
// Every call has a default that does nothing, so a listener takes only what it needs.
#pragma once

#include <cstddef>
#include <string>

#include "common/reporter.h"
#include "link/line_state.h"

namespace osd {

// The port as the link knows it.
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
  void progressShown(bool /*visible*/) override {}
  void progress(double /*percent*/) override {}

  // ---- Serial port ----
  virtual void portState(PortState /*state*/) {}
  // An open failed with a new error number: reported, and no port is in use.
  virtual void openFailed(const std::string& message, const std::string& title) {
    error(message, title);
  }
  // A read failed or the port went away: the port was closed and is opened again later;
  // what arrived and was not taken in is gone.
  virtual void portLost() {}
  // The operator's wake choice changed (all nodes, one node, none).
  virtual void awakeChanged(const Awake& /*awake*/) {}

  // ---- Dispatcher ----
  // A send is about to go out: whatever the node answered before is out of date.
  virtual void aboutToSend() {}
  // `text` was handed to the port (or would have been, when the port stayed closed);
  // `count` is the send counter after it.
  virtual void sent(const std::string& /*text*/, int /*count*/) {}
  // A piece of the copyright request is about to go out: the node's answer comes back as
  // the next status text.
  virtual void copyrightAsked() {}
  // One value of the settings packet as it is built.
  virtual void settingsValue(int /*value*/) {}
  // The erase was sent (or acknowledged) and its 10-second wait runs.
  virtual void eraseStarted() {}

  // ---- Node session ----
  // A node answered (five bytes or more): a node is there and listening.
  virtual void nodeHeard() {}
  // An answer was taken in: the reply counter and the answer on one line (line ends as
  // blanks, at most its last 80 characters).
  virtual void answerTaken(int /*replyCount*/, const std::string& /*line*/) {}
  // The node that answered has said nothing for 20 s. `downloading`: a download runs, and a
  // node being erased or programmed says nothing; that is no sign of a lost node.
  virtual void nodeSilent(bool /*downloading*/) {}
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

// The conversation with the node: collecting its answers, telling when one is complete,
// the size answer that identifies a graphics node, the erase acknowledgement and its wait,
// read-back streams, the node poll and the watchdog's calls. What it learns goes to the
// listener as typed events.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "link/dispatcher.h"
#include "link/link_listener.h"
#include "link/link_service.h"

namespace osd {

// A size answer in words: "QX3/QX7 -64K Grapics Node Detected" and "65280 Pixels" (the
// image memory less the setup block).
std::string sizeAnswerText(const std::string& digits);
std::string imagePixelsText(int memorySize);

// ---- The size question before a download ----
// What came back to one "QXS": the answers as the session took them in, one text each.
// The memory in K when they are exactly one size answer ("QX64K"); 0 when nothing came;
// -1 when there was more (two answers run together, or garbled text): more than one node
// is awake.
int sizeReplyKiB(const std::vector<std::string>& answers);
// "node 3 did not answer the size question; ..." ("no node answered ..." for node 0).
std::string noSizeAnswerText(int node);
// "several nodes answered the size question; ...".
std::string severalSizeAnswersText();
// "node 3 answered 64K, but 512K was stated" ("the node answered ..." for node 0).
std::string contradictedMemoryText(int node, int answeredKiB, int statedKiB);

struct SessionHooks {
  std::function<bool()> downloading;  // a logo download runs: no poll, no watchdog calls
  std::function<bool()> colorNode;    // the colour logo generator (longer read-backs)
};

class NodeSession {
 public:
  // Ticks polled after the read-back request before the node is given up.
  static constexpr int kReadBackPolls = 500;

  NodeSession(LinkService& link, Dispatcher& dispatcher, EventLoop& loop, LinkListener& listener,
              SessionHooks hooks);

  // Reads what the port holds and, when an answer is complete, takes it in. Called by the
  // port's data event and by the main tick while polls remain.
  void receive();
  // Interprets one complete answer.
  void process(const std::string& answer);

  // ---- Main tick parts, in the order the tick runs them ----
  // A pending poll of the reception.
  void pollTick();
  // The watchdog: counts the silence and calls a silent node.
  void watchdogTick();
  // The node poll: copyright request and settings request in turn, one step every 51 ticks.
  void nodePollTick();
  // The erase wait (100 ms ticks).
  void eraseTick();
  // How many coming ticks the three parts above spend only counting.
  int quietTicks() const;

  // Asks the node for its logo and awaits the stream. False (nothing sent, nothing awaited)
  // when the dispatcher would refuse the request.
  bool requestReadBack();
  // Starts awaiting a read-back without sending (the request went out another way).
  void awaitReadBack(int polls);
  // Polls the reception for `polls` ticks even without a port event (answers shorter than
  // 11 bytes raise none).
  void listen(int polls) { readPolls_ = polls; }
  // Forgets what arrived and was not taken in yet (before a request whose answer must stand
  // alone).
  void discardInput();
  // Stops awaiting a read-back.
  void cancelReadBack();

  // ---- What the session knows ----
  int memorySize() const { return memorySize_; }  // bytes; 0 until a size answer
  void setMemorySize(int bytes) { memorySize_ = bytes; }
  bool largeMemory() const { return largeMemory_; }
  void setLargeMemory(bool large) { largeMemory_ = large; }
  int replyCount() const { return replyCount_; }
  bool readBackPending() const { return uploadPending_; }
  int polls() const { return readPolls_; }
  // Bytes received and not yet taken in as an answer.
  const std::string& buffered() const { return buffer_; }
  // Length of the last read-back taken in (more than 9000: the node never paused).
  size_t lastReadBackLength() const { return lastReadBackLength_; }
  int eraseCount() const { return tenSecCount_; }

 private:
  bool readWaiting();
  void takeByte(char c);
  void finishReadBack(std::string& stream);
  void giveUpPort();
  void sizeAnswer(const std::string& answer, size_t p, size_t q);

  LinkService& link_;
  Dispatcher& dispatcher_;
  EventLoop& loop_;
  LinkListener& listener_;
  SessionHooks hooks_;
  std::string buffer_;
  int readPolls_ = 0;
  bool uploadPending_ = false;
  size_t lastReadBackLength_ = 0;
  int memorySize_ = 0;
  bool largeMemory_ = true;
  int replyCount_ = 0;
  int pollStep_ = 0;
  int pollTicks_ = 0;
  int tenSecCount_ = 0;
};

}  // namespace osd

// The conversation with the node: answers, the size answer, the erase acknowledgement and
// its wait, read-back streams, the node poll and the watchdog's calls.
#include "link/node_session.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <limits>

#include "common/textnum.h"

namespace osd {

namespace {

// The receive buffer keeps at most the newest this many bytes of an ordinary answer. A
// read-back ends by itself after 9000 bytes, so it never reaches the bound.
constexpr size_t kMaxBuffered = 16384;

constexpr size_t kShortAnswer = 5;
constexpr size_t kKeptAnswer = 100;
constexpr size_t kOneLine = 80;
constexpr int kReplyCounterWrap = 10000;
constexpr int kAnswerPolls = 2;
constexpr int kCopyrightPolls = 3;
constexpr int kReadBackPollsPerByte = 20;
constexpr size_t kMonoStreamLength = 2051;
constexpr size_t kColorStreamLength = 8195;
constexpr size_t kReadBackEnd = 9000;
constexpr int kPollStepTicks = 50;
constexpr int kEraseSteps = 100;

// 1-based position of `needle` in `text`, 0 when absent.
size_t position(const std::string& text, const char* needle) {
  size_t at = text.find(needle);
  return at == std::string::npos ? 0 : at + 1;
}

// The answer on one line: carriage returns as blanks, no line feeds, its last 80 characters.
std::string oneLine(const std::string& answer) {
  std::string shown;
  shown.reserve(answer.size());
  for (char c : answer) {
    if (c == '\r') {
      shown.push_back(' ');
    } else if (c != '\n') {
      shown.push_back(c);
    }
  }
  return rightChars(shown, kOneLine);
}

}  // namespace

std::string sizeAnswerText(const std::string& digits) {
  return "QX3/QX7 -" + digits + "K Grapics Node Detected";
}

std::string imagePixelsText(int memorySize) {
  return std::to_string(memorySize - 256) + " Pixels";
}

int sizeReplyKiB(const std::vector<std::string>& answers) {
  std::string text;
  for (const std::string& a : answers) text += a;
  // Line ends and blanks around an answer are no part of it.
  std::string bare;
  for (const char c : text)
    if (c != '\r' && c != '\n' && c != ' ') bare.push_back(c);
  if (bare.empty()) return 0;
  if (bare.size() < 4 || bare.compare(0, 2, "QX") != 0 || bare.back() != 'K') return -1;
  long long kiB = 0;
  for (size_t i = 2; i + 1 < bare.size(); ++i) {
    if (bare[i] < '0' || bare[i] > '9' || kiB > 100000) return -1;
    kiB = kiB * 10 + (bare[i] - '0');
  }
  return kiB > 0 ? static_cast<int>(kiB) : -1;
}

std::string noSizeAnswerText(int node) {
  return (node > 0 ? "node " + std::to_string(node) + " did not answer"
                   : std::string("no node answered")) +
         " the size question; a node still inside an interrupted download answers nothing: "
         "wait for it, or switch it off and on";
}

std::string severalSizeAnswersText() {
  return "several nodes answered the size question; name one with --node, or use --nodes";
}

std::string contradictedMemoryText(int node, int answeredKiB, int statedKiB) {
  return (node > 0 ? "node " + std::to_string(node) : std::string("the node")) + " answered " +
         std::to_string(answeredKiB) + "K, but " + std::to_string(statedKiB) + "K was stated";
}

NodeSession::NodeSession(LinkService& link, Dispatcher& dispatcher, EventLoop& loop,
                         LinkListener& listener, SessionHooks hooks)
    : link_(link),
      dispatcher_(dispatcher),
      loop_(loop),
      listener_(listener),
      hooks_(std::move(hooks)) {}

// Whatever went wrong, the port is given up and re-opened by the reconnect tick.
void NodeSession::giveUpPort() {
  link_.close();
  link_.setValid(false);
  link_.setState(PortState::NotUsable);
  listener_.portLost();
  buffer_.clear();
  listener_.status("");
  // A read-back cannot survive the loss of its bytes: stop waiting for it.
  if (uploadPending_) {
    uploadPending_ = false;
    readPolls_ = 0;
    listener_.progressShown(false);
  }
}

void NodeSession::takeByte(char c) {
  buffer_.push_back(c);
  if (!uploadPending_) {
    readPolls_ = buffer_.compare(0, 3, "(C)") == 0 ? kCopyrightPolls : kAnswerPolls;
    return;
  }
  readPolls_ = kReadBackPollsPerByte;
  const size_t length = buffer_.size();
  if (length % 16 == 0) {
    const double total = hooks_.colorNode && hooks_.colorNode() ? 8096.0 : 2077.0;
    const long long percent = roundHalfEven(static_cast<double>(length) * 100.0 / total);
    listener_.readBackProgress(static_cast<double>(percent > 100 ? 100 : percent), length);
  }
  if (length > kReadBackEnd) readPolls_ = 0;
}

// Reads what waits; false when the port failed (it has been given up then).
bool NodeSession::readWaiting() {
  try {
    bool trimmed = false;
    for (int reads = 0; reads < LinkService::kMaxReadsPerCall && link_.available() > 0; ++reads) {
      const std::string chunk = link_.read(LinkService::kInputLen);
      if (chunk.empty()) break;
      for (char c : chunk) takeByte(c);
      if (!uploadPending_ && buffer_.size() > kMaxBuffered) {
        buffer_.erase(0, buffer_.size() - kMaxBuffered);
        trimmed = true;
      }
    }
    if (trimmed) {
      listener_.status("The node keeps sending without a pause; only the newest " +
                       std::to_string(kMaxBuffered) + " bytes are kept.");
    }
  } catch (const std::exception& e) {
    // The port failed while it was read (it vanished, for instance).
    giveUpPort();
    listener_.error(e.what(), ErrorAt::RecvData);
    return false;
  }
  return true;
}

void NodeSession::receive() {
  if (!link_.valid()) return;
  std::string stepMark;
  try {
    if (buffer_.size() < 10 && uploadPending_) listener_.readBackWaiting(readPolls_);
    readWaiting();
    if (readPolls_ > 0) return;
    // A read-back request whose wait ran out without a single byte is reported below as a
    // short stream instead of taking the next ordinary answer for a logo.
    if (buffer_.empty() && !uploadPending_) return;

    if (uploadPending_) listener_.progressShown(false);
    std::string answer;
    answer.swap(buffer_);
    stepMark = "2";

    if (!uploadPending_) {
      if (answer.size() < kShortAnswer) {
        readPolls_ = kAnswerPolls;
        return;
      }
      if (answer.size() > kKeptAnswer) answer = rightChars(answer, kKeptAnswer);
      link_.setState(PortState::DataReceived);
      listener_.nodeHeard();
      link_.heard();
      process(answer);
    } else {
      finishReadBack(answer);
    }
    // Drop what arrived while the answer was processed. Only the receive side: commands
    // that the processing sent (the logo selection) must still reach the node.
    link_.dropInput();
  } catch (const std::exception& e) {
    listener_.error(std::string(e.what()) + " " + stepMark, ErrorAt::RecvData);
    giveUpPort();
  }
}

void NodeSession::finishReadBack(std::string& stream) {
  lastReadBackLength_ = stream.size();
  const bool colour = hooks_.colorNode && hooks_.colorNode();
  if (stream.size() >= (colour ? kColorStreamLength : kMonoStreamLength)) {
    listener_.readBack(stream);
  } else {
    listener_.status("Data stream too short: " + std::to_string(stream.size()) +
                     (colour ? " Bytes of 8196." : " Bytes of 2052."));
  }
  uploadPending_ = false;
  link_.dropInput();
  listener_.progressShown(false);
}

void NodeSession::process(const std::string& answer) {
  std::string stepMark;
  try {
    replyCount_ = (replyCount_ + 1) % kReplyCounterWrap;
    listener_.answerTaken(replyCount_, oneLine(answer));
    stepMark = "3";
  } catch (const std::exception& e) {
    listener_.error(std::string(e.what()) + ": " + stepMark, ErrorAt::ProcessData);
  }

  const size_t p = position(answer, "QX");
  const size_t q = position(answer, "K");
  const size_t e = position(answer, "QXERA");
  if (p > 0 && q > 0 && q >= p + 3 && e == 0) {
    sizeAnswer(answer, p, q);
  } else if (e > 0) {
    try {
      dispatcher_.startEraseWait();
    } catch (const std::exception& ex) {
      listener_.error(std::string(ex.what()) + ": 3", ErrorAt::ProcessData);
    }
  }
}

// "QX" + digits + "K": a graphics node and its image memory in K.
void NodeSession::sizeAnswer(const std::string& answer, size_t p, size_t q) {
  const std::string digits = answer.substr(p + 1, q - p - 2);
  const long long n = leadingInt(digits);
  if (n == 0) return;
  // A memory size must be positive and fit the byte count; anything else is a garbled
  // answer and must not be taken for a node that does not exist.
  if (n < 0 || n * 1024 > std::numeric_limits<int32_t>::max()) {
    listener_.error("Memory size out of range (" + digits + "K): 3", ErrorAt::ProcessData);
    return;
  }
  memorySize_ = static_cast<int>(n * 1024);
  if (n == 64) largeMemory_ = false;
  if (n == 512) largeMemory_ = true;
  listener_.sizeAnswered(digits, memorySize_);
}

void NodeSession::pollTick() {
  if (readPolls_ <= 0) return;
  --readPolls_;
  receive();
}

void NodeSession::watchdogTick() {
  const bool downloading = hooks_.downloading && hooks_.downloading();
  switch (link_.watchdogTick(downloading)) {
    case WatchdogStep::CallWake:
      dispatcher_.restoreWake();
      break;
    case WatchdogStep::CallReset:
      dispatcher_.send("ARS");
      break;
    case WatchdogStep::None:
      break;
  }
}

void NodeSession::nodePollTick() {
  if (hooks_.downloading && hooks_.downloading()) return;
  if (pollTicks_ < kPollStepTicks) {
    ++pollTicks_;
    return;
  }
  pollTicks_ = 0;
  ++pollStep_;
  if (pollStep_ == 1) {
    dispatcher_.copyrightQuery();
  } else if (pollStep_ == 2) {
    dispatcher_.sizeQuery();
  } else {
    pollStep_ = 0;
  }
}

int NodeSession::quietTicks() const {
  if (readPolls_ > 0 || (hooks_.downloading && hooks_.downloading())) return 0;
  // The step that ends a round of the node poll sends nothing.
  const int poll = kPollStepTicks - pollTicks_ + (pollStep_ == 2 ? kPollStepTicks + 1 : 0);
  return std::min(poll, link_.quietTicks());
}

void NodeSession::eraseTick() {
  try {
    if (tenSecCount_ < kEraseSteps) {
      ++tenSecCount_;
      listener_.progressShown(true);
      listener_.progress(tenSecCount_);
    } else {
      loop_.setTimerEnabled(TimerId::TenSec, false);
      listener_.eraseDone();
      listener_.progressShown(false);
      tenSecCount_ = 0;
    }
  } catch (const std::exception& e) {
    listener_.error(e.what(), ErrorAt::WatchdogTimer);
  }
}

bool NodeSession::requestReadBack() {
  if (dispatcher_.refusing()) return false;
  awaitReadBack(kReadBackPolls);
  dispatcher_.readBack();
  return true;
}

void NodeSession::awaitReadBack(int polls) {
  uploadPending_ = true;
  readPolls_ = polls;
}

void NodeSession::discardInput() {
  buffer_.clear();
  readPolls_ = 0;
  try {
    if (link_.valid() && link_.available() > 0) link_.dropInput();
  } catch (const std::exception&) {
    // A port that cannot be read shows itself on the next read.
  }
}

void NodeSession::cancelReadBack() {
  uploadPending_ = false;
}

}  // namespace osd

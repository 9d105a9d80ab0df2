#include "scan/node_scan.h"

#include <cctype>
#include <cstdio>

namespace osd {

namespace {

constexpr double kDayMs = 86400.0 * 1000.0;
// Bytes of one ID's requests ("SP", "WK,hh", "QXS", "ARC", 136) take about this long to leave
// a 9600-baud line.
constexpr int kRequestLineMs = 15;
constexpr size_t kCopyrightMax = 80;

std::string hexId(int id) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", id & 0xFF);
  return text;
}

// The memory size in "QX<digits>K"; 0 when the answer holds none.
int memoryOf(const std::string& answer) {
  for (size_t p = answer.find("QX"); p != std::string::npos; p = answer.find("QX", p + 1)) {
    size_t q = p + 2;
    int value = 0;
    while (q < answer.size() && std::isdigit(static_cast<unsigned char>(answer[q])) &&
           value < 100000)
      value = value * 10 + (answer[q++] - '0');
    if (q > p + 2 && q < answer.size() && answer[q] == 'K' && value > 0) return value;
  }
  return 0;
}

// The copyright line from "(C)" to the end of its line, printable characters only.
std::string copyrightOf(const std::string& answer) {
  const size_t at = answer.find("(C)");
  if (at == std::string::npos) return {};
  std::string text;
  for (size_t i = at; i < answer.size() && answer[i] != '\r' && answer[i] != '\n'; ++i) {
    const unsigned char c = static_cast<unsigned char>(answer[i]);
    if (c >= 32 && c < 127) text += static_cast<char>(c);
    if (text.size() >= kCopyrightMax) break;
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

std::vector<std::string> scanRequests(int id) {
  return {"SP", "WK," + hexId(id), "QXS", "ARC", std::string(1, static_cast<char>(136))};
}

std::vector<std::string> scanFinish() {
  return {"SP", "WK,00"};
}

bool readScanAnswer(const std::string& answer, FoundNode& node) {
  node.memoryKiB = memoryOf(answer);
  node.copyright = copyrightOf(answer);
  return node.memoryKiB > 0 || !node.copyright.empty();
}

std::string describeNode(const FoundNode& node) {
  char head[32];
  std::snprintf(head, sizeof head, "%d (%02X): ", node.id, node.id & 0xFF);
  const std::string what =
      node.memoryKiB > 0 ? std::to_string(node.memoryKiB) + "K memory" : node.copyright;
  return head + what + ", " + std::to_string(node.answerMs) + " ms";
}

NodeScan::NodeScan(SerialPort& port, LineState& line, EventLoop& loop, int firstId, int lastId,
                   ScanTiming timing)
    : port_(port), line_(line), loop_(loop), first_(firstId), last_(lastId), timing_(timing) {}

int NodeScan::estimateSeconds(int count, const ScanTiming& timing) {
  return (count * (timing.answerWaitMs + kRequestLineMs) + 999) / 1000;
}

double NodeScan::nowMs() const {
  return loop_.now().secondsSinceMidnight * 1000.0;
}

double NodeScan::elapsedMs(double sinceMs) const {
  double d = nowMs() - sinceMs;
  if (d < 0) d += kDayMs;  // past midnight
  return d;
}

bool NodeScan::write(const std::vector<std::string>& parts) {
  try {
    if (!port_.isOpen()) throw Failure("the port is closed");
    for (const auto& p : parts) line_.write(p);
    return true;
  } catch (const Failure& e) {
    error_ = e.what();
    return false;
  }
}

std::string NodeScan::collect(int& firstByteMs) {
  const double start = nowMs();
  double last = start;
  std::string answer;
  firstByteMs = -1;
  while (true) {
    loop_.yield();
    const double now = elapsedMs(start);
    if (port_.bytesAvailable() > 0) {
      answer += port_.read(port_.bytesAvailable());
      if (firstByteMs < 0) firstByteMs = static_cast<int>(now);
      last = nowMs();
    }
    if (now >= timing_.answerMaxMs) break;
    if (answer.empty() ? now >= timing_.answerWaitMs : elapsedMs(last) >= timing_.quietMs) break;
  }
  return answer;
}

std::vector<FoundNode> NodeScan::run() {
  std::vector<FoundNode> found;
  const int count = last_ - first_ + 1;
  // The scan reads the port itself; nobody else takes its answers meanwhile.
  auto ownEvents = std::move(port_.onEvent);
  port_.onEvent = [](int) {};
  for (int id = first_; id <= last_ && !cancelled_; ++id) {
    if (onProgress) {
      const int index = id - first_;
      onProgress(id, index, count, estimateSeconds(count - index, timing_));
    }
    if (cancelled_) break;
    try {
      if (port_.bytesAvailable() > 0) port_.read(port_.bytesAvailable());  // a late answer
    } catch (const Failure& e) {
      error_ = e.what();
    }
    if (!error_.empty() || !write(scanRequests(id))) break;
    FoundNode node;
    node.id = id;
    std::string answer;
    try {
      answer = collect(node.answerMs);
    } catch (const Failure& e) {
      error_ = e.what();
      break;
    }
    if (!readScanAnswer(answer, node)) continue;
    found.push_back(node);
    if (onFound) onFound(node);
  }
  if (error_.empty()) write(finish);
  port_.onEvent = std::move(ownEvents);
  return found;
}

}  // namespace osd

#include "support/sim_line.h"

namespace osd::test {

SimLine::SimLine(Harness& harness, sim::NodeConfig config, int port, int delayMs)
    : h(harness), node(config), answerDelayMs(delayMs) {
  if (port > 0) h.lineReady(port);
  h.port.writes.clear();
  lastWriteMs_ = h.loop.ms();
  h.port.onWrite = [this](const std::string& bytes) { hear(bytes); };
}

SimLine::~SimLine() {
  h.port.onWrite = nullptr;
  h.port.onClose = nullptr;
}

void SimLine::hear(const std::string& bytes) {
  settle();
  heard += bytes;
  lastWriteMs_ = h.loop.ms();
  const std::string answer = node.feed(bytes);
  if (!answer.empty())
    h.loop.at(answerDelayMs, [port = &h.port, answer] { port->receive(answer); });
}

void SimLine::paceAtLineSpeed() {
  h.port.onWrite = [this](const std::string& bytes) {
    waiting_ += bytes;
    h.port.held = static_cast<int64_t>(waiting_.size());
    if (!carrying_) carry();
  };
  h.port.onClose = [this] {
    waiting_.clear();
    h.port.held = 0;
  };
}

// Ten milliseconds of the line: about ten bytes.
void SimLine::carry() {
  carrying_ = !waiting_.empty();
  if (!carrying_) return;
  h.loop.at(10, [this] {
    const std::string part = waiting_.substr(0, 10);
    waiting_.erase(0, part.size());
    h.port.held = static_cast<int64_t>(waiting_.size());
    if (!part.empty()) hear(part);
    carry();
  });
}

void SimLine::settle() {
  node.quiet(static_cast<int>(h.loop.ms() - lastWriteMs_));
}

std::vector<int64_t> streamLengths(const std::string& line) {
  std::vector<int64_t> out;
  for (size_t at = line.find("QXW"); at != std::string::npos; at = line.find("QXW", at + 1))
    out.push_back(static_cast<int64_t>(line.find("SPWK", at) - at));
  return out;
}

}  // namespace osd::test

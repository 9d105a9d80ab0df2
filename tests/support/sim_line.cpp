#include "support/sim_line.h"

namespace osd::test {

SimLine::SimLine(Harness& harness, sim::NodeConfig config, int port, int delayMs)
    : h(harness), node(config), answerDelayMs(delayMs) {
  if (port > 0) h.lineReady(port);
  h.port.writes.clear();
  lastWriteMs_ = h.loop.ms();
  h.port.onWrite = [this](const std::string& bytes) {
    settle();
    heard += bytes;
    lastWriteMs_ = h.loop.ms();
    const std::string answer = node.feed(bytes);
    if (answer.empty()) return;
    answered += answer;
    h.loop.at(answerDelayMs, [port = &h.port, answer] { port->receive(answer); });
  };
}

SimLine::~SimLine() {
  h.port.onWrite = nullptr;
}

void SimLine::settle() {
  node.quiet(static_cast<int>(h.loop.ms() - lastWriteMs_));
}

}  // namespace osd::test

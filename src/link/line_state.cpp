#include "link/line_state.h"

#include <algorithm>
#include <cmath>

#include "common/textnum.h"

namespace osd {

std::string awakeText(const Awake& awake) {
  switch (awake.kind) {
    case Awake::Kind::Node:
      return "Awake: node " + std::to_string(awake.id);
    case Awake::Kind::None:
      return "Awake: none";
    case Awake::Kind::All:
      break;
  }
  return "Awake: all nodes";
}

std::string targetText(const Awake& awake) {
  switch (awake.kind) {
    case Awake::Kind::Node:
      return "It goes to node " + std::to_string(awake.id) + ".";
    case Awake::Kind::None:
      return "";
    case Awake::Kind::All:
      break;
  }
  return "It goes to every node on the line.";
}

std::string targetText(const std::vector<int>& ids) {
  std::string list;
  for (const int id : ids) list += (list.empty() ? "" : ", ") + std::to_string(id);
  return std::string(ids.size() == 1 ? "It goes to node " : "It goes to nodes ") + list + ".";
}

std::vector<std::string> restoreCommands(const Awake& awake) {
  switch (awake.kind) {
    case Awake::Kind::Node:
      return {"SP", "WK," + hex2(awake.id)};
    case Awake::Kind::None:
      return {"SP"};
    case Awake::Kind::All:
      break;
  }
  return {"WK,00"};
}

std::vector<std::string> targetCommands(const Awake& awake) {
  switch (awake.kind) {
    case Awake::Kind::Node:
      return {"SP", "WK," + hex2(awake.id)};
    case Awake::Kind::None:
      return {};
    case Awake::Kind::All:
      break;
  }
  return {"SP", "WK,00"};
}

void LineState::setAwake(const Awake& awake) {
  if (awake == awake_) return;
  awake_ = awake;
  if (onAwakeChanged) onAwakeChanged(awake_);
}

int64_t LineState::inFlight() const {
  if (!port_.isOpen()) return 0;
  const double backlog = std::max(0.0, lineFree_ - loop_.monotonicSeconds());
  const auto byRate = static_cast<int64_t>(std::ceil(backlog * kBytesPerSecond));
  return std::max(byRate, port_.heldBytes());
}

void LineState::carried() {
  lineFree_ = std::min(lineFree_, loop_.monotonicSeconds());
}

void LineState::forget() {
  lineFree_ = 0;
}

void LineState::waitForRoom() {
  // The line moves at its own speed; a port whose count of held bytes does not move at all
  // for a while has stopped taking data.
  double lastMove = loop_.monotonicSeconds();
  int64_t last = inFlight();
  while (port_.isOpen() && last > kMostInFlight) {
    loop_.yield();
    const int64_t now = inFlight();
    if (now != last) {
      last = now;
      lastMove = loop_.monotonicSeconds();
    } else if (loop_.monotonicSeconds() - lastMove > kStallSeconds) {
      throw Failure("The serial port does not take any more data.");
    }
  }
}

void LineState::write(const std::string& bytes) {
  for (size_t at = 0; at < bytes.size(); at += kMostInFlight) {
    waitForRoom();
    if (!port_.isOpen()) throw Failure("The serial port was closed while sending.");
    const std::string piece = bytes.substr(at, kMostInFlight);
    port_.write(piece);
    const auto n = static_cast<int64_t>(piece.size());
    written_ += n;
    lineFree_ =
        std::max(lineFree_, loop_.monotonicSeconds()) + static_cast<double>(n) / kBytesPerSecond;
  }
}

bool LineState::drain(double limitSeconds, const std::function<bool()>& stop,
                      const std::function<void(int64_t)>& waiting) {
  const double until = loop_.monotonicSeconds() + limitSeconds;
  int64_t left = inFlight();
  while (left > 0 && port_.isOpen() && loop_.monotonicSeconds() < until && !(stop && stop())) {
    if (waiting) waiting(left);
    loop_.yield();
    left = inFlight();
  }
  return left == 0 && port_.isOpen();
}

}  // namespace osd

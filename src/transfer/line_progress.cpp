#include "transfer/line_progress.h"

#include <algorithm>
#include <cmath>

namespace osd {

LineProgress::LineProgress(int64_t total, double startSeconds)
    : total_(std::max<int64_t>(total, 0)), start_(startSeconds) {}

void LineProgress::update(int64_t written, int64_t held, double nowSeconds) {
  elapsed_ = std::max(elapsed_, nowSeconds - start_);
  const int64_t leftPort = std::max<int64_t>(written - std::max<int64_t>(held, 0), 0);
  const auto carried = static_cast<int64_t>(std::floor(elapsed_ * kLineBytesPerSecond));
  sent_ = std::clamp(std::min(leftPort, carried), sent_, total_);
}

double LineProgress::rate() const {
  return elapsed_ > 0 ? static_cast<double>(sent_) / elapsed_ : 0.0;
}

double LineProgress::secondsLeft() const {
  return static_cast<double>(total_ - sent_) / kLineBytesPerSecond;
}

std::string groupedNumber(int64_t value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return value < 0 ? "-" + out : out;
}

std::string durationText(double seconds) {
  const auto s = static_cast<int64_t>(std::llround(std::max(seconds, 0.0)));
  if (s < 60) return std::to_string(s) + " s";
  if (s < 3600) return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
  return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
}

std::string sentOfTotal(const LineProgress& p) {
  return "sent " + std::to_string(p.sent()) + " of " + std::to_string(p.total()) + " bytes";
}

namespace {
std::string bytesOfTotal(const LineProgress& p) {
  return groupedNumber(p.sent()) + " of " + groupedNumber(p.total()) + " bytes";
}
}  // namespace

std::string phaseStatus(const std::string& phase, const LineProgress& p) {
  return phase + ": " + bytesOfTotal(p) + ", " + durationText(p.secondsLeft()) + " left";
}

std::string progressBarLine(const LineProgress& p, int width) {
  const std::string tail = "  " + bytesOfTotal(p) + "  " + std::to_string(std::lround(p.rate())) +
                           " B/s  " + durationText(p.secondsLeft()) + " left";
  const int room = width - static_cast<int>(tail.size()) - 2;
  if (room < 4) return tail.substr(2);
  const int cells = std::min(room, 40);
  const int filled =
      p.total() > 0 ? static_cast<int>(static_cast<double>(cells) * static_cast<double>(p.sent()) /
                                       static_cast<double>(p.total()))
                    : cells;
  return "[" + std::string(static_cast<size_t>(filled), '#') +
         std::string(static_cast<size_t>(cells - filled), '-') + "]" + tail;
}

std::string downloadedText(int slot, int64_t bytes, double seconds) {
  return "Logo " + std::to_string(slot) + " downloaded: " + groupedNumber(bytes) + " bytes in " +
         durationText(seconds);
}

std::string stoppingText(int64_t bytes) {
  return "Stopping: " + groupedNumber(bytes) + " bytes still on their way";
}

std::string stoppedAtText(int64_t at, int64_t of) {
  return "stopped at " + std::to_string(at) + " of " + std::to_string(of) + " bytes";
}

}  // namespace osd

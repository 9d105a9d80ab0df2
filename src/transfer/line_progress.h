// How far a byte stream on the 9600-baud line has got, and the texts that tell the operator.
//
// What has left the port is the smaller of two counts: the bytes written less those the port
// (with its driver's queue) still holds, and what the line can have carried since the stream
// began (960 bytes a second). The second bound is needed because a pseudo-terminal takes
// kilobytes into its buffer at once and reports none of them as held.
#pragma once

#include <cstdint>
#include <string>

namespace osd {

constexpr double kLineBytesPerSecond = 960.0;  // 9600 baud, 10 bits a byte

class LineProgress {
 public:
  // A stream of `total` bytes whose first byte was handed to the port at `startSeconds`
  // (any monotonic clock, in seconds).
  LineProgress(int64_t total, double startSeconds);

  // The port's state at `nowSeconds`: `written` bytes of the stream handed to it so far,
  // `held` of them still in the port or its driver. The count never goes back.
  void update(int64_t written, int64_t held, double nowSeconds);

  int64_t sent() const { return sent_; }
  int64_t total() const { return total_; }
  bool complete() const { return sent_ >= total_; }
  double elapsed() const { return elapsed_; }
  // Bytes a second since the start; 0 before any time has passed.
  double rate() const;
  // Seconds until the rest has left at the line's speed.
  double secondsLeft() const;

 private:
  int64_t total_;
  double start_;
  double elapsed_ = 0;
  int64_t sent_ = 0;
};

// 65667 -> "65,667".
std::string groupedNumber(int64_t value);
// A duration, rounded to the second: "45 s", "1 min 18 s", "2 h 5 min".
std::string durationText(double seconds);
// "sent 20000 of 65667 bytes": the plain figures, for logs and scripts.
std::string sentOfTotal(const LineProgress& p);
// "Sending Image: 20,000 of 65,667 bytes, 47 s left" (the window's status line).
std::string phaseStatus(const std::string& phase, const LineProgress& p);
// One terminal line of `width` columns at most:
// "[########------------]  20,000 of 65,667 bytes  960 B/s  47 s left".
std::string progressBarLine(const LineProgress& p, int width = 80);
// "Stopping: 1,088 bytes still on their way".
std::string stoppingText(int64_t bytes);
// "stopped at 31488 of 65667 bytes" (plain figures, for scripts).
std::string stoppedAtText(int64_t at, int64_t of);
// "Logo 1 downloaded: 65,667 bytes in 1 min 18 s".
std::string downloadedText(int slot, int64_t bytes, double seconds);

}  // namespace osd

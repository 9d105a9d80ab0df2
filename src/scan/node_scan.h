// Finding the nodes on a line. The nodes share the line and answer only while awake, so each
// ID in turn is woken alone ("SP", then "WK," and the ID as two upper-case hexadecimal
// digits) and asked for its memory size ("QXS") and its copyright text ("ARC" and the byte
// 136); an ID that answers within a short wait is a node on the line. At the end every node
// is put to sleep and all are woken ("SP", "WK,00"), or the line is put back into the
// operator's wake choice (`finish`); a cancelled scan ends the same way.
//
// The scan reads the port itself and writes through the line state: while it runs it takes
// the port's events, and gives them back when it ends. Whoever polls the line must hold that
// poll for the scan's duration.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/line_state.h"
#include "platform/seams.h"

namespace osd {

struct FoundNode {
  int id = 0;
  int memoryKiB = 0;      // from the size answer ("QX64K"); 0 when it gave none
  std::string copyright;  // the copyright answer on one line; "" when it gave none
  int answerMs = 0;       // from the last request byte written to the first answer byte
};

// The bytes that ask node `id` (1..255), in the order they go on the line.
std::vector<std::string> scanRequests(int id);
// The bytes that end a scan.
std::vector<std::string> scanFinish();
// Reads what arrived after the requests for `id`. False when it holds neither a size answer
// nor a copyright text (noise is no node).
bool readScanAnswer(const std::string& answer, FoundNode& node);
// "3 (03): 64K memory, 41 ms" or "5 (05): (C) ..., 38 ms": one line for a node found.
std::string describeNode(const FoundNode& node);

struct ScanTiming {
  int answerWaitMs = 450;  // how long an ID that stays silent is given
  int quietMs = 100;       // an answer is complete once the line is quiet this long
  int answerMaxMs = 2000;  // an answer that keeps coming is cut off here
};

class NodeScan {
 public:
  NodeScan(SerialPort& port, LineState& line, EventLoop& loop, int firstId, int lastId,
           ScanTiming timing = {});

  // Before each ID: its place (0-based) among `count` and the seconds still to go.
  std::function<void(int id, int index, int count, int secondsLeft)> onProgress;
  std::function<void(const FoundNode&)> onFound;
  // What ends the scan, cancelled or not.
  std::vector<std::string> finish = scanFinish();

  // Stops the scan after the ID being asked; the finishing bytes are still sent.
  void cancel() { cancelled_ = true; }
  bool cancelled() const { return cancelled_; }
  // Why the scan stopped early: the port failed ("" when it did not).
  const std::string& error() const { return error_; }

  // Runs the scan to its end (or cancellation or a port failure) and returns the nodes that
  // answered, in ID order.
  std::vector<FoundNode> run();

  // The seconds a scan of `count` IDs takes when none answers.
  static int estimateSeconds(int count, const ScanTiming& timing = {});

 private:
  double elapsedMs(double sinceMs) const;
  double nowMs() const;
  bool write(const std::vector<std::string>& parts);
  std::string collect(int& firstByteMs);

  SerialPort& port_;
  LineState& line_;
  EventLoop& loop_;
  int first_, last_;
  ScanTiming timing_;
  bool cancelled_ = false;
  std::string error_;
};

}  // namespace osd

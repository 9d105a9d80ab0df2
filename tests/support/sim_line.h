// The fake port wired to a simulated node (sim::Node) on the virtual clock: an in-process line.
// Bytes reach the node as they are written, its answers come `answerDelayMs` later; the node
// learns how long the line was quiet before each write, so a pending password or a stalled
// download ends as on a line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/node.h"
#include "support/fakes.h"

namespace osd::test {

class SimLine {
 public:
  // With `port` 0 the program opens the port itself (as at start-up).
  explicit SimLine(Harness& harness, sim::NodeConfig config = {}, int port = 3,
                   int answerDelayMs = 5);
  ~SimLine();
  SimLine(const SimLine&) = delete;
  SimLine& operator=(const SimLine&) = delete;

  // Tells the node the line has been quiet since the last write (at the current virtual time).
  void settle();
  // From now on written bytes wait in the port and reach the node at 960 bytes a second, as
  // on a 9600-baud line; closing the port throws away what still waits, as a driver does.
  void paceAtLineSpeed();

  Harness& h;
  sim::Node node;
  int answerDelayMs;
  std::string heard;  // every byte the node received

 private:
  void hear(const std::string& bytes);
  void carry();
  int64_t lastWriteMs_ = 0;
  std::string waiting_;  // paced: written, not yet on the line
  bool carrying_ = false;
};

// The lengths of the download streams in the bytes of a line: from each "QXW" to the next "SPWK".
std::vector<int64_t> streamLengths(const std::string& line);

}  // namespace osd::test

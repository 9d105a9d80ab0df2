// A scan of the line from the window: the window's own line traffic (node poll, watchdog,
// dispatcher) is held while the scan runs and resumes after it; a node found can be made the
// node the window addresses.
#pragma once

#include <memory>
#include <vector>

#include "scan/node_scan.h"

namespace osd {

class App;

class WindowScan {
 public:
  explicit WindowScan(App& app, int firstId = 1, int lastId = 255, ScanTiming timing = {});
  ~WindowScan();

  // Set its callbacks before run().
  NodeScan& scanner() { return *scan_; }
  bool running() const { return running_; }
  // Runs the whole scan with the line held. Nothing happens while the port is not usable
  // (false, with the reason on the window's error panel).
  bool run();
  const std::vector<FoundNode>& found() const { return found_; }
  // The scan covers every ID, 1 to 255.
  bool wholeRange() const { return first_ == 1 && last_ == 255; }
  bool cancelled() const { return scan_->cancelled(); }

  // Makes `id` the node the window addresses: the Node field shows it and the line is left
  // with that node alone awake ("SP", "WK," and the ID). While the scan runs it is stopped
  // first, and the node is taken once the scan has ended.
  void useNode(int id);
  // A node was chosen (at once or at the end of the scan).
  bool nodeUsed() const { return used_; }

 private:
  App& app_;
  int first_, last_;
  std::unique_ptr<NodeScan> scan_;
  std::vector<FoundNode> found_;
  bool running_ = false;
  int chosen_ = 0;  // chosen while the scan ran
  bool used_ = false;
};

}  // namespace osd

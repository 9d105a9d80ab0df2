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

  // Puts `id` into the Node field.
  void useNode(int id);

 private:
  App& app_;
  std::unique_ptr<NodeScan> scan_;
  std::vector<FoundNode> found_;
  bool running_ = false;
};

}  // namespace osd

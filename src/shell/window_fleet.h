// "Download to Checked Nodes" in Find Nodes: the selected slot's logo to several nodes of the
// line at once, with the same question as a single download, the line held while the job
// runs, its progress on the window's status line and bar and one result per node at the end.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "transfer/fleet_download.h"

namespace osd {

class App;
class WindowScan;

class WindowFleet {
 public:
  explicit WindowFleet(App& app) : app_(app) {}

  // The whole job as it goes (the dialog's bar and text).
  std::function<void(const FleetProgress&)> onProgress;

  // Downloads the selected slot's logo to `ids`, nodes `scan` found. When they are every node
  // a finished scan of IDs 1-255 found, they are the whole line (one stream after "WK,00" when
  // they share a memory size). `together`: the operator says the nodes stay awake when another
  // is woken. Nothing is sent
  // (and no result comes back) when the question is answered with Cancel, when no logo slot
  // 1-4 holds a logo, or when the port is not usable; the reason is on the error panel.
  std::vector<FleetResult> run(const WindowScan& scan, const std::vector<int>& ids, bool together);
  bool running() const { return running_; }

  // "2 of 3 nodes programmed."
  static std::string summary(const std::vector<FleetResult>& results);

 private:
  bool prepare(FleetLogo& logo);

  App& app_;
  bool running_ = false;
};

}  // namespace osd

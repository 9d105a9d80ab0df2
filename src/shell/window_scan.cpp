#include "shell/window_scan.h"

#include "shell/app.h"

namespace osd {

namespace {
constexpr const char* kTitle = "mnuFindNodes";
}

WindowScan::WindowScan(App& app, int firstId, int lastId, ScanTiming timing)
    : app_(app),
      scan_(std::make_unique<NodeScan>(app.platform().port, app.platform().loop, firstId, lastId,
                                       timing)) {}

WindowScan::~WindowScan() = default;

bool WindowScan::run() {
  if (running_) return false;
  if (!app_.platform().port.isOpen() || !app_.link().valid()) {
    app_.status_.error("The port is not open: choose a port in the Com menu first.", kTitle);
    return false;
  }
  // The line is the scan's alone: what holds the window's traffic during a download (node
  // poll, watchdog, dispatcher, the wake-up after an open) holds it here too.
  const bool wasHeld = app_.downloading;
  app_.downloading = true;
  running_ = true;
  found_ = scan_->run();
  running_ = false;
  app_.downloading = wasHeld;
  if (!found_.empty()) app_.link().heard();  // nodes answered: the line is alive
  if (!scan_->error().empty()) {
    app_.status_.error(scan_->error(), kTitle);
    return false;
  }
  return true;
}

void WindowScan::useNode(int id) {
  app_.port().useNode(id);
}

}  // namespace osd

#include "shell/window_scan.h"

#include <utility>

#include "shell/app.h"

namespace osd {

namespace {
constexpr const char* kTitle = "mnuFindNodes";
}

WindowScan::WindowScan(App& app, int firstId, int lastId, ScanTiming timing)
    : app_(app),
      first_(firstId),
      last_(lastId),
      scan_(std::make_unique<NodeScan>(app.platform().port, app.platform().loop, firstId, lastId,
                                       timing)) {}

WindowScan::~WindowScan() {
  if (app_.activeScan_ == this) app_.activeScan_ = nullptr;
}

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
  app_.activeScan_ = this;
  found_ = scan_->run();
  app_.activeScan_ = nullptr;
  running_ = false;
  app_.downloading = wasHeld;
  if (!found_.empty()) app_.link().heard();  // nodes answered: the line is alive
  const bool ok = scan_->error().empty();
  if (!ok) app_.status_.error(scan_->error(), kTitle);
  // A node chosen meanwhile is taken now; after a port failure the line is not to be trusted.
  const int chosen = std::exchange(chosen_, 0);
  if (chosen > 0 && ok && !app_.closeWhenStopped_) useNode(chosen);
  app_.closeIfAsked();  // the window was asked to close meanwhile
  return ok;
}

void WindowScan::useNode(int id) {
  if (running_) {
    chosen_ = id;
    scan_->cancel();
    return;
  }
  app_.port().useNode(id);
  // The scan ended with every node awake; the next command is meant for this one alone.
  app_.dispatcher().sleep();
  app_.dispatcher().wake(id);
  used_ = true;
}

}  // namespace osd

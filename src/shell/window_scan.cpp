#include "shell/window_scan.h"

#include <utility>

#include "shell/app.h"

namespace osd {

namespace {
constexpr ErrorAt kTitle = ErrorAt::FindNodes;
}

WindowScan::WindowScan(App& app, int firstId, int lastId, ScanTiming timing)
    : app_(app),
      first_(firstId),
      last_(lastId),
      scan_(std::make_unique<NodeScan>(app.platform().port, app.link().line(), app.platform().loop,
                                       firstId, lastId, timing)) {}

WindowScan::~WindowScan() {
  if (running_) app_.download().scanRunning({});
}

bool WindowScan::run() {
  if (running_) return false;
  if (!app_.platform().port.isOpen() || !app_.link().valid()) {
    app_.statusLine().error("The port is not open: choose a port in the Com menu first.", kTitle);
    return false;
  }
  // The line is the scan's alone: what holds the window's traffic during a download (node
  // poll, watchdog, dispatcher, the wake-up after an open) holds it here too.
  DownloadPresenter& line = app_.download();
  const bool wasHeld = line.lineHeld();
  line.holdLine(true);
  running_ = true;
  line.scanRunning([this] { scan_->cancel(); });
  // The scan wakes every node in turn; it ends with the line in the operator's wake choice.
  scan_->finish = restoreCommands(app_.link().line().awake());
  found_ = scan_->run();
  line.scanRunning({});
  running_ = false;
  line.holdLine(wasHeld);
  if (!found_.empty()) app_.link().heard();  // nodes answered: the line is alive
  const bool ok = scan_->error().empty();
  if (!ok) app_.statusLine().error(scan_->error(), kTitle);
  // A node chosen meanwhile is taken now; after a port failure the line is not to be trusted.
  const int chosen = std::exchange(chosen_, 0);
  if (chosen > 0 && ok && !line.closing()) useNode(chosen);
  line.closeIfAsked();  // the window was asked to close meanwhile
  return ok;
}

void WindowScan::useNode(int id) {
  if (running_) {
    chosen_ = id;
    scan_->cancel();
    return;
  }
  app_.port().useNode(id);
  // The next command is meant for this one alone: "SP", "WK,"+ID, the operator's choice now.
  app_.dispatcher().wake(id);
  used_ = true;
}

}  // namespace osd

// osdctl download: wakes the node, learns its image memory, erases it as the window does and
// sends the logo with the window's own download sequence.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>

#include "common/textnum.h"
#include "ctl/commands.h"
#include "ctl/ctl_host.h"
#include "transfer/line_progress.h"

namespace osd::ctl {

namespace {

struct DownloadOptions {
  std::string bitmap;
  int node = 0;  // 0: all nodes
  bool rgb = false;
  int transparent = 255;
  int memoryK = 0;  // 0: learn it from the node
  bool erase = true;
  int slot = 1;
  bool slotGiven = false;
  int x = -1, y = -1;  // percentages, -1 when not given
};

int usage(const std::string& why) {
  std::fprintf(stderr, "osdctl download: %s\n", why.c_str());
  std::fputs(
      "usage: osdctl download BMP --port P [--node ID] [--format rgb|ycbcr] [--transparent T]\n"
      "       [--memory auto|64|512] [--no-erase] [--slot N] [--x PCT --y PCT]\n",
      stderr);
  return kUsage;
}

// Parses the command's own words; returns an empty text or the reason for a usage error.
std::string parse(const Args& args, DownloadOptions& o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    auto value = [&](std::string& out) -> bool {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    if (word == "--node") {
      if (!value(v) || !wholeNumber(v, 1, 255, o.node)) return "--node needs a node ID 1-255";
    } else if (word == "--format") {
      if (!value(v) || (v != "rgb" && v != "ycbcr")) return "--format is rgb or ycbcr";
      o.rgb = v == "rgb";
    } else if (word == "--transparent") {
      if (!value(v) || !wholeNumber(v, 0, 255, o.transparent)) {
        return "--transparent needs a value 0-255";
      }
    } else if (word == "--memory") {
      if (!value(v) || (v != "auto" && v != "64" && v != "512")) {
        return "--memory is auto, 64 or 512";
      }
      o.memoryK = v == "auto" ? 0 : std::atoi(v.c_str());
    } else if (word == "--no-erase") {
      o.erase = false;
    } else if (word == "--slot") {
      if (!value(v) || !wholeNumber(v, 1, 4, o.slot)) return "--slot is a logo slot 1-4";
      o.slotGiven = true;
    } else if (word == "--x") {
      if (!value(v) || !wholeNumber(v, 0, 100, o.x)) return "--x needs a percentage 0-100";
    } else if (word == "--y") {
      if (!value(v) || !wholeNumber(v, 0, 100, o.y)) return "--y needs a percentage 0-100";
    } else if (word.size() > 1 && word[0] == '-') {
      return "unknown option " + word;
    } else if (o.bitmap.empty()) {
      o.bitmap = word;
    } else {
      return "only one bitmap can be downloaded";
    }
  }
  if (o.bitmap.empty()) return "no bitmap given";
  if ((o.x < 0) != (o.y < 0)) return "--x and --y go together";
  return "";
}

// Shows the window's status texts on standard error, and the download's progress: on a
// terminal one line that keeps being rewritten (bar, bytes, rate, time left); otherwise a
// line "sent N of M bytes" every second, N being what has left the port by the line's rule.
class ProgressEcho {
 public:
  explicit ProgressEcho(App& app) : app_(app), terminal_(::isatty(2) == 1) {
    app_.ui().onChange = [this](const std::string& name) {
      if (name != "lblCopyright") return;
      const std::string& text = app_.ui().text("lblCopyright");
      const LineProgress* line = app_.downloadLine();
      if (line && text.rfind("Sending", 0) == 0) {
        report(*line);
      } else if (!text.empty()) {
        endBar();
        std::fprintf(stderr, "osdctl: %s\n", text.c_str());
      }
    };
  }
  ~ProgressEcho() {
    app_.ui().onChange = nullptr;
    endBar();
  }
  ProgressEcho(const ProgressEcho&) = delete;
  ProgressEcho& operator=(const ProgressEcho&) = delete;

  // The last figures shown: bytes that had left and the whole stream.
  int64_t sent() const { return sent_; }
  int64_t total() const { return total_; }

 private:
  void report(const LineProgress& line) {
    const auto now = std::chrono::steady_clock::now();
    const auto every = terminal_ ? std::chrono::milliseconds(250) : std::chrono::seconds(1);
    if (line.sent() == sent_ || (now - printed_ < every && !line.complete())) return;
    printed_ = now;
    sent_ = line.sent();
    total_ = line.total();
    if (terminal_) {
      std::fprintf(stderr, "\r%s\x1b[K", progressBarLine(line, 79).c_str());
      barOpen_ = true;
    } else {
      std::fprintf(stderr, "osdctl: %s\n", sentOfTotal(line).c_str());
    }
  }
  void endBar() {
    if (barOpen_) std::fputc('\n', stderr);
    barOpen_ = false;
  }

  App& app_;
  bool terminal_;
  bool barOpen_ = false;
  int64_t sent_ = -1, total_ = 0;
  std::chrono::steady_clock::time_point printed_{};
};

// Loads the bitmap into the slot the way the window loads a slot's stored file; returns
// false with the reader's message.
bool loadSlot(App& app, const DownloadOptions& o, std::string& why) {
  app.selectedSlot = o.slot;
  app.lastSlot = o.slot;
  app.transparentValue = o.transparent;
  app.ui().setChecked("optRGB(0)", o.rgb);
  app.ui().setChecked("optRGB(1)", !o.rgb);
  app.dismissError();
  std::string file = o.bitmap;
  app.sendGuard = true;
  const int result = app.readFile(file);
  app.sendGuard = false;
  if (result != 0 || app.slotFile[static_cast<size_t>(o.slot)].empty()) {
    if (!errorShown(app, why)) why = "the bitmap cannot be read";
    return false;
  }
  for (int k = 0; k <= 15; ++k) app.ui().setChecked(indexed("optLOGO", k), k == o.slot);
  return true;
}

}  // namespace

int download(const Args& argsIn) {
  Args args = argsIn;
  HostOptions hostOptions;
  std::string why;
  if (!takeCommonOptions(args, hostOptions, why)) return usage(why);
  DownloadOptions o;
  why = parse(args, o);
  if (!why.empty()) return usage(why);
  if (hostOptions.port.empty()) return usage("--port is needed");

  std::unique_ptr<Host> hostPtr;
  try {
    hostPtr = std::make_unique<Host>(hostOptions);
  } catch (const std::invalid_argument& e) {
    return usage(e.what());
  }
  Host& host = *hostPtr;
  if (int rc = host.openPort()) return rc;
  App& app = host.app();
  ProgressEcho echo(app);
  host.loop().setTimerEnabled(TimerId::Delay, true);

  // Wake the node (or all nodes) and learn its image memory.
  app.cmdTree(15, o.node > 0 ? hex2(o.node) : std::string("00"));
  if (o.memoryK == 0) {
    app.imageMemorySize = 0;
    app.cmdTree(17);
    if (!host.runUntil([&] { return app.imageMemorySize > 0; }, 3000)) {
      std::fprintf(stderr, "osdctl: no size answer within 3 s; taking 512 K\n");
      app.imageMemorySize = 512 * 1024;
      app.largeMemory = true;
    }
  } else {
    app.imageMemorySize = o.memoryK * 1024;
    app.largeMemory = o.memoryK == 512;
  }
  std::fprintf(stderr, "osdctl: image memory %d bytes\n", app.imageMemorySize);

  // Check the bitmap against the node before anything is erased.
  if (!loadSlot(app, o, why)) {
    std::fprintf(stderr, "osdctl: %s\n", why.c_str());
    return kRefused;
  }
  if (o.slotGiven) app.cmdTree(18, dec2(o.slot));

  if (o.erase) {
    // The erase steps of the window's download command; its "Notice" question is the
    // command line itself.
    app.sendCom("QXE");
    host.loop().setTimerEnabled(TimerId::TenSec, true);
    app.ui().setEnabled("mnu_ImageToEEPROM", false);
    app.ui().setVisible("mnu_ImageToEEPROM", true);
    app.sendCom("ACM");
    std::fprintf(stderr, "osdctl: erasing, about 10 s\n");
    if (!host.runUntil([&] { return !host.loop().timerEnabled(TimerId::TenSec); }, 20000)) {
      std::fprintf(stderr, "osdctl: the erase wait did not end\n");
      return kPortFailure;
    }
    app.showStatus("");
  }
  if (!host.port().isOpen()) {
    std::fprintf(stderr, "osdctl: the port was lost\n");
    return kPortFailure;
  }

  // Answers to the node poll may have changed the slot choice meanwhile: let any answer in
  // flight arrive, then choose the slot again right before the download (which holds the
  // poll still).
  app.pollTicks = 0;
  host.runUntil([] { return false; }, 300);
  if (!loadSlot(app, o, why)) {
    std::fprintf(stderr, "osdctl: %s\n", why.c_str());
    return kRefused;
  }
  if (o.x >= 0) {
    // Placed as a drag of the preview to that spot would place it.
    const std::string pic = indexed("picPicture2", o.slot);
    app.ui().setLeft(pic, 60 + static_cast<int>(roundHalfEven(o.x * 5600 / 100.0)));
    app.ui().setTop(pic, 240 + static_cast<int>(roundHalfEven(o.y * 3840 / 100.0)));
    const bool locked = app.panelLock;
    app.panelLock = false;
    app.moveThrottle = 0;
    app.previewRelease(o.slot);
    app.previewPress(o.slot);
    app.previewMove(o.slot, app.lastX, app.lastY);
    app.previewRelease(o.slot);
    app.panelLock = locked;
  }

  app.dismissError();
  const auto downloadStart = std::chrono::steady_clock::now();
  app.runDownload();
  // Nothing may follow the download on the line: the node poll stops here.
  host.loop().setTimerEnabled(TimerId::Delay, false);
  if (errorShown(app, why)) {
    if (!host.port().isOpen() && echo.total() > 0) {
      std::fprintf(stderr, "osdctl: the node's port closed after %s of %s bytes\n",
                   groupedNumber(std::max<int64_t>(echo.sent(), 0)).c_str(),
                   groupedNumber(echo.total()).c_str());
    } else {
      std::fprintf(stderr, "osdctl: download failed: %s\n", why.c_str());
    }
    return kPortFailure;
  }
  const int64_t waiting = host.port().pendingOutput();
  if (!host.drain(static_cast<int>(waiting * 1000 / 960) + 10000)) {
    std::fprintf(stderr, "osdctl: the port did not send everything\n");
    return kPortFailure;
  }
  // A pseudo-terminal takes the bytes into its own buffer at once; the line itself cannot
  // carry more than 960 bytes a second, so the last byte has not left before that time.
  const long long w = app.imageWidth, h = app.imageHeight;
  const long long n = static_cast<long long>(app.imageMemorySize) - (w * h + 256);
  const long long fillers = n + 1 >= 0 ? (n + 1) / 128 + 1 : 0;
  const long long bytes = 259 + w * h + 128 * fillers;
  std::this_thread::sleep_until(downloadStart + std::chrono::milliseconds(bytes * 1000 / 960));
  std::fprintf(stderr, "osdctl: download complete\n");
  return kOk;
}

}  // namespace osd::ctl

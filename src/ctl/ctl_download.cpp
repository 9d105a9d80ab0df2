// osdctl download: wakes the node, learns its image memory, erases it as the window does and
// sends the logo with the window's own download sequence.
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

// Shows the window's status texts and the progress in tens on standard error.
class ProgressEcho {
 public:
  explicit ProgressEcho(App& app) : app_(app) {
    app_.ui().onChange = [this](const std::string& name) {
      if (name == "lblCopyright") {
        const std::string& text = app_.ui().text("lblCopyright");
        if (!text.empty()) std::fprintf(stderr, "osdctl: %s\n", text.c_str());
      } else if (name == "ProgressBar1" && app_.downloading) {
        const std::string& phase = app_.ui().text("lblCopyright");
        if (phase != "Sending Image" && phase != "Sending Filler") return;
        const int tens = static_cast<int>(app_.ui().get("ProgressBar1").value) / 10;
        if (tens != lastTens_) {
          lastTens_ = tens;
          std::fprintf(stderr, "osdctl: %s %d%%\n", app_.ui().text("lblCopyright").c_str(),
                       tens * 10);
        }
      }
    };
  }
  ~ProgressEcho() { app_.ui().onChange = nullptr; }
  ProgressEcho(const ProgressEcho&) = delete;
  ProgressEcho& operator=(const ProgressEcho&) = delete;

 private:
  App& app_;
  int lastTens_ = -1;
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
  app.dispatcher().setGuard(true);
  const int result = app.readFile(file);
  app.dispatcher().setGuard(false);
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
  app.dispatcher().wake(o.node);
  if (o.memoryK == 0) {
    app.session().setMemorySize(0);
    app.dispatcher().sizeQuery();
    if (!host.runUntil([&] { return app.session().memorySize() > 0; }, 3000)) {
      std::fprintf(stderr, "osdctl: no size answer within 3 s; taking 512 K\n");
      app.session().setMemorySize(512 * 1024);
      app.session().setLargeMemory(true);
    }
  } else {
    app.session().setMemorySize(o.memoryK * 1024);
    app.session().setLargeMemory(o.memoryK == 512);
  }
  std::fprintf(stderr, "osdctl: image memory %d bytes\n", app.session().memorySize());

  // Check the bitmap against the node before anything is erased.
  if (!loadSlot(app, o, why)) {
    std::fprintf(stderr, "osdctl: %s\n", why.c_str());
    return kRefused;
  }
  if (o.slotGiven) app.dispatcher().selectLogo(o.slot);

  if (o.erase) {
    // The erase steps of the window's download command; its "Notice" question is the
    // command line itself.
    app.dispatcher().send("QXE");
    host.loop().setTimerEnabled(TimerId::TenSec, true);
    app.ui().setEnabled("mnu_ImageToEEPROM", false);
    app.ui().setVisible("mnu_ImageToEEPROM", true);
    app.dispatcher().send("ACM");
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
  app.session().restartNodePoll();
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
    std::fprintf(stderr, "osdctl: download failed: %s\n", why.c_str());
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
  const long long n = static_cast<long long>(app.session().memorySize()) - (w * h + 256);
  const long long fillers = n + 1 >= 0 ? (n + 1) / 128 + 1 : 0;
  const long long bytes = 259 + w * h + 128 * fillers;
  std::this_thread::sleep_until(downloadStart + std::chrono::milliseconds(bytes * 1000 / 960));
  std::fprintf(stderr, "osdctl: download complete\n");
  return kOk;
}

}  // namespace osd::ctl

// osdctl download: wakes the node, learns its image memory, erases it as the window does and
// sends the logo with the download job, from the same settings and data files the window
// loads at start-up.
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include "common/textnum.h"
#include "ctl/commands.h"
#include "ctl/ctl_host.h"
#include "transfer/download_job.h"
#include "transfer/line_sink.h"

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

// Learns the node's image memory (or takes the one given): 0 when it cannot be had.
int64_t imageMemory(Host& host, Line& line, const DownloadOptions& o) {
  NodeSession& session = line.session;
  if (o.memoryK != 0) {
    session.setMemorySize(o.memoryK * 1024);
    session.setLargeMemory(o.memoryK == 512);
    return session.memorySize();
  }
  session.setMemorySize(0);
  line.dispatcher.sizeQuery();
  session.listen(3000 / 25);  // a short answer raises no port event: poll every tick
  if (!host.runUntil([&] { return session.memorySize() > 0; }, 3000)) {
    std::fprintf(stderr, "osdctl: no size answer within 3 s; taking 512 K\n");
    session.setMemorySize(512 * 1024);
    session.setLargeMemory(true);
  }
  return session.memorySize();
}

// Tells the node where the logo goes, as a drag of the preview to that spot would.
void place(Host& host, Line& line, const DownloadOptions& o) {
  const PlacementMove m =
      host.bench().placement().placeAt(o.slot, o.x, o.y, host.bench().prefs().pal());
  line.dispatcher.verticalPosition(m.vCode);
  line.dispatcher.horizontalPosition(m.hCode);
  line.dispatcher.send(m.packet);
}

// Sends the stream; false after saying why.
bool sendLogo(Host& host, Line& line, const DownloadPlan& plan, const DownloadOptions& o,
              StderrReporter& reporter) {
  Workbench& bench = host.bench();
  LogoSlots& logos = bench.logos();
  DownloadSource source;
  source.encode = [&](std::vector<int>& pixels) -> std::string {
    const PixelFormat format = o.rgb ? PixelFormat::Rgb : PixelFormat::YCbCr;
    if (logos.encode(o.slot, format, o.transparent, pixels, reporter)) return {};
    return "the logo could not be read from " + o.bitmap;
  };
  source.setupBlock = [&]() -> const video::SetupBlock& {
    reporter.status("Downloading Video Controller Data");
    return bench.video().setupBlock(plan.width, plan.height);
  };
  LineSink sink(line.dispatcher, line.link);
  line.downloading = true;
  const DownloadResult result =
      DownloadJob(sink, reporter, lineWaits(line.dispatcher, host.loop())).run(plan, source);
  line.downloading = false;
  // Nothing may follow the download on the line: the main tick stops here.
  host.loop().setTimerEnabled(TimerId::Delay, false);
  if (!result.ok) {
    reporter.endBar();
    const LineProgress* progress = reporter.line();
    if (!host.port().isOpen() && progress) {
      std::fprintf(stderr, "osdctl: the node's port closed after %s of %s bytes\n",
                   groupedNumber(progress->sent()).c_str(),
                   groupedNumber(progress->total()).c_str());
    } else {
      std::fprintf(stderr, "osdctl: download failed: %s (%s)\n", result.message.c_str(),
                   result.title.c_str());
    }
    return false;
  }
  if (!host.drain(static_cast<int>(sink.waiting() * 1000 / 960) + 10000)) {
    std::fprintf(stderr, "osdctl: the port did not send everything\n");
    return false;
  }
  return true;
}

// A pseudo-terminal takes the bytes into its own buffer at once; the line itself cannot
// carry more than 960 bytes a second, so the last byte has not left before that time.
// Follows the line until then, with the progress going on.
void followLine(Host& host, const DownloadPlan& plan, StderrReporter& reporter) {
  DownloadProgress p;
  p.phase = DownloadPhase::Filler;
  p.sent = p.total = plan.streamLength();
  while (reporter.line() && !reporter.line()->complete()) {
    p.waiting = host.port().heldBytes();
    reporter.download(p);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  reporter.endBar();
  std::fprintf(stderr, "osdctl: sent %lld of %lld bytes\n", static_cast<long long>(p.total),
               static_cast<long long>(p.total));
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
  // The window's start-up load of the data files, so the same data folder gives the same
  // setup block.
  std::error_code ec;
  std::filesystem::create_directories(host.bench().video().folder(), ec);
  const VideoData::Loaded loaded = host.bench().load();
  if (!loaded.kept.empty()) std::fprintf(stderr, "osdctl: %s\n", loaded.kept.c_str());
  Line line(host);
  if (int rc = host.openPort(line.link)) return rc;
  StderrReporter reporter;
  host.loop().setTimerEnabled(TimerId::Delay, true);

  // Wake the node (or all nodes) and learn its image memory.
  line.dispatcher.wake(o.node);
  std::fprintf(stderr, "osdctl: image memory %lld bytes\n",
               static_cast<long long>(imageMemory(host, line, o)));

  // Check the bitmap against the node before anything is erased.
  LogoSlots& logos = host.bench().logos();
  const SlotVerdict verdict = logos.load(o.slot, o.bitmap, line.session.largeMemory());
  if (verdict.kind != SlotVerdict::Loaded) {
    std::fprintf(stderr, "osdctl: %s\n",
                 verdict.message.empty() ? "the bitmap cannot be read" : verdict.message.c_str());
    return kRefused;
  }
  logos.selected = o.slot;
  if (o.slotGiven) line.dispatcher.selectLogo(o.slot);

  if (o.erase) {
    LineSink sink(line.dispatcher, line.link);
    DownloadJob(sink, reporter, lineWaits(line.dispatcher, host.loop())).erase();
    reporter.status("");
  }
  if (!host.port().isOpen()) {
    std::fprintf(stderr, "osdctl: the port was lost\n");
    return kPortFailure;
  }
  if (o.x >= 0) place(host, line, o);

  // While a write waits for the line, the progress keeps being shown.
  QTimer ticker;
  ticker.setInterval(250);
  QObject::connect(&ticker, &QTimer::timeout,
                   [&reporter, &host] { reporter.refresh(host.port().heldBytes()); });
  ticker.start();
  const DownloadPlan plan{logos.width, logos.height, line.session.memorySize()};
  if (!sendLogo(host, line, plan, o, reporter)) return kPortFailure;
  ticker.stop();
  followLine(host, plan, reporter);
  std::fprintf(stderr, "osdctl: download complete\n");
  return kOk;
}

}  // namespace osd::ctl

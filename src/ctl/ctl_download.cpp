// osdctl download: wakes the node, learns its image memory, erases it as the window does and
// sends the logo with the download job, from the same settings and data files the window
// loads at start-up. With --nodes it programs several nodes of the line (ctl_fleet.cpp).
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
#include "ctl/ctl_fleet.h"
#include "ctl/ctl_host.h"
#include "transfer/download_job.h"

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
  int x = -1, y = -1;      // percentages, -1 when not given
  std::vector<int> nodes;  // --nodes; empty when not given
  bool wholeLine = false;  // --nodes all
  bool together = false;
};

// Takes the command's own options and its bitmap; an empty text or the reason for a usage
// error.
std::string parse(const cli::Parsed& parsed, DownloadOptions& o) {
  std::string v;
  const auto given = [&](const char* name) {
    v = parsed.value(name);
    return parsed.has(name);
  };
  if (given("--node") && !wholeNumber(v, 1, 255, o.node)) return "--node needs a node ID 1-255";
  if (given("--nodes")) {
    if (parsed.has("--node")) return "give either --node or --nodes";
    o.wholeLine = v == "all";
    if (!o.wholeLine) {
      if (const std::string why = readNodeList(v, o.nodes); !why.empty()) return why;
    }
  }
  o.together = parsed.has("--together");
  if (o.together && !parsed.has("--nodes")) return "--together goes with --nodes";
  if (given("--format")) {
    if (!parsePixelFormat(v)) return "--format is rgb or ycbcr";
    o.rgb = parsePixelFormat(v) == PixelFormat::Rgb;
  }
  if (given("--transparent") && !wholeNumber(v, 0, 255, o.transparent)) {
    return "--transparent needs a value 0-255";
  }
  if (given("--memory")) {
    if (v != "auto" && v != "64" && v != "512") return "--memory is auto, 64 or 512";
    o.memoryK = v == "auto" ? 0 : std::atoi(v.c_str());
  }
  o.erase = !parsed.has("--no-erase");
  if (given("--slot")) {
    if (!wholeNumber(v, 1, 4, o.slot)) return "--slot is a logo slot 1-4";
    o.slotGiven = true;
  }
  if (given("--x") && !wholeNumber(v, 0, 100, o.x)) return "--x needs a percentage 0-100";
  if (given("--y") && !wholeNumber(v, 0, 100, o.y)) return "--y needs a percentage 0-100";
  if (parsed.words.empty()) return "no bitmap given";
  if (parsed.words.size() > 1) return "only one bitmap can be downloaded";
  o.bitmap = parsed.words[0];
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
    std::fprintf(stderr, "osdctl download: no size answer within 3 s; taking 512 K\n");
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
  line.downloading = true;
  const DownloadResult result = DownloadJob(line.sink, reporter, line.waits()).run(plan, source);
  line.downloading = false;
  // Nothing may follow the download on the line: the main tick stops here.
  host.loop().setTimerEnabled(TimerId::Delay, false);
  if (!result.ok) {
    reporter.endBar();
    const LineProgress* progress = reporter.line();
    if (!host.port().isOpen() && progress) {
      std::fprintf(stderr, "osdctl download: the node's port closed after %s of %s bytes\n",
                   groupedNumber(progress->sent()).c_str(),
                   groupedNumber(progress->total()).c_str());
    } else {
      std::fprintf(stderr, "osdctl download: download failed: %s (%s)\n", result.message.c_str(),
                   result.title.c_str());
    }
    return false;
  }
  if (!host.drain(static_cast<int>(line.sink.waiting() * 1000 / 960) + 10000)) {
    std::fprintf(stderr, "osdctl download: the port did not send everything\n");
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
  std::fprintf(stderr, "osdctl download: sent %lld of %lld bytes\n",
               static_cast<long long>(p.total), static_cast<long long>(p.total));
}

// --nodes: the logo for every node named (or every node of the line), in as few streams as
// the wake-ups allow.
int downloadToNodes(Host& host, Line& line, DownloadOptions& o) {
  FleetJob job;
  job.logos.resize(1);
  LogoChoice choice{o.bitmap, o.rgb, o.transparent, o.slot, o.slotGiven, o.x, o.y};
  if (const std::string why = prepareLogo(host, choice, job.logos[0]); !why.empty()) {
    std::fprintf(stderr, "osdctl download: %s\n", why.c_str());
    return kRefused;
  }
  if (o.wholeLine) {
    o.nodes = scanWholeLine(host);
    if (o.nodes.empty()) return kPortFailure;
  }
  for (const int id : o.nodes) job.nodes.push_back(FleetNode{id, 0, o.memoryK});
  job.wholeLine = o.wholeLine;
  job.together = o.together;
  job.erase = o.erase;
  return runFleet(host, line, job);
}

}  // namespace

int download(const Args& args) {
  cli::Parsed parsed;
  HostOptions hostOptions;
  if (auto rc = readCommandArgs(args, "download", parsed, hostOptions)) return *rc;
  DownloadOptions o;
  const std::string why = parse(parsed, o);
  if (!why.empty()) return usageError("download", why);
  std::unique_ptr<Host> hostPtr;
  int rc = kOk;
  const std::unique_ptr<Line> linePtr = openLine("download", hostOptions, hostPtr, rc);
  if (!linePtr) return rc;
  Host& host = *hostPtr;
  Line& line = *linePtr;
  // The window's start-up load of the data files, so the same data folder gives the same
  // setup block.
  std::error_code ec;
  std::filesystem::create_directories(host.bench().video().folder(), ec);
  const VideoData::Loaded loaded = host.bench().load();
  if (!loaded.kept.empty()) std::fprintf(stderr, "osdctl download: %s\n", loaded.kept.c_str());
  if (!o.nodes.empty() || o.wholeLine) return downloadToNodes(host, line, o);
  StderrReporter reporter;
  host.loop().setTimerEnabled(TimerId::Delay, true);

  // Wake the node (or all nodes) and learn its image memory.
  line.dispatcher.wake(o.node);
  std::fprintf(stderr, "osdctl download: image memory %lld bytes\n",
               static_cast<long long>(imageMemory(host, line, o)));

  // Check the bitmap against the node before anything is erased.
  LogoSlots& logos = host.bench().logos();
  const SlotVerdict verdict = logos.load(o.slot, o.bitmap, line.session.largeMemory());
  if (verdict.kind != SlotVerdict::Loaded) {
    std::fprintf(stderr, "osdctl download: %s\n",
                 verdict.message.empty() ? "the bitmap cannot be read" : verdict.message.c_str());
    return kRefused;
  }
  logos.selected = o.slot;
  if (o.slotGiven) line.dispatcher.selectLogo(o.slot);

  if (o.erase) {
    DownloadJob(line.sink, reporter, line.waits()).erase();
    reporter.status("");
  }
  if (!host.port().isOpen()) {
    std::fprintf(stderr, "osdctl download: the port was lost\n");
    return kPortFailure;
  }
  if (o.x >= 0) place(host, line, o);

  // While a write waits for the line, the progress keeps being shown.
  host.seams().startTicker(250, [&reporter, &host] { reporter.refresh(host.port().heldBytes()); });
  const DownloadPlan plan{logos.width, logos.height, line.session.memorySize()};
  const bool sent = sendLogo(host, line, plan, o, reporter);
  host.seams().stopTicker();
  if (!sent) return kPortFailure;
  followLine(host, plan, reporter);
  std::fprintf(stderr, "osdctl download: download complete\n");
  return kOk;
}

}  // namespace osd::ctl

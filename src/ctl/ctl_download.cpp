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
#include "ctl/choices.h"
#include "ctl/commands.h"
#include "ctl/ctl_fleet.h"
#include "ctl/ctl_host.h"
#include "platform/stop_signals.h"
#include "transfer/download_job.h"

namespace osd::ctl {

namespace {

// How long a second answer to the size question is waited for after the first.
constexpr int kSecondAnswerMs = 500;

struct DownloadOptions {
  std::string bitmap;
  int node = 0;        // 0: all nodes
  GivenChoices given;  // --format, --transparent, --node
  int memoryK = 0;     // 0: learn it from the node
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
  if (given("--node")) {
    if (!wholeNumber(v, 1, 255, o.node)) return "--node needs a node ID 1-255";
    o.given.node = o.node;
  }
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
    o.given.format = parsePixelFormat(v);
  }
  if (given("--transparent")) {
    int transparent = 0;
    if (!wholeNumber(v, 0, 255, transparent)) return "--transparent needs a value 0-255";
    o.given.transparent = transparent;
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

// "QXS" and what came back, after the wake-up: the memory in K, 0 when no node answered, -1
// when more than one did (answers run together or garbled), or the stop came first.
int askMemory(Host& host, Line& line) {
  line.recorder.answers.clear();
  line.session.setMemorySize(0);
  line.dispatcher.sizeQuery();
  // The node can answer only once the line has carried the request.
  const int waitMs = static_cast<int>(line.link.line().backlogSeconds() * 1000) + 3000;
  line.session.listen(waitMs / 25);  // a short answer raises no port event: poll every tick
  const auto answered = [&] { return !line.recorder.answers.empty() || StopSignals::raised(); };
  if (host.runUntil(answered, waitMs) && !StopSignals::raised()) {
    // A second node's answer comes right behind the first.
    line.session.listen(kSecondAnswerMs / 25);
    host.runUntil([] { return StopSignals::raised(); }, kSecondAnswerMs);
  }
  line.session.listen(0);
  return sizeReplyKiB(line.recorder.answers);
}

// The memory the stream is made for, in K; 0 after saying why there is none.
int streamMemory(Host& host, Line& line, const DownloadOptions& o) {
  const int answered = askMemory(host, line);
  if (StopSignals::raised()) return 0;
  const std::string why = answered < 0    ? severalSizeAnswersText()
                          : answered == 0 ? (o.memoryK ? "" : noSizeAnswerText(o.node))
                          : (o.memoryK && o.memoryK != answered)
                              ? contradictedMemoryText(o.node, answered, o.memoryK)
                              : "";
  if (!why.empty()) {
    std::fprintf(stderr, "osdctl download: %s\n", why.c_str());
    return 0;
  }
  if (answered == 0) {
    std::fprintf(stderr, "osdctl download: no size answer; --memory %d decides\n", o.memoryK);
  }
  return answered > 0 ? answered : o.memoryK;
}

// Sends the stream; false after saying why. A stop ends it after the block being sent.
bool sendLogo(Host& host, Line& line, const DownloadPlan& plan, const FleetLogo& logo,
              StderrReporter& reporter, DownloadResult& result) {
  DownloadSource source;
  source.encode = [&logo](std::vector<int>& pixels) -> std::string {
    std::copy(logo.pixels.begin(), logo.pixels.end(), pixels.begin());
    return {};
  };
  source.setupBlock = [&]() -> const video::SetupBlock& {
    reporter.status("Downloading Video Controller Data");
    return logo.setup;
  };
  line.downloading = true;
  result = DownloadJob(line.sink, reporter, stoppable(line.waits())).run(plan, source);
  line.downloading = false;
  // Nothing may follow the download on the line: the main tick stops here.
  host.loop().setTimerEnabled(TimerId::Delay, false);
  if (result.stopped) return false;
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
int downloadToNodes(Host& host, Line& line, DownloadOptions& o, FleetLogo logo) {
  FleetJob job;
  job.logos.push_back(std::move(logo));
  if (o.wholeLine) {
    o.nodes = scanWholeLine(host, line);
    if (o.nodes.empty()) return kPortFailure;
  }
  for (const int id : o.nodes) job.nodes.push_back(FleetNode{id, 0, o.memoryK});
  job.wholeLine = o.wholeLine;
  job.together = o.together;
  job.erase = o.erase;
  return runFleet(host, line, job);
}

// One node, or whichever nodes are awake: wake, size question, erase, stream.
int downloadToNode(Host& host, Line& line, const DownloadOptions& o, const FleetLogo& logo) {
  StderrReporter reporter;
  host.loop().setTimerEnabled(TimerId::Delay, true);
  const DownloadPlan unknown{logo.width, logo.height, 0};
  line.dispatcher.wake(o.node);
  const int kiB = streamMemory(host, line, o);
  if (StopSignals::raised()) return stoppedAt(line, 0, unknown.streamLength());
  if (kiB == 0) return kPortFailure;
  std::fprintf(stderr, "osdctl download: image memory %dK\n", kiB);
  if (kiB < 512 && !logo.smallMemoryRefusal.empty()) {
    std::fprintf(stderr, "osdctl download: %s does not fit the node's %dK memory: %s\n",
                 o.bitmap.c_str(), kiB, logo.smallMemoryRefusal.c_str());
    return kRefused;
  }
  const DownloadPlan plan{logo.width, logo.height, int64_t{kiB} * 1024};
  for (const std::string& c : logo.beforeErase) line.dispatcher.send(c);
  if (o.erase) {
    const bool stopped = DownloadJob(line.sink, reporter, stoppable(line.waits())).erase().stopped;
    reporter.status("");
    if (stopped) return stoppedAt(line, 0, plan.streamLength());
  }
  if (!host.port().isOpen()) {
    std::fprintf(stderr, "osdctl download: the port was lost\n");
    return kPortFailure;
  }
  for (const std::string& c : logo.beforeStream) line.dispatcher.send(c);

  // While a write waits for the line, the progress keeps being shown.
  host.seams().startTicker(250, [&reporter, &host] { reporter.refresh(host.port().heldBytes()); });
  DownloadResult result;
  const bool sent = sendLogo(host, line, plan, logo, reporter, result);
  host.seams().stopTicker();
  if (result.stopped) {
    reporter.endBar();
    return stoppedAt(line, result.written, plan.streamLength(), true);
  }
  if (!sent) return kPortFailure;
  followLine(host, plan, reporter);
  std::fprintf(stderr, "osdctl download: download complete\n");
  return kOk;
}

}  // namespace

int download(const Args& args) {
  cli::Parsed parsed;
  HostOptions hostOptions;
  if (auto rc = readCommandArgs(args, "download", parsed, hostOptions)) return *rc;
  DownloadOptions o;
  const std::string why = parse(parsed, o);
  if (!why.empty()) return usageError("download", why);
  int rc = kOk;
  const std::unique_ptr<Host> host = makeHost("download", hostOptions, rc);
  if (!host) return rc;
  // The window's start-up load of the data files, so the same data folder gives the same
  // setup block.
  std::error_code ec;
  std::filesystem::create_directories(host->bench().video().folder(), ec);
  const VideoData::Loaded loaded = host->bench().load();
  if (!loaded.kept.empty()) std::fprintf(stderr, "osdctl download: %s\n", loaded.kept.c_str());
  // The bitmap is read, checked and encoded before the port is opened: a refused file puts
  // nothing on the line.
  FleetLogo logo;
  // The stored video standard a placement needs is read once the bitmap is accepted.
  const Choices chosen = resolveChoices("download", o.given, host->bench().prefs());
  o.node = chosen.node;
  const LogoChoice choice{
      o.bitmap, chosen.format == PixelFormat::Rgb, chosen.transparent, o.slot, o.slotGiven, o.x,
      o.y};
  std::string refused = prepareLogo(*host, choice, logo);
  if (refused.empty() && o.memoryK == 64 && !logo.smallMemoryRefusal.empty()) {
    refused = "does not fit a 64K memory: " + logo.smallMemoryRefusal;
  }
  if (!refused.empty()) {
    std::fprintf(stderr, "osdctl download: %s: %s\n", o.bitmap.c_str(), refused.c_str());
    return kRefused;
  }
  const std::unique_ptr<Line> line = openLine(*host, rc);
  if (!line) return rc;
  const StopSignals stop;
  if (!o.nodes.empty() || o.wholeLine) return downloadToNodes(*host, *line, o, std::move(logo));
  return downloadToNode(*host, *line, o, logo);
}

}  // namespace osd::ctl

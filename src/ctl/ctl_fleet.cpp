// Several nodes of one line from osdctl: logos made ready as a download sends them, the fleet
// download on the command's line, its progress and the result table.
#include "ctl/ctl_fleet.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "common/textnum.h"
#include "ctl/choices.h"
#include "platform/stop_signals.h"
#include "scan/node_scan.h"

namespace osd::ctl {

namespace {

// Status texts and failures one line each; the whole job's progress on one updating line on
// a terminal, else a line at least every 2 s.
class FleetReporter : public Reporter {
 public:
  void status(const std::string& text) override {
    // The bytes still on their way after a stop: an updating line on a terminal only.
    if (text.rfind("Stopping:", 0) == 0) {
      if (terminal_) std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
      barOpen_ = terminal_;
      return;
    }
    if (text.empty() || text == last_) return;
    last_ = text;
    endBar();
    std::fprintf(stderr, "%s %s\n", tag().c_str(), text.c_str());
  }
  void error(const std::string& message, const std::string& title) override {
    std::string line = message;
    for (char& c : line)
      if (c == '\r' || c == '\n') c = ' ';
    endBar();
    std::fprintf(stderr, "%s %s (%s)\n", tag().c_str(), line.c_str(), title.c_str());
  }
  void progressShown(bool) override {}
  void progress(double) override {}

  void show(const FleetProgress& p) {
    const int64_t now = nowMs();
    if (lastMs_ >= 0 && now - lastMs_ < (terminal_ ? 250 : 1000)) return;
    lastMs_ = now;
    const std::string figures = groupedNumber(p.done) + " of " + groupedNumber(p.total) +
                                " bytes, " + durationText(p.secondsLeft) + " left";
    if (terminal_) {
      std::fprintf(stderr, "\r%s\x1b[K", figures.c_str());
      barOpen_ = true;
    } else {
      std::fprintf(stderr, "%s sent %lld of %lld bytes of the job, %s left\n", tag().c_str(),
                   static_cast<long long>(p.done), static_cast<long long>(p.total),
                   durationText(p.secondsLeft).c_str());
    }
  }
  void endBar() {
    if (barOpen_) std::fputc('\n', stderr);
    barOpen_ = false;
  }

 private:
  std::string last_;
  int64_t lastMs_ = -1;
  bool terminal_ = ::isatty(2) == 1;
  bool barOpen_ = false;
};

// The reader's messages may run over several lines; a refusal is one line.
std::string oneLine(std::string text) {
  for (size_t at = text.find_first_of("\r\n"); at != std::string::npos;
       at = text.find_first_of("\r\n", at)) {
    const size_t end = text.find_first_not_of("\r\n", at);
    text.replace(at, (end == std::string::npos ? text.size() : end) - at, ". ");
  }
  return text;
}

}  // namespace

std::string prepareLogo(Host& host, const LogoChoice& c, FleetLogo& out) {
  Workbench& bench = host.bench();
  LogoSlots& logos = bench.logos();
  out = FleetLogo{};
  out.name = std::filesystem::path(c.file).filename().string();
  // Checked for a 64 K node first; a logo only a 512 K node takes goes to those alone.
  SlotVerdict verdict = logos.load(c.slot, c.file, false);
  if (verdict.kind != SlotVerdict::Loaded) {
    out.smallMemoryRefusal = verdict.message.empty() ? "too large" : oneLine(verdict.message);
    verdict = logos.load(c.slot, c.file, true);
  }
  if (verdict.kind != SlotVerdict::Loaded) {
    return verdict.message.empty() ? "the bitmap cannot be read" : oneLine(verdict.message);
  }
  logos.selected = c.slot;
  out.width = logos.width;
  out.height = logos.height;
  std::vector<int> values(static_cast<size_t>(DownloadPlan::kLargestPicture), 0);
  StderrReporter reporter;
  if (!logos.encode(c.slot, c.rgb ? PixelFormat::Rgb : PixelFormat::YCbCr, c.transparent, values,
                    reporter)) {
    return "the logo could not be read from " + c.file;
  }
  values.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
  out.pixels = std::move(values);
  if (c.slotGiven) out.beforeErase.push_back("AJ" + dec2(c.slot) + std::string(3, '\0'));
  // A placement belongs to this logo alone: the image-control table is put back afterwards.
  const video::ImageParams kept = bench.video().params();
  if (c.x >= 0) {
    const bool pal = resolveChoices(c.command, {.placed = true}, bench.prefs()).pal;
    const PlacementMove m = bench.placement().placeAt(c.slot, c.x, c.y, pal);
    out.beforeStream = {"AVP" + hex2(m.vCode), "AHP" + hex2(m.hCode), m.packet};
  }
  out.setup = bench.video().setupBlock(out.width, out.height);
  bench.video().params() = kept;
  return "";
}

std::vector<int> scanWholeLine(Host& host, Line& line) {
  NodeScan scanner(host.port(), line.link.line(), host.loop(), 1, 255);
  scanner.onProgress = [&scanner](int id, int index, int count, int secondsLeft) {
    if (StopSignals::raised()) scanner.cancel();
    if (index % 4 == 0) {
      std::fprintf(stderr, "%s scanning node ID %d (%d of %d), about %d s left\n", tag().c_str(),
                   id, index + 1, count, secondsLeft);
    }
  };
  std::vector<int> ids;
  for (const FoundNode& f : scanner.run()) ids.push_back(f.id);
  // A scan that did not reach its end is no scan of the whole line.
  if (scanner.cancelled()) {
    std::fprintf(stderr, "%s stopped during the scan; nothing was sent\n", tag().c_str());
    return {};
  }
  if (!scanner.error().empty()) {
    std::fprintf(stderr, "%s the port failed during the scan: %s\n", tag().c_str(),
                 scanner.error().c_str());
    return {};
  }
  if (ids.empty()) std::fprintf(stderr, "%s no node answered on IDs 1-255\n", tag().c_str());
  return ids;
}

std::string resultLine(const FleetResult& r) {
  return std::to_string(r.id) + "\t" + memoryColumn(r.memoryKiB) + "\t" + r.reason;
}

int runFleet(Host& host, Line& line, const FleetJob& job) {
  FleetReporter reporter;
  host.loop().setTimerEnabled(TimerId::Delay, true);
  line.downloading = true;
  FleetDownload fleet(line.sink, line.session, host.loop(), reporter, stoppable(line.waits()));
  fleet.onProgress = [&reporter](const FleetProgress& p) { reporter.show(p); };
  const std::vector<FleetResult> results = fleet.run(job);
  line.downloading = false;
  reporter.endBar();
  const bool drained = host.drain(10000);
  int programmed = 0;
  for (const FleetResult& r : results) {
    std::printf("%s\n", resultLine(r).c_str());
    programmed += r.programmed;
  }
  std::fflush(stdout);
  if (fleet.stop().insideStream) {
    std::fprintf(stderr, "%s %s\n", tag().c_str(),
                 stoppedAtText(fleet.stop().at, fleet.stop().of).c_str());
  } else if (StopSignals::raised()) {
    std::fprintf(stderr, "%s stopped before a stream\n", tag().c_str());
  }
  std::fprintf(stderr, "%s %d of %zu nodes programmed\n", tag().c_str(), programmed,
               results.size());
  if (!drained) std::fprintf(stderr, "%s the port did not send everything\n", tag().c_str());
  return drained && everyNodeProgrammed(results) ? kOk : kPortFailure;
}

}  // namespace osd::ctl

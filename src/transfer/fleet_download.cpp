#include "transfer/fleet_download.h"

#include <algorithm>
#include <cmath>

#include "common/textnum.h"
#include "link/line_state.h"
#include "transfer/line_progress.h"

namespace osd {

namespace {

constexpr int64_t kSleepBytes = 2;   // "SP"
constexpr int64_t kWakeBytes = 5;    // "WK,hh"
constexpr int64_t kAskBytes = 10;    // "SP", "WK,hh", "QXS"
constexpr int64_t kEraseBytes = 6;   // "QXE", "ACM"
constexpr int64_t kFinishBytes = 7;  // "SP", "WK,00"
constexpr int kLargestMemoryKiB = 512;

int64_t commandBytes(const std::vector<std::string>& commands) {
  int64_t n = 0;
  for (const auto& c : commands) n += static_cast<int64_t>(c.size());
  return n;
}

std::string idList(const std::vector<int>& ids) {
  std::string s;
  for (const int id : ids) s += (s.empty() ? "" : ", ") + std::to_string(id);
  return s;
}

std::string nodesText(const FleetGroup& g) {
  if (g.all) return "all nodes";
  return (g.ids.size() == 1 ? "node " : "nodes ") + idList(g.ids);
}

}  // namespace

bool everyNodeProgrammed(const std::vector<FleetResult>& results) {
  return std::all_of(results.begin(), results.end(),
                     [](const FleetResult& r) { return r.programmed; });
}

bool FleetLogo::sameBytes(const FleetLogo& o) const {
  return width == o.width && height == o.height && pixels == o.pixels && setup == o.setup &&
         beforeErase == o.beforeErase && beforeStream == o.beforeStream;
}

std::vector<FleetGroup> planGroups(const FleetJob& job, const std::map<int, int>& memoryKiB) {
  std::vector<const FleetNode*> answered;
  for (const FleetNode& n : job.nodes)
    if (memoryKiB.count(n.id)) answered.push_back(&n);
  std::vector<FleetGroup> groups;
  if (answered.empty()) return groups;
  const auto memoryOf = [&](const FleetNode* n) { return memoryKiB.at(n->id); };
  // "WK,00" only where every node of the line was asked and answered, all alike.
  const bool alike = std::all_of(answered.begin(), answered.end(), [&](const FleetNode* n) {
    return memoryOf(n) == memoryOf(answered[0]) && n->logo == answered[0]->logo;
  });
  if (job.wholeLine && answered.size() == job.nodes.size() && alike) {
    FleetGroup g{{}, true, answered[0]->logo, memoryOf(answered[0]), false};
    for (const FleetNode* n : answered) g.ids.push_back(n->id);
    groups.push_back(g);
    return groups;
  }
  // The largest memory on the line: beyond the job's nodes there may be 512 K ones.
  int largest = job.wholeLine ? 0 : kLargestMemoryKiB;
  for (const FleetNode* n : answered) largest = std::max(largest, memoryOf(n));
  for (const FleetNode* n : answered) {
    const auto same = [&](const FleetGroup& g) {
      return job.together && g.logo == n->logo && g.memoryKiB == memoryOf(n);
    };
    const auto at = std::find_if(groups.begin(), groups.end(), same);
    if (at != groups.end()) {
      at->ids.push_back(n->id);
    } else {
      groups.push_back(FleetGroup{{n->id}, false, n->logo, memoryOf(n), false});
    }
  }
  for (FleetGroup& g : groups) g.quietAfter = g.memoryKiB < largest;
  return groups;
}

int64_t groupBytes(const FleetJob& job, const FleetGroup& g) {
  const FleetLogo& logo = job.logos[static_cast<size_t>(g.logo)];
  const DownloadPlan plan{logo.width, logo.height, int64_t{g.memoryKiB} * 1024};
  const int64_t wakes = g.all ? kWakeBytes : kWakeBytes * static_cast<int64_t>(g.ids.size());
  return kSleepBytes + wakes + commandBytes(logo.beforeErase) + (job.erase ? kEraseBytes : 0) +
         commandBytes(logo.beforeStream) + plan.streamLength();
}

namespace {
int64_t jobBytes(const FleetJob& job, const std::vector<FleetGroup>& groups, int asked) {
  int64_t bytes = kAskBytes * asked + kFinishBytes;
  for (const FleetGroup& g : groups) {
    bytes += groupBytes(job, g) + kAskBytes * static_cast<int64_t>(g.ids.size());
  }
  return bytes;
}
// The erase waits and the quiet spells of a job.
double waitSeconds(const FleetJob& job, const std::vector<FleetGroup>& groups) {
  double seconds = 0;
  for (const FleetGroup& g : groups) {
    if (job.erase) seconds += FleetDownload::kEraseSeconds;
    if (g.quietAfter) seconds += FleetDownload::kQuietSeconds;
  }
  return seconds;
}

}  // namespace

double jobSeconds(const FleetJob& job, const std::vector<FleetGroup>& groups, int asked) {
  return static_cast<double>(jobBytes(job, groups, asked)) / kLineBytesPerSecond +
         waitSeconds(job, groups);
}

// The job's way to the port: counts what goes out and when the line will have carried it.
class FleetDownload::CountingSink : public ByteSink {
 public:
  explicit CountingSink(FleetDownload& fleet) : fleet_(fleet) {}
  bool write(const std::string& bytes) override { return fleet_.write(bytes); }
  int64_t waiting() const override { return fleet_.sink_.waiting(); }
  bool isOpen() const override { return fleet_.sink_.isOpen(); }

 private:
  FleetDownload& fleet_;
};

// One stream's reports, turned into the whole job's: its failures go on, its figures become
// the job's; the job's own steps stand for its status texts.
class FleetDownload::StreamReporter : public Reporter {
 public:
  explicit StreamReporter(FleetDownload& fleet) : fleet_(fleet) {}
  void status(const std::string&) override {}
  void error(const std::string& message, const std::string& title) override {
    fleet_.reporter_.error(message, title);
  }
  void progressShown(bool) override {}
  void progress(double) override {}
  void download(const DownloadProgress&) override { fleet_.report(); }

 private:
  FleetDownload& fleet_;
};

FleetDownload::FleetDownload(ByteSink& sink, NodeSession& session, EventLoop& loop,
                             Reporter& reporter, DownloadHooks hooks)
    : sink_(sink), session_(session), loop_(loop), reporter_(reporter), hooks_(std::move(hooks)) {}

double FleetDownload::now() const {
  return loop_.monotonicSeconds();
}

double FleetDownload::lineBacklog() const {
  return static_cast<double>(sink_.waiting()) / kLineBytesPerSecond;
}

bool FleetDownload::write(const std::string& bytes) {
  const bool ok = sink_.write(bytes);
  written_ += static_cast<int64_t>(bytes.size());
  return ok;
}

void FleetDownload::step(const std::string& text) {
  step_ = text;
  reporter_.status(text);
  report(true);
}

void FleetDownload::report(bool force) {
  const double t = now();
  if (!force && lastReport_ >= 0 && t - lastReport_ < 0.25) return;
  lastReport_ = t;
  const int64_t held = sink_.waiting();
  FleetProgress p;
  p.step = step_;
  p.total = std::max(total_, written_);
  p.done = std::clamp<int64_t>(written_ - held, 0, p.total);
  // The running wait's rest beyond the line's backlog (which the bytes count already).
  const double busyUntil = t + lineBacklog();
  const double eraseNow =
      std::max(0.0, eraseEnds_ - busyUntil) + std::max(0.0, quietEnds_ - busyUntil);
  p.secondsLeft =
      static_cast<double>(p.total - p.done) / kLineBytesPerSecond + eraseNow + waitsLeft_;
  // The bar moves by line time, so it moves through the erase waits too.
  jobSeconds_ = std::max(jobSeconds_, p.secondsLeft);
  p.percent = jobSeconds_ > 0 ? 100.0 * (1.0 - p.secondsLeft / jobSeconds_) : 0.0;
  reporter_.progress(p.percent);
  if (eraseNow > 0 && eraseEnds_ > 0) {
    reporter_.status(step_ + ": " + std::to_string(static_cast<int>(std::ceil(eraseNow))) +
                     " s left");
  }
  if (onProgress) onProgress(p);
}

void FleetDownload::drainLine(bool stopping) {
  const double until = now() + lineBacklog() + LineState::kStallSeconds;
  while (sink_.waiting() > 0 && sink_.isOpen() && now() < until) {
    if (stopping) reporter_.status(stoppingText(sink_.waiting()));
    hooks_.yield();
    if (!stopping) report();
  }
}

bool FleetDownload::stopping() const {
  return hooks_.stopRequested && hooks_.stopRequested();
}

void FleetDownload::waitUntil(double when) {
  while (now() < when && sink_.isOpen() && !stopping()) {
    hooks_.yield();
    report();
  }
}

int FleetDownload::ask(int id) {
  // An answer still waiting (an erase acknowledgement) is not this node's.
  session_.discardInput();
  session_.setMemorySize(0);
  const bool sent = write("SP") && write("WK," + hex2(id)) && write("QXS");
  if (!sent) return 0;
  // The node can answer only once the line has carried the request.
  const double deadline = now() + lineBacklog() + kAnswerSeconds;
  if (stopping()) return 0;
  session_.listen(static_cast<int>((deadline - now()) * 40) + 2);
  while (session_.memorySize() == 0 && now() < deadline && sink_.isOpen() && !stopping()) {
    if (session_.polls() == 0 && session_.buffered().empty()) session_.listen(2);
    hooks_.yield();
    report();
  }
  session_.listen(0);
  const int kiB = session_.memorySize() / 1024;
  // The answer shows that the line has carried everything up to the request.
  if (kiB > 0) sink_.carried();
  return kiB;
}

bool FleetDownload::sendGroup(const FleetJob& job, const FleetGroup& g, std::string& why) {
  const FleetLogo& logo = job.logos[static_cast<size_t>(g.logo)];
  CountingSink counted(*this);
  StreamReporter streamReports(*this);
  DownloadHooks hooks = hooks_;
  hooks.yield = [this] {
    hooks_.yield();
    report();
  };
  hooks.armEraseWait = [this] {
    hooks_.armEraseWait();
    eraseEnds_ = now() + lineBacklog() + kEraseSeconds;
    waitsLeft_ = std::max(0.0, waitsLeft_ - kEraseSeconds);
  };
  DownloadJob download(counted, streamReports, hooks);

  step("Waking " + nodesText(g));
  bool ok = write("SP");
  if (g.all) {
    ok = write("WK,00") && ok;
  } else {
    for (const int id : g.ids) ok = write("WK," + hex2(id)) && ok;
  }
  for (const auto& c : logo.beforeErase) ok = write(c) && ok;
  if (job.erase && ok) {
    step("Erasing " + nodesText(g));
    download.erase();
    eraseEnds_ = 0;
  }
  // A stop during the erase wait: nothing more goes to these nodes.
  if (stopping()) {
    why = "not started";
    return false;
  }
  for (const auto& c : logo.beforeStream) ok = write(c) && ok;
  if (!ok || !sink_.isOpen()) {
    why = "the serial port did not take the data";
    return false;
  }
  step("Sending " + logo.name + " to " + nodesText(g));
  DownloadSource source;
  source.encode = [&logo](std::vector<int>& pixels) -> std::string {
    std::copy(logo.pixels.begin(), logo.pixels.end(), pixels.begin());
    return {};
  };
  source.setupBlock = [&logo]() -> const video::SetupBlock& { return logo.setup; };
  const DownloadPlan plan{logo.width, logo.height, int64_t{g.memoryKiB} * 1024};
  const DownloadResult r = download.run(plan, source);
  if (r.stopped && download.position() > 0) {
    stop_ = {true, download.position(), plan.streamLength()};
    drainLine(true);
    // What the nodes have: the stream up to where the line had carried it.
    stop_.at = std::clamp<int64_t>(stop_.at - sink_.waiting(), 0, stop_.of);
    why = stoppedAtText(stop_.at, stop_.of);
  } else if (r.stopped) {
    why = "not started";
  } else if (!r.ok) {
    why = "the download failed: " + r.message;
  }
  return r.ok;
}

// Each node alone: is it there, and how large is its memory? The memory of every node that
// can take its logo, by ID; false when the port was lost.
bool FleetDownload::identify(const FleetJob& job, std::vector<FleetResult>& results,
                             std::map<int, int>& memory) {
  for (size_t i = 0; i < job.nodes.size(); ++i) {
    const FleetNode& n = job.nodes[i];
    FleetResult& r = results[i];
    if (stopping()) break;
    step("Asking node " + std::to_string(n.id));
    const int answered = ask(n.id);
    if (!sink_.isOpen()) return false;
    if (answered == 0) {
      r.reason = "no answer within 3 s; left out";
    } else if (n.memoryKiB > 0 && n.memoryKiB != answered) {
      // Never a stream for a memory the node did not state.
      r.memoryKiB = answered;
      r.reason = contradictedMemoryText(0, answered, n.memoryKiB) + "; left out";
    } else {
      r.memoryKiB = answered;
      const std::string& refusal = job.logos[static_cast<size_t>(n.logo)].smallMemoryRefusal;
      if (r.memoryKiB < kLargestMemoryKiB && !refusal.empty()) {
        r.reason = "the logo does not fit its memory: " + refusal;
      } else {
        memory[n.id] = r.memoryKiB;
        continue;
      }
    }
    reporter_.status("Node " + std::to_string(n.id) + ": " + r.reason);
  }
  return true;
}

// After its stream each node of the group alone again: it answers once it has taken the
// stream. False when the port was lost.
bool FleetDownload::check(const FleetGroup& g, std::vector<FleetResult>& results) {
  for (const int id : g.ids) {
    step("Checking node " + std::to_string(id));
    FleetResult& r = *std::find_if(results.begin(), results.end(),
                                   [id](const FleetResult& x) { return x.id == id; });
    r.programmed = ask(id) > 0;
    r.reason = r.programmed ? "programmed" : "no answer after the download";
    if (!sink_.isOpen()) return false;
  }
  if (g.quietAfter) {
    // A sleeping node of a larger memory may still count this stream as its own; it drops
    // out of it when the line goes quiet.
    step("Letting the line go quiet");
    const double until = now() + lineBacklog() + kQuietSeconds;
    waitsLeft_ = std::max(0.0, waitsLeft_ - kQuietSeconds);
    quietEnds_ = until;
    waitUntil(until);
    quietEnds_ = 0;
  }
  return true;
}

std::vector<FleetResult> FleetDownload::run(const FleetJob& job) {
  std::vector<FleetResult> results;
  stop_ = {};
  jobSeconds_ = 0;
  for (const FleetNode& n : job.nodes) results.push_back(FleetResult{n.id, n.memoryKiB, false, ""});
  // Until the nodes have answered, the plan assumes the memory given, else 64 K.
  std::map<int, int> assumed;
  for (const FleetNode& n : job.nodes) assumed[n.id] = n.memoryKiB > 0 ? n.memoryKiB : 64;
  const std::vector<FleetGroup> guess = planGroups(job, assumed);
  total_ = jobBytes(job, guess, static_cast<int>(job.nodes.size()));
  waitsLeft_ = waitSeconds(job, guess);
  reporter_.busy(true);
  reporter_.progress(0);
  reporter_.progressShown(true);

  std::map<int, int> memory;
  bool portLost = !identify(job, results, memory);
  const std::vector<FleetGroup> groups =
      portLost ? std::vector<FleetGroup>{} : planGroups(job, memory);
  total_ = jobBytes(job, groups, 0) + written_;
  waitsLeft_ = waitSeconds(job, groups);
  for (const FleetGroup& g : groups) {
    std::string why;
    if (stopping()) break;
    if (!portLost && sendGroup(job, g, why)) {
      portLost = !check(g, results);
      continue;
    }
    portLost = portLost || !sink_.isOpen();
    for (FleetResult& r : results)
      if (std::find(g.ids.begin(), g.ids.end(), r.id) != g.ids.end()) r.reason = why;
  }
  for (FleetResult& r : results) {
    if (r.reason.empty()) r.reason = portLost ? "not sent: the port was lost" : "not started";
  }
  // After a stop inside a stream every byte is picture data to the nodes that took it:
  // nothing more goes on the line, not even the closing wake.
  if (!portLost && !stop_.insideStream) {
    step("Putting the line back to rest");
    for (const std::string& c : job.finish) write(c);
    drainLine(false);
  }
  step_ = "Done";
  report(true);
  reporter_.progressShown(false);
  reporter_.status("");
  reporter_.busy(false);
  return results;
}

}  // namespace osd

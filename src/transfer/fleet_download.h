// Programming several nodes of one line with as few streams as the line allows.
//
// Every awake node takes the download it hears, and the download never reads a reply, so one
// stream can program every awake node at once. Which nodes are awake together is what the job
// must be sure of:
//   - the whole line, one memory size: "SP", "WK,00", the erase and its wait once, one stream;
//   - otherwise one download per node in turn ("SP", "WK,"+ID, erase, stream), or, where the
//     operator states that the line's nodes stay awake when another is woken (`together`),
//     one per group of nodes that take the same stream: "SP", "WK,"+ID of each, erase, stream.
// Before that each node is asked alone ("SP", "WK,"+ID, "QXS"): one that gives no size answer
// within 3 s (after the line has carried what went before) is left out. Afterwards each node
// that was sent to is asked alone again right after its stream (its answer also shows the line
// has carried the stream); a stream smaller than a memory that may sleep on the line is followed
// by a quiet spell, and the job ends with "SP", "WK,00".
//
//   FleetJob job;                 // the nodes, their logos, together, erase
//   FleetDownload fleet(sink, session, loop, reporter, waits);
//   fleet.onProgress = ...;       // the whole job: bytes, line time left
//   std::vector<FleetResult> results = fleet.run(job);
//
// The main tick must run (the session reads answers on it, the waits count on it), and whoever
// polls the line must hold that poll while the job runs.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/reporter.h"
#include "link/node_session.h"
#include "transfer/download_job.h"
#include "transfer/video_data.h"

namespace osd {

// One logo ready for the line: the encoder's values, the setup block, and the commands that
// go to the awake nodes around the erase (logo selection before it, placement after it).
struct FleetLogo {
  std::string name;  // how the reports name it
  int width = 0;
  int height = 0;
  std::vector<int> pixels;  // width x height values in the encoder's order
  video::SetupBlock setup{};
  std::vector<std::string> beforeErase;
  std::vector<std::string> beforeStream;
  // Why the logo cannot go to a 64 K node (the reader's verdict); "" when it can.
  std::string smallMemoryRefusal;

  // Two logos whose streams and commands are the same bytes.
  bool sameBytes(const FleetLogo& other) const;
};

struct FleetNode {
  int id = 0;         // 1..255
  int logo = 0;       // index into FleetJob::logos
  int memoryKiB = 0;  // 64 or 512 when the operator gave it; 0: as the node answers
};

struct FleetJob {
  std::vector<FleetNode> nodes;
  std::vector<FleetLogo> logos;
  bool wholeLine = false;  // `nodes` are every node on the line
  bool together = false;   // the line's nodes stay awake when another is woken
  bool erase = true;
  // What the job ends with: the line's resting state, or the window's wake choice.
  std::vector<std::string> finish = {"SP", "WK,00"};
};

// Where a stop inside a stream left it: `at` of `of` bytes of the stream from "QXW" on.
struct FleetStop {
  bool insideStream = false;
  int64_t at = 0;
  int64_t of = 0;
};

// One stream and the nodes awake for it.
struct FleetGroup {
  std::vector<int> ids;
  bool all = false;  // woken by "WK,00"
  int logo = 0;
  int memoryKiB = 0;
  // A larger memory may sleep on the line: it steps over this stream only once the line has
  // been quiet a while.
  bool quietAfter = false;
};

// The streams for the nodes that answered (`memoryKiB` by ID), in the order they go out.
std::vector<FleetGroup> planGroups(const FleetJob& job, const std::map<int, int>& memoryKiB);
// The bytes a group puts on the line, from "SP" to the last filler.
int64_t groupBytes(const FleetJob& job, const FleetGroup& group);
// The line time of a whole job with these groups: its bytes at 960 a second and the erase
// waits (`asked` nodes identified before and checked after).
double jobSeconds(const FleetJob& job, const std::vector<FleetGroup>& groups, int asked);

// How one node came out of the job.
struct FleetResult {
  int id = 0;
  int memoryKiB = 0;  // 0 when the node never told it
  bool programmed = false;
  std::string reason;  // "programmed", or why not
};
// The job succeeded: every node of it was programmed (some is not enough).
bool everyNodeProgrammed(const std::vector<FleetResult>& results);

// The whole job as it goes.
struct FleetProgress {
  std::string step;        // what runs now
  int64_t done = 0;        // bytes of the job the line has carried
  int64_t total = 0;       // bytes of the whole job
  double secondsLeft = 0;  // line time of the rest, erase waits included
  double percent = 0;      // of the whole job's time, erase waits included
};

class FleetDownload {
 public:
  static constexpr double kAnswerSeconds = 3.0;
  static constexpr double kEraseSeconds = 10.0;
  static constexpr double kQuietSeconds = 2.5;

  // `sink` carries every byte of the job; `session` takes the nodes' answers.
  FleetDownload(ByteSink& sink, NodeSession& session, EventLoop& loop, Reporter& reporter,
                DownloadHooks hooks);

  std::function<void(const FleetProgress&)> onProgress;

  // Runs the whole job; one result per node of the job, in its order. When the hooks ask for a
  // stop, the running stream ends after its block and no other follows.
  std::vector<FleetResult> run(const FleetJob& job);

  // Seconds on the loop's clock until the line has carried every byte written so far.
  double lineBacklog() const;
  // After run(): whether a stop came inside a stream, and where.
  const FleetStop& stop() const { return stop_; }

 private:
  class CountingSink;
  class StreamReporter;

  bool write(const std::string& bytes);
  // "SP", "WK,"+ID, "QXS"; the memory size answered in K, 0 when none came in time.
  int ask(int id);
  bool identify(const FleetJob& job, std::vector<FleetResult>& results, std::map<int, int>& memory);
  bool sendGroup(const FleetJob& job, const FleetGroup& group, std::string& why);
  bool check(const FleetGroup& group, std::vector<FleetResult>& results);
  void step(const std::string& text);
  bool stopping() const;
  // Lets the loop run until the loop's clock reaches `when` (or the port closes).
  void waitUntil(double when);
  // Lets the line carry what is on its way (bounded by a stalled port); `stopping`: saying
  // so, after a stop inside a stream.
  void drainLine(bool stopping);
  void report(bool force = false);
  double now() const;

  ByteSink& sink_;
  NodeSession& session_;
  EventLoop& loop_;
  Reporter& reporter_;
  DownloadHooks hooks_;
  std::string step_;
  int64_t written_ = 0;
  int64_t total_ = 0;
  double waitsLeft_ = 0;   // seconds of erase waits and quiet spells still to come
  double eraseEnds_ = 0;   // when the running erase wait ends; 0 when none runs
  double quietEnds_ = 0;   // when the running quiet spell ends; 0 when none runs
  double jobSeconds_ = 0;  // the whole job's line time and waits, as planned
  double lastReport_ = -1;
  FleetStop stop_;
};

}  // namespace osd

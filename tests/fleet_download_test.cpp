// Several nodes programmed in one job, simulated nodes on the fake port, on the virtual clock.
#include "transfer/fleet_download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/textnum.h"
#include "link/dispatcher.h"
#include "link/link_service.h"
#include "link/node_session.h"
#include "sim/node.h"
#include "support/fakes.h"
#include "support/sim_line.h"
#include "transfer/line_progress.h"
#include "transfer/line_sink.h"

using namespace osd;

namespace {

struct Reports : LinkListener {
  void progressShown(bool shown) override { bar = shown; }
  void progress(double percent) override { this->percent = percent; }
  bool bar = false;
  double percent = 0;
};

// The link components on the fake port as osdctl puts them together; the nodes answer at once.
struct Rig {
  Rig(const std::vector<int>& ids, const std::map<int, int>& memory, bool wakeTogether)
      : line(sim::NodeConfig{64, 1, 1, false, wakeTogether}, ids, memory),
        link(port, loop, listener),
        dispatcher(link, loop, listener, {}),
        session(link, dispatcher, loop, listener, {}),
        sink(dispatcher, link) {
    port.openable.insert(3);
    link.select(3);
    link.open();
    link.setValid(true);
    loop.setTimerEnabled(TimerId::ComInit, false);
    loop.setTimerEnabled(TimerId::Delay, true);
    port.onEvent = [this](int code) { link.handleEvent(code, [this] { session.receive(); }); };
    loop.onTimer = [this](TimerId id) {
      if (id == TimerId::Delay) dispatcher.sharedWait().tick(), session.pollTick();
      if (id == TimerId::TenSec) session.eraseTick();
    };
    // The nodes hear each write once a 9600-baud line has carried it, and learn how long the
    // line was quiet before it; their answers come then.
    port.onWrite = [this](const std::string& bytes) {
      const int64_t start = std::max(carriedMs, loop.ms());
      carriedMs = start + static_cast<int64_t>(bytes.size()) * 1000 / 960;
      loop.at(carriedMs - loop.ms(), [this, bytes, start, end = carriedMs] {
        line.quiet(static_cast<int>(start - heardMs));
        heardMs = end;
        port.receive(line.feed(bytes));
      });
    };
    port.writes.clear();
  }
  std::vector<FleetResult> run(const FleetJob& job) {
    DownloadHooks hooks = lineWaits(dispatcher, loop);
    hooks.stopRequested = stop;
    FleetDownload fleet(sink, session, loop, reports, hooks);
    fleet.onProgress = [this](const FleetProgress& p) { progress.push_back(p); };
    return fleet.run(job);
  }
  sim::Line line;
  test::VirtualLoop loop;
  test::FakePort port;
  LinkListener listener;
  LinkService link;
  Dispatcher dispatcher;
  NodeSession session;
  LineSink sink;
  Reports reports;
  std::vector<FleetProgress> progress;
  int64_t carriedMs = 0, heardMs = 0;
  std::function<bool()> stop;
};

// A 16 x 4 logo whose every value tells its row and column.
FleetLogo logo(int seed) {
  FleetLogo l{.name = "logo" + std::to_string(seed), .width = 16, .height = 4};
  for (int i = 0; i < 64; ++i) l.pixels.push_back((i * 7 + seed) % 250);
  video::fillSetupBlock(l.setup, 16, 4, video::defaultImageParams(16, 4));
  return l;
}

// Whether the node's memory starts with the logo as the stream carries it (top line first).
bool stores(const sim::Node& node, const FleetLogo& l) {
  for (int r = 0; r < l.height; ++r)
    for (int c = 0; c < l.width; ++c) {
      const size_t at = static_cast<size_t>((l.height - 1 - r) * l.width + c);
      if (node.imageMemory()[at] != l.pixels[static_cast<size_t>(r * l.width + c)]) return false;
    }
  return true;
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(FleetDownload, StreamsWakeUpsAndResultsFollowTheLineAndTheOperatorsWord) {
  const int64_t k64 = DownloadPlan{16, 4, 64 * 1024}.streamLength();
  const int64_t k512 = DownloadPlan{16, 4, 512 * 1024}.streamLength();
  // storing: nodes whose memory holds the logo afterwards; streams: stream lengths in the order
  // they went out; firstStreamAfter: the bytes just before the first erase
  // clang-format off
  struct Case {
    const char* name; std::vector<int> line; std::map<int, int> memory; bool wakeTogether;
    std::vector<int> asked; bool wholeLine, together; std::vector<int> storing;
    std::vector<int64_t> streams; const char* firstStreamAfter; std::vector<std::string> results;
  } cases[] = {
      {"whole line", {3, 7}, {}, false, {3, 7}, true, false, {3, 7}, {k64}, "SPWK,00", {"programmed", "programmed"}},
      {"in turn", {3, 7, 26}, {}, false, {3, 7}, false, false, {3, 7}, {k64, k64}, "SPWK,03", {"programmed", "programmed"}},
      {"together", {3, 7, 26}, {}, true, {3, 7}, false, true, {3, 7}, {k64}, "SPWK,03WK,07", {"programmed", "programmed"}},
      {"two sizes together", {3, 26}, {{26, 512}}, true, {3, 26}, false, true, {3, 26}, {k64, k512}, "SPWK,03", {"programmed", "programmed"}},
      {"whole line of two sizes", {3, 26}, {{26, 512}}, false, {3, 26}, true, false, {3, 26}, {k64, k512}, "SPWK,03", {"programmed", "programmed"}},
      {"a silent node", {3, 7}, {}, false, {3, 9, 7}, true, false, {3, 7}, {k64, k64}, "SPWK,03", {"programmed", "no answer within 3 s; left out", "programmed"}},
      // Node 26 steps over the 64 K stream only once the line has been quiet a while.
      {"a 512 K node asleep", {3, 26}, {{26, 512}}, false, {3}, false, false, {3}, {k64}, "SPWK,03", {"programmed"}}};
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(c.line, c.memory, c.wakeTogether);
    FleetJob job{{}, {logo(1)}, c.wholeLine, c.together};
    for (const int id : c.asked) job.nodes.push_back(FleetNode{id, 0, 0});
    std::vector<std::string> reasons;
    for (const auto& r : rig.run(job)) reasons.push_back(r.reason);
    std::vector<int> storing;
    for (const sim::Node& n : rig.line.nodes())
      if (stores(n, job.logos[0])) storing.push_back(n.id());
    EXPECT_EQ(std::tuple(reasons, storing), std::tuple(c.results, c.storing));

    const std::string sent = rig.port.sent();
    EXPECT_EQ(test::streamLengths(sent), c.streams);
    const size_t erase = sent.find("QXEACM");
    ASSERT_NE(erase, std::string::npos);
    EXPECT_EQ(sent.substr(0, erase).rfind(c.firstStreamAfter) + strlen(c.firstStreamAfter), erase);
    // Asked alone before and after, woken again at the end.
    std::string asks;
    for (const int id : c.asked) asks += "SPWK," + hex2(id) + "QXS";
    EXPECT_EQ(
        std::tuple(sent.rfind(asks, 0), count(sent, "SPWK,03QXS"), sent.substr(sent.size() - 7)),
        std::tuple(0u, 2u, "SPWK,00"));
    for (const sim::Node& n : rig.line.nodes()) EXPECT_TRUE(n.awake()) << n.id();
    // The whole job's figures agree with what went out, and end with nothing left.
    ASSERT_FALSE(rig.progress.empty());
    EXPECT_EQ(std::tuple(rig.progress.back().total, rig.progress.back().done, rig.reports.percent,
                         rig.reports.bar),
              std::tuple(int64_t(sent.size()), int64_t(sent.size()), 100.0, false));
  }
}

TEST(FleetDownload, WithoutEraseAndWithALostPortNothingIsClaimed) {
  Rig rig({3, 7}, {}, false);
  FleetJob job{{{3, 0, 0}, {7, 0, 512}}, {logo(2)}};
  job.erase = false;
  // A given memory the node's answer contradicts: never a stream for it; the node is named
  // with both sizes.
  auto results = rig.run(job);
  EXPECT_EQ(std::tuple(rig.port.sent().find("QXE"), test::streamLengths(rig.port.sent()).size()),
            std::tuple(std::string::npos, size_t{1}));
  EXPECT_EQ(std::tuple(results[0].programmed, results[1].programmed, results[1].memoryKiB,
                       results[1].reason),
            std::tuple(true, false, 64, "the node answered 64K, but 512K was stated; left out"));

  // The port fails in the middle of the first stream: nobody is said to be programmed, and
  // nothing more is written.
  Rig lost({3, 7}, {}, false);
  const auto feed = lost.port.onWrite;
  lost.port.onWrite = [&lost, feed](const std::string& bytes) {
    feed(bytes);
    if (lost.port.sent().size() > 3000) lost.port.openable.clear(), lost.port.close();  // gone
  };
  job.nodes = {{3, 0, 0}, {7, 0, 0}};
  results = lost.run(job);
  for (const auto& r : results)
    EXPECT_TRUE(!r.programmed && r.reason.find("port") != std::string::npos) << r.id << r.reason;
  EXPECT_LT(lost.port.sent().size(), 3000u + 2600);

  // Stopped inside the first stream: it ends after its block, and nothing at all follows (a
  // byte after it would be picture data); stopped before a stream, the line is still woken.
  // clang-format off
  struct Stop { size_t after; bool inStream; std::string ending; } stops[] = {  // after: bytes sent
      {3000, true, "\xFF"}, {30, false, "SPWK,00"}};  // 30: in the erase wait
  // clang-format on
  for (const Stop& s : stops) {
    Rig stopped({3, 7}, {}, false);
    job.erase = s.after < 100;
    stopped.stop = [&stopped, &s] { return stopped.port.sent().size() > s.after; };
    results = stopped.run(job);
    const std::string sent = stopped.port.sent();
    EXPECT_EQ(test::streamLengths(sent).size(), s.after < 100 ? 0u : 1u);
    EXPECT_FALSE(results[0].programmed || results[1].programmed ||
                 results[1].reason != "not started");
    const int64_t fromQxw = static_cast<int64_t>(sent.size() - sent.find("QXW"));
    const std::string at = stoppedAtText(fromQxw, DownloadPlan{16, 4, 65536}.streamLength());
    EXPECT_EQ(results[0].reason, s.inStream ? at : "not started");
    EXPECT_EQ(sent.substr(sent.size() - s.ending.size()), s.ending);
  }
}

// The plan the dry run prints: which nodes share a stream, its bytes and the line time.
TEST(FleetDownload, PlanSharesStreamsOnlyWhereTheWakeUpsAllowIt) {
  FleetJob job{{{3, 0, 0}, {7, 1, 0}, {9, 0, 0}, {26, 0, 512}}, {logo(1), logo(2)}, false, true};
  std::map<int, int> memory = {{3, 64}, {7, 64}, {9, 64}, {26, 512}};
  std::vector<std::vector<int>> ids;
  std::vector<bool> quiet;
  auto groups = planGroups(job, memory);
  for (auto& g : groups) ids.push_back(g.ids), quiet.push_back(std::exchange(g.quietAfter, false));
  EXPECT_EQ(ids, (std::vector<std::vector<int>>{{3, 9}, {7}, {26}}));
  // A quiet spell after each 64 K stream (a 512 K node may sleep on the line), in the line time.
  EXPECT_EQ(quiet, (std::vector<bool>{true, true, false}));
  EXPECT_NEAR(jobSeconds(job, planGroups(job, memory), 4) - jobSeconds(job, groups, 4), 5, 1e-9);
  const int64_t stream = DownloadPlan{16, 4, 65536}.streamLength();
  EXPECT_EQ(groupBytes(job, planGroups(job, memory)[0]), 2 + 10 + 6 + stream);
  job.wholeLine = true;  // different logos: still no "WK,00"
  EXPECT_FALSE(planGroups(job, memory)[0].all);
  job.nodes = {{3, 0, 0}, {9, 0, 0}};
  EXPECT_FALSE(planGroups(job, {{3, 64}})[0].all);  // node 9 did not answer
  const auto whole = planGroups(job, {{3, 64}, {9, 64}});
  ASSERT_TRUE(whole[0].all);
  // Two asks, "SP", "WK,00", the erase, the stream, two checks, "SP", "WK,00"; one erase wait.
  EXPECT_NEAR(jobSeconds(job, whole, 2), 10.0 + double(20 + 7 + 6 + stream + 20 + 7) / 960.0, 1e-9);
}

// A logo too large for 64 K goes only to a node that answers 512 K; a stated 64 K refuses it too.
TEST(FleetDownload, TheNodesAnswerDecidesWhetherALargeLogoFits) {
  // The memory stated (0: none), the one the node answers, whether the node is programmed.
  // A stated memory the answer contradicts is refused whatever the logo.
  const std::tuple<int, int, bool> cases[] = {
      {0, 512, true}, {0, 64, false}, {512, 512, true}, {64, 512, false}, {512, 64, false}};
  for (const auto& [stated, answers, programmed] : cases) {
    Rig rig({3}, {{3, answers}}, false);
    FleetJob job{{{3, 0, stated}}, {logo(1)}};
    job.logos[0].smallMemoryRefusal = "too large";
    const std::vector<FleetResult> results = rig.run(job);
    EXPECT_EQ(results[0].programmed, programmed) << stated << " " << answers;
    EXPECT_EQ(test::streamLengths(rig.port.sent()).size(), programmed ? 1u : 0u);
  }
  // The job's exit status: every node programmed, not just some.
  const FleetResult yes{3, 64, true, "programmed"}, no{7, 0, false, "no answer within 3 s"};
  EXPECT_TRUE(everyNodeProgrammed({yes, yes}));
  EXPECT_FALSE(everyNodeProgrammed({yes, no}) || everyNodeProgrammed({no, yes}));
}

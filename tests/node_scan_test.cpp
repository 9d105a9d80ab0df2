// Finding the nodes on a line: the scan on the fake port with simulated nodes answering, with
// the window's own traffic running on the virtual clock beside it.
#include "scan/node_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/textnum.h"
#include "logo_bitmap.h"
#include "shell/window_fleet.h"
#include "shell/window_scan.h"
#include "sim/node.h"
#include "support/fakes.h"
#include "support/sim_line.h"

using namespace osd;
using namespace osd::test;

namespace {

// The window on a line of simulated nodes (IDs `ids`), with its main tick running.
struct LineOfNodes {
  explicit LineOfNodes(const std::vector<int>& ids) : line(sim::NodeConfig{}, ids) {
    h.lineReady(3);
    h.loop.setTimerEnabled(TimerId::Delay, true);
    h.port.onWrite = [this](const std::string& bytes) { h.port.receive(line.feed(bytes)); };
  }
  static std::vector<int> ids(const std::vector<FoundNode>& found) {
    std::vector<int> out;
    for (const auto& f : found) out.push_back(f.id * (f.memoryKiB == 64 ? 1 : -1));
    return out;
  }
  test::Harness h;
  sim::Line line;
};

// The bytes of a scan of IDs from..to from the window: each ID's requests, then the line
// back in the operator's wake choice (all nodes: "WK,00").
std::string scanBytes(int from, int to, const std::string& finish = "WK,00") {
  std::string s;
  for (int id = from; id <= to; ++id)
    for (const auto& part : scanRequests(id)) s += part;
  return s + finish;
}

}  // namespace

TEST(NodeScan, FindsExactlyTheNodesThatAnswerWithTheRequestsInOrder) {
  // clang-format off
  struct Case { std::vector<int> onLine; int from, to; std::vector<int> found; } cases[] = {
      {{3, 7, 26}, 1, 30, {3, 7, 26}}, {{3, 7, 26}, 7, 7, {7}}, {{200}, 1, 12, {}}, {{1, 255}, 250, 255, {255}}};
  // clang-format on
  for (const auto& c : cases) {
    LineOfNodes l(c.onLine);
    WindowScan scan(*l.h.app, c.from, c.to);
    EXPECT_TRUE(scan.run());
    EXPECT_EQ(l.ids(scan.found()), c.found) << c.from << "-" << c.to;
    // Nothing but the scan on the line: the node poll was held throughout.
    EXPECT_EQ(l.h.port.sent(), scanBytes(c.from, c.to)) << c.from << "-" << c.to;
  }
}

// A scan, finished or cancelled, leaves the line in the operator's wake choice.
TEST(NodeScan, ScanEndsInTheOperatorsWakeChoiceAndThePollResumes) {
  // clang-format off
  struct Case { int choice, cancelAt; std::string finish; std::vector<bool> awake; } cases[] = {  // choice 0: all, -1: none
      {0, 5, "WK,00", {true, true, true}}, {7, 5, "SPWK,07", {false, true, false}}, {-1, 0, "SP", {false, false, false}}};
  // clang-format on
  for (const Case& c : cases) {
    LineOfNodes l({3, 7, 26});
    if (c.choice < 0) l.h.app->dispatcher().sleep();
    if (c.choice > 0) l.h.app->dispatcher().wake(c.choice);
    l.h.port.writes.clear();
    WindowScan scan(*l.h.app, 1, 30);
    scan.scanner().onProgress = [&](int id, int, int, int) {
      if (id == c.cancelAt) scan.scanner().cancel();
    };
    EXPECT_TRUE(scan.run());
    EXPECT_EQ(scan.scanner().cancelled(), c.cancelAt > 0);
    const int last = c.cancelAt > 0 ? c.cancelAt - 1 : 30;
    EXPECT_EQ(l.h.port.sent(), scanBytes(1, last, c.finish));
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(l.line.nodes()[i].awake(), c.awake[i]) << c.choice;
    l.h.port.writes.clear();
    l.h.ticks(200);
    EXPECT_NE(l.h.port.sent().find("QXS"), std::string::npos);
  }
}

// "Use this node" leaves only the chosen node awake, after the scan's own ending; chosen while
// the scan runs, it stops the scan first.
TEST(NodeScan, UseThisNodeWakesOnlyThatNode) {
  struct Case {
    int chooseWhenFound, node, lastAsked;  // chooseWhenFound 0: after the scan
  } cases[] = {{0, 7, 30}, {3, 3, 3}};
  for (const auto& c : cases) {
    LineOfNodes l({3, 7, 26});
    WindowScan scan(*l.h.app, 1, 30);
    scan.scanner().onFound = [&](const FoundNode& n) {
      if (n.id == c.chooseWhenFound) scan.useNode(n.id);
    };
    scan.run();
    if (c.chooseWhenFound == 0) scan.useNode(c.node);
    EXPECT_EQ(l.h.port.sent(), scanBytes(1, c.lastAsked) + "SPWK," + hex2(c.node)) << c.node;
    EXPECT_EQ(l.h.app->port().view().nodeId, std::to_string(c.node));
    EXPECT_EQ(l.h.app->statusLine().view().awake, "Awake: node " + std::to_string(c.node));
    for (const auto& node : l.line.nodes())
      EXPECT_EQ(node.awake(), node.id() == c.node) << "node " << node.id();
  }
}

TEST(NodeScan, AnswersAreReadForSizeOrCopyrightAndNoiseIsNoNode) {
  // clang-format off
  struct Case { std::string answer; bool node; int memory; std::string copyright; } cases[] = {
      {"QX64K\r\n(C) Maker 2001\r\n", true, 64, "(C) Maker 2001"}, {"QX512K\r\n", true, 512, ""},
      {"\x06(C) Logo generator\x01 SX", true, 0, "(C) Logo generator SX"}, {"QXK QX0K QX12", false, 0, ""},
      {"QXERA", false, 0, ""}, {std::string("\xff\x00\x13", 3), false, 0, ""}};
  // clang-format on
  for (const auto& c : cases) {
    FoundNode n;
    const bool node = readScanAnswer(c.answer, n);
    EXPECT_EQ(std::tuple(node, n.memoryKiB, n.copyright), std::tuple(c.node, c.memory, c.copyright))
        << c.answer;
  }
}

TEST(NodeScan, PortFailureStopsTheScanAndIsReported) {
  LineOfNodes l({3});
  WindowScan scan(*l.h.app, 1, 10);
  scan.scanner().onProgress = [&](int id, int, int, int) { l.h.port.failWrites = id == 4; };
  EXPECT_FALSE(scan.run());
  EXPECT_EQ(l.ids(scan.found()), std::vector<int>{3});
  EXPECT_TRUE(l.h.app->statusLine().view().errorShown && !l.h.app->download().lineHeld());
}

// "Download to Checked Nodes": the same question as a single download, naming the nodes, the
// selected slot's logo to each node checked, the line given back in the operator's choice.
TEST(NodeScan, DownloadToCheckedNodesAsksFirstAndSendsTheSelectedLogo) {
  // ok: the answer to "Notice"; cancelAt: a scan of IDs 1-255 first, cancelled at this ID (node
  // 26 not yet found)
  // clang-format off
  struct Case { bool ok; int slot; size_t streams; std::string summary; int cancelAt; } cases[] = {
      {true, 1, 2, "2 of 2 nodes programmed.", 0}, {false, 1, 0, "", 0}, {true, 5, 0, "", 0},
      {true, 1, 2, "2 of 2 nodes programmed.", 10}};
  // clang-format on
  for (const auto& c : cases) {
    LineOfNodes l({3, 7, 26});
    App& app = *l.h.app;
    std::string logo = l.h.dir + "/logo.bmp";
    writeFile(logo, makeBitmap24(64, 16, [](int r, int c) { return stripedLogo(r, c, 64); }));
    app.bench().logos().selected = 1;
    ASSERT_EQ(app.logos().readFile(logo), 0);
    app.bench().logos().selected = c.slot;
    l.h.dialogs.confirmAnswers = {c.ok};
    app.dispatcher().wake(26);
    WindowScan scan(app, 1, c.cancelAt ? 255 : 30);
    scan.scanner().onProgress = [&](int id, int, int, int) {
      if (id == c.cancelAt) scan.scanner().cancel();
    };
    if (c.cancelAt) scan.run();  // a cancelled scan is no scan of the whole line
    l.h.port.writes.clear();
    WindowFleet fleet(app);
    const auto results = fleet.run(scan, {3, 7}, false);
    const std::string sent = l.h.port.sent();
    if (c.slot == 1) {
      EXPECT_EQ(l.h.dialogs.confirmTexts.at(0),
                "This will write the new Image data to the EEPROM.\nIt goes to nodes 3, 7.");
    }
    EXPECT_TRUE(c.streams == 0 || sent.ends_with("QXSSPWK,1A")) << sent;
    EXPECT_EQ(test::streamLengths(sent).size(), c.streams) << c.slot;
    EXPECT_EQ(results.empty() ? "" : WindowFleet::summary(results), c.summary);
    EXPECT_EQ(sent.empty(), c.streams == 0);
    EXPECT_FALSE(app.download().lineHeld());
    EXPECT_EQ(l.line.nodes()[2].downloadsEnded(), 0);  // node 26 was not asked for
    EXPECT_EQ(l.h.dialogs.presets, std::vector(1, Dialogs::Preset::Cancel));  // Enter: Cancel
  }
}

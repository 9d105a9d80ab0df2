// Finding the nodes on a line: the answers read, and "Find Nodes on the Line" driven through
// its presenter on the fake port with simulated nodes answering, the window's own traffic
// running on the virtual clock beside it.
#include "scan/node_scan.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "common/textnum.h"
#include "logo_bitmap.h"
#include "shell/scan_presenter.h"
#include "sim/node.h"
#include "support/fakes.h"
#include "support/sim_line.h"

using namespace osd;
using namespace osd::test;

namespace {

// The window on a line of simulated nodes (IDs `ids`), with its main tick running and the
// "Find Nodes" window open.
struct LineOfNodes {
  explicit LineOfNodes(const std::vector<int>& ids) : line(sim::NodeConfig{}, ids) {
    h.lineReady(3);
    h.loop.setTimerEnabled(TimerId::Delay, true);
    h.port.onWrite = [this](const std::string& bytes) { h.port.receive(line.feed(bytes)); };
    scan.open();
  }
  // Runs `action` once, the first time the view is as `cond` says.
  void when(std::function<bool(const ScanView&)> cond, std::function<void()> action) {
    scan.onChange([this, cond, action, done = false]() mutable {
      if (!done && cond(scan.view())) {
        done = true;
        action();
      }
    });
  }
  // ... when the scan of IDs 1 to `last` is about to ask `id`.
  void whenAsking(int id, int last, std::function<void()> action) {
    const std::string text = "Asking node ID " + std::to_string(id) + " (" + std::to_string(id) +
                             " of " + std::to_string(last) + "), about ";
    when([text](const ScanView& v) { return v.status.starts_with(text); }, std::move(action));
  }
  // The IDs the rows show, negative for a node that gave no 64K memory answer.
  std::vector<int> ids() const {
    std::vector<int> out;
    for (const auto& r : scan.view().rows)
      out.push_back(r.id * (r.answer == "64K memory" ? 1 : -1));
    return out;
  }
  test::Harness h;
  sim::Line line;
  ScanPresenter& scan = h.app->scan();
};

// The bytes of a scan of IDs from..to from the window: each ID's requests, then the line
// back in the operator's wake choice (all nodes: "WK,00").
std::string scanBytes(int from, int to, const std::string& finish = "WK,00") {
  std::string s;
  for (int id = from; id <= to; ++id)
    for (const auto& part : scanRequests(id)) s += part;
  return s + finish;
}

std::pair<int, int> bar(const ScanView& v) {
  return {v.progress, v.progressMax};
}

}  // namespace

TEST(ScanPresenter, FindsExactlyTheNodesThatAnswerWithTheRequestsInOrder) {
  // clang-format off
  struct Case { std::vector<int> onLine; int from, to; std::vector<int> found; std::string status; } cases[] = {
      {{3, 7, 26}, 1, 30, {3, 7, 26}, "Scan finished: 3 nodes found."}, {{3, 7, 26}, 7, 7, {7}, "Scan finished: 1 node found."},
      {{200}, 1, 12, {}, "Scan finished: no node answered."}, {{1, 255}, 250, 255, {255}, "Scan finished: 1 node found."}};
  // clang-format on
  for (const auto& c : cases) {
    LineOfNodes l(c.onLine);
    EXPECT_TRUE(l.scan.start(c.from, c.to));
    // Nothing but the scan on the line: the node poll was held throughout.
    EXPECT_EQ(l.h.port.sent(), scanBytes(c.from, c.to)) << c.from << "-" << c.to;
    const ScanView& v = l.scan.view();
    const int n = c.to - c.from + 1;
    EXPECT_EQ(std::tuple(l.ids(), v.status, bar(v), v.close),
              std::tuple(c.found, c.status, std::pair(n, n), ScanButton{"Close", true}));
    // The first node found is offered to "Use this node".
    EXPECT_EQ(std::pair(v.selected, v.use.enabled),
              std::pair(c.found.empty() ? -1 : 0, !c.found.empty()));
    l.scan.close();
    EXPECT_FALSE(l.scan.view().shown);
  }
}

// A scan, finished or cancelled, leaves the line in the operator's wake choice; a cancelled
// scan keeps its list and the bar at the share of the IDs it asked. No download starts while
// the scan runs.
TEST(ScanPresenter, ScanEndsInTheOperatorsWakeChoiceAndThePollResumes) {
  // clang-format off
  struct Case { int choice, cancelAt; std::string finish; std::vector<bool> awake; std::string status; } cases[] = {  // choice 0: all, -1: none
      {0, 5, "WK,00", {true, true, true}, "Scan cancelled: 1 node found."},
      {7, 5, "SPWK,07", {false, true, false}, "Scan cancelled: 1 node found."},
      {-1, 0, "SP", {false, false, false}, "Scan finished: 3 nodes found."}};
  // clang-format on
  for (const Case& c : cases) {
    LineOfNodes l({3, 7, 26});
    if (c.choice < 0) l.h.app->dispatcher().sleep();
    if (c.choice > 0) l.h.app->dispatcher().wake(c.choice);
    l.h.port.writes.clear();
    std::vector<ScanButton> cancelling;
    std::string asking;
    l.whenAsking(c.cancelAt, 30, [&] {
      asking = l.scan.view().status;
      l.scan.checkRow(0, true);
      l.scan.close();  // Cancel while the scan runs
      cancelling = {l.scan.view().download, l.scan.view().close};
    });
    EXPECT_TRUE(l.scan.start(1, 30));
    const int last = c.cancelAt > 0 ? c.cancelAt - 1 : 30;
    EXPECT_EQ(l.h.port.sent(), scanBytes(1, last, c.finish));
    const ScanView& v = l.scan.view();
    EXPECT_EQ(std::tuple(v.status, bar(v), v.shown),
              std::tuple(c.status, std::pair(last, 30), true));
    if (c.cancelAt) {
      EXPECT_EQ(cancelling,
                (std::vector<ScanButton>{{"Download to Checked Nodes", false}, {"Cancel", false}}));
    }
    EXPECT_EQ(asking.ends_with(" s left"), c.cancelAt > 0) << asking;
    EXPECT_EQ(std::tuple(v.close, v.download.enabled, l.scan.cancelled()),
              std::tuple(ScanButton{"Close", true}, c.cancelAt > 0, c.cancelAt > 0));
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(l.line.nodes()[i].awake(), c.awake[i]) << c.choice;
    l.h.port.writes.clear();
    l.h.ticks(200);
    EXPECT_NE(l.h.port.sent().find("QXS"), std::string::npos);
  }
}

// "Use this node" leaves only the chosen node awake, after the scan's own ending, and closes
// the window; chosen while the scan runs, it stops the scan first.
TEST(ScanPresenter, UseThisNodeWakesOnlyThatNode) {
  struct Case {
    int chosenWhenFound, row, node, lastAsked;
    bool useNow;  // else the node is used after the scan: the choice stays as nodes are found
  } cases[] = {{7, 1, 7, 30, false}, {1, 0, 1, 1, true}};
  for (const auto& c : cases) {
    LineOfNodes l({1, 7, 26});
    bool useDuring = false;  // the button once chosen while the scan runs
    l.when(
        [&](const ScanView& v) { return !v.rows.empty() && v.rows.back().id == c.chosenWhenFound; },
        [&] {
          l.scan.selectRow(c.row);
          if (c.useNow) l.scan.useNode();
          useDuring = l.scan.view().use.enabled;
        });
    l.scan.start(1, 30);
    EXPECT_EQ(useDuring, !c.useNow);
    if (!c.useNow) {
      EXPECT_TRUE(l.scan.view().shown);
      l.scan.useNode();
    }
    EXPECT_EQ(l.h.port.sent(), scanBytes(1, c.lastAsked) + "SPWK," + hex2(c.node)) << c.node;
    EXPECT_EQ(l.h.app->port().view().nodeId, std::to_string(c.node));
    EXPECT_EQ(l.h.app->statusLine().view().awake, "Awake: node " + std::to_string(c.node));
    EXPECT_TRUE(!l.scan.view().shown && l.scan.view().nodeUsed);
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

// A port that fails stops the scan; a port that is not open starts none.
TEST(ScanPresenter, PortFailureStopsTheScanAndIsReported) {
  // clang-format off
  struct Case { bool open; std::vector<int> found; std::string status; std::pair<int, int> bar; } cases[] = {
      {true, {3}, "Scan stopped (see the error panel): 1 node found.", {10, 10}},
      {false, {}, "Scan stopped (see the error panel): no node answered.", {100, 100}}};
  // clang-format on
  for (const auto& c : cases) {
    LineOfNodes l({3});
    if (!c.open) l.h.port.close();
    l.h.port.writes.clear();
    l.whenAsking(4, 10, [&] { l.h.port.failWrites = true; });
    EXPECT_FALSE(l.scan.start(1, 10));
    EXPECT_EQ(l.ids(), c.found);
    EXPECT_EQ(std::pair(l.scan.view().status, bar(l.scan.view())), std::pair(c.status, c.bar));
    const StatusView& s = l.h.app->statusLine().view();
    EXPECT_TRUE(s.errorShown && s.errorTitle == "Find Nodes" && !l.h.app->download().lineHeld());
    EXPECT_EQ(l.h.port.sent().empty(), !c.open);
  }
}

// "Download to Checked Nodes": the same question as a single download, naming the nodes, the
// selected slot's logo to each node checked, the line given back in the operator's choice, one
// result per node; the window stays while the job runs.
TEST(ScanPresenter, DownloadToCheckedNodesAsksFirstAndSendsTheSelectedLogo) {
  // ok: the answer to "Notice"; cancelAt: a scan of IDs 1-255, cancelled at this ID (node 26
  // not yet found), else IDs 1-30
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
    l.whenAsking(c.cancelAt, 255, [&] { l.scan.cancel(); });  // a cancelled scan is no whole line
    l.scan.start(1, c.cancelAt ? 255 : 30);
    const std::string scanEnd = l.scan.view().status;
    l.scan.checkRow(0, true);
    l.scan.checkRow(1, true);
    l.h.port.writes.clear();
    std::vector<ScanButton> during;
    std::string jobText;  // the job's first figures
    l.scan.onChange([&] {
      const ScanView& v = l.scan.view();
      if (l.scan.downloading() && during.empty()) {
        l.scan.close();  // the job ends by itself
        during = {v.use, v.download, v.close};
      }
      if (l.scan.downloading() && v.progressMax == 1000 && jobText.empty()) jobText = v.status;
    });
    l.scan.downloadToChecked(false);
    const std::string sent = l.h.port.sent();
    if (c.slot == 1) {
      EXPECT_EQ(l.h.dialogs.confirmTexts.at(0),
                "This will write the new Image data to the EEPROM.\nIt goes to nodes 3, 7.");
    }
    EXPECT_TRUE(c.streams == 0 || sent.ends_with("QXSSPWK,1A")) << sent;
    EXPECT_EQ(test::streamLengths(sent).size(), c.streams) << c.slot;
    EXPECT_EQ(std::pair(sent.empty(), app.download().lineHeld()), std::pair(c.streams == 0, false));
    EXPECT_EQ(l.line.nodes()[2].downloadsEnded(), 0);  // node 26 was not asked for
    EXPECT_EQ(l.h.dialogs.presets, std::vector(1, Dialogs::Preset::Cancel));  // Enter: Cancel
    EXPECT_EQ(app.statusLine().view().errorTitle, c.slot == 5 ? "No Logo" : "");
    const ScanView& v = l.scan.view();
    const std::string done = c.streams ? "programmed" : "";
    EXPECT_EQ(std::tuple(v.rows[0].result, v.rows[1].result, v.rows[0].programmed, v.status),
              std::tuple(done, done, c.streams > 0, c.streams ? c.summary : scanEnd));
    EXPECT_EQ(std::regex_match(jobText, std::regex(".+: [0-9,]+ of [0-9,]+ bytes, .+ left")),
              c.streams > 0)
        << jobText;
    if (c.streams) {
      EXPECT_EQ(std::tuple(bar(v), app.statusLine().view().status),
                std::tuple(std::pair(1000, 1000), c.summary));
    }
    EXPECT_EQ(during, (std::vector<ScanButton>{{"Use this node", false},
                                               {"Download to Checked Nodes", false},
                                               {"Close", false}}));
    EXPECT_TRUE(v.shown && v.use.enabled && v.download.enabled && v.close.enabled);
  }
}

// Every node a finished scan of the whole line found, checked: one stream after "WK,00".
TEST(ScanPresenter, EveryNodeOfAWholeLineScanTakesOneStream) {
  LineOfNodes l({3, 7});
  std::string logo = l.h.dir + "/logo.bmp";
  writeFile(logo, makeBitmap24(64, 16, [](int r, int c) { return stripedLogo(r, c, 64); }));
  l.h.app->bench().logos().selected = 1;
  ASSERT_EQ(l.h.app->logos().readFile(logo), 0);
  l.scan.start();
  l.scan.checkRow(0, true);
  l.scan.checkRow(1, true);
  l.h.port.writes.clear();
  l.scan.downloadToChecked(false);
  EXPECT_EQ(test::streamLengths(l.h.port.sent()).size(), 1u);
  EXPECT_EQ(l.scan.view().status, "2 of 2 nodes programmed.");
}

// The main window closing during the scan stops it; the window closes once it has ended.
TEST(ScanPresenter, ClosingTheMainWindowStopsTheScanThenCloses) {
  LineOfNodes l({3});
  bool exited = false;
  l.h.app->menus().setWindowActions({.exit = [&] { exited = true; }});
  l.whenAsking(5, 30, [&] { EXPECT_FALSE(l.h.app->download().closeRequested(CloseBy::Signal)); });
  l.scan.start(1, 30);
  EXPECT_TRUE(exited && l.scan.cancelled() && !l.h.app->download().closing());
}

// The line state: never more than about a second of the line in flight, whatever the port
// reports; the wake choice's texts and commands; what a size question's answers mean.
#include "link/line_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "link/node_session.h"
#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

// A port whose line carries 0.96 bytes a virtual millisecond. `reports`: it tells what it
// still holds, as a serial driver does; otherwise it says nothing is held, as a
// pseudo-terminal that takes kilobytes at once does.
struct LinePort : FakePort {
  VirtualLoop* loop = nullptr;
  bool reports = true;
  int64_t queued = 0;  // bytes written, counted from the start of the line
  int64_t most = 0;    // the most bytes ever in flight, by the line's own count
  int64_t onLine() const { return std::max<int64_t>(0, queued - loop->ms() * 96 / 100); }
  int64_t bytesToWrite() const override { return reports ? onLine() : 0; }
  void write(const std::string& b) override {
    FakePort::write(b);
    queued = std::max(queued, loop->ms() * 96 / 100) + static_cast<int64_t>(b.size());
    most = std::max(most, onLine());
  }
};

FakePort& opened(FakePort& port) {
  port.openable = {1};
  PortOpenError error;
  port.open(1, error);
  return port;
}

}  // namespace

TEST(LineState, AtMostASecondOfTheLineIsInFlightOnAnyPort) {
  struct Case {
    bool reports;
    size_t piece;  // the writer's block
  } cases[] = {{true, 256}, {false, 256}, {false, 128}, {false, 5000}, {true, 1}};
  for (const Case& c : cases) {
    VirtualLoop loop;
    LinePort port;
    port.loop = &loop;
    port.reports = c.reports;
    LineState line(opened(port), loop);
    std::string stream;
    for (int k = 0; k < 12000; ++k) stream.push_back(static_cast<char>(k % 251));
    for (size_t at = 0; at < stream.size(); at += c.piece) line.write(stream.substr(at, c.piece));
    const int64_t block = static_cast<int64_t>(std::min<size_t>(c.piece, 960));
    SCOPED_TRACE(std::to_string(c.reports) + " " + std::to_string(c.piece));
    EXPECT_EQ(port.sent(), stream);
    EXPECT_LE(std::abs(port.most - LineState::kMostInFlight), block);
    EXPECT_EQ(line.inFlight(), port.onLine());
    EXPECT_TRUE(line.drain(30) && port.onLine() == 0 && line.written() == 12000);
  }
}

TEST(LineState, AStalledPortOrAClosedOneEndsTheWrite) {
  VirtualLoop loop;
  FakePort port;
  LineState line(opened(port), loop);
  port.held = 5000;  // a port that never lets go
  EXPECT_THROW(line.write("QXS"), Failure);
  EXPECT_FALSE(line.drain(2));
  port.held = 0;
  line.write(std::string(2000, 'x'));
  EXPECT_GT(line.inFlight(), 0);
  line.carried();  // a node answered: the line has carried it all
  EXPECT_EQ(line.inFlight(), 0);
  port.close();
  EXPECT_EQ(line.inFlight(), 0);
  EXPECT_THROW(line.write("QXS"), Failure);
  EXPECT_EQ(port.sent().size(), 2000u);
}

TEST(LineState, TheWakeChoiceNamesItsTextsAndItsCommands) {
  using W = std::vector<std::string>;
  // clang-format off
  struct Case { Awake awake; const char *shown, *target; W restore, beforeDownload; } cases[] = {
      {Awake::all(), "Awake: all nodes", "It goes to every node on the line.", {"WK,00"}, {"SP", "WK,00"}},
      {Awake::node(7), "Awake: node 7", "It goes to node 7.", {"SP", "WK,07"}, {"SP", "WK,07"}},
      {Awake::node(255), "Awake: node 255", "It goes to node 255.", {"SP", "WK,FF"}, {"SP", "WK,FF"}},
      {Awake::none(), "Awake: none", "", {"SP"}, {}}};
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(std::tuple(awakeText(c.awake), targetText(c.awake), restoreCommands(c.awake),
                         targetCommands(c.awake)),
              std::tuple(std::string(c.shown), std::string(c.target), c.restore, c.beforeDownload));
  }
}

TEST(LineState, OnlyExactlyOneSizeAnswerTellsTheMemory) {
  // Two answers run together, or garbled text, are more than one node: -1.
  // clang-format off
  struct Case { std::vector<std::string> answers; int kiB; } cases[] = {
      {{"QX64K "}, 64}, {{"QX512K "}, 512}, {{"QX1K"}, 1}, {{}, 0}, {{" "}, 0}, {{"QX64K QX512K "}, -1},
      {{"QX64K ", "QX64K "}, -1}, {{"QX6\x13" "4K"}, -1}, {{"QXK "}, -1}, {{"QX0K"}, -1},
      {{"(C) Norvo QX64K"}, -1}, {{"QX99999999999K"}, -1}};
  // clang-format on
  for (const Case& c : cases)
    EXPECT_EQ(sizeReplyKiB(c.answers), c.kiB) << ::testing::PrintToString(c.answers);
  EXPECT_EQ(noSizeAnswerText(3),
            "node 3 did not answer the size question; a node still inside an interrupted "
            "download answers nothing: wait for it, or switch it off and on");
  EXPECT_EQ(noSizeAnswerText(0).substr(0, 45), "no node answered the size question; a node st");
  EXPECT_EQ(contradictedMemoryText(3, 64, 512), "node 3 answered 64K, but 512K was stated");
}

// The simulated node's protocol state machine, fed bytes directly (no terminal, no clock).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "sim/logo_file.h"
#include "sim/node.h"
#include "support/bmp_builder.h"
#include "transfer/download_job.h"
#include "transfer/video_data.h"

using osd::sim::Line;
using osd::sim::Node;
using osd::sim::NodeConfig;

namespace {

// Feeds `bytes` in pieces whose lengths come from `rng` (1 to maxPiece bytes).
std::string feedInPieces(Node& node, const std::string& bytes, std::mt19937& rng, size_t maxPiece) {
  std::string out;
  for (size_t i = 0, n = 0; i < bytes.size(); i += n)
    out += node.feed(bytes.substr(i, n = std::min(bytes.size() - i, 1 + rng() % maxPiece)));
  return out;
}

// The program's setup block: W / 4 and H / 2 in bytes 8 to 11, 16 bits each, little-endian.
std::string setupBlock(int width, int height) {
  osd::video::SetupBlock b{};
  osd::video::fillSetupBlock(b, width, height, osd::video::defaultImageParams(width, height));
  return std::string(b.begin(), b.begin() + 256);  // entry 256 is not sent
}

// The picture byte of row r (top line = 0, as sent), column c.
char pictureByte(int r, int c) {
  return static_cast<char>((r * 31 + c * 3 + 1) & 0xFF);
}

// The download stream the program sends: "QXW", setup block, rows top line first, fillers.
std::string downloadStream(int width, int height, int memoryKiB) {
  std::string s = "QXW" + setupBlock(width, height);
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < width; ++c) s += pictureByte(r, c);
  const osd::DownloadPlan plan{width, height, memoryKiB * 1024L};
  s.append(static_cast<size_t>(plan.fillerBlocks()) * 128, static_cast<char>(0xFF));
  return s;
}

}  // namespace

TEST(SimNodeWake, AnswersOnlyWhileWokenSeveralInIdOrderOthersAsTheWakeModeSays) {
  // clang-format off
  struct Step { const char* bytes; const char* answer; } steps[] = {
      {"QXS", ""}, {"WK,1AQXS", "QX64K\r\n"}, {"SPQXS", ""}, {"WK,00QXS", "QX64K\r\n"},
      {"WK,1BQXS", ""}, {"WK,1aQXS", ""}, {"WK,1AANI,2CWK,1AQXS", ""}, {"WK,2CQXS", "QX64K\r\n"},
      {"ANI,00SPANI,05WK,2CQXS", "QX64K\r\n"}};  // 00 is no ID; asleep it keeps its own
  // clang-format on
  Node node(NodeConfig{64, 26});
  for (const auto& s : steps) EXPECT_EQ(node.feed(s.bytes), s.answer) << s.bytes;
  EXPECT_EQ(node.id(), 44);
  // Several nodes on a line answer in ID order.
  Line line(NodeConfig{512}, {26, 3, 7, 3});
  ASSERT_EQ(line.nodes().size(), 3u);
  const std::string size = "QX512K\r\n";
  EXPECT_EQ(line.feed("WK,07QXS"), size);
  EXPECT_EQ(line.feed("WK,00QXS"), size + size + size);
  const std::string copyright = Node::copyrightText();
  EXPECT_EQ(line.feed("SPWK,1AQXSARC\x88"), size + copyright);
  EXPECT_EQ(line.feed("SPWK,05QXS"), "");
  // Node 3 becomes 200: it now answers after node 26.
  EXPECT_EQ(line.feed("WK,03ANI,C8WK,00ARC\x88"), copyright + copyright + copyright);
  line.feed("SPWK,07" + downloadStream(16, 2, 512));
  EXPECT_EQ(std::tuple(line.downloadsEnded(), line.shown().id()), std::tuple(1, 7));
  // Which nodes take a stream after a series of wake-ups, under either reading of waking one
  // node while others are awake; node 26 has a memory of its own.
  // storing: the IDs whose memory holds the picture afterwards
  // clang-format off
  struct Wake { bool together; const char* wakes; std::vector<int> storing; } wakes[] = {
      {false, "SPWK,03WK,07", {7}}, {true, "SPWK,03WK,07", {3, 7}},
      {true, "WK,03SPWK,07", {7}},  // "SP" still sends every node to sleep
      {false, "WK,00", {3, 7, 26}}, {true, "SPWK,1AWK,03", {3, 26}}, {false, "SPWK,1AWK,05", {}}};
  // clang-format on
  for (const auto& c : wakes) {
    Line three(NodeConfig{64, 1, 1, false, c.together}, {3, 7, 26}, {{26, 512}});
    ASSERT_EQ(three.nodes()[2].imageMemory().size(), 512u * 1024) << c.wakes;
    EXPECT_EQ(three.feed("WK,00QXS"), "QX64K\r\nQX64K\r\nQX512K\r\n");
    three.feed(std::string(c.wakes) + downloadStream(16, 2, 64));
    std::vector<int> storing;
    for (const Node& n : three.nodes())
      if (n.imageMemory()[0] == static_cast<uint8_t>(pictureByte(0, 0))) storing.push_back(n.id());
    EXPECT_EQ(storing, c.storing) << c.wakes << (c.together ? " together" : " select");
  }
}

TEST(SimNodeCommands, AnswersRememberedSettingsAndThePasswordWhateverTheChunks) {
  Node node;
  node.feed(std::string("AJ05") + std::string(3, '\0') + "AHP40QXE");  // asleep: nothing
  EXPECT_EQ(std::pair(node.selectedLogo(), node.erases()), std::pair(0, 0));
  node.feed("WK,00");
  EXPECT_EQ(node.feed("ARC\x88").rfind("(C)", 0), 0u);
  EXPECT_EQ(node.feed("ARCxQXS"), "QX64K\r\n");  // "ARC" without 136 is no request
  EXPECT_EQ(node.feed("QXE"), "QXERA");
  std::vector<uint8_t> payload(16);
  for (int i = 0; i < 16; ++i) payload[size_t(i)] = static_cast<uint8_t>(i * 17);
  const std::string packet =
      std::string{'\x80', '\x82', '\x8A', '1', 16} + std::string(payload.begin(), payload.end());
  node.feed(packet.substr(0, 1));  // the program writes the 128 on its own
  node.feed(packet.substr(1) + "\x03");
  EXPECT_EQ(node.settingsPacket(), payload);
  node.feed("APAxAPIyAFRzACH\005ACT04AT1ASI");
  EXPECT_EQ(std::vector<int>({node.takeOn(), node.takeOff(), node.fadeRate(), node.chroma(),
                              node.model(), node.takeState(), node.logoSaves()}),
            std::vector<int>({'x', 'y', 'z', 5, 4, 1, 1}));
  // The password ends at a foreign byte or when the line goes quiet.
  node.feed("AEPWsecret");
  node.quiet(Node::kPasswordQuietMs - 1);
  node.feed("7");
  node.quiet(Node::kPasswordQuietMs);
  EXPECT_EQ(node.password(), "secret7");
  EXPECT_EQ(node.feed("AEPWab\rQXS"), "QX64K\r\n");
  EXPECT_EQ(node.password(), "ab");
  EXPECT_EQ(node.feed("AEPW" + std::string(Node::kPasswordMax, 'p') + "QXS"), "QX64K\r\n");
  // Chunk boundaries do not matter.
  std::string stream = "WK,00QXS" + std::string("ARC") + static_cast<char>(136) + "AHP22" +
                       std::string("AJ03") + std::string(3, '\0') + "QXE" +
                       std::string{'\x80', '\x89', 4, 0, 34, 0} + "ANI,07WK,07QXSARM" +
                       "SPQXSWK,07QXS";
  Node whole;
  const std::string expected = whole.feed(stream);
  // 64K size answer twice, copyright, "QXERA", read-back: the whole answer is not trivial.
  ASSERT_GT(expected.size(), 2052u + 14);
  std::mt19937 rng(7);
  for (size_t maxPiece : {1u, 2u, 3u, 5u, 13u}) {
    Node split;
    EXPECT_EQ(feedInPieces(split, stream, rng, maxPiece), expected) << "pieces up to " << maxPiece;
    EXPECT_EQ(std::tuple(split.id(), split.selectedLogo(),
                         split.lastPositionPacket().value_or(osd::sim::PositionPacket{}).h),
              std::tuple(7, 3, 34));
  }
}

// Stored top line first; a download cut short ends at a command byte or when the line goes quiet.
TEST(SimNodeDownload, FullStreamIsStoredTopLineFirstACutOneEndsASleeperStepsOver) {
  Node node;
  node.feed("WK,00");
  std::string stream = downloadStream(256, 64, 64);
  ASSERT_EQ(stream.size(), 259u + 64 * 256 + 383 * 128);
  std::mt19937 rng(3);
  EXPECT_TRUE(feedInPieces(node, stream, rng, 700).empty() && node.downloadsEnded() == 1 &&
              node.lastDownloadComplete());
  EXPECT_EQ(node.imageWidth() * 1000 + node.imageHeight(), 256064);
  EXPECT_EQ(std::string(node.setupBlock().begin(), node.setupBlock().end()), setupBlock(256, 64));
  const auto& mem = node.imageMemory();  // the rows as sent, then the first filler byte
  EXPECT_EQ(std::string(mem.begin(), mem.begin() + 64 * 256 + 1), stream.substr(259, 64 * 256 + 1));
  EXPECT_EQ(node.feed("QXS"), "QX64K\r\n");
  stream.resize(stream.size() - 100);  // the last filler block is cut short
  EXPECT_EQ(node.feed(stream + "QXS"), "QX64K\r\n");
  EXPECT_TRUE(node.downloadsEnded() == 2 && !node.lastDownloadComplete());
  node.feed(stream.substr(0, 5000));
  node.quiet(Node::kDownloadQuietMs - 1);
  EXPECT_TRUE(node.downloading());
  node.quiet(Node::kDownloadQuietMs);
  EXPECT_TRUE(node.downloadsEnded() == 3 && !node.lastDownloadComplete());
  EXPECT_EQ(node.feed("QXS"), "QX64K\r\n");
  // A sleeping node steps over another node's download, full of command-like bytes.
  Node asleep(NodeConfig{64, 2});
  const std::vector<uint8_t> before = asleep.imageMemory();
  stream = "QXW" + setupBlock(8, 2) + "WK,02QXS" + "ANI,09QX";
  stream.append(static_cast<size_t>(osd::DownloadPlan{8, 2, 65536}.fillerBlocks()) * 128,
                static_cast<char>(0xFF));
  EXPECT_EQ(asleep.feed(stream), "");
  EXPECT_FALSE(asleep.awake() || asleep.id() != 2 || !asleep.setupBlock().empty());
  EXPECT_EQ(asleep.imageMemory(), before);
  EXPECT_EQ(asleep.feed("WK,02QXS"), "QX64K\r\n");
}

TEST(SimNodeReadBack, StreamsInFieldOrderForMonochromeColourAndABitmapFile) {
  Node mono;
  EXPECT_EQ(mono.feed("ARM"), "");  // asleep
  const std::string s = mono.feed("WK,00ARM");
  ASSERT_EQ(std::pair(s.size(), s.find("SD")), std::pair(size_t{2052}, size_t{2}));
  size_t k = 4;
  for (int first : {62, 63})
    for (int r = first; r >= 0; r -= 2)
      for (int c = 0; c < 32; ++c, ++k)
        ASSERT_EQ(static_cast<uint8_t>(s[k]), Node::patternByte(r, c)) << r << "," << c;
  Node colour(NodeConfig{64, 1, 1, true});
  const std::string cs = colour.feed("WK,01ARM");
  ASSERT_EQ(std::pair(cs.size(), cs.find("SC")), std::pair(size_t{8196}, size_t{2}));
  EXPECT_EQ(static_cast<uint8_t>(cs[4 + 32 * 128]), colour.storedLogo()[63 * 128]);
  // A logo from a bitmap file.
  osd::test::BmpPlan plan{256, 64, 1};
  plan.palette = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  plan.rows.assign(64, std::vector<uint8_t>(32, 0));
  plan.rows[0][0] = 0x80;  // the bottom-left pixel
  std::vector<uint8_t> rows;
  std::string error;
  ASSERT_TRUE(osd::sim::parseLogoBitmap(osd::test::makeBmp(plan), rows, error)) << error;
  mono.setLogoBitmap(rows);
  const std::string b = mono.feed("ARM");
  // Row 0 is the last row of the first field: 31 rows after the start.
  EXPECT_EQ(b.substr(4, 1) + b.substr(4 + 31 * 32, 1), std::string("\0\x80", 2));
}

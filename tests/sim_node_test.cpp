// The simulated node's protocol state machine, fed bytes directly (no terminal, no clock).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "sim/logo_file.h"
#include "sim/node.h"

using osd::sim::Node;
using osd::sim::NodeConfig;

namespace {

NodeConfig config(int memoryKiB = 64, int id = 1, bool color = false) {
  NodeConfig c;
  c.memoryKiB = memoryKiB;
  c.id = id;
  c.color = color;
  return c;
}

// Feeds `bytes` in pieces whose lengths come from `rng` (1 to maxPiece bytes).
std::string feedInPieces(Node& node, const std::string& bytes, std::mt19937& rng, size_t maxPiece) {
  std::string out;
  size_t i = 0;
  while (i < bytes.size()) {
    const size_t n = std::min(bytes.size() - i, 1 + rng() % maxPiece);
    out += node.feed(bytes.substr(i, n));
    i += n;
  }
  return out;
}

std::string setupBlock(int width, int height) {
  std::string s(256, '\0');
  s[0] = '\x55';
  s[1] = static_cast<char>(0xAA);
  s[8] = static_cast<char>((width / 4) & 0xFF);
  s[9] = static_cast<char>((width / 4) >> 8);
  s[10] = static_cast<char>((height / 2) & 0xFF);
  s[11] = static_cast<char>((height / 2) >> 8);
  for (int i = 12; i < 256; ++i) s[i] = static_cast<char>(i * 7);
  return s;
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
  const long n = memoryKiB * 1024L - (static_cast<long>(width) * height + 256);
  const long fillers = n + 1 >= 0 ? (n + 1) / 128 + 1 : 0;
  s.append(static_cast<size_t>(fillers) * 128, static_cast<char>(0xFF));
  return s;
}

}  // namespace

// ---- waking, sleeping and node IDs ----

TEST(SimNodeWake, AnswersOnlyWhileAwake) {
  Node node(config(64, 26));
  EXPECT_FALSE(node.awake());
  EXPECT_EQ(node.feed("QXS"), "");
  EXPECT_EQ(node.feed("WK,1A"), "");
  EXPECT_TRUE(node.awake());
  EXPECT_EQ(node.feed("QXS"), "QX64K\r\n");
  EXPECT_EQ(node.feed("SP"), "");
  EXPECT_FALSE(node.awake());
  EXPECT_EQ(node.feed("QXS"), "");
  EXPECT_EQ(node.feed("WK,00QXS"), "QX64K\r\n");
}

TEST(SimNodeWake, WakeUpForAnotherIdPutsItToSleep) {
  Node node(config(512, 3));
  EXPECT_EQ(node.feed("WK,03QXS"), "QX512K\r\n");
  EXPECT_EQ(node.feed("WK,04QXS"), "");
  EXPECT_FALSE(node.awake());
  // Lower-case digits are not this node's wake-up.
  Node hexNode(config(64, 171));
  EXPECT_EQ(hexNode.feed("WK,abQXS"), "");
  EXPECT_EQ(hexNode.feed("WK,ABQXS"), "QX64K\r\n");
}

TEST(SimNodeWake, IdChangeTakesEffectForTheNextWakeUp) {
  Node node(config(64, 1));
  node.feed("WK,01ANI,2C");
  EXPECT_EQ(node.id(), 44);
  EXPECT_EQ(node.feed("WK,01QXS"), "");
  EXPECT_EQ(node.feed("WK,2CQXS"), "QX64K\r\n");
  // ID 00 is the broadcast address, never a node's own.
  node.feed("ANI,00");
  EXPECT_EQ(node.id(), 44);
  // A sleeping node ignores an ID change meant for the awake one.
  node.feed("SPANI,05");
  EXPECT_EQ(node.id(), 44);
}

// ---- answers and remembered settings ----

TEST(SimNodeCommands, CopyrightEraseAndSettings) {
  Node node;
  node.feed("WK,00");
  const std::string c = node.feed(std::string("ARC") + static_cast<char>(136));
  EXPECT_EQ(c.rfind("(C)", 0), 0u);
  // "ARC" without its byte 136 is no copyright request.
  EXPECT_EQ(node.feed("ARCxQXS"), "QX64K\r\n");

  EXPECT_EQ(node.feed("QXE"), "QXERA");
  EXPECT_EQ(node.erases(), 1);
  node.feed(std::string("AJ07") + std::string(3, '\0'));
  EXPECT_EQ(node.selectedLogo(), 7);
  node.feed("AHP5EAVP1E");
  EXPECT_EQ(node.horizontalPosition(), 94);
  EXPECT_EQ(node.verticalPosition(), 30);

  const std::string pos = {'\x80', '\x89', 30, 0, 94, 1};
  node.feed(pos);
  ASSERT_TRUE(node.lastPositionPacket().has_value());
  EXPECT_EQ(node.lastPositionPacket()->v, 30);
  EXPECT_EQ(node.lastPositionPacket()->h, 94 + 256);

  std::string packet = {'\x80', '\x82', '\x8A', '1', 16};
  std::vector<uint8_t> payload;
  for (int i = 0; i < 16; ++i) payload.push_back(static_cast<uint8_t>(i * 17));
  packet.append(payload.begin(), payload.end());
  packet += '\x03';
  node.feed(packet.substr(0, 1));  // the program writes the 128 on its own
  node.feed(packet.substr(1));
  EXPECT_EQ(node.settingsPacket(), payload);

  node.feed(
      "APAxAPIyAFRzACH\x05"
      "ACT04AT1");
  EXPECT_EQ(node.takeOn(), 'x');
  EXPECT_EQ(node.takeOff(), 'y');
  EXPECT_EQ(node.fadeRate(), 'z');
  EXPECT_EQ(node.chroma(), 5);
  EXPECT_EQ(node.model(), 4);
  EXPECT_EQ(node.takeState(), 1);
  EXPECT_EQ(node.feed("ASIARSACIALDACMAT0"), "");
  EXPECT_EQ(node.logoSaves(), 1);
  EXPECT_EQ(node.takeState(), 0);
}

TEST(SimNodeCommands, AsleepItRemembersNothing) {
  Node node;
  node.feed(std::string("AJ05") + std::string(3, '\0') + "AHP40QXE");
  EXPECT_EQ(node.selectedLogo(), 0);
  EXPECT_EQ(node.horizontalPosition(), -1);
  EXPECT_EQ(node.erases(), 0);
}

TEST(SimNodeCommands, PasswordEndsAtAForeignByteOrWhenTheLineGoesQuiet) {
  Node node;
  node.feed("WK,00AEPWsecret");
  EXPECT_EQ(node.password(), "");  // may go on
  node.quiet(Node::kPasswordQuietMs - 1);
  EXPECT_EQ(node.feed("7"), "");
  node.quiet(Node::kPasswordQuietMs);
  EXPECT_EQ(node.password(), "secret7");
  EXPECT_EQ(node.feed("QXS"), "QX64K\r\n");
  // A control byte ends it; the byte after it is read as a command again.
  EXPECT_EQ(node.feed("AEPWab\rQXS"), "QX64K\r\n");
  EXPECT_EQ(node.password(), "ab");
  // At most kPasswordMax characters.
  const std::string longText(Node::kPasswordMax, 'p');
  EXPECT_EQ(node.feed("AEPW" + longText + "QXS"), "QX64K\r\n");
  EXPECT_EQ(node.password(), longText);
}

// ---- the byte stream split anywhere ----

TEST(SimNodeStream, ChunkBoundariesDoNotMatter) {
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
    EXPECT_EQ(split.id(), 7);
    EXPECT_EQ(split.selectedLogo(), 3);
    EXPECT_EQ(split.horizontalPosition(), 34);
    ASSERT_TRUE(split.lastPositionPacket().has_value());
    EXPECT_EQ(split.lastPositionPacket()->h, 34);
    EXPECT_EQ(split.bytesReceived(), stream.size());
  }
}

TEST(SimNodeStream, GarbageIsSkippedWithoutLosingStep) {
  Node node;
  // Broken beginnings of real commands, then the real thing.
  const std::string junk = std::string("WK,0") + "WK,G1" + "QX" + "AR" + "AJ1" + "\x80\x82\x8A" +
                           "zzz" + "AJ12xxx" + std::string{'\x80', '\x82', '\x8A', '1', 2, 9, 9, 7};
  EXPECT_EQ(node.feed(junk + "WK,01QXS"), "QX64K\r\n");
  EXPECT_GT(node.bytesSkipped(), 0u);
  EXPECT_EQ(node.selectedLogo(), 0);
  EXPECT_TRUE(node.settingsPacket().empty());
}

TEST(SimNodeStream, RandomBytesNeverBreakTheNode) {
  Node node(config(64, 1));
  std::mt19937 rng(1234);
  std::string noise(120000, '\0');
  for (char& c : noise) c = static_cast<char>(rng() & 0xFF);
  for (size_t i = 0; i < noise.size(); i += 1000) {
    node.feed(noise.substr(i, 1000));
    ASSERT_LE(node.pendingBytes(), 5u + 255 + 1);  // the longest command: a settings packet
  }
  node.quiet(Node::kDownloadQuietMs);  // a "QXW" in the noise may have started a download
  EXPECT_FALSE(node.downloading());
  EXPECT_EQ(node.imageMemory().size(), 65536u);
  // Whatever the noise left half-begun, a clean stream still gets through after it: a
  // prefix no command continues from ("\x01" is no command byte) ends any partial command.
  EXPECT_EQ(node.feed(std::string(300, '\x01') + "WK,01QXS"), "QX64K\r\n");
}

// ---- download ----

TEST(SimNodeDownload, FullStreamIsStoredTopLineFirst) {
  Node node;
  node.feed("WK,00");
  const std::string stream = downloadStream(256, 64, 64);
  ASSERT_EQ(stream.size(), 259u + 64 * 256 + 383 * 128);
  std::mt19937 rng(3);
  EXPECT_EQ(feedInPieces(node, stream, rng, 700), "");
  EXPECT_FALSE(node.downloading());
  EXPECT_EQ(node.downloadsEnded(), 1);
  EXPECT_TRUE(node.lastDownloadComplete());
  EXPECT_EQ(node.imageWidth(), 256);
  EXPECT_EQ(node.imageHeight(), 64);
  const auto& setup = node.setupBlock();
  ASSERT_EQ(setup.size(), 256u);
  EXPECT_EQ(setup[0], 0x55);
  EXPECT_EQ(setup[8], 64);
  EXPECT_EQ(setup[10], 32);
  EXPECT_EQ(setup[255], static_cast<uint8_t>(255 * 7));
  const auto& mem = node.imageMemory();
  for (int r = 0; r < 64; ++r)
    for (int c = 0; c < 256; ++c)
      ASSERT_EQ(mem[r * 256 + c], static_cast<uint8_t>(pictureByte(r, c))) << r << "," << c;
  EXPECT_EQ(mem[64 * 256], 0xFF);
  EXPECT_EQ(node.downloadCount(), 64u * 256 + 383 * 128);
  // In step afterwards.
  EXPECT_EQ(node.feed("QXS"), "QX64K\r\n");
}

TEST(SimNodeDownload, LargeMemoryAndOddGeometry) {
  Node node(config(512));
  node.feed("WK,00");
  const std::string stream = downloadStream(720, 480, 512);
  node.feed(stream);
  EXPECT_EQ(node.downloadsEnded(), 1);
  EXPECT_TRUE(node.lastDownloadComplete());
  EXPECT_EQ(node.imageWidth(), 720);
  EXPECT_EQ(node.imageHeight(), 480);
  EXPECT_EQ(node.imageMemory()[479 * 720 + 719], static_cast<uint8_t>(pictureByte(479, 719)));
  EXPECT_EQ(node.feed("QXS"), "QX512K\r\n");
}

TEST(SimNodeDownload, PictureLargerThanMemoryIsCutAndTheNodeStaysInStep) {
  Node node(config(64));
  node.feed("WK,00");
  // 512 x 256 = 131072 bytes: twice the memory, no fillers.
  node.feed(downloadStream(512, 256, 64));
  EXPECT_EQ(node.downloadsEnded(), 1);
  EXPECT_EQ(node.imageMemory().size(), 65536u);
  EXPECT_EQ(node.imageMemory()[65535], static_cast<uint8_t>(pictureByte(127, 511)));
  EXPECT_EQ(node.feed("QXS"), "QX64K\r\n");
}

TEST(SimNodeDownload, SleepingNodeStepsOverAnotherNodesDownload) {
  Node node(config(64, 2));
  const std::vector<uint8_t> before = node.imageMemory();
  // The picture is full of command-like bytes; a sleeping node must not act on them.
  std::string stream = "QXW" + setupBlock(8, 2);
  stream += "WK,02QXS";
  stream += "ANI,09QX";
  const long n = 65536 - (16 + 256);
  stream.append(static_cast<size_t>((n + 1) / 128 + 1) * 128, static_cast<char>(0xFF));
  EXPECT_EQ(node.feed(stream), "");
  EXPECT_FALSE(node.awake());
  EXPECT_EQ(node.id(), 2);
  EXPECT_EQ(node.imageMemory(), before);
  EXPECT_TRUE(node.setupBlock().empty());
  EXPECT_EQ(node.feed("WK,02QXS"), "QX64K\r\n");
}

TEST(SimNodeDownload, ShortFillerRunEndsAtTheFirstCommandByte) {
  Node node;
  node.feed("WK,00");
  std::string stream = downloadStream(256, 64, 64);
  stream.resize(stream.size() - 100);  // the last filler block is cut short
  EXPECT_EQ(node.feed(stream + "QXS"), "QX64K\r\n");
  EXPECT_EQ(node.downloadsEnded(), 1);
  EXPECT_FALSE(node.lastDownloadComplete());
}

TEST(SimNodeDownload, StalledDownloadEndsWhenTheLineGoesQuiet) {
  Node node;
  node.feed("WK,00");
  node.feed(downloadStream(256, 64, 64).substr(0, 5000));
  EXPECT_TRUE(node.downloading());
  node.quiet(Node::kDownloadQuietMs - 1);
  EXPECT_TRUE(node.downloading());
  node.quiet(Node::kDownloadQuietMs);
  EXPECT_FALSE(node.downloading());
  EXPECT_FALSE(node.lastDownloadComplete());
  EXPECT_EQ(node.imageMemory()[0], static_cast<uint8_t>(pictureByte(0, 0)));
  EXPECT_EQ(node.feed("QXS"), "QX64K\r\n");
}

TEST(SimNodeDownload, EraseClearsThePicture) {
  Node node;
  node.feed("WK,00");
  node.feed(downloadStream(16, 2, 64));
  EXPECT_NE(node.imageMemory()[1], 0xFF);
  node.feed("QXE");
  for (uint8_t b : node.imageMemory()) ASSERT_EQ(b, 0xFF);
}

// ---- read-back ----

TEST(SimNodeReadBack, MonochromeStreamInFieldOrder) {
  Node node;
  EXPECT_EQ(node.feed("ARM"), "");  // asleep
  const std::string s = node.feed("WK,00ARM");
  ASSERT_EQ(s.size(), 2052u);
  const size_t marker = s.find("SD");
  ASSERT_EQ(marker, 2u);
  const std::string image = s.substr(marker + 2);
  // Rebuild the rows from the field order and compare with the built-in pattern.
  size_t k = 0;
  for (int first : {62, 63})
    for (int r = first; r >= 0; r -= 2)
      for (int c = 0; c < 32; ++c, ++k)
        ASSERT_EQ(static_cast<uint8_t>(image[k]), Node::patternByte(r, c))
            << "row " << r << " byte " << c;
  // Rows differ, so a wrong order could not pass the loop above by chance.
  EXPECT_NE(Node::patternByte(62, 5), Node::patternByte(63, 5));
  EXPECT_NE(Node::patternByte(1, 5), Node::patternByte(2, 5));
}

TEST(SimNodeReadBack, ColourStreamKeepsValuesUnchanged) {
  Node node(config(64, 1, true));
  const std::string s = node.feed("WK,01ARM");
  ASSERT_EQ(s.size(), 8196u);
  ASSERT_EQ(s.find("SC"), 2u);
  const auto& logo = node.storedLogo();
  // First byte: row 62, first stored byte; the second field starts with row 63.
  EXPECT_EQ(static_cast<uint8_t>(s[4]), logo[62 * 128]);
  EXPECT_EQ(static_cast<uint8_t>(s[4 + 32 * 128]), logo[63 * 128]);
  // Each bitmap bit is one 4-bit index: pixel 0 of row 0 is set by the frame.
  EXPECT_EQ(logo[0] >> 4, 1);
}

TEST(SimNodeReadBack, LogoFromABitmapFile) {
  // A 256 x 64 1-bit bitmap with only the bottom-left pixel set.
  std::string bmp = "BM";
  const auto put = [&bmp](uint32_t v, int n) {
    for (int k = 0; k < n; ++k) bmp += static_cast<char>((v >> (8 * k)) & 0xFF);
  };
  put(62 + 2048, 4);
  put(0, 4);
  put(62, 4);
  put(40, 4);
  put(256, 4);
  put(64, 4);
  put(1, 2);
  put(1, 2);
  put(0, 4);
  put(2048, 4);
  for (int k = 0; k < 4; ++k) put(0, 4);  // resolution and palette counts
  put(0, 4);
  put(0xFFFFFF, 4);
  std::string pixels(2048, '\0');
  pixels[0] = static_cast<char>(0x80);
  bmp += pixels;
  std::vector<uint8_t> rows;
  std::string error;
  ASSERT_TRUE(osd::sim::parseLogoBitmap(bmp, rows, error)) << error;
  Node node;
  node.setLogoBitmap(rows);
  const std::string s = node.feed("WK,00ARM");
  // Row 0 is the last row of the first field: 31 rows after the start.
  EXPECT_EQ(static_cast<uint8_t>(s[4 + 31 * 32]), 0x80);
  EXPECT_EQ(static_cast<uint8_t>(s[4]), 0x00);

  // Wrong sizes and depths are refused with a reason.
  std::string wide = bmp;
  wide[18] = 0;
  wide[19] = 2;  // 512 wide
  EXPECT_FALSE(osd::sim::parseLogoBitmap(wide, rows, error));
  EXPECT_NE(error.find("256 x 64"), std::string::npos);
  EXPECT_FALSE(osd::sim::parseLogoBitmap(bmp.substr(0, 1000), rows, error));
  EXPECT_FALSE(osd::sim::parseLogoBitmap("nonsense", rows, error));
}

// The simulated node on a real pseudo-terminal, opened the way a program opens a serial port.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "sim/pty_node.h"

using osd::sim::PtyNode;
using osd::sim::PtyOptions;
using Clock = std::chrono::steady_clock;

namespace {

int openPort(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return fd;
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

void writeAll(int fd, const std::string& s) {
  size_t done = 0;
  while (done < s.size()) {
    const ssize_t w = ::write(fd, s.data() + done, s.size() - done);
    ASSERT_GT(w, 0);
    done += static_cast<size_t>(w);
  }
}

// Reads until `want` bytes have come or `timeoutMs` has passed.
std::string readFor(int fd, size_t want, int timeoutMs) {
  std::string got;
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char buf[4096];
  while (got.size() < want) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    if (p.revents & (POLLHUP | POLLERR)) break;
    const ssize_t n = ::read(fd, buf, std::min(sizeof buf, want - got.size()));
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

std::string tempPath(const std::string& name) {
  return ::testing::TempDir() + "sim_pty_" + std::to_string(::getpid()) + "_" + name;
}

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<uint8_t>(s[at + k]);
  return v;
}

}  // namespace

TEST(SimPty, AnswersTheSizeRequestOverTheTerminal) {
  PtyOptions opt;
  opt.baud = 0;
  PtyNode node(opt);
  node.start();
  ASSERT_EQ(node.devicePath().rfind("/dev/", 0), 0u);
  const int fd = openPort(node.devicePath());
  ASSERT_GE(fd, 0);
  writeAll(fd, "QXS");  // asleep: no answer
  writeAll(fd, "WK,00QXS");
  EXPECT_EQ(readFor(fd, 7, 2000), "QX64K\r\n");
  ::close(fd);
  node.stop();
  EXPECT_FALSE(node.running());
}

TEST(SimPty, KeepsWorkingWhenThePortIsClosedAndOpenedAgain) {
  PtyOptions opt;
  opt.baud = 0;
  opt.node.memoryKiB = 512;
  PtyNode node(opt);
  node.start();
  int fd = openPort(node.devicePath());
  ASSERT_GE(fd, 0);
  writeAll(fd, "WK,01QXS");
  EXPECT_EQ(readFor(fd, 8, 2000), "QX512K\r\n");
  ::close(fd);
  fd = openPort(node.devicePath());
  ASSERT_GE(fd, 0);
  writeAll(fd, "QXE");
  EXPECT_EQ(readFor(fd, 5, 2000), "QXERA");
  ::close(fd);
  bool awake = false;
  node.inspect([&](const osd::sim::Node& n) { awake = n.awake(); });
  EXPECT_TRUE(awake);
}

TEST(SimPty, PacingHoldsTheLineToItsBaudRate) {
  PtyOptions opt;
  opt.baud = 9600;  // 960 bytes a second
  PtyNode node(opt);
  node.start();
  const int fd = openPort(node.devicePath());
  ASSERT_GE(fd, 0);
  // 960 bytes in all: about one second on the line, a little less for the line's slack.
  const std::string stream = std::string(952, 'x') + "WK,00QXS";
  const auto t0 = Clock::now();
  writeAll(fd, stream);
  EXPECT_EQ(readFor(fd, 7, 3000), "QX64K\r\n");
  const double s = std::chrono::duration<double>(Clock::now() - t0).count();
  EXPECT_GT(s, 0.9);
  EXPECT_LT(s, 1.6);
  ::close(fd);
}

TEST(SimPty, UnpacedNodeTakesBytesAtOnce) {
  PtyOptions opt;
  opt.baud = 0;
  PtyNode node(opt);
  node.start();
  const int fd = openPort(node.devicePath());
  ASSERT_GE(fd, 0);
  const auto t0 = Clock::now();
  writeAll(fd, std::string(952, 'x') + "WK,00QXS");
  EXPECT_EQ(readFor(fd, 7, 3000), "QX64K\r\n");
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - t0).count(), 0.5);
  ::close(fd);
}

TEST(SimPty, RecordsBytesAndWritesTheReceivedPicture) {
  PtyOptions opt;
  opt.baud = 0;
  opt.recordPath = tempPath("record.bin");
  opt.imageOutPath = tempPath("picture.bmp");
  opt.format = osd::PixelFormat::Rgb;
  std::remove(opt.recordPath.c_str());
  std::remove(opt.imageOutPath.c_str());
  PtyNode node(opt);
  node.start();
  const int fd = openPort(node.devicePath());
  ASSERT_GE(fd, 0);
  // An 8 x 4 picture: top line red, the rest transparent except a blue bottom-right pixel.
  std::string setup(256, '\0');
  setup[8] = 2;   // 8 / 4
  setup[10] = 2;  // 4 / 2
  std::string picture(32, '\0');
  for (int c = 0; c < 8; ++c) picture[c] = static_cast<char>(128 + 3);
  picture[31] = static_cast<char>(128 + 48);
  const long n = 65536 - (32 + 256);
  const std::string fillers(static_cast<size_t>((n + 1) / 128 + 1) * 128, static_cast<char>(0xFF));
  const std::string stream = "WK,00QXW" + setup + picture + fillers;
  writeAll(fd, stream);
  writeAll(fd, "QXS");
  EXPECT_EQ(readFor(fd, 7, 3000), "QX64K\r\n");

  const std::string bmp = fileBytes(opt.imageOutPath);
  ASSERT_EQ(bmp.size(), 54u + 4 * 24);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(le32(bmp, 18), 8u);
  EXPECT_EQ(le32(bmp, 22), 4u);
  // The file is bottom-up: its last row is the picture's top line (red, stored B, G, R).
  const size_t top = 54 + 3 * 24;
  EXPECT_EQ(static_cast<uint8_t>(bmp[top + 2]), 255);
  EXPECT_EQ(static_cast<uint8_t>(bmp[top + 0]), 0);
  // Its first row is the bottom line: blue in the last column.
  EXPECT_EQ(static_cast<uint8_t>(bmp[54 + 7 * 3 + 0]), 255);
  EXPECT_EQ(static_cast<uint8_t>(bmp[54 + 7 * 3 + 2]), 0);
  ::close(fd);
  node.stop();
  EXPECT_EQ(fileBytes(opt.recordPath), stream + "QXS");
}

TEST(SimPty, HangsUpAfterTheGivenNumberOfBytes) {
  PtyOptions opt;
  opt.baud = 0;
  opt.hangupAfter = 100;
  PtyNode node(opt);
  node.start();
  const int fd = openPort(node.devicePath());
  ASSERT_GE(fd, 0);
  writeAll(fd, std::string(200, 'x'));
  const auto end = Clock::now() + std::chrono::seconds(2);
  while (!node.hungUp() && Clock::now() < end) ::usleep(10000);
  EXPECT_TRUE(node.hungUp());
  uint64_t received = 0;
  node.inspect([&](const osd::sim::Node& n) { received = n.bytesReceived(); });
  EXPECT_EQ(received, 100u);
  // The program's side sees the line gone.
  pollfd p{fd, POLLIN, 0};
  EXPECT_EQ(::poll(&p, 1, 1000), 1);
  EXPECT_TRUE(p.revents & (POLLHUP | POLLERR));
  ::close(fd);
}

TEST(SimPty, BabblingNodeSendsWithoutPause) {
  PtyOptions opt;
  opt.baud = 0;
  opt.babble = true;
  PtyNode node(opt);
  node.start();
  const int fd = openPort(node.devicePath());
  ASSERT_GE(fd, 0);
  const std::string got = readFor(fd, 20000, 2000);
  EXPECT_EQ(got.size(), 20000u);
  // Still a node: it takes commands between the noise.
  writeAll(fd, "WK,00QXE");
  bool erased = false;
  const auto end = Clock::now() + std::chrono::seconds(2);
  while (!erased && Clock::now() < end) {
    readFor(fd, 4096, 10);
    node.inspect([&](const osd::sim::Node& n) { erased = n.erases() == 1; });
  }
  EXPECT_TRUE(erased);
  ::close(fd);
  node.stop();
}

TEST(SimPicture, OnlyRowsHeldInMemoryAreDrawn) {
  osd::sim::Node node;
  std::string setup(256, '\0');
  setup[8] = 0;
  setup[9] = 1;  // 256 / 4 -> 1024 pixels wide
  setup[10] = static_cast<char>(0xE8);
  setup[11] = 3;  // 1000 / 2 -> 2000 lines
  node.feed("WK,00QXW" + setup + std::string(5000, 'a'));
  const std::string bmp = PtyNode::pictureBmp(node, osd::PixelFormat::YCbCr);
  // 64 K holds 64 lines of 1024.
  ASSERT_EQ(bmp.size(), 54u + 64 * 1024 * 3);
  EXPECT_EQ(le32(bmp, 22), 64u);
  // The top line (first received) decodes as the node view decodes it.
  const auto px = osd::decodeNodeValues({'a', 'a'}, osd::PixelFormat::YCbCr);
  const size_t top = 54 + 63 * 1024 * 3;
  EXPECT_EQ(static_cast<uint8_t>(bmp[top + 2]), px[0].r);
  EXPECT_EQ(static_cast<uint8_t>(bmp[top + 1]), px[0].g);
  EXPECT_EQ(static_cast<uint8_t>(bmp[top + 0]), px[0].b);

  // A width beyond the whole memory leaves nothing to draw.
  osd::sim::Node wide;
  setup[8] = static_cast<char>(0xFF);
  setup[9] = static_cast<char>(0xFF);
  wide.feed("WK,00QXW" + setup + std::string(100, 'a'));
  EXPECT_EQ(wide.imageWidth(), 65535 * 4);
  EXPECT_TRUE(PtyNode::pictureBmp(wide, osd::PixelFormat::Rgb).empty());
  // No download yet: no picture.
  EXPECT_TRUE(PtyNode::pictureBmp(osd::sim::Node(), osd::PixelFormat::Rgb).empty());
}

TEST(SimPty, UnreadAnswersStayBounded) {
  PtyOptions opt;
  opt.baud = 0;
  PtyNode node(opt);
  node.start();
  const int fd = openPort(node.devicePath());
  ASSERT_GE(fd, 0);
  // 5000 read-back requests would be over 10 MB of answers; nobody reads them meanwhile.
  std::string flood = "WK,00";
  for (int k = 0; k < 5000; ++k) flood += "ARM";
  writeAll(fd, flood);
  const auto end = Clock::now() + std::chrono::seconds(2);
  uint64_t received = 0;
  while (received < flood.size() && Clock::now() < end) {
    ::usleep(10000);
    node.inspect([&](const osd::sim::Node& n) { received = n.bytesReceived(); });
  }
  EXPECT_EQ(received, flood.size());
  const std::string got = readFor(fd, 20u << 20, 300);
  EXPECT_GT(got.size(), 2052u * 100);
  EXPECT_LT(got.size(), (1u << 20) + (256u << 10));  // the queue plus the terminal's buffer
  EXPECT_EQ(got.substr(2, 2), "SD");
  ::close(fd);
}

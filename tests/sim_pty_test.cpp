// The simulated node on a real pseudo-terminal, opened the way a program opens a serial port:
// a bounded answer queue; and the picture it draws of its memory. (Its answers, record and
// picture files are exercised through osdsim by the end-to-end tests.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "image/node_view.h"
#include "sim/pty_node.h"

using osd::sim::PtyNode;
using osd::sim::PtyOptions;

namespace {

// The program's end of the node's terminal, raw; closed at the end.
struct Port {
  explicit Port(const std::string& path) : fd(::open(path.c_str(), O_RDWR | O_NOCTTY)) {
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
  }
  ~Port() { ::close(fd); }
  void write(const std::string& s) const {
    for (size_t done = 0; done < s.size();) {
      const ssize_t w = ::write(fd, s.data() + done, s.size() - done);
      ASSERT_GT(w, 0);
      done += static_cast<size_t>(w);
    }
  }
  // Reads until `want` bytes came or the line was quiet for `quietMs`.
  std::string read(size_t want, int quietMs = 3000) const {
    std::string got;
    char buf[4096];
    while (got.size() < want) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, quietMs) <= 0 || (p.revents & (POLLHUP | POLLERR))) break;
      const ssize_t n = ::read(fd, buf, std::min(sizeof buf, want - got.size()));
      if (n <= 0) break;
      got.append(buf, static_cast<size_t>(n));
    }
    return got;
  }
  int fd;
};

// Waits (at most 3 s) until `done` holds for the node.
bool nodeSoon(PtyNode& node, const std::function<bool(const osd::sim::Node&)>& done) {
  bool ok = false;
  for (int k = 0; k < 300 && !ok; ++k) {
    node.inspect([&](const osd::sim::Node& n) { ok = done(n); });
    if (!ok) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return ok;
}

PtyOptions unpaced() {
  PtyOptions o;
  o.baud = 0;
  return o;
}

}  // namespace

TEST(SimPty, UnreadAnswersStayBounded) {
  PtyNode node(unpaced());
  node.start();
  Port port(node.devicePath());
  // 5000 read-back requests would be over 10 MB of answers; nobody reads them meanwhile.
  std::string flood = "WK,00";
  for (int k = 0; k < 5000; ++k) flood += "ARM";
  port.write(flood);
  EXPECT_TRUE(
      nodeSoon(node, [&](const osd::sim::Node& n) { return n.bytesReceived() == flood.size(); }));
  const std::string got = port.read(20u << 20, 300);
  EXPECT_GT(got.size(), 2052u * 100);
  EXPECT_LT(got.size(), (1u << 20) + (256u << 10));  // the queue plus the terminal's buffer
  EXPECT_EQ(got.substr(2, 2), "SD");
}

TEST(SimPicture, OnlyRowsHeldInMemoryAreDrawn) {
  std::string setup(256, '\0');
  setup[9] = 1;  // 256 / 4 -> 1024 pixels wide
  setup[10] = static_cast<char>(0xE8);
  setup[11] = 3;  // 1000 / 2 -> 2000 lines
  osd::sim::Node node;
  node.feed("WK,00QXW" + setup + std::string(5000, 'a'));
  const std::string bmp = PtyNode::pictureBmp(node, osd::PixelFormat::YCbCr);
  ASSERT_EQ(bmp.size(), 54u + 64 * 1024 * 3);  // 64 K holds 64 lines of 1024
  // The top line (first received) decodes as the node view decodes it.
  const auto px = osd::decodeNodeValues({'a', 'a'}, osd::PixelFormat::YCbCr);
  EXPECT_EQ(bmp.substr(54 + 63 * 1024 * 3, 3),
            std::string({char(px[0].b), char(px[0].g), char(px[0].r)}));
  // A width beyond the whole memory leaves nothing to draw; so does no download at all.
  setup[8] = setup[9] = static_cast<char>(0xFF);
  osd::sim::Node wide;
  wide.feed("WK,00QXW" + setup + std::string(100, 'a'));
  EXPECT_TRUE(PtyNode::pictureBmp(wide, osd::PixelFormat::Rgb).empty());
  EXPECT_TRUE(PtyNode::pictureBmp(osd::sim::Node(), osd::PixelFormat::Rgb).empty());
}

// Faults on a real pseudo-terminal, with the program's logic on the Qt seams as osdctl drives
// it: the node vanishes in the middle of a download and comes back, and a node babbles
// random bytes without a pause.
//
// The port number stands for a link to the node's terminal, as /dev/serial/by-id links stand
// for USB adapters: when the node comes back on another terminal the link is moved to it.
// OSD_BABBLE_SECONDS sets how long the node babbles (default 15).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "logo_bitmap.h"
#include "qtplatform/headless.h"
#include "qtplatform/port_map.h"
#include "qtplatform/qt_event_loop.h"
#include "qtplatform/qt_serial_port.h"
#include "settings/ini_settings.h"
#include "shell/app.h"
#include "sim/pty_node.h"

using namespace osd;
using osd::test::makeBitmap24;
using osd::test::stripedLogo;
namespace fs = std::filesystem;

namespace {

constexpr int kPort = 7;

void ensureApplication() {
  static int argc = 1;
  static char name[] = "osd_e2e_tests";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

struct TempDir {
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "osd-faults-e2e-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    path = ::mkdtemp(buf.data());
    fs::create_directories(path + "/Images");
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string path;
};

// Points `link` at `target` in one step (a new link renamed over the old one).
void pointLink(const std::string& link, const std::string& target) {
  const std::string tmp = link + ".new";
  std::error_code ec;
  fs::remove(tmp, ec);
  fs::create_symlink(target, tmp);
  fs::rename(tmp, link);
}

long residentKiB() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// The program's logic on the Qt seams without a window: the pieces osdctl's host wires.
class Program {
 public:
  explicit Program(const TempDir& dir) : ini_(dir.path + "/settings.ini", kAppKey) {
    ensureApplication();
    qt::PortMap map;
    map.set(kPort, dir.path + "/node");
    port_ = std::make_unique<qt::QtSerialPort>(map);
    platform_ = std::make_unique<Platform>(
        Platform{*port_, loop_, ini_, dialogs_, launcher_, dir.path, dir.path});
    app_ = std::make_unique<App>(*platform_);
  }
  ~Program() {
    app_->link().closeAtExit();
    app_.reset();
  }
  App& app() { return *app_; }
  qt::QtSerialPort& port() { return *port_; }
  qt::QtEventLoop& loop() { return loop_; }

  // Opens the port as osdctl does and marks it usable.
  bool open() {
    app_->link().select(kPort);
    app_->link().open();
    if (!port_->isOpen()) return false;
    loop_.setTimerEnabled(TimerId::ComInit, false);
    app_->link().setValid(true);
    return true;
  }
  // Runs the event loop (with the 25 ms tick unless `tick` is false) until `done` or `ms`
  // passed.
  bool runUntil(const std::function<bool()>& done, int ms, bool tick = true) {
    loop_.setTimerEnabled(TimerId::Delay, tick);
    QElapsedTimer t;
    t.start();
    while (!done()) {
      if (t.elapsed() > ms) return false;
      loop_.yield();
    }
    return true;
  }
  // Loads `bitmap` into slot 1 for an RGB download, as the window's slot loading does.
  bool loadLogo(const std::string& bitmap) {
    app_->selectedSlot = 1;
    app_->ui().setChecked("optRGB(0)", true);
    app_->ui().setChecked("optRGB(1)", false);
    std::string file = bitmap;
    if (app_->readFile(file) != 0) return false;
    for (int k = 0; k <= 15; ++k) app_->ui().setChecked(indexed("optLOGO", k), k == 1);
    return true;
  }

 private:
  IniSettings ini_;
  std::unique_ptr<qt::QtSerialPort> port_;
  qt::QtEventLoop loop_;
  qt::HeadlessDialogs dialogs_;
  qt::QtLauncher launcher_;
  std::unique_ptr<Platform> platform_;
  std::unique_ptr<App> app_;
};

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A simulated 64 K node that records every byte it receives in `record`.
std::unique_ptr<sim::PtyNode> startNode(int64_t hangupAfter, const std::string& record) {
  sim::PtyOptions o;
  o.node.memoryKiB = 64;
  o.baud = 0;  // as fast as the terminal goes
  o.hangupAfter = hangupAfter;
  o.recordPath = record;
  auto node = std::make_unique<sim::PtyNode>(o);
  node->start();
  return node;
}

}  // namespace

TEST(NodeFaultsE2E, NodeVanishesMidDownloadThenReturnsAndTheNextDownloadWorks) {
  TempDir dir;
  const std::string logo = dir.path + "/logo.bmp";
  {
    std::ofstream out(logo, std::ios::binary);
    out << makeBitmap24(256, 64, [](int r, int c) { return stripedLogo(r, c, 256); });
  }
  // The node hangs up after 3000 bytes: in the middle of the picture's rows.
  auto first = startNode(3000, dir.path + "/first.rec");
  pointLink(dir.path + "/node", first->devicePath());

  Program p(dir);
  ASSERT_TRUE(p.open());
  App& app = p.app();
  app.session().setMemorySize(64 * 1024);
  app.session().setLargeMemory(false);
  ASSERT_TRUE(p.loadLogo(logo)) << app.ui().text("lblErrTxt");
  app.dispatcher().wakeAll();
  app.dismissError();

  QElapsedTimer clock;
  clock.start();
  app.runDownload();
  const qint64 firstMs = clock.elapsed();
  EXPECT_TRUE(first->hungUp());
  EXPECT_FALSE(app.downloading);
  // The program said so.
  EXPECT_TRUE(p.runUntil([&] { return app.ui().visible("frameError"); }, 3000));
  const std::string reported = app.ui().text("frameError") + ": " + app.ui().text("lblErrTxt");
  EXPECT_FALSE(app.ui().text("lblErrTxt").empty());
  std::printf("[ figures  ] first download stopped after %lld ms: %s\n",
              static_cast<long long>(firstMs), reported.c_str());
  EXPECT_TRUE(p.runUntil([&] { return !p.port().isOpen(); }, 3000));

  // Nobody there for two seconds: the program keeps trying without a fuss.
  p.runUntil([] { return false; }, 2000);
  EXPECT_FALSE(p.port().isOpen());

  // The node returns on a new terminal; the reconnect finds it and wakes it.
  const std::string record = dir.path + "/second.rec";
  auto second = startNode(-1, record);
  pointLink(dir.path + "/node", second->devicePath());
  clock.restart();
  ASSERT_TRUE(p.runUntil([&] { return p.port().isOpen() && app.link().valid(); }, 20000))
      << "the port did not come back";
  std::printf("[ figures  ] port back %lld ms after the node returned\n",
              static_cast<long long>(clock.elapsed()));
  EXPECT_TRUE(p.runUntil([&] { return slurp(record).find("WK,00") != std::string::npos; }, 5000))
      << "the returned node was not woken";

  // The next download goes through whole.
  app.dismissError();
  app.session().restartNodePoll();
  app.runDownload();
  EXPECT_FALSE(app.downloading);
  EXPECT_FALSE(app.ui().visible("frameError")) << app.ui().text("lblErrTxt");
  // Nothing else goes on the line now (the node poll waits for the tick).
  // "QXW", 256 setup bytes, 64 rows of 256 values, 383 fillers of 128 bytes (65536 bytes of
  // memory): the whole stream reaches the node.
  const size_t expected = 3 + 256 + 256 * 64 + 383 * 128;
  size_t got = 0;
  EXPECT_TRUE(p.runUntil(
      [&] {
        const std::string bytes = slurp(record);
        const size_t at = bytes.find("QXW");
        got = at == std::string::npos ? 0 : bytes.size() - at;
        return got >= expected;
      },
      20000, false));
  EXPECT_EQ(got, expected);
  EXPECT_GE(slurp(dir.path + "/first.rec").size(), 3000u);
}

TEST(NodeFaultsE2E, BabblingNodeKeepsMemoryBoundedSlow) {
  const char* env = std::getenv("OSD_BABBLE_SECONDS");
  const int seconds = env ? std::max(1, std::atoi(env)) : 15;
  TempDir dir;
  // The node's end of the line is ours: random bytes without a pause, then a real answer.
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  pointLink(dir.path + "/node", ::ptsname(master));
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

  Program p(dir);
  ASSERT_TRUE(p.open());
  App& app = p.app();

  std::atomic<bool> stop{false};
  std::atomic<long long> sent{0};
  std::thread babbler([&] {
    std::mt19937 rng(12345);
    std::vector<char> out(4096), in(4096);
    while (!stop) {
      for (char& c : out) c = static_cast<char>(rng() & 0xFF);
      const ssize_t w = ::write(master, out.data(), out.size());
      if (w > 0) sent += w;
      // What the program sends is read and dropped, so its writes never stall.
      while (::read(master, in.data(), in.size()) > 0) {
      }
      // No pause in the stream, but a short rest between blocks of 4 KB keeps the babble
      // (up to 4 MB a second, thousands of times what the line carries) from taking a
      // whole core from the other tests that run at the same time.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });

  const long rssBefore = residentKiB();
  long rssMax = rssBefore;
  size_t bufferMax = 0;
  int64_t waitingMax = 0;
  int samples = 0;
  int closings = 0;
  bool wasOpen = true;
  p.runUntil(
      [&] {
        // Babble is no answer: every 30 s the node watchdog closes the port and the next
        // wake-up opens it again, as for a silent node.
        const bool open = p.port().isOpen();
        if (wasOpen && !open) ++closings;
        wasOpen = open;
        rssMax = std::max(rssMax, residentKiB());
        bufferMax = std::max(bufferMax, app.session().buffered().size());
        waitingMax = std::max(waitingMax, p.port().bytesAvailable());
        ++samples;
        return false;
      },
      seconds * 1000);
  stop = true;
  babbler.join();
  std::printf(
      "[ figures  ] %d s of babble: %lld bytes sent, RSS %ld -> %ld KiB, receive buffer at most "
      "%zu, port at most %lld waiting, %d samples, port closed %d times\n",
      seconds, sent.load(), rssBefore, rssMax, bufferMax, static_cast<long long>(waitingMax),
      samples, closings);
  EXPECT_GT(sent.load(), 100000 * seconds);
  EXPECT_LE(bufferMax, 64u * 1024u);
  EXPECT_LE(waitingMax, 1024 * 1024);
  EXPECT_LT(rssMax - rssBefore, 64 * 1024) << "memory grew by more than 64 MiB";
  EXPECT_LE(closings, seconds / 30 + 1);
  EXPECT_TRUE(p.runUntil([&] { return p.port().isOpen(); }, 10000)) << "the port stayed closed";

  // Quiet again: the tail of the babble is taken as one garbled answer; then the size
  // answer of a 512 K node is processed as usual.
  p.runUntil([] { return false; }, 500);
  char in[4096];
  while (::read(master, in, sizeof in) > 0) {
  }
  app.session().setMemorySize(0);
  // Twice, so that the receive event fires (it waits for 11 bytes).
  const std::string answer = "QX512K\r\nQX512K\r\n";
  ASSERT_EQ(::write(master, answer.data(), answer.size()), static_cast<ssize_t>(answer.size()));
  EXPECT_TRUE(p.runUntil([&] { return app.session().memorySize() == 512 * 1024; }, 5000))
      << "the answer after the babble was not processed; diag: " << app.ui().text("lblDiag");
  EXPECT_NE(app.ui().title().find("512K"), std::string::npos);
  ::close(master);
}

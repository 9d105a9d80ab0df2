// Faults on a real pseudo-terminal with the program's logic on osdctl's Qt seams. Port 7 is a
// link to the node's terminal (as /dev/serial/by-id links are): a node that comes back on
// another terminal gets the link moved to it. OSD_BABBLE_SECONDS: how long a node babbles.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <thread>

#include "ctl/ctl_host.h"
#include "e2e_support.h"
#include "shell/app.h"
#include "support/bmp_builder.h"

using namespace osd;
using namespace osd::e2e;
namespace fs = std::filesystem;

namespace {

// Points `link` at `target` in one step (a new link renamed over the old one).
void pointLink(const std::string& link, const std::string& target) {
  std::error_code ec;
  fs::remove(link + ".new", ec);
  fs::create_symlink(target, link + ".new");
  fs::rename(link + ".new", link);
}

// The window's logic on osdctl's Qt seams: port 7, a link in `dir` to the node's terminal.
struct Window {
  explicit Window(const TempDir& dir)
      : host(
            ctl::HostOptions{"7", "7=" + dir.path + "/node", dir.path + "/settings.ini", dir.path}),
        pf{host.port(),    host.loop(),    host.settings(), host.dialogs(), host.launcher(),
           host.dataDir(), host.dataDir(), nullptr,         &host.bench()},
        app(pf),
        opened(host.openPort(app.link()) == 0) {}
  ~Window() { app.link().closeAtExit(); }
  ctl::Host host;
  Platform pf;
  App app;
  bool opened;
};

}  // namespace

TEST(NodeFaultsE2E, NodeVanishesMidDownloadThenReturnsAndTheNextDownloadWorksSlow) {
  TempDir dir;
  writeBytes(dir.path + "/logo.bmp", test::makeBitmap24(256, 64, [](int r, int c) {
               return test::stripedLogo(r, c, 256);
             }));
  // The node hangs up after 3000 bytes: in the middle of the picture's rows.
  Sim first({"--baud", "0", "--hangup-after", "3000"});
  pointLink(dir.path + "/node", first.pty());
  Window window(dir);
  ASSERT_TRUE(window.opened);
  ctl::Host* host = &window.host;
  App& app = window.app;
  app.session().setMemorySize(64 * 1024);
  app.session().setLargeMemory(false);
  app.bench().logos().selected = 1;
  app.choices().chooseFormat(PixelFormat::Rgb);
  std::string file = dir.path + "/logo.bmp";
  ASSERT_EQ(app.logos().readFile(file), 0) << app.statusLine().view().errorText;
  app.dispatcher().wakeAll();
  app.statusLine().dismissError();

  app.download().run();
  EXPECT_FALSE(app.download().lineHeld());
  EXPECT_TRUE(host->runUntil([&] { return app.statusLine().view().errorShown; }, 3000));
  EXPECT_FALSE(app.statusLine().view().errorText.empty());
  EXPECT_TRUE(host->runUntil([&] { return !host->port().isOpen(); }, 3000));

  // The node returns on a new terminal; the reconnect finds it and wakes it.
  const std::string record = dir.path + "/second.rec";
  Sim second({"--baud", "0", "--record", record});
  pointLink(dir.path + "/node", second.pty());
  ASSERT_TRUE(host->runUntil([&] { return host->port().isOpen() && app.link().valid(); }, 20000));
  EXPECT_TRUE(
      host->runUntil([&] { return slurp(record).find("WK,00") != std::string::npos; }, 5000));

  // The next download goes through whole: "QXW", 256 setup bytes, 64 rows of 256 values and
  // 383 fillers of 128 bytes (65536 bytes of memory) reach the node, and nothing else.
  app.statusLine().dismissError();
  app.download().run();
  EXPECT_FALSE(app.statusLine().view().errorShown) << app.statusLine().view().errorText;
  host->loop().setTimerEnabled(TimerId::Delay, false);  // no node poll after it
  const size_t expected = 3 + 256 + 256 * 64 + 383 * 128;
  auto downloaded = [&] {
    const std::string bytes = slurp(record);
    return bytes.find("QXW") == std::string::npos ? 0 : bytes.size() - bytes.find("QXW");
  };
  waitFor([&] { return downloaded() >= expected; }, 20000);
  EXPECT_EQ(downloaded(), expected);
}

// osdctl reports a failure on one line of standard error: a line break becomes a blank.
TEST(CtlFaults, AFailureIsOneLine) {
  ctl::StderrReporter reporter;
  reporter.error("Node 3\r\nnot found", "Scan");
  EXPECT_EQ(reporter.errors(), std::vector<std::string>{"Node 3  not found (Scan)"});
}

TEST(NodeFaultsE2E, BabblingNodeKeepsMemoryBoundedSlow) {
  const char* env = std::getenv("OSD_BABBLE_SECONDS");
  const int seconds = env ? std::max(1, std::atoi(env)) : 15;
  TempDir dir;
  // The node's end of the line is ours: random bytes without a pause, then a real answer.
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
  pointLink(dir.path + "/node", ::ptsname(master));
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  Window window(dir);
  ASSERT_TRUE(window.opened);
  ctl::Host* host = &window.host;
  std::atomic<bool> stop{false};
  std::thread babbler([&] {
    std::mt19937 rng(12345);
    std::vector<char> out(4096), in(4096);
    while (!stop) {
      for (char& c : out) c = static_cast<char>(rng() & 0xFF);
      (void)!::write(master, out.data(), out.size());
      while (::read(master, in.data(), in.size()) > 0) continue;  // the writes never stall
      std::this_thread::sleep_for(std::chrono::milliseconds(1));  // a core for the other tests
    }
  });
  size_t bufferMax = 0;
  int64_t waitingMax = 0;  // in the Qt port
  host->runUntil(
      [&] {
        bufferMax = std::max(bufferMax, window.app.session().buffered().size());
        waitingMax = std::max(waitingMax, host->port().bytesAvailable());
        return false;
      },
      seconds * 1000);
  stop = true;
  babbler.join();
  EXPECT_TRUE(bufferMax <= 64u * 1024u && waitingMax <= 1024 * 1024)
      << bufferMax << " " << waitingMax;
  // Quiet again: the size answer of a 512 K node (twice: the receive event wants 11 bytes) is
  // processed as usual once the port is open again.
  EXPECT_TRUE(host->runUntil([&] { return host->port().isOpen(); }, 10000));
  host->runUntil([] { return false; }, 500);
  char in[4096];
  while (::read(master, in, sizeof in) > 0) continue;
  window.app.session().setMemorySize(0);
  const std::string answer = "QX512K\r\nQX512K\r\n";
  ASSERT_EQ(::write(master, answer.data(), answer.size()), static_cast<ssize_t>(answer.size()));
  EXPECT_TRUE(
      host->runUntil([&] { return window.app.session().memorySize() == 512 * 1024; }, 5000));
  ::close(master);
}

// The Qt seams on real pseudo-terminals: port numbers through the port map, bytes both ways,
// the receive event, a hang-up of the other end, the event loop; the program's logic on them;
// and osdctl's port list.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "e2e_support.h"
#include "qtplatform/headless.h"
#include "qtplatform/port_map.h"
#include "qtplatform/qt_event_loop.h"
#include "qtplatform/qt_serial_port.h"
#include "settings/ini_settings.h"
#include "shell/app.h"

using namespace osd;
using namespace osd::qt;
using osd::e2e::waitFor;

namespace {

// The node's end of a pseudo-terminal; the program opens the other end by its path.
class Pty {
 public:
  Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    path_ = ::ptsname(master_);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~Pty() { hangUp(); }
  const std::string& path() const { return path_; }
  void send(const std::string& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  std::string take() {
    std::string out;
    char buf[512];
    for (ssize_t n; (n = ::read(master_, buf, sizeof buf)) > 0;)
      out.append(buf, static_cast<size_t>(n));
    return out;
  }
  void hangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string path_;
};

// Runs the seam's own loop until `done` or `ms` passed.
template <typename F>
bool runFor(QtEventLoop& loop, int ms, F done) {
  QDeadlineTimer end(ms);
  while (!done()) {
    if (end.hasExpired()) return false;
    loop.yield();
  }
  return true;
}

class QtPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(pty.path().empty());
    PortMap map;
    map.set(7, pty.path());
    port = std::make_unique<QtSerialPort>(map);
    port->onEvent = [this](int code) {
      events.push_back(code);
      if (code == kEvReceive) received += port->read(2500);
    };
    PortOpenError error;
    ASSERT_TRUE(port->open(7, error)) << error.description;
  }
  Pty pty;
  QtEventLoop loop;
  std::unique_ptr<QtSerialPort> port;
  std::vector<int> events;
  std::string received;
};

}  // namespace

TEST_F(QtPortTest, OpenRefusesUnknownMissingAndBusyPorts) {
  EXPECT_EQ(port->deviceName(7), pty.path());
  EXPECT_EQ(port->currentNumber(), 7);
  PortMap busy, gone;
  busy.set(7, pty.path());
  gone.set(9, "/nonexistent/tty");
  const struct {
    PortMap map;
    int number, error;
  } cases[] = {{PortMap{}, 7, kErrNoSuchPort}, {gone, 9, kErrNoSuchPort}, {busy, 7, kErrPortInUse}};
  for (const auto& c : cases) {
    QtSerialPort other(c.map);
    PortOpenError error;
    EXPECT_FALSE(other.open(c.number, error));
    EXPECT_EQ(error.number, c.error) << error.description;
    EXPECT_FALSE(other.isOpen());
  }
  EXPECT_TRUE(port->isOpen());
}

TEST_F(QtPortTest, BytesPassUnchangedAndElevenRaiseTheEvent) {
  port->setModemLines(true, true);  // a pseudo-terminal has none: no failure
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  port->write(all);
  std::string got;
  EXPECT_TRUE(runFor(loop, 3000, [&] { return (got += pty.take()).size() >= all.size(); }));
  EXPECT_EQ(got, all);
  EXPECT_TRUE(runFor(loop, 2000, [&] { return port->pendingOutput() == 0; }));
  // A short answer waits for the poll; eleven bytes raise the receive event.
  pty.send("QX64K");
  EXPECT_TRUE(runFor(loop, 2000, [&] { return port->bytesAvailable() == 5; }));
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(port->read(100), "QX64K");
  pty.send(all);
  EXPECT_TRUE(runFor(loop, 3000, [&] { return received.size() >= all.size(); }));
  EXPECT_EQ(received, all);
  EXPECT_EQ(events.front(), kEvReceive);
  pty.send("stale");
  runFor(loop, 500, [&] { return port->bytesAvailable() == 5; });
  port->purge();
  EXPECT_EQ(port->bytesAvailable(), 0);
}

// A read of a hung-up pseudo-terminal reports "resource temporarily unavailable" once, or the
// end of the file over and over, depending on the moment; either way the loss is reported
// once, the port closed, and the loop waits instead of spinning. (After traffic: below.)
TEST_F(QtPortTest, HangUpOfAnIdleLineGivesOneLossEventAndTheLoopStaysIdle) {
  pty.hangUp();
  int yields = 0;
  runFor(loop, 600, [&] { return ++yields < 0; });
  EXPECT_EQ(std::count(events.begin(), events.end(), kEvTxFull), 1);
  EXPECT_FALSE(port->isOpen());
  EXPECT_LT(yields, 2000) << "yield() did not wait";
  EXPECT_THROW(port->write("X"), Failure);
}

TEST(QtEventLoopTest, TimersRunPendingAndYield) {
  QtEventLoop loop;
  int delay = 0, comInit = 0;
  loop.onTimer = [&](TimerId id) {
    delay += id == TimerId::Delay;
    comInit += id == TimerId::ComInit;
  };
  loop.setTimerEnabled(TimerId::Delay, true);
  loop.setTimerEnabled(TimerId::ComInit, true);
  EXPECT_FALSE(loop.timerEnabled(TimerId::TenSec));
  runFor(loop, 520, [] { return false; });
  EXPECT_GE(delay, 15);  // every 25 ms
  EXPECT_LE(delay, 22);
  EXPECT_GE(comInit, 3);  // every 100 ms
  EXPECT_LE(comInit, 6);
  loop.setTimerEnabled(TimerId::Delay, false);
  const int before = delay;
  runFor(loop, 100, [] { return false; });
  EXPECT_EQ(delay, before);
  // runPending() runs what is queued and never waits for the next event.
  bool fired = false;
  QTimer::singleShot(200, [&fired] { fired = true; });
  long calls = 0;
  for (QDeadlineTimer end(5000); !fired && !end.hasExpired(); ++calls) loop.runPending();
  EXPECT_GT(calls, 10 * (200 / QtEventLoop::kMaxWaitMs));
}

// The program's logic on the Qt seams: the port menu, the open, the settings, the node's
// answers, and the loss of the node.
TEST_F(QtPortTest, TheProgramFindsOpensAndHearsANodeOnAMappedPort) {
  port->close();
  e2e::TempDir dir;
  IniSettings settings(dir.path + "/RA7_Vud.ini", kAppKey);
  HeadlessDialogs dialogs;
  QtLauncher launcher;
  Platform pf{*port, loop, settings, dialogs, launcher, dir.path, dir.path};
  App app(pf);
  app.determineValidPorts();
  ASSERT_EQ(app.ui().get("mnuCOMsel(1)").tag, "7");
  EXPECT_EQ(app.ui().text("mnuCOMdev(1)"), pty.path());
  app.click("mnuCOMsel(1)");
  ASSERT_TRUE(port->isOpen());
  EXPECT_EQ(settings.read("HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\RA7_Vud\\FormInit\\ComPort"),
            std::optional<std::string>(" 7"));
  app.portValid = true;
  ASSERT_TRUE(runFor(loop, 2000, [&] { return port->pendingOutput() == 0; }));
  EXPECT_EQ(pty.take(), "SP");
  // The short size answer raises no receive event; it is taken in with the next answer.
  app.cmdTree(15, "00");
  app.cmdTree(17);
  std::string line;
  loop.setTimerEnabled(TimerId::Delay, true);
  EXPECT_TRUE(runFor(loop, 6000, [&] {
    const std::string got = pty.take();
    line += got;
    if (got.find("QXS") != std::string::npos) pty.send("QX64K\r\n");
    if (got.find("ARC") != std::string::npos) pty.send("(C) Norvo Video Systems\r\n");
    return app.imageMemorySize == 65536;
  }));
  EXPECT_EQ(line.rfind("WK,00QXS", 0), 0u) << line;
  EXPECT_EQ(app.ui().title(), "QX3/QX7 -64K Grapics Node Detected");
  loop.setTimerEnabled(TimerId::Delay, false);
  pty.hangUp();
  runFor(loop, 500, [] { return false; });
  EXPECT_FALSE(port->isOpen());
  EXPECT_EQ(app.ui().text("frameError"), "COMM Status");
  EXPECT_EQ(app.ui().text("lblErrTxt"), "Lost USB/Serial Connection ");
  app.closeAtExit();
}

TEST(PortMapTest, MapTextAndPortWords) {
  PortMap map;
  std::string error;
  EXPECT_TRUE(map.addMapText(" 3=/dev/ttyUSB0 , 12=/dev/pts/4,", error));
  EXPECT_EQ(map.device(3), "/dev/ttyUSB0");
  EXPECT_EQ(map.device(12), "/dev/pts/4");
  EXPECT_EQ(map.device(4), "");
  for (const char* bad :
       {"0=/dev/x", "256=/dev/x", "3", "=/dev/x", "3=", "x=/dev/y", "-1=/dev/z", "4=/dev/a,oops"}) {
    PortMap m;
    EXPECT_FALSE(m.addMapText(bad, error)) << bad;
    EXPECT_TRUE(m.entries().empty()) << bad;
  }
  // A port is a number 1-255, mapped or not, or a device path (given the lowest free number).
  const std::pair<const char*, int> words[] = {
      {"3", 3}, {"200", 200},        {"0", 0},          {"256", 0},
      {"", 0},  {"/dev/ttyUSB0", 3}, {"/dev/pts/7", 1}, {"/dev/pts/7", 1}};
  for (const auto& [word, number] : words) EXPECT_EQ(map.resolve(word), number) << word;
  // The command line wins over the environment.
  ::setenv(PortMap::kEnvironmentVariable, "5=/dev/from-env,6=/dev/only-env", 1);
  const PortMap both = PortMap::fromSources("5=/dev/from-command-line");
  EXPECT_EQ(both.device(5), "/dev/from-command-line");
  EXPECT_EQ(both.device(6), "/dev/only-env");
  ::setenv(PortMap::kEnvironmentVariable, "5=", 1);
  EXPECT_THROW(PortMap::fromSources(""), std::invalid_argument);
  ::unsetenv(PortMap::kEnvironmentVariable);
}

TEST(OsdctlPortsTest, ListsNumbersWithTheirDevices) {
  e2e::ProgramRun r =
      e2e::runOsd("osdctl", {"ports", "--port-map", "7=/dev/osd-seven,250=/dev/osd-last"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_NE(r.out.find("7\t/dev/osd-seven\t(mapped)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("250\t/dev/osd-last\t(mapped)\n"), std::string::npos) << r.out;
  EXPECT_EQ(e2e::runOsd("osdctl", {"ports", "--port-map", "7"}).rc, 2);
  EXPECT_EQ(e2e::runOsd("osdctl", {"ports", "extra"}).rc, 2);
}

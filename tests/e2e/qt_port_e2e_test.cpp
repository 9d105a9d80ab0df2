// The Qt port on real pseudo-terminals: port numbers through the port map, bytes both ways,
// the receive event, a hang-up of the other end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "e2e_support.h"
#include "platform/port_map.h"
#include "qtplatform/qt_event_loop.h"
#include "qtplatform/qt_serial_port.h"

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
  for (; !done(); loop.yield())
    if (end.hasExpired()) return false;
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
      if (code == kEvTxFull) openAtLoss = port->isOpen();
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
  bool openAtLoss = true;
};

}  // namespace

TEST_F(QtPortTest, OpenRefusesUnknownMissingAndBusyPorts) {
  EXPECT_EQ(port->deviceName(7), pty.path());
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
    EXPECT_FALSE(other.open(c.number, error) || other.isOpen());
    EXPECT_EQ(error.number, c.error) << error.description;
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
  EXPECT_TRUE(runFor(loop, 2000, [&] { return port->bytesAvailable() == 5; }) && events.empty());
  EXPECT_EQ(port->read(100), "QX64K");
  pty.send("0123456789A");
  EXPECT_TRUE(runFor(loop, 2000, [&] { return !events.empty(); }));
  EXPECT_EQ(std::pair(events.front(), received),
            std::pair(int{kEvReceive}, std::string("0123456789A")));
  pty.send(all);
  EXPECT_TRUE(runFor(loop, 3000, [&] { return received.size() >= 11 + all.size(); }));
  EXPECT_EQ(received.substr(11), all);
  pty.send("stale");
  runFor(loop, 500, [&] { return port->bytesAvailable() == 5; });
  port->purge();
  EXPECT_EQ(port->bytesAvailable(), 0);
}

// A hung-up pseudo-terminal reads as "resource temporarily unavailable" once, or as the end of
// the file over and over: either way the loss is reported once and the loop does not spin.
TEST_F(QtPortTest, HangUpOfAnIdleLineGivesOneLossEventAndTheLoopStaysIdle) {
  pty.hangUp();
  int yields = 0;
  runFor(loop, 600, [&] { return ++yields < 0; });
  EXPECT_EQ(std::count(events.begin(), events.end(), kEvTxFull), 1);
  EXPECT_FALSE(openAtLoss || port->isOpen())
      << "a lost port counts as closed when its loss is reported";
  EXPECT_LT(yields, 2000) << "yield() did not wait";
  EXPECT_THROW(port->write("X"), Failure);
}

// The n-th call of a timer comes n periods after it was enabled or later (a coarse timer may be
// a few per cent early); enabling a running timer does not restart it; weekdays count from
// Sunday = 1.
TEST(QtEventLoopTest, TimersKeepTheirPeriodsAndYieldWaits) {
  QtEventLoop loop;
  const TimerId unknown = static_cast<TimerId>(99), ids[] = {TimerId::Delay, TimerId::TenSec};
  std::map<TimerId, std::vector<double>> calls;  // monotonic seconds of each call
  loop.onTimer = [&](TimerId id) {
    calls[id].push_back(loop.monotonicSeconds());
    throw Failure("from the handler");
  };
  loop.setTimerEnabled(unknown, true);
  EXPECT_FALSE(loop.timerEnabled(unknown));
  const double start = loop.monotonicSeconds();
  for (TimerId id : ids) loop.setTimerEnabled(id, true);
  int yields = 0;
  EXPECT_TRUE(runFor(loop, 3000, [&] {
    loop.setTimerEnabled(TimerId::Delay, true);
    return ++yields > 0 && calls[TimerId::TenSec].size() >= 2;
  }));
  EXPECT_LT(yields, 300) << "yield() did not wait";
  EXPECT_TRUE(calls.size() == 2 && calls[TimerId::Delay].size() >= 2) << calls.size();
  for (TimerId id : ids) {
    EXPECT_TRUE(loop.timerEnabled(id));
    for (size_t n = 0; n < calls[id].size(); ++n)
      EXPECT_GE(calls[id][n] - start, 0.9 * timerPeriodMs(id) * (n + 1) / 1000) << n;
    loop.setTimerEnabled(id, false);
    EXPECT_FALSE(loop.timerEnabled(id));
  }
  const size_t before = calls[TimerId::Delay].size() + calls[TimerId::TenSec].size();
  runFor(loop, 150, [] { return false; });
  EXPECT_EQ(calls[TimerId::Delay].size() + calls[TimerId::TenSec].size(), before);
  bool ran = false;
  QMetaObject::invokeMethod(
      &loop, [&] { ran = true; }, Qt::QueuedConnection);
  loop.runPending();
  EXPECT_TRUE(ran);
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  const LocalTime now = loop.now();
  EXPECT_EQ(now.weekday, tm.tm_wday + 1);
  EXPECT_NEAR(now.secondsSinceMidnight, tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec, 2.0);
}

// The tick sleeps through the ticks its handler calls quiet and runs them in a row, none
// before its time and each seeing the time of day it was due at; an event in between finds
// every tick due before it run.
TEST(QtEventLoopTest, QuietTicksAreSleptThroughAndRunBeforeTheNextEvent) {
  QtEventLoop loop;
  QEventLoop events;
  std::vector<double> at, seen;  // when each tick ran, the time of day it saw
  loop.onTimer = [&](TimerId) {
    at.push_back(loop.monotonicSeconds());
    seen.push_back(loop.now().secondsSinceMidnight);
    if (at.size() == 24) events.quit();
  };
  loop.quietTicks = [] { return 7; };
  const double start = loop.monotonicSeconds();
  loop.setTimerEnabled(TimerId::Delay, true);
  size_t atEvent = 0;
  QTimer::singleShot(110, Qt::PreciseTimer, &loop, [&] { atEvent = at.size(); });
  QTimer::singleShot(5000, &events, &QEventLoop::quit);
  events.exec();
  ASSERT_GE(at.size(), 24u);
  EXPECT_GE(atEvent, 4u) << "the ticks due were not run before the event";
  int bursts = 0;
  for (size_t i = 0; i < at.size(); ++i) {
    EXPECT_GE(at[i] - start, 0.025 * static_cast<double>(i + 1) - 0.001) << i;
    bursts += i == 0 || at[i] - at[i - 1] > 0.005;
    const bool midnight = i > 0 && seen[i] < seen[i - 1];
    EXPECT_TRUE(i == 0 || midnight || seen[i] - seen[i - 1] > 0.02) << i;
  }
  EXPECT_LE(bursts, 10) << "the tick did not sleep";
}

TEST(PortMapTest, MapTextAndPortWords) {
  PortMap map;
  std::string error;
  EXPECT_TRUE(map.addMapText(" 3=/dev/ttyUSB0 , 12=/dev/pts/4,", error));
  EXPECT_EQ((std::vector<std::string>{map.device(3), map.device(12), map.device(4)}),
            (std::vector<std::string>{"/dev/ttyUSB0", "/dev/pts/4", ""}));
  // Refused whole; one number twice or one device under two numbers names both entries.
  // clang-format off
  const std::pair<const char*, const char*> bad[] = {
      {"0=/dev/x", "bad entry"}, {"256=/dev/x", ""}, {"3", ""}, {"=/dev/x", ""}, {"3=", ""},
      {"x=/dev/y", ""}, {"-1=/dev/z", ""}, {"4=/dev/a,oops", "\"oops\""},
      {"3=/dev/a,5=/dev/c,3=/dev/b", "\"3=/dev/a\" and \"3=/dev/b\" give port 3 twice"},
      {"3=/dev/a, 4=/dev/a", "\"3=/dev/a\" and \"4=/dev/a\" give /dev/a two numbers"}};
  // clang-format on
  for (const auto& [text, said] : bad) {
    PortMap m;
    EXPECT_FALSE(m.addMapText(text, error) || !m.entries().empty()) << text;
    EXPECT_NE(error.find(said), std::string::npos) << error;
  }
  // A port is a number 1-255, mapped or not, or a device path (given the lowest free number).
  const std::pair<const char*, int> words[] = {
      {"3", 3}, {"200", 200},        {"255", 255},      {"0", 0},         {"256", 0},
      {"", 0},  {"/dev/ttyUSB0", 3}, {"/dev/pts/7", 1}, {"/dev/pts/7", 1}};
  for (const auto& [word, number] : words) EXPECT_EQ(map.resolve(word), number) << word;
  // Devices found take the free numbers up to 255; the rest stay unnumbered.
  PortMap full;
  std::vector<std::string> found;
  for (int i = 0; i < 257; ++i) found.push_back("/dev/d" + std::to_string(i));
  full.addAutomatic(found);
  EXPECT_EQ(full.entries().size(), 255u);
  EXPECT_EQ(full.device(255), "/dev/d254");
}

// The devices a search offers: adapters by serial number first (a dangling one is gone), then
// the serial devices by kind and number, each device once.
TEST(PortMapTest, SearchOrderOfTheDevices) {
  osd::e2e::TempDir t;
  std::filesystem::create_directories(t.path + "/serial/by-id");
  for (const char* name : {"ttyS1", "ttyUSB10", "ttyUSB2", "ttyACM0", "ttyAMA3", "ttyX", "ttyS",
                           "ttyUSB1234567", "ttyUSB5", "ttyS0x"})
    std::ofstream(t.path + "/" + name) << "";
  for (const char* id : {"usb-FTDI_A1", "usb-gone"})  // the second one's device is gone
    std::filesystem::create_symlink(id[4] == 'F' ? "../../ttyUSB5" : "../../ttyUSB9",
                                    t.path + "/serial/by-id/" + id);
  std::vector<std::string> expected = {
      "serial/by-id/usb-FTDI_A1", "ttyUSB2", "ttyUSB10", "ttyACM0", "ttyAMA3", "ttyS1"};
  for (std::string& e : expected) e = t.path + "/" + e;
  EXPECT_EQ(PortMap::scanDevices(t.path), expected);
}

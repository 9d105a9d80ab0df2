// The Qt seams on real pseudo-terminals: port numbers through the port map, writing and
// reading, the receive event, a hang-up of the other end, modem lines that a pseudo-terminal
// cannot set, and the program's logic driving the port.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>

#include "qtplatform/headless.h"
#include "qtplatform/port_map.h"
#include "qtplatform/qt_event_loop.h"
#include "qtplatform/qt_serial_port.h"
#include "settings/ini_settings.h"
#include "shell/app.h"

using namespace osd;
using namespace osd::qt;

namespace {

void ensureApplication() {
  static int argc = 1;
  static char name[] = "osd_e2e_tests";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

// Sets OSDPROG_PORT_MAP for the life of the guard.
struct EnvGuardForMap {
  explicit EnvGuardForMap(const char* value) {
    const char* old = std::getenv(PortMap::kEnvironmentVariable);
    had = old != nullptr;
    if (had) before = old;
    ::setenv(PortMap::kEnvironmentVariable, value, 1);
  }
  ~EnvGuardForMap() {
    if (had) {
      ::setenv(PortMap::kEnvironmentVariable, before.c_str(), 1);
    } else {
      ::unsetenv(PortMap::kEnvironmentVariable);
    }
  }
  bool had = false;
  std::string before;
};

// The node's end of a pseudo-terminal; the program opens the other end by its path.
class Pty {
 public:
  Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) return;
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    const char* name = ::ptsname(master_);
    if (name) path_ = name;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~Pty() { hangUp(); }
  bool ok() const { return master_ >= 0 && !path_.empty(); }
  const std::string& path() const { return path_; }
  void send(const std::string& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  std::string take() {
    std::string out;
    char buf[512];
    for (;;) {
      ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<size_t>(n));
    }
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

double cpuSeconds() {
  rusage ru{};
  ::getrusage(RUSAGE_SELF, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop until `done` or `ms` passed.
template <typename F>
bool runFor(QtEventLoop& loop, int ms, F done) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    loop.yield();
  }
  return true;
}

class QtPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureApplication();
    ASSERT_TRUE(pty.ok());
    PortMap map;
    map.set(7, pty.path());
    port = std::make_unique<QtSerialPort>(map);
    port->onEvent = [this](int code) {
      events.push_back(code);
      if (code == kEvReceive) received += port->read(2500);
    };
  }
  void hangUpAndWatch(bool traffic);
  Pty pty;
  QtEventLoop loop;
  std::unique_ptr<QtSerialPort> port;
  std::vector<int> events;
  std::string received;
};

}  // namespace

// ---------------- Opening ----------------

TEST_F(QtPortTest, OpensAMappedNumberAndRefusesUnknownOnes) {
  PortOpenError error;
  ASSERT_TRUE(port->open(7, error)) << error.description;
  EXPECT_TRUE(port->isOpen());
  EXPECT_EQ(port->deviceName(7), pty.path());
  EXPECT_EQ(port->currentNumber(), 7);

  QtSerialPort other(PortMap{});
  EXPECT_FALSE(other.open(7, error));
  EXPECT_EQ(error.number, kErrNoSuchPort);
  EXPECT_FALSE(other.isOpen());

  PortMap gone;
  gone.set(9, "/dev/osdprog-no-such-device");
  QtSerialPort missing(gone);
  EXPECT_FALSE(missing.open(9, error));
  EXPECT_EQ(error.number, kErrNoSuchPort);
}

TEST_F(QtPortTest, ASecondUserOfTheDeviceGetsInUse) {
  PortOpenError error;
  ASSERT_TRUE(port->open(7, error)) << error.description;
  PortMap map;
  map.set(7, pty.path());
  QtSerialPort second(map);
  EXPECT_FALSE(second.open(7, error));
  EXPECT_EQ(error.number, kErrPortInUse) << error.description;
  EXPECT_TRUE(port->isOpen());
}

TEST_F(QtPortTest, PermissionDeniedNamesTheDeviceAndTheRemedy) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may open anything";
  const std::string file =
      (std::filesystem::temp_directory_path() / ("osd-noaccess-" + std::to_string(::getpid())))
          .string();
  ::close(::open(file.c_str(), O_CREAT | O_WRONLY, 0000));
  PortMap map;
  map.set(4, file);
  QtSerialPort p(map);
  PortOpenError error;
  EXPECT_FALSE(p.open(4, error));
  EXPECT_EQ(error.number, QtSerialPort::kErrPermission);
  EXPECT_NE(error.description.find(file), std::string::npos);
  EXPECT_NE(error.description.find("dialout"), std::string::npos);
  ::unlink(file.c_str());
}

TEST_F(QtPortTest, ModemLinesOnAPseudoTerminalAreNoFailure) {
  PortOpenError error;
  ASSERT_TRUE(port->open(7, error));
  port->setModemLines(true, true);
  port->setModemLines(false, false);
  runFor(loop, 100, [] { return false; });
  EXPECT_TRUE(port->isOpen());
  EXPECT_TRUE(events.empty());
  port->write("SP");
  EXPECT_TRUE(runFor(loop, 2000, [&] { return pty.take() == "SP"; }));
}

// ---------------- Data ----------------

TEST_F(QtPortTest, WritesAndReadsBytesUnchanged) {
  PortOpenError error;
  ASSERT_TRUE(port->open(7, error));
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  port->write(all);
  std::string got;
  EXPECT_TRUE(runFor(loop, 3000, [&] {
    got += pty.take();
    return got.size() >= all.size();
  }));
  EXPECT_EQ(got, all);
  EXPECT_TRUE(runFor(loop, 2000, [&] { return port->pendingOutput() == 0; }));

  pty.send(all);
  EXPECT_TRUE(runFor(loop, 3000, [&] { return received.size() >= all.size(); }));
  EXPECT_EQ(received, all);
}

TEST_F(QtPortTest, ShortAnswersWaitForThePollAndElevenBytesRaiseTheEvent) {
  PortOpenError error;
  ASSERT_TRUE(port->open(7, error));
  pty.send("QX64K");
  EXPECT_TRUE(runFor(loop, 2000, [&] { return port->bytesAvailable() == 5; }));
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(port->read(100), "QX64K");

  pty.send("0123456789A");
  EXPECT_TRUE(runFor(loop, 2000, [&] { return !events.empty(); }));
  EXPECT_EQ(events.front(), kEvReceive);
  EXPECT_EQ(received, "0123456789A");

  pty.send("stale");
  runFor(loop, 200, [&] { return port->bytesAvailable() == 5; });
  port->purge();
  EXPECT_EQ(port->bytesAvailable(), 0);
}

TEST_F(QtPortTest, ReadTimeoutsAreKept) {
  port->setReadTimeouts(2, 1, 1000);
  EXPECT_EQ(port->readTimeouts()[0], 2u);
  EXPECT_EQ(port->readTimeouts()[1], 1u);
  EXPECT_EQ(port->readTimeouts()[2], 1000u);
}

// ---------------- Loss of the device ----------------

// Depending on the moment, a read of a hung-up pseudo-terminal reports "resource temporarily
// unavailable" once, or the end of the file over and over (tens of thousands of times in
// 200 ms); either way the loss is reported once, the port closed and the loop stays idle.
void QtPortTest::hangUpAndWatch(bool traffic) {
  PortOpenError error;
  ASSERT_TRUE(port->open(7, error));
  if (traffic) {
    port->write("WK,00");
    runFor(loop, 300, [&] { return pty.take() == "WK,00"; });
  }

  int yields = 0;
  const double cpuBefore = cpuSeconds();
  pty.hangUp();
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 600) {
    loop.yield();
    ++yields;
  }
  const double cpu = cpuSeconds() - cpuBefore;

  EXPECT_EQ(std::count(events.begin(), events.end(), kEvTxFull), 1)
      << "errors seen: " << port->errorCount();
  EXPECT_FALSE(port->isOpen());
  EXPECT_LT(cpu, 0.3) << "the event loop kept busy after the hang-up";
  EXPECT_LT(yields, 2000) << "yield() did not wait";
  EXPECT_THROW(port->write("X"), Failure);
  EXPECT_EQ(port->bytesAvailable(), 0);
}

TEST_F(QtPortTest, HangUpOfAnIdleLineGivesOneLossEventAndDoesNotSpin) {
  hangUpAndWatch(false);
}

TEST_F(QtPortTest, HangUpAfterTrafficGivesOneLossEventAndDoesNotSpin) {
  hangUpAndWatch(true);
}

TEST_F(QtPortTest, AYieldWithNothingToDoWaitsInsteadOfSpinning) {
  int yields = 0;
  const double cpuBefore = cpuSeconds();
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 300) {
    loop.yield();
    ++yields;
  }
  EXPECT_LT(yields, 300 / QtEventLoop::kMaxWaitMs * 2 + 10);
  EXPECT_LT(cpuSeconds() - cpuBefore, 0.2);
}

TEST(QtEventLoopTest, TimersFireWithTheirPeriods) {
  ensureApplication();
  QtEventLoop loop;
  int delay = 0, comInit = 0;
  loop.onTimer = [&](TimerId id) {
    if (id == TimerId::Delay) ++delay;
    if (id == TimerId::ComInit) ++comInit;
  };
  loop.setTimerEnabled(TimerId::Delay, true);
  loop.setTimerEnabled(TimerId::ComInit, true);
  EXPECT_TRUE(loop.timerEnabled(TimerId::Delay));
  EXPECT_FALSE(loop.timerEnabled(TimerId::TenSec));
  runFor(loop, 520, [] { return false; });
  EXPECT_GE(delay, 15);
  EXPECT_LE(delay, 22);
  EXPECT_GE(comInit, 3);
  EXPECT_LE(comInit, 6);
  loop.setTimerEnabled(TimerId::Delay, false);
  const int before = delay;
  runFor(loop, 100, [] { return false; });
  EXPECT_EQ(delay, before);
  const LocalTime now = loop.now();
  EXPECT_GE(now.weekday, 1);
  EXPECT_LE(now.weekday, 7);
  EXPECT_GE(now.secondsSinceMidnight, 0.0);
  EXPECT_LT(now.secondsSinceMidnight, 86400.0);
}

// ---------------- The program's logic on the Qt seams ----------------

TEST_F(QtPortTest, TheProgramFindsOpensAndHearsANodeOnAMappedPort) {
  const std::string dir =
      (std::filesystem::temp_directory_path() / ("osd-e2e-" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(dir + "/Images");
  IniSettings settings(dir + "/RA7_Vud.ini", kAppKey);
  HeadlessDialogs dialogs;
  QtLauncher launcher;
  Platform pf{*port, loop, settings, dialogs, launcher, dir, dir};
  {
    App app(pf);
    app.determineValidPorts();
    ASSERT_EQ(app.ui().get("mnuCOMsel(1)").tag, "7");
    EXPECT_EQ(app.ui().text("mnuCOMdev(1)"), pty.path());
    app.click("mnuCOMsel(1)");
    ASSERT_TRUE(port->isOpen());
    EXPECT_EQ(settings.read("HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\RA7_Vud\\FormInit\\ComPort"),
              std::optional<std::string>(" 7"));
    app.link().setValid(true);
    ASSERT_TRUE(runFor(loop, 2000, [&] { return port->pendingOutput() == 0; }));
    EXPECT_EQ(pty.take(), "SP");

    // A node on the other end: answers the settings request with its size and the copyright
    // request with a line of its own. Its short size answer raises no receive event; it is
    // taken in with the next longer answer, as on the real line.
    app.dispatcher().wakeAll();
    app.dispatcher().sizeQuery();
    std::string line;
    auto node = [&] {
      const std::string got = pty.take();
      line += got;
      if (got.find("QXS") != std::string::npos) pty.send("QX64K\r\n");
      if (got.find("ARC") != std::string::npos) pty.send("(C) Norvo Video Systems\r\n");
      return app.session().memorySize() == 65536;
    };
    loop.setTimerEnabled(TimerId::Delay, true);
    EXPECT_TRUE(runFor(loop, 6000, node));
    EXPECT_EQ(line.rfind("WK,00QXS", 0), 0u) << line;
    EXPECT_EQ(app.ui().title(), "QX3/QX7 -64K Grapics Node Detected");
    loop.setTimerEnabled(TimerId::Delay, false);

    // The node goes away: reported once, the port closed.
    pty.hangUp();
    runFor(loop, 500, [] { return false; });
    EXPECT_FALSE(port->isOpen());
    EXPECT_NE(app.ui().text("lblErrTxt").find("Lost USB/Serial Connection "), std::string::npos);
    EXPECT_EQ(app.ui().text("frameError"), "COMM Status");
  }
  std::filesystem::remove_all(dir);
}

// ---------------- The simulated node ----------------

namespace {

// The build folder: OSD_BIN_DIR, else the folder above this test program's own.
std::string binDir() {
  if (const char* d = std::getenv("OSD_BIN_DIR"); d && *d) return d;
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : self.parent_path().parent_path().string();
}

// osdsim running in the background; its pseudo-terminal path is the first line it prints.
class Simulator {
 public:
  explicit Simulator(const std::vector<std::string>& args) {
    const std::string program = binDir() + "/osdsim";
    if (::access(program.c_str(), X_OK) != 0) return;
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive the test
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(program.c_str()));
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    out_ = out[0];
    // The first line, waiting at most 5 s.
    std::string line;
    for (int waited = 0; waited < 5000 && line.find('\n') == std::string::npos;) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) {
        waited += 100;
        continue;
      }
      char c;
      if (::read(out_, &c, 1) != 1) break;
      line += c;
    }
    if (line.find('\n') != std::string::npos) path_ = line.substr(0, line.find('\n'));
  }
  ~Simulator() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  const std::string& path() const { return path_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string path_;
};

struct QtPlatform {
  explicit QtPlatform(PortMap map) : port(std::move(map)) {
    dir = (std::filesystem::temp_directory_path() / ("osd-sim-e2e-" + std::to_string(::getpid())))
              .string();
    std::filesystem::create_directories(dir + "/Images");
    settings = std::make_unique<IniSettings>(dir + "/RA7_Vud.ini", kAppKey);
    pf = std::make_unique<Platform>(Platform{port, loop, *settings, dialogs, launcher, dir, dir});
  }
  ~QtPlatform() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string dir;
  QtSerialPort port;
  QtEventLoop loop;
  std::unique_ptr<IniSettings> settings;
  HeadlessDialogs dialogs;
  QtLauncher launcher;
  std::unique_ptr<Platform> pf;
};

}  // namespace

TEST(SimulatedNodeTest, WakesAndAnswersTheSizeRequestOnAMappedPort) {
  ensureApplication();
  Simulator sim({"--memory", "64", "--baud", "0"});
  if (sim.path().empty()) GTEST_SKIP() << "osdsim is not built in " << binDir();

  // The environment maps port 12 elsewhere; the command line wins.
  EnvGuardForMap env("12=/dev/null");
  QtPlatform q(PortMap::fromSources("12=" + sim.path()));
  ASSERT_EQ(q.port.deviceName(12), sim.path());
  App app(*q.pf);
  app.link().select(12);
  app.link().open();
  ASSERT_TRUE(q.port.isOpen()) << q.port.lastOpenError().description;
  app.link().setValid(true);

  app.dispatcher().wakeAll();
  app.dispatcher().sizeQuery();
  // The size answer is shorter than the receive threshold: it waits in the port.
  std::string answer;
  EXPECT_TRUE(runFor(q.loop, 3000, [&] { return q.port.bytesAvailable() >= 7; }));
  answer = q.port.read(100);
  EXPECT_EQ(answer, "QX64K\r\n");

  // Asleep, the node says nothing.
  app.dispatcher().sleep();
  app.dispatcher().sizeQuery();
  runFor(q.loop, 300, [] { return false; });
  EXPECT_EQ(q.port.bytesAvailable(), 0);
}

TEST(SimulatedNodeTest, TheProgramIdentifiesTheNodeWithItsPoll) {
  ensureApplication();
  Simulator sim({"--memory", "512", "--baud", "0"});
  if (sim.path().empty()) GTEST_SKIP() << "osdsim is not built in " << binDir();
  PortMap map;
  map.set(3, sim.path());
  QtPlatform q(map);
  App app(*q.pf);
  app.link().select(3);
  app.link().open();
  ASSERT_TRUE(q.port.isOpen());
  // The wake-up about two seconds after the open, then the node poll on the main tick.
  q.loop.setTimerEnabled(TimerId::Delay, true);
  EXPECT_TRUE(runFor(q.loop, 12000, [&] { return app.session().memorySize() == 512 * 1024; }))
      << "reply: " << app.ui().text("lblDiag") << " replies: " << app.session().replyCount()
      << " sent: " << app.ui().text("lblSCount") << " buffer: " << app.session().buffered().size()
      << " valid: " << app.link().valid();
  EXPECT_TRUE(app.link().valid());
  EXPECT_EQ(app.ui().title(), "QX3/QX7 -512K Grapics Node Detected");
  EXPECT_TRUE(app.session().largeMemory());
  EXPECT_EQ(app.ui().get("txtCom").backColor, kGreen);
  app.link().closeAtExit();
}

TEST(SimulatedNodeTest, ANodeThatHangsUpIsReportedOnce) {
  ensureApplication();
  Simulator sim({"--baud", "0", "--hangup-after", "8"});
  if (sim.path().empty()) GTEST_SKIP() << "osdsim is not built in " << binDir();
  PortMap map;
  map.set(5, sim.path());
  QtPlatform q(map);
  App app(*q.pf);
  app.link().select(5);
  app.link().open();
  ASSERT_TRUE(q.port.isOpen());
  app.link().setValid(true);
  app.dispatcher().wakeAll();
  app.dispatcher().sizeQuery();  // 8 bytes: the node hangs up
  const double cpuBefore = cpuSeconds();
  EXPECT_TRUE(runFor(q.loop, 3000, [&] { return !q.port.isOpen(); }));
  runFor(q.loop, 300, [] { return false; });
  EXPECT_LT(cpuSeconds() - cpuBefore, 1.0);
  EXPECT_EQ(app.ui().text("frameError"), "COMM Status");
  EXPECT_EQ(app.ui().text("lblErrTxt"), "Lost USB/Serial Connection ");
}

// ---------------- Port numbers ----------------

namespace {

struct FakeDev {
  FakeDev() {
    root = (std::filesystem::temp_directory_path() / ("osd-dev-" + std::to_string(::getpid())))
               .string();
    std::filesystem::create_directories(root + "/serial/by-id");
    for (const char* name :
         {"ttyS1", "ttyS0", "ttyUSB10", "ttyUSB2", "ttyACM0", "tty0", "ttyUSBx", "null"}) {
      ::close(::open((root + "/" + name).c_str(), O_CREAT | O_WRONLY, 0600));
    }
    std::filesystem::create_symlink("../../ttyUSB10", root + "/serial/by-id/usb-Acme_A1-port0");
    std::filesystem::create_symlink("../../ttyUSB2", root + "/serial/by-id/usb-Zeta_Z9-port0");
    std::filesystem::create_symlink("../../ttyUSB9", root + "/serial/by-id/usb-Gone-port0");
  }
  ~FakeDev() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  std::string root;
};

}  // namespace

TEST(PortMapTest, MapTextIsParsedAndBadTextRefusedWhole) {
  PortMap map;
  std::string error;
  EXPECT_TRUE(map.addMapText(" 3=/dev/ttyUSB0 , 12=/dev/pts/4,", error));
  EXPECT_EQ(map.device(3), "/dev/ttyUSB0");
  EXPECT_EQ(map.device(12), "/dev/pts/4");
  EXPECT_EQ(map.device(4), "");
  EXPECT_TRUE(map.isExplicit(3));
  for (const char* bad :
       {"0=/dev/x", "256=/dev/x", "3", "=/dev/x", "3=", "x=/dev/y", "-1=/dev/z", "4=/dev/a,oops"}) {
    PortMap m;
    EXPECT_FALSE(m.addMapText(bad, error)) << bad;
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(m.entries().empty()) << bad;
  }
}

TEST(PortMapTest, TheCommandLineWinsOverTheEnvironment) {
  EnvGuardForMap env("5=/dev/from-env,6=/dev/only-env");
  PortMap map = PortMap::fromSources("5=/dev/from-command-line");
  EXPECT_EQ(map.device(5), "/dev/from-command-line");
  EXPECT_EQ(map.device(6), "/dev/only-env");
  EnvGuardForMap bad("5=");
  EXPECT_THROW(PortMap::fromSources(""), std::invalid_argument);
  EXPECT_THROW(PortMap::fromSources("7"), std::invalid_argument);
}

TEST(PortMapTest, AutomaticDevicesInAStableOrder) {
  FakeDev dev;
  const auto found = PortMap::scanDevices(dev.root);
  const std::vector<std::string> expected = {
      dev.root + "/serial/by-id/usb-Acme_A1-port0",  // adapters by name first
      dev.root + "/serial/by-id/usb-Zeta_Z9-port0",  // (the dangling link is left out)
      dev.root + "/ttyACM0",                         // ttyUSB2 and ttyUSB10 are taken
      dev.root + "/ttyS0", dev.root + "/ttyS1"};
  EXPECT_EQ(found, expected);

  // Explicit entries keep their numbers; their devices get no second number.
  PortMap map;
  map.set(2, dev.root + "/ttyUSB2");  // the same device as the Zeta link
  map.addAutomatic(found);
  EXPECT_EQ(map.device(1), dev.root + "/serial/by-id/usb-Acme_A1-port0");
  EXPECT_EQ(map.device(2), dev.root + "/ttyUSB2");
  EXPECT_EQ(map.device(3), dev.root + "/ttyACM0");
  EXPECT_EQ(map.device(4), dev.root + "/ttyS0");
  EXPECT_EQ(map.device(5), dev.root + "/ttyS1");
  EXPECT_EQ(map.entries().size(), 5u);
  EXPECT_EQ(map.numberOf(dev.root + "/ttyUSB10"), 1);  // through the link
}

TEST(PortMapTest, APortIsANumberOrADevicePath) {
  PortMap map;
  map.set(4, "/dev/ttyUSB0");
  EXPECT_EQ(map.resolve("4"), 4);
  EXPECT_EQ(map.resolve("200"), 200);  // a number, mapped or not
  EXPECT_EQ(map.resolve("0"), 0);
  EXPECT_EQ(map.resolve("256"), 0);
  EXPECT_EQ(map.resolve(""), 0);
  EXPECT_EQ(map.resolve("/dev/ttyUSB0"), 4);
  EXPECT_EQ(map.resolve("/dev/pts/7"), 1);  // the lowest free number
  EXPECT_EQ(map.device(1), "/dev/pts/7");
  EXPECT_EQ(map.resolve("/dev/pts/7"), 1);
}

TEST(OsdctlPortsTest, ListsNumbersWithTheirDevices) {
  const std::string program = binDir() + "/osdctl";
  if (::access(program.c_str(), X_OK) != 0) GTEST_SKIP() << "osdctl is not built";
  auto run = [&](const std::string& args, int& status) {
    std::string out;
    FILE* p = ::popen((program + " " + args + " 2>/dev/null").c_str(), "r");
    if (!p) return out;
    char buf[256];
    while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    status = ::pclose(p);
    return out;
  };
  int status = -1;
  const std::string out = run("ports --port-map 7=/dev/osd-seven,250=/dev/osd-last", status);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_NE(out.find("7\t/dev/osd-seven\t(mapped)\n"), std::string::npos) << out;
  EXPECT_NE(out.find("250\t/dev/osd-last\t(mapped)\n"), std::string::npos) << out;
  run("ports --port-map 7", status);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
  run("ports extra", status);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}

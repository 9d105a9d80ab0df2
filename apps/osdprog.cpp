// osdprog: the operator's window.
//
//   osdprog [SKIPCOM n] [--settings FILE] [--data-dir DIR] [--port-map MAP]
//           [--simulate[=64|512]]
//
// --simulate starts a simulated graphics node on a pseudo-terminal inside the program and makes
// it the selected port for this run (the saved port setting is left as it is).
// OSDPROG_SCREENSHOT=FILE[,delay-ms] saves a picture of the main window after the delay
// (default 3000 ms).
// OSDPROG_STARTUP_STAMP=1 leaves the splash out and, once the window is shown and the event
// loop has gone idle for the first time, prints "osdprog: idle at SECONDS" (the monotonic
// clock) on standard error: scripts/bench-startup.sh measures the start-up with it.
#include <signal.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/options.h"
#include "gui/gui_dialogs.h"
#include "gui/instance_guard.h"
#include "gui/main_window.h"
#include "platform/port_map.h"
#include "qtplatform/headless.h"
#include "qtplatform/qt_event_loop.h"
#include "qtplatform/qt_serial_port.h"
#include "settings/ini_settings.h"
#include "settings/setting_keys.h"
#include "shell/app.h"
#include "sim/pty_node.h"

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  ssize_t n = ::write(signalPipe[1], &byte, 1);
  (void)n;
}

struct Options {
  std::vector<std::string> words;  // everything else, for the start-up (SKIPCOM n)
  std::string settingsFile;
  std::string dataDir;
  std::string portMap;
  int simulateMemory = 0;  // 0: no simulated node
};

constexpr const char* kUsage =
    "usage: osdprog [SKIPCOM n] [--settings FILE] [--data-dir DIR] [--port-map MAP]\n"
    "               [--simulate[=64|512]]\n";

[[noreturn]] void usage(const std::string& why) {
  std::fprintf(stderr, "osdprog: %s\n%s", why.c_str(), kUsage);
  std::exit(2);
}

// The words left after the options may only be the start-up's "SKIPCOM n" (any case, the
// digit joined to the word or after it).
void checkWords(const std::vector<std::string>& words, const std::vector<std::string>& args) {
  for (size_t i = 0; i < words.size(); ++i) {
    std::string lower = words[i];
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.rfind("skipcom", 0) == 0) {
      if (lower == "skipcom" && i + 1 < words.size()) ++i;
      continue;
    }
    std::string why = "unexpected argument '" + words[i] + "'";
    const auto at = std::find(args.begin(), args.end(), words[i]);
    if (at != args.begin() && at != args.end() && *(at - 1) == "--simulate") {
      why += " (give the size as --simulate=" + words[i] + ")";
    }
    usage(why);
  }
}

Options parseOptions(const QStringList& qargs) {
  std::vector<std::string> args;
  for (qsizetype i = 1; i < qargs.size(); ++i) args.push_back(qargs[i].toStdString());
  const osd::cli::Parsed p = osd::cli::parse(args, {{"--settings"},
                                                    {"--data-dir"},
                                                    {"--port-map"},
                                                    {"--simulate", osd::cli::Kind::InlineValue}});
  if (p.outcome == osd::cli::Outcome::Usage) usage(p.error);
  if (p.outcome == osd::cli::Outcome::Help) {
    std::printf("osdprog: programmer for on-screen-display video nodes\n%s", kUsage);
    std::exit(0);
  }
  if (p.outcome == osd::cli::Outcome::Version) {
    std::printf("%s\n", osd::cli::versionLine("osdprog").c_str());
    std::exit(0);
  }
  checkWords(p.words, args);
  Options o;
  o.words = p.words;
  o.settingsFile = p.value("--settings");
  o.dataDir = p.value("--data-dir");
  o.portMap = p.value("--port-map");
  if (p.has("--simulate")) {
    const std::string m = p.value("--simulate").empty() ? "64" : p.value("--simulate");
    if (m != "64" && m != "512") usage("--simulate=" + m + ": the size is 64 or 512");
    o.simulateMemory = m == "64" ? 64 : 512;
  }
  return o;
}

// The folder that holds "Images", with "Images" created and seeded where it is missing.
QString dataFolder(const Options& o, const QString& programDir) {
  const std::string dir = osd::cli::dataFolder(o.dataDir, programDir.toStdString());
  osd::cli::prepareDataFolder(dir, programDir.toStdString());
  return QString::fromStdString(dir);
}

// The settings as stored, except that the port setting reads as the simulated node's port
// for this run; writes go to the file unchanged.
class SimulatedPortSettings : public osd::SettingsBackend {
 public:
  SimulatedPortSettings(osd::SettingsBackend& inner, int port) : inner_(inner), port_(port) {}
  std::optional<std::string> read(const std::string& path) override {
    static const std::string kKey =
        std::string("\\") + osd::kSection + "\\" + osd::Setting(osd::SettingKey::ComPort).name();
    if (port_ > 0 && path.size() >= kKey.size() &&
        path.compare(path.size() - kKey.size(), kKey.size(), kKey) == 0) {
      return std::to_string(port_);
    }
    return inner_.read(path);
  }
  bool write(const std::string& path, const std::string& value) override {
    return inner_.write(path, value);
  }

 private:
  osd::SettingsBackend& inner_;
  int port_;
};

// SIGTERM and SIGINT close the window the ordinary way: the handler only writes a byte that
// the event loop reads (closeOnSignal). False when the pipe cannot be had.
bool catchTerminationSignals() {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
    std::perror("osdprog: socketpair");
    return false;
  }
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  return true;
}

osd::qt::PortMap portMapOf(const Options& options) {
  try {
    return osd::qt::PortMap::fromSources(options.portMap);
  } catch (const std::exception& e) {
    usage(e.what());  // names the option or variable and the bad entry
  }
}

// Starts the simulated node of --simulate and gives its terminal a port number in `map`.
// Returns that number, or 0 after saying why it could not be had.
int startSimulatedNode(const Options& options, osd::qt::PortMap& map,
                       std::unique_ptr<osd::sim::PtyNode>& simulated) {
  osd::sim::PtyOptions po;
  po.node.memoryKiB = options.simulateMemory;
  simulated = std::make_unique<osd::sim::PtyNode>(po);
  try {
    simulated->start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "osdprog: cannot start the simulated node: %s\n", e.what());
    return 0;
  }
  const int simulatedPort = map.useDevice(simulated->devicePath());
  if (simulatedPort == 0) {
    std::fprintf(stderr, "osdprog: no free port number for the simulated node\n");
    return 0;
  }
  std::fprintf(stderr, "osdprog: simulated node (%d K) on COM%d = %s\n", options.simulateMemory,
               simulatedPort, simulated->devicePath().c_str());
  return simulatedPort;
}

// Closes the window when a termination signal has come. A download running then is stopped
// after the block being sent and the window closes once the line is quiet.
void closeOnSignal(QSocketNotifier& notifier, osd::App& app, osd::gui::MainWindow& window) {
  QObject::connect(&notifier, &QSocketNotifier::activated, &window, [&]() {
    char byte = 0;
    ssize_t n = ::read(signalPipe[0], &byte, 1);
    (void)n;
    if (!app.download().closeRequested(osd::CloseBy::Signal)) return;
    window.close();
    QApplication::quit();
  });
}

// What a later copy of the program may ask of this one.
void answerOtherCopies(osd::gui::LocalInstanceGuard& instances, osd::App& app,
                       osd::gui::MainWindow& window) {
  instances.onRaiseRequested = [&window]() {
    window.showNormal();
    window.raise();
    window.activateWindow();
  };
  // Asked by a later copy: close once the request has been answered, unless a download or a
  // scan holds the line.
  instances.onCloseRequested = [&app, &window]() {
    const osd::Handover answer = app.download().handoverAnswer();
    if (answer != osd::Handover::Closed) return answer;
    QTimer::singleShot(0, &window, [&window]() {
      window.close();
      // Queued, so that it also ends a copy asked during its start-up, before the loop runs.
      QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    return answer;
  };
}

// A later copy that leaves the line to a busy one says so on standard error, and in a
// message box where there is a screen to show it on.
int refuseStart(osd::App& app) {
  std::fprintf(stderr, "osdprog: %s\n", app.download().exitNote().c_str());
  const QString platform = QGuiApplication::platformName();
  if (platform != QStringLiteral("offscreen") && platform != QStringLiteral("minimal")) {
    std::string text = app.download().exitNote();
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    QMessageBox::information(nullptr, QString::fromUtf8(osd::kAppKey),
                             QString::fromStdString(text + "."));
  }
  return 1;
}

// OSDPROG_STARTUP_STAMP: a zero timer fires once the events queued by the start-up have
// been handled.
void stampWhenIdle(osd::gui::MainWindow& window) {
  QTimer::singleShot(0, &window, [] {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    std::fprintf(stderr, "osdprog: idle at %lld.%09ld\n", static_cast<long long>(now.tv_sec),
                 now.tv_nsec);
  });
}

// OSDPROG_SCREENSHOT=FILE[,delay-ms], when set.
void scheduleScreenshot(osd::gui::MainWindow& window) {
  const QString shot = qEnvironmentVariable("OSDPROG_SCREENSHOT");
  if (shot.isEmpty()) return;
  const QStringList parts = shot.split(QChar(','));
  const int delay = parts.size() > 1 ? parts[1].toInt() : 3000;
  QTimer::singleShot(delay, &window, [&window, file = parts[0]]() {
    if (!window.grab().save(file))
      std::fprintf(stderr, "osdprog: cannot write %s\n", qPrintable(file));
  });
}

// The start-up and the window's life: returns the exit code.
int runWindow(QApplication& qapp, osd::Platform& platform, osd::gui::GuiDialogs& dialogs,
              osd::gui::LocalInstanceGuard& instances, const Options& options, int simulatedPort) {
  int exitCode = 0;
  osd::App app(platform);
  app.port().useSimulatedPort(simulatedPort);
  const bool startupStamp = !qEnvironmentVariableIsEmpty("OSDPROG_STARTUP_STAMP");
  if (startupStamp) app.menus().skipSplash();  // the splash timer then does nothing
  osd::gui::MainWindow window(app);
  dialogs.setParent(&window);

  QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
  closeOnSignal(notifier, app, window);
  answerOtherCopies(instances, app, window);

  std::string commandLine;
  for (const std::string& w : options.words) commandLine += (commandLine.empty() ? "" : " ") + w;
  app.formLoad(commandLine);
  if (app.download().startRefused()) return refuseStart(app);

  // Only the copy that holds the instance lock runs on: one that still finds another copy
  // in its place after the start-up asked it to close ends here.
  if (!instances.listen()) {
    std::fprintf(stderr, "osdprog: another copy is still running; this one ends\n");
    window.close();
    exitCode = 1;
  } else {
    window.show();
  }

  if (startupStamp) stampWhenIdle(window);
  scheduleScreenshot(window);
  QObject::connect(&qapp, &QApplication::lastWindowClosed, &qapp, &QApplication::quit);
  if (exitCode == 0) exitCode = QApplication::exec();
  window.close();
  const std::string& note = app.download().exitNote();
  if (!note.empty()) std::fprintf(stderr, "osdprog: %s\n", note.c_str());
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  // --help and --version answer before Qt looks for a display, so they work without one.
  if (osd::cli::askedFor(osd::cli::argsOf(argc, argv)) != osd::cli::Outcome::Run) {
    QStringList words;
    for (int i = 0; i < argc; ++i) words << QString::fromLocal8Bit(argv[i]);
    parseOptions(words);
  }
  QApplication::setApplicationName(QStringLiteral("osdprog"));
  QApplication::setOrganizationName(QStringLiteral("Norvo"));
  // On X11 the window's repaints go through the display connection, not shared memory: they
  // are small (the clock's second, the schedule's blink), and a shared-memory repaint waits for
  // the display server's answer each time, which is most of what the idle window costs. A
  // value the user set is kept.
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
  QApplication qapp(argc, argv);
  const Options options = parseOptions(QApplication::arguments());
  const QString programDir = QApplication::applicationDirPath();

  if (!catchTerminationSignals()) return 1;
  osd::qt::PortMap map = portMapOf(options);

  std::unique_ptr<osd::sim::PtyNode> simulated;
  int simulatedPort = 0;
  if (options.simulateMemory > 0) {
    simulatedPort = startSimulatedNode(options, map, simulated);
    if (simulatedPort == 0) return 1;
  }

  const std::string settingsFile = options.settingsFile.empty()
                                       ? osd::IniSettings::defaultFile(osd::kAppKey)
                                       : options.settingsFile;
  osd::IniSettings ini(settingsFile, osd::kAppKey);
  SimulatedPortSettings settings(ini, simulatedPort);

  osd::qt::QtSerialPort port(map);
  osd::qt::QtEventLoop loop;
  osd::qt::QtLauncher launcher;
  osd::gui::GuiDialogs dialogs;
  osd::gui::LocalInstanceGuard instances(QString::fromUtf8(osd::kAppKey));

  osd::Platform platform{port,
                         loop,
                         settings,
                         dialogs,
                         launcher,
                         programDir.toStdString(),
                         dataFolder(options, programDir).toStdString(),
                         &instances};
  const int exitCode = runWindow(qapp, platform, dialogs, instances, options, simulatedPort);
  if (simulated) simulated->stop();
  return exitCode;
}

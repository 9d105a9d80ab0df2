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
#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gui/gui_dialogs.h"
#include "gui/instance_guard.h"
#include "gui/main_window.h"
#include "qtplatform/headless.h"
#include "qtplatform/port_map.h"
#include "qtplatform/qt_event_loop.h"
#include "qtplatform/qt_serial_port.h"
#include "settings/ini_settings.h"
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

[[noreturn]] void usage(const std::string& why) {
  std::fprintf(stderr, "osdprog: %s\n", why.c_str());
  std::fprintf(stderr,
               "usage: osdprog [SKIPCOM n] [--settings FILE] [--data-dir DIR] [--port-map MAP] "
               "[--simulate[=64|512]]\n");
  std::exit(2);
}

Options parseOptions(const QStringList& args) {
  Options o;
  for (qsizetype i = 1; i < args.size(); ++i) {
    const std::string a = args[i].toStdString();
    auto value = [&](const std::string& option) -> std::optional<std::string> {
      if (a == option) {
        if (i + 1 >= args.size()) usage(option + " needs a value");
        return args[++i].toStdString();
      }
      if (a.rfind(option + "=", 0) == 0) return a.substr(option.size() + 1);
      return std::nullopt;
    };
    if (auto v = value("--settings")) {
      o.settingsFile = *v;
    } else if (auto v2 = value("--data-dir")) {
      o.dataDir = *v2;
    } else if (auto v3 = value("--port-map")) {
      o.portMap = *v3;
    } else if (a == "--simulate") {
      o.simulateMemory = 64;
    } else if (a.rfind("--simulate=", 0) == 0) {
      const std::string m = a.substr(11);
      if (m != "64" && m != "512") usage("--simulate takes 64 or 512");
      o.simulateMemory = std::stoi(m);
    } else if (a == "--help" || a == "-h") {
      usage("programmer for on-screen-display video nodes");
    } else if (a.rfind("--", 0) == 0) {
      usage("unknown option " + a);
    } else {
      o.words.push_back(a);
    }
  }
  return o;
}

bool writableDir(const QString& dir) {
  QFileInfo info(dir);
  return info.isDir() && info.isWritable();
}

// Copies the data files the installation ships into a fresh "Images" folder.
void seedImages(const QString& imagesDir, const QString& programDir) {
  const QString shipped =
      QDir(programDir).absoluteFilePath(QStringLiteral("../share/osdprog/Images"));
  for (const QString& file : QDir(shipped).entryList({QStringLiteral("*.dat")}, QDir::Files)) {
    const QString target = imagesDir + QChar('/') + file;
    if (!QFileInfo::exists(target)) QFile::copy(shipped + QChar('/') + file, target);
  }
}

// An installed program finds the data files it ships beside its folder; its own folder is a
// system folder then, shared by every user, and is not written even when it could be.
bool installed(const QString& programDir) {
  return QFileInfo(QDir(programDir).absoluteFilePath(QStringLiteral("../share/osdprog/Images")))
      .isDir();
}

// The folder that holds "Images": the program's own folder, else the user's data folder.
// "Images" is created where it is missing.
QString dataFolder(const Options& o, const QString& programDir) {
  QString dir;
  if (!o.dataDir.empty()) {
    dir = QDir(QString::fromStdString(o.dataDir)).absolutePath();
  } else if (!installed(programDir) && writableDir(programDir)) {
    dir = programDir;
  } else {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
      base = QDir::homePath() + QStringLiteral("/.local/share");
    dir = base + QStringLiteral("/Norvo/RA7_Vud");
  }
  QDir().mkpath(dir + QStringLiteral("/Images"));
  seedImages(dir + QStringLiteral("/Images"), programDir);
  return dir;
}

// The settings as stored, except that the port setting reads as the simulated node's port
// for this run; writes go to the file unchanged.
class SimulatedPortSettings : public osd::SettingsBackend {
 public:
  SimulatedPortSettings(osd::SettingsBackend& inner, int port) : inner_(inner), port_(port) {}
  std::optional<std::string> read(const std::string& path) override {
    static const std::string kKey = std::string("\\") + osd::kSection + "\\ComPort";
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

}  // namespace

int main(int argc, char** argv) {
  QApplication::setApplicationName(QStringLiteral("osdprog"));
  QApplication::setOrganizationName(QStringLiteral("Norvo"));
  QApplication qapp(argc, argv);
  const Options options = parseOptions(QApplication::arguments());
  const QString programDir = QApplication::applicationDirPath();

  // SIGTERM and SIGINT close the window the ordinary way.
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
    std::perror("osdprog: socketpair");
    return 1;
  }
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);

  osd::qt::PortMap map;
  try {
    map = osd::qt::PortMap::fromSources(options.portMap);
  } catch (const std::exception& e) {
    usage(std::string("--port-map: ") + e.what());
  }

  std::unique_ptr<osd::sim::PtyNode> simulated;
  int simulatedPort = 0;
  if (options.simulateMemory > 0) {
    osd::sim::PtyOptions po;
    po.node.memoryKiB = options.simulateMemory;
    simulated = std::make_unique<osd::sim::PtyNode>(po);
    try {
      simulated->start();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "osdprog: cannot start the simulated node: %s\n", e.what());
      return 1;
    }
    simulatedPort = map.useDevice(simulated->devicePath());
    if (simulatedPort == 0) {
      std::fprintf(stderr, "osdprog: no free port number for the simulated node\n");
      return 1;
    }
    std::fprintf(stderr, "osdprog: simulated node (%d K) on COM%d = %s\n", options.simulateMemory,
                 simulatedPort, simulated->devicePath().c_str());
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
  int exitCode = 0;
  {
    osd::App app(platform);
    app.simulatedPort = simulatedPort;
    const bool startupStamp = !qEnvironmentVariableIsEmpty("OSDPROG_STARTUP_STAMP");
    if (startupStamp) app.splashShown = true;  // the splash timer then does nothing
    osd::gui::MainWindow window(app);
    dialogs.setParent(&window);

    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &window, [&]() {
      char byte = 0;
      ssize_t n = ::read(signalPipe[0], &byte, 1);
      (void)n;
      window.close();
      QApplication::quit();
    });
    instances.onRaiseRequested = [&window]() {
      window.showNormal();
      window.raise();
      window.activateWindow();
    };
    // Asked by a later copy: close once the request has been answered.
    instances.onCloseRequested = [&window]() {
      QTimer::singleShot(0, &window, [&window]() {
        window.close();
        QApplication::quit();
      });
    };

    std::string commandLine;
    for (const std::string& w : options.words) commandLine += (commandLine.empty() ? "" : " ") + w;
    app.formLoad(commandLine);

    // The previous copy may need a moment to let go of the name.
    auto listenTries = std::make_shared<int>(0);
    auto tryListen = std::make_shared<std::function<void()>>();
    *tryListen = [&instances, listenTries, tryListen]() {
      if (instances.listen() || ++*listenTries > 20) return;
      QTimer::singleShot(250, *tryListen);
    };
    (*tryListen)();

    window.show();
    if (startupStamp) {
      // A zero timer fires once the events queued by the start-up have been handled.
      QTimer::singleShot(0, &window, [] {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        std::fprintf(stderr, "osdprog: idle at %lld.%09ld\n", static_cast<long long>(now.tv_sec),
                     now.tv_nsec);
      });
    }

    const QString shot = qEnvironmentVariable("OSDPROG_SCREENSHOT");
    if (!shot.isEmpty()) {
      const QStringList parts = shot.split(QChar(','));
      const int delay = parts.size() > 1 ? parts[1].toInt() : 3000;
      QTimer::singleShot(delay, &window, [&window, file = parts[0]]() {
        if (!window.grab().save(file))
          std::fprintf(stderr, "osdprog: cannot write %s\n", qPrintable(file));
      });
    }
    QObject::connect(&qapp, &QApplication::lastWindowClosed, &qapp, &QApplication::quit);
    exitCode = QApplication::exec();
    window.close();
    *tryListen = nullptr;
  }
  if (simulated) simulated->stop();
  return exitCode;
}

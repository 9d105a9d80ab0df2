#include "ctl/ctl_host.h"

#include <unistd.h>

#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace osd::ctl {

namespace {

int gArgc = 1;
char gProgramName[] = "osdctl";
char* gArgv[] = {gProgramName, nullptr};

}  // namespace

bool takeCommonOptions(Args& args, HostOptions& options, std::string& error) {
  struct Opt {
    const char* name;
    std::string* value;
    bool seen;
  };
  Opt opts[] = {{"--port", &options.port, false},
                {"--port-map", &options.portMap, false},
                {"--settings", &options.settingsFile, false},
                {"--data-dir", &options.dataDir, false}};
  Args rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    Opt* match = nullptr;
    std::string value;
    bool inline_ = false;
    for (auto& o : opts) {
      const std::string name = o.name;
      if (word == name) {
        match = &o;
      } else if (word.rfind(name + "=", 0) == 0) {
        match = &o;
        value = word.substr(name.size() + 1);
        inline_ = true;
      }
      if (match) break;
    }
    if (!match) {
      rest.push_back(word);
      continue;
    }
    if (!inline_) {
      if (i + 1 >= args.size()) {
        error = std::string(match->name) + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (match->seen) {
      error = std::string(match->name) + " is given twice";
      return false;
    }
    if (value.empty()) {
      error = std::string(match->name) + " needs a value";
      return false;
    }
    match->seen = true;
    *match->value = value;
  }
  args = std::move(rest);
  return true;
}

std::string dataFolder(const std::string& dataDirOption, const std::string& programDir) {
  if (!dataDirOption.empty()) return dataDirOption;
  if (!programDir.empty() && ::access(programDir.c_str(), W_OK) == 0) return programDir;
  std::string base;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg) {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : ".") + "/.local/share";
  }
  return base + "/Norvo/RA7_Vud";
}

Host::Host(HostOptions options) : options_(std::move(options)) {
  if (!QCoreApplication::instance()) {
    ownApp_ = std::make_unique<QCoreApplication>(gArgc, gArgv);
  }
  qt::PortMap map = qt::PortMap::fromSources(options_.portMap);
  settings_ = std::make_unique<IniSettings>(
      options_.settingsFile.empty() ? IniSettings::defaultFile(kAppKey) : options_.settingsFile,
      kAppKey);
  port_ = std::make_unique<qt::QtSerialPort>(std::move(map));
  loop_ = std::make_unique<qt::QtEventLoop>();
  const std::string programDir = QCoreApplication::applicationDirPath().toStdString();
  platform_ =
      std::make_unique<Platform>(Platform{*port_, *loop_, *settings_, dialogs_, launcher_,
                                          programDir, dataFolder(options_.dataDir, programDir)});
}

App& Host::app() {
  // Made on first use: the commands that talk to the link components alone never make it.
  if (!app_) app_ = std::make_unique<App>(*platform_);
  return *app_;
}

Host::~Host() {
  if (app_) app_->link().closeAtExit();
  app_.reset();
}

int Host::openPort() {
  if (options_.port.empty()) {
    std::fprintf(stderr, "osdctl: no port given (--port N or --port DEVICE)\n");
    return kPortFailure;
  }
  const int number = port_->map().resolve(options_.port);
  if (number == 0) {
    std::fprintf(stderr, "osdctl: '%s' is neither a port number 1-255 nor a device path\n",
                 options_.port.c_str());
    return kPortFailure;
  }
  app().link().select(number);
  app().link().open();
  if (!port_->isOpen()) {
    const std::string why = port_->lastOpenError().description;
    std::fprintf(stderr, "osdctl: port %d cannot be opened: %s\n", number,
                 why.empty() ? "unknown reason" : why.c_str());
    return kPortFailure;
  }
  loop_->setTimerEnabled(TimerId::ComInit, false);
  app().link().setValid(true);
  return kOk;
}

bool Host::runUntil(const std::function<bool()>& done, int timeoutMs) {
  const bool tickWasOn = loop_->timerEnabled(TimerId::Delay);
  loop_->setTimerEnabled(TimerId::Delay, true);
  QElapsedTimer clock;
  clock.start();
  bool ok = done();
  while (!ok && clock.elapsed() < timeoutMs) {
    loop_->yield();
    ok = done();
  }
  if (!tickWasOn) loop_->setTimerEnabled(TimerId::Delay, false);
  return ok;
}

bool Host::drain(int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (port_->isOpen() && port_->pendingOutput() > 0) {
    if (clock.elapsed() >= timeoutMs) return false;
    loop_->yield();
  }
  return port_->isOpen();
}

bool wholeNumber(const std::string& text, int lo, int hi, int& out) {
  if (text.empty() || text.size() > 6) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const int v = std::atoi(text.c_str());
  if (v < lo || v > hi) return false;
  out = v;
  return true;
}

bool errorShown(App& app, std::string& message) {
  if (!app.ui().visible("frameError")) return false;
  message = app.ui().text("lblErrTxt");
  for (char& c : message) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  message += " (" + app.ui().text("frameError") + ")";
  return true;
}

}  // namespace osd::ctl

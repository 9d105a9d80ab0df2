#include "ctl/ctl_host.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/stop_signals.h"
#include "settings/preferences.h"
#include "settings/settings_import.h"

namespace osd::ctl {

int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

Host::Host(HostOptions options)
    : options_(std::move(options)), seams_(makeHostSeams(options_.portMap)) {
  settings_ = std::make_unique<IniSettings>(
      options_.settingsFile.empty() ? IniSettings::defaultFile(kAppKey) : options_.settingsFile,
      kAppKey);
  takeMachineSettings();
  const std::string programDir = seams_->programDir();
  dataDir_ = dataFolder(options_.dataDir, programDir);
  cli::prepareDataFolder(dataDir_, programDir);
  bench_ = std::make_unique<Workbench>(*settings_, dataDir_);
}

Host::~Host() = default;

void Host::takeMachineSettings() {
  std::error_code ec;
  const bool exists = std::filesystem::exists(settings_->file(), ec) || ec;
  if (exists) return;
  const SettingsImport import = importSettings(*settings_, false, kAppKey, kSection,
                                               seams_->machineSettings(kAppKey, kSection));
  std::string key = Preferences::path(kAppKey, kSection, "");
  key.pop_back();  // the path's last backslash
  const std::string note = importNote(import, "the registry (" + key + ")", settings_->file());
  if (!note.empty()) std::fprintf(stderr, "%s %s\n", tag().c_str(), note.c_str());
}

void Recorder::error(const std::string& message, const std::string& title) {
  if (!failure.empty()) failure += "; ";
  failure += message + " (" + title + ")";
  for (char& c : failure) {
    if (c == '\r' || c == '\n') c = ' ';
  }
}

Line::Line(Host& host)
    : host(host),
      link(host.port(), host.loop(), recorder),
      dispatcher(link, host.loop(), recorder, {.downloading = [this] { return downloading; }}),
      session(
          link, dispatcher, host.loop(), recorder,
          {.downloading = [this] { return downloading; }, .colorNode = [this] { return colour; }}) {
  host.port().onEvent = [this](int code) { link.handleEvent(code, [this] { session.receive(); }); };
  host.loop().onTimer = [this](TimerId id) {
    if (id == TimerId::Delay) {
      dispatcher.sharedWait().tick();
      session.pollTick();
    } else if (id == TimerId::TenSec) {
      session.eraseTick();
    }
  };
}

std::unique_ptr<Host> makeHost(const char* command, const HostOptions& options, int& rc) {
  try {
    return std::make_unique<Host>(options);
  } catch (const std::invalid_argument& e) {
    rc = usageError(command, e.what());
    return nullptr;
  }
}

std::unique_ptr<Line> openLine(Host& host, int& rc) {
  auto line = std::make_unique<Line>(host);
  rc = host.openPort(line->link);
  if (rc != kOk) return nullptr;
  line->recorder.failure.clear();
  return line;
}

std::unique_ptr<Line> openLine(const char* command, const HostOptions& options,
                               std::unique_ptr<Host>& host, int& rc) {
  host = makeHost(command, options, rc);
  return host ? openLine(*host, rc) : nullptr;
}

DownloadHooks stoppable(DownloadHooks hooks) {
  hooks.stopRequested = [] { return StopSignals::raised(); };
  return hooks;
}

int stoppedAt(Line& line, int64_t written, int64_t total, bool inFlight) {
  LineState& state = line.link.line();
  const bool terminal = ::isatty(2) == 1;
  if (inFlight) {
    state.drain(LineState::kStallSeconds + state.backlogSeconds(), {}, [&](int64_t left) {
      if (terminal) std::fprintf(stderr, "\r%s\x1b[K", stoppingText(left).c_str());
    });
    if (terminal) std::fputc('\n', stderr);
  }
  const int64_t carried = std::max<int64_t>(0, written - state.inFlight());
  std::fprintf(stderr, "%s %s\n", tag().c_str(), stoppedAtText(carried, total).c_str());
  return kPortFailure;
}

Line::~Line() {
  host.port().onEvent = nullptr;
  host.loop().onTimer = nullptr;
  link.closeAtExit();
}

int Host::openPort(LinkService& link) {
  const std::string tagged = tag();
  if (options_.port.empty()) {
    std::fprintf(stderr, "%s no port given (--port N or --port DEVICE)\n", tagged.c_str());
    return kPortFailure;
  }
  const int number = seams_->resolvePort(options_.port);
  if (number == 0) {
    std::fprintf(stderr, "%s '%s' is neither a port number 1-255 nor a device path\n",
                 tagged.c_str(), options_.port.c_str());
    return kPortFailure;
  }
  link.select(number);
  link.open();
  if (!port().isOpen()) {
    const std::string why = seams_->openFailure();
    // Name the port as the user gave it: a device path, or the number and its device.
    const std::string device = port().deviceName(number);
    const bool byDevice = options_.port.find_first_not_of("0123456789") != std::string::npos;
    const std::string com = "COM" + options_.port;
    const std::string named =
        byDevice ? options_.port
                 : com + (device.empty() || device == com ? "" : " (" + device + ")");
    if (seams_->openFailureInUse()) {
      std::fprintf(stderr, "%s %s is in use by another program\n", tagged.c_str(), named.c_str());
    } else {
      std::fprintf(stderr, "%s %s cannot be opened: %s\n", tagged.c_str(), named.c_str(),
                   why.empty() ? "unknown reason" : why.c_str());
    }
    return kPortFailure;
  }
  loop().setTimerEnabled(TimerId::ComInit, false);
  link.setValid(true);
  return kOk;
}

bool Host::runUntil(const std::function<bool()>& done, int timeoutMs) {
  const bool tickWasOn = loop().timerEnabled(TimerId::Delay);
  loop().setTimerEnabled(TimerId::Delay, true);
  const int64_t start = nowMs();
  bool ok = done();
  while (!ok && nowMs() - start < timeoutMs) {
    loop().yield();
    ok = done();
  }
  if (!tickWasOn) loop().setTimerEnabled(TimerId::Delay, false);
  return ok;
}

bool Host::drain(int timeoutMs) {
  const int64_t start = nowMs();
  while (port().isOpen() && port().heldBytes() > 0) {
    if (nowMs() - start >= timeoutMs) return false;
    loop().yield();
  }
  return port().isOpen();
}

void StderrReporter::status(const std::string& text) {
  if (!text.empty()) std::fprintf(stderr, "%s %s\n", tag().c_str(), text.c_str());
}

void StderrReporter::error(const std::string& message, const std::string& title) {
  std::string line = message;
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  line += " (" + title + ")";
  errors_.push_back(line);
  std::fprintf(stderr, "%s %s\n", tag().c_str(), line.c_str());
}

void StderrReporter::download(const DownloadProgress& p) {
  last_ = p;
  const int64_t now = nowMs();
  if (p.phase != phase_) {
    phase_ = p.phase;
    if (p.phase == DownloadPhase::Erasing)
      std::fprintf(stderr, "%s erasing, about 10 s\n", tag().c_str());
    if (p.phase == DownloadPhase::Setup && p.total > 0) {
      line_ = std::make_unique<LineProgress>(p.total, static_cast<double>(now) / 1000.0);
    }
  }
  if (!line_ || p.total <= 0) return;
  // What has left the port: never more than a 9600-baud line can have carried.
  line_->update(p.sent, p.waiting, static_cast<double>(now) / 1000.0);
  if (lastLineMs_ >= 0 && now - lastLineMs_ < (terminal_ ? 250 : 1000)) return;
  lastLineMs_ = now;
  if (terminal_) {
    std::fprintf(stderr, "\r%s\x1b[K", progressBarLine(*line_, 79).c_str());
    barOpen_ = true;
  } else {
    std::fprintf(stderr, "%s %s\n", tag().c_str(), sentOfTotal(*line_).c_str());
  }
}

void StderrReporter::refresh(int64_t held) {
  if (!line_ || last_.phase == DownloadPhase::Failed) return;
  DownloadProgress p = last_;
  p.waiting = held;
  download(p);
}

void StderrReporter::endBar() {
  if (barOpen_) std::fputc('\n', stderr);
  barOpen_ = false;
}

}  // namespace osd::ctl

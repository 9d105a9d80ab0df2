// osdctl's seams without Qt (Windows): the standard library's event loop with the Win32 serial
// port polled on it, the registry for the COM ports and an earlier installation's settings.
#include <windows.h>

#include <cstdio>
#include <filesystem>

#include "ctl/ctl_seams.h"
#include "platform/std_event_loop.h"
#include "platform/win_text.h"
#include "winplatform/win_registry.h"
#include "winplatform/win_serial_port.h"

namespace osd::ctl {

namespace {

// Nobody answers a dialog on the command line: confirmations count as given (the command line
// asked for the action), messages go to standard error.
class QuietDialogs : public Dialogs {
 public:
  bool confirm(const std::string&, const std::string&, Preset,
               const std::function<std::string()>&) override {
    return true;
  }
  std::optional<std::string> askValue(const std::string&) override { return std::nullopt; }
  std::string openFileName(const std::string&, const std::string&) override { return ""; }
  std::string saveFileName(const std::string&, const std::string&) override { return ""; }
  void message(const std::string& title, const std::string& text) override {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  }
  void beep() override {}
};

// osdctl starts no outside programs and opens no documents.
class NoLauncher : public Launcher {
 public:
  bool startProgram(const std::string&, const std::vector<std::string>&) override { return false; }
  bool openDocument(const std::string&) override { return false; }
  bool fileExists(const std::string& path) const override {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
  }
};

class StdSeams : public HostSeams {
 public:
  explicit StdSeams(const std::string& portMap) : port_(mapOf(portMap)) {
    pollId_ = loop_.repeat(win::WinSerialPort::kPollMs, [this] { port_.poll(); });
  }
  ~StdSeams() override {
    loop_.stopRepeating(pollId_);
    stopTicker();
  }

  // The explicit entries only: every other number is its COM port.
  static qt::PortMap mapOf(const std::string& portMap) {
    qt::PortMap map;
    std::string error;
    const char* env = std::getenv(qt::PortMap::kEnvironmentVariable);
    if (env && *env && !map.addMapText(env, error)) {
      throw std::invalid_argument(std::string(qt::PortMap::kEnvironmentVariable) + ": " + error);
    }
    if (!portMap.empty() && !map.addMapText(portMap, error)) {
      throw std::invalid_argument("--port-map: " + error);
    }
    return map;
  }

  SerialPort& port() override { return port_; }
  EventLoop& loop() override { return loop_; }
  Dialogs& dialogs() override { return dialogs_; }
  Launcher& launcher() override { return launcher_; }
  int resolvePort(const std::string& typed) override { return port_.resolve(typed); }
  std::string openFailure() const override { return port_.lastOpenError().description; }
  bool openFailureInUse() const override { return port_.lastOpenError().number == kErrPortInUse; }
  std::string programDir() const override {
    std::wstring path(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n);
    return std::filesystem::path(path).parent_path().string();
  }
  void startTicker(int periodMs, std::function<void()> tick) override {
    stopTicker();
    tickerId_ = loop_.repeat(periodMs, std::move(tick));
  }
  void stopTicker() override {
    if (tickerId_ != 0) loop_.stopRepeating(tickerId_);
    tickerId_ = 0;
  }
  std::map<std::string, std::string> machineSettings(const std::string& appKey,
                                                     const std::string& section) override {
    return win::machineSettings(appKey, section);
  }

 private:
  StdEventLoop loop_;
  win::WinSerialPort port_;
  QuietDialogs dialogs_;
  NoLauncher launcher_;
  int pollId_ = 0;
  int tickerId_ = 0;
};

}  // namespace

std::unique_ptr<HostSeams> makeHostSeams(const std::string& portMap) {
  return std::make_unique<StdSeams>(portMap);
}

std::vector<PortListing> listPorts(const std::string& portMap) {
  const qt::PortMap map = StdSeams::mapOf(portMap);
  std::map<int, PortListing> ports;
  for (int n : win::comPorts()) ports[n] = {n, "COM" + std::to_string(n), false};
  for (const auto& [n, device] : map.entries()) ports[n] = {n, device, true};
  std::vector<PortListing> out;
  for (const auto& [n, listing] : ports) out.push_back(listing);
  return out;
}

}  // namespace osd::ctl

// osdctl's whole command line, every command of its table: the shared options before the
// command, each command's options and words, --help and --version. The input holds the words
// (separated by newlines) and, after the first NUL byte, a file's bytes: the word "@" stands
// for that file as "in.bmp", "@@" for it as "site.ini". Every word is kept inside a private
// folder (slashes become underscores; it is the working folder, HOME and TMPDIR while the
// command runs), which is emptied after each run. The port is a test double that opens
// nothing: no device of the machine is ever touched.
//
// Run with -close_fd_mask=3: the commands print values and reasons.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ctl/command_table.h"
#include "ctl/ctl_seams.h"
#include "fuzz_check.h"
#include "platform/port_map.h"
#include "support/fakes.h"

namespace osd::ctl {

namespace {

std::string workDir() {
  return fuzzWorkDir("ctl");
}

// A machine with no serial port that opens: every open fails as a missing port would.
class NoPortSeams : public HostSeams {
 public:
  explicit NoPortSeams(const std::string& portMap) {
    std::string error;
    if (!portMap.empty() && !map_.addMapText(portMap, error))
      throw std::invalid_argument("--port-map: " + error);
  }
  SerialPort& port() override { return port_; }
  EventLoop& loop() override { return loop_; }
  Dialogs& dialogs() override { return dialogs_; }
  Launcher& launcher() override { return launcher_; }
  int resolvePort(const std::string& typed) override { return map_.resolve(typed); }
  std::string openFailure() const override { return "no such port"; }
  bool openFailureInUse() const override { return false; }
  std::string programDir() const override { return workDir(); }
  void startTicker(int, std::function<void()>) override {}
  void stopTicker() override {}

 private:
  qt::PortMap map_;
  test::FakePort port_;
  test::VirtualLoop loop_;
  test::ScriptedDialogs dialogs_;
  test::FakeLauncher launcher_;
};

}  // namespace

std::unique_ptr<HostSeams> makeHostSeams(const std::string& portMap) {
  return std::make_unique<NoPortSeams>(portMap);
}

std::vector<PortListing> listPorts(const std::string& portMap) {
  NoPortSeams check(portMap);
  return {};
}

}  // namespace osd::ctl

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace osd::ctl;
  const std::string dir = workDir();
  static const bool once = [&] {
    ::setenv("HOME", dir.c_str(), 1);
    ::setenv("TMPDIR", dir.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
    ::unsetenv("OSDPROG_PORT_MAP");
    return true;
  }();
  (void)once;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t nul = input.find('\0');
  const std::string words = input.substr(0, nul);
  const std::string file = nul == std::string::npos ? std::string() : input.substr(nul + 1);
  for (const char* name : {"/in.bmp", "/site.ini"}) {
    std::ofstream out(dir + name, std::ios::binary | std::ios::trunc);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
  }

  Args args;
  for (size_t start = 0; start <= words.size() && args.size() < 16;) {
    size_t end = words.find('\n', start);
    if (end == std::string::npos) end = words.size();
    std::string w = words.substr(start, end - start);
    for (char& c : w) {
      if (c == '/' || c == '\\') c = '_';
    }
    if (w == "@") w = dir + "/in.bmp";
    if (w == "@@") w = dir + "/site.ini";
    if (w.size() > 64) w.resize(64);
    args.push_back(w);
    start = end + 1;
  }

  // Relative file names land in the private folder; libFuzzer's own paths stay as they were.
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  const int rc = runOsdctl(args);
  FUZZ_CHECK(rc == kOk || rc == kRefused || rc == kUsage || rc == kPortFailure);
  std::filesystem::current_path(previous);

  // Back to a clean folder.
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
    std::filesystem::remove_all(entry.path(), ec);
  return 0;
}

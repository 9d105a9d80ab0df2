#include "ctl/ctl_options.h"

#include <cstdio>

#include "platform/port_map.h"

namespace osd::ctl {

const std::vector<cli::Option>& commonOptions() {
  static const std::vector<cli::Option> kOptions = {
      {"--port"}, {"--port-map"}, {"--settings"}, {"--data-dir"}};
  return kOptions;
}

bool takeCommonOptions(const cli::Parsed& parsed, HostOptions& options, std::string& error) {
  options.port = parsed.value("--port");
  options.portMap = parsed.value("--port-map");
  options.settingsFile = parsed.value("--settings");
  options.dataDir = parsed.value("--data-dir");
  const std::string& port = options.port;
  if (!port.empty() && port.find_first_not_of("0123456789") == std::string::npos &&
      !cli::wholeNumber(port, 1, qt::PortMap::kMaxNumber)) {
    error = "--port " + port + ": a port number is 1 to 255 (or give a device path)";
    return false;
  }
  qt::PortMap check;
  if (!options.portMap.empty() && !check.addMapText(options.portMap, error)) {
    error = "--port-map: " + error;
    return false;
  }
  return true;
}

int usageError(const char* command, const std::string& why, const char* synopsis) {
  std::fprintf(stderr, "osdctl %s: %s\nusage: osdctl %s\n", command, why.c_str(), synopsis);
  return kUsage;
}

std::optional<int> readCommandArgs(const Args& args, std::vector<cli::Option> own,
                                   const char* command, const char* synopsis, cli::Parsed& parsed,
                                   HostOptions& options) {
  own.insert(own.end(), commonOptions().begin(), commonOptions().end());
  parsed = cli::parse(args, own);
  std::string why = parsed.error;
  if (parsed.outcome == cli::Outcome::Help) {
    std::printf("usage: osdctl %s\n", synopsis);
    return kOk;
  }
  if (parsed.outcome == cli::Outcome::Version) {
    std::printf("%s\n", cli::versionLine("osdctl").c_str());
    return kOk;
  }
  if (parsed.outcome == cli::Outcome::Run && takeCommonOptions(parsed, options, why)) {
    if (!options.port.empty()) return std::nullopt;
    why = "--port is needed";
  }
  return usageError(command, why, synopsis);
}

std::string dataFolder(const std::string& dataDirOption, const std::string& programDir) {
  return cli::dataFolder(dataDirOption, programDir);
}

bool wholeNumber(const std::string& text, int lo, int hi, int& out) {
  const std::optional<long long> v = cli::wholeNumber(text, lo, hi);
  if (!v) return false;
  out = static_cast<int>(*v);
  return true;
}

}  // namespace osd::ctl

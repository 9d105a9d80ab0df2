#include "ctl/ctl_options.h"

#include "qtplatform/port_map.h"

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

bool takeCommonOptions(Args& args, HostOptions& options, std::string& error) {
  const cli::Parsed parsed = cli::parse(args, commonOptions(), true);
  if (parsed.outcome == cli::Outcome::Usage) {
    error = parsed.error;
    return false;
  }
  if (!takeCommonOptions(parsed, options, error)) return false;
  args = parsed.words;
  return true;
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

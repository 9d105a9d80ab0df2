#include "ctl/ctl_options.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "ctl/command_table.h"
#include "platform/port_map.h"

namespace osd::ctl {

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

int usageError(const char* command, const std::string& why) {
  const Command* c = findCommand(command);
  std::fprintf(stderr, "osdctl %s: %s\nusage: osdctl %s\n", command, why.c_str(),
               c ? wrappedSynopsis(*c, 14).c_str() : command);
  return kUsage;
}

std::optional<int> readCommandArgs(const Args& args, const char* command, cli::Parsed& parsed,
                                   HostOptions& options) {
  const Command* c = findCommand(command);
  parsed = cli::parse(args, optionsOf(*c));
  std::string why = parsed.error;
  if (parsed.outcome == cli::Outcome::Help) {
    printCommandHelp(*c, stdout);
    return kOk;
  }
  if (parsed.outcome == cli::Outcome::Version) {
    std::printf("%s\n", cli::versionLine("osdctl").c_str());
    return kOk;
  }
  if (parsed.outcome == cli::Outcome::Run && takeCommonOptions(parsed, options, why)) {
    if (!options.port.empty() || c->port != PortUse::Needed) return std::nullopt;
    why = "--port is needed";
  }
  return usageError(command, why);
}

std::string readIdList(const std::string& text, const std::string& option, std::vector<int>& ids) {
  std::set<int> seen;
  ids.clear();
  for (size_t at = 0; at <= text.size();) {
    const size_t comma = std::min(text.find(',', at), text.size());
    const std::string item = text.substr(at, comma - at);
    const size_t dash = item.find('-');
    int from = 0, to = 0;
    const bool range = dash != std::string::npos;
    if (!(range ? wholeNumber(item.substr(0, dash), 1, 255, from) &&
                      wholeNumber(item.substr(dash + 1), 1, 255, to) && from <= to
                : wholeNumber(item, 1, 255, from))) {
      return option + " needs node IDs 1-255 and ranges FROM-TO, such as 3-7,9" +
             (option == "--nodes" ? ", or all" : "") + " ('" + item + "' is none)";
    }
    for (int id = from; id <= (range ? to : from); ++id) {
      if (!seen.insert(id).second) return option + " names node " + std::to_string(id) + " twice";
      ids.push_back(id);
    }
    at = comma + 1;
  }
  return "";
}

std::string fileFault(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return "is a folder";
  if (!std::filesystem::exists(path, ec)) return "no such file";
  if (!std::ifstream(path, std::ios::binary)) return "cannot be read";
  return "";
}

std::string memoryColumn(int kib) {
  return kib > 0 ? std::to_string(kib) + "K" : "-";
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

// osdctl ports: the port numbers and the devices they stand for.
#include <cstdio>
#include <stdexcept>

#include "ctl/commands.h"
#include "ctl/ctl_options.h"
#include "qtplatform/port_map.h"

namespace osd::ctl {

int ports(const Args& args) {
  const cli::Parsed parsed = cli::parse(args, commonOptions());
  HostOptions options;
  std::string error = parsed.error;
  if (parsed.outcome == cli::Outcome::Run) takeCommonOptions(parsed, options, error);
  if (!error.empty()) {
    std::fprintf(stderr, "osdctl ports: %s\n", error.c_str());
    return kUsage;
  }
  if (!parsed.words.empty() || !options.port.empty()) {
    std::fprintf(stderr, "osdctl ports: unexpected argument '%s'\n",
                 parsed.words.empty() ? "--port" : parsed.words.front().c_str());
    return kUsage;
  }
  qt::PortMap map;
  try {
    map = qt::PortMap::fromSources(options.portMap);
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "osdctl ports: %s\n", e.what());
    return kUsage;
  }
  if (map.entries().empty()) {
    std::fprintf(stderr, "osdctl ports: no serial devices found\n");
    return kOk;
  }
  // One line per port: number, device, and whether the port map named it.
  for (const auto& [number, device] : map.entries()) {
    std::printf("%d\t%s%s\n", number, device.c_str(), map.isExplicit(number) ? "\t(mapped)" : "");
  }
  return kOk;
}

}  // namespace osd::ctl

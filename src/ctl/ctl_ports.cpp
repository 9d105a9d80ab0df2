// osdctl ports: the port numbers and the devices they stand for.
#include <cstdio>
#include <stdexcept>

#include "ctl/commands.h"
#include "ctl/ctl_options.h"
#include "ctl/ctl_seams.h"

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
  std::vector<PortListing> found;
  try {
    found = listPorts(options.portMap);
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "osdctl ports: %s\n", e.what());
    return kUsage;
  }
  if (found.empty()) {
    std::fprintf(stderr, "osdctl ports: no serial devices found\n");
    return kOk;
  }
  // One line per port: number, device, and whether the port map named it.
  for (const PortListing& p : found) {
    std::printf("%d\t%s%s\n", p.number, p.device.c_str(), p.mapped ? "\t(mapped)" : "");
  }
  return kOk;
}

}  // namespace osd::ctl

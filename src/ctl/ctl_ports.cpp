// osdctl ports: the port numbers and the devices they stand for.
#include <cstdio>
#include <stdexcept>

#include "ctl/commands.h"
#include "ctl/ctl_options.h"
#include "ctl/ctl_seams.h"

namespace osd::ctl {

int ports(const Args& args) {
  cli::Parsed parsed;
  HostOptions options;
  if (auto rc = readCommandArgs(args, "ports", parsed, options)) return *rc;
  if (!parsed.words.empty())
    return usageError("ports", "unexpected argument '" + parsed.words.front() + "'");
  std::vector<PortListing> found;
  try {
    found = listPorts(options.portMap);
  } catch (const std::invalid_argument& e) {
    return usageError("ports", e.what());
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

// What osdctl download --nodes and osdctl apply share: logos made ready for several nodes,
// the node list, and the fleet download run on the line with its progress on standard error
// and one result line per node on standard output.
#pragma once

#include <string>
#include <vector>

#include "ctl/ctl_host.h"
#include "transfer/fleet_download.h"

namespace osd::ctl {

// One logo as the operator chose it.
struct LogoChoice {
  std::string file;
  bool rgb = false;
  int transparent = 255;
  int slot = 1;
  bool slotGiven = false;            // "AJ" goes to the nodes before the erase
  int x = -1, y = -1;                // placement in screen percent; -1: not placed
  const char* command = "download";  // whose stored choices a placement takes
};

// Reads the bitmap and encodes it as a download of it sends it, with the placement commands
// and the setup block that go with it. "" when it is ready, else the reader's reason.
std::string prepareLogo(Host& host, const LogoChoice& choice, FleetLogo& out);

// The node IDs a scan of 1-255 finds, with its progress on standard error; empty after
// saying why (no node, a port failure).
std::vector<int> scanWholeLine(Host& host, Line& line);

// "ID<TAB>64K<TAB>programmed".
std::string resultLine(const FleetResult& r);

// Runs the job on the line: progress on standard error, one result line per node on
// standard output. kOk when every node was programmed, kPortFailure otherwise. SIGINT and
// SIGTERM stop it (StopSignals must live): "osdctl COMMAND: stopped at N of M bytes".
int runFleet(Host& host, Line& line, const FleetJob& job);

}  // namespace osd::ctl

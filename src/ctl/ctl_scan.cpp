// osdctl scan --port P [--ids LIST]: which node IDs answer on the line, one line each on
// standard output: ID, HEX, MEMORY and MS, separated by tabs.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ctl/commands.h"
#include "ctl/ctl_host.h"
#include "platform/stop_signals.h"
#include "scan/node_scan.h"

namespace osd::ctl {

namespace {


// The IDs as runs of consecutive IDs: each run is one scan of a range.
std::vector<std::pair<int, int>> runsOf(const std::vector<int>& ids) {
  std::vector<std::pair<int, int>> runs;
  for (const int id : ids) {
    if (!runs.empty() && runs.back().second + 1 == id)
      runs.back().second = id;
    else
      runs.emplace_back(id, id);
  }
  return runs;
}

// "3\t03\t64K\t41": the node's line on standard output.
std::string nodeLine(const FoundNode& node) {
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", node.id);
  return std::to_string(node.id) + "\t" + hex + "\t" + memoryColumn(node.memoryKiB) + "\t" +
         std::to_string(node.answerMs);
}

}  // namespace

int scan(const Args& args) {
  cli::Parsed parsed;
  HostOptions options;
  if (auto rc = readCommandArgs(args, "scan", parsed, options)) return *rc;
  std::vector<int> ids;
  if (!parsed.has("--ids")) {
    for (int id = 1; id <= 255; ++id) ids.push_back(id);
  } else if (const std::string why = readIdList(parsed.value("--ids"), "--ids", ids);
             !why.empty()) {
    return usageError("scan", why);
  }
  std::sort(ids.begin(), ids.end());
  if (!parsed.words.empty())
    return usageError("scan", "unexpected argument '" + parsed.words[0] + "'");
  std::unique_ptr<Host> host;
  int rc = kOk;
  const std::unique_ptr<Line> line = openLine("scan", options, host, rc);
  if (!line) return rc;

  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  std::optional<StopSignals> stopSignals(std::in_place);
  std::vector<FoundNode> found;
  std::string error;
  bool cancelled = false;
  int before = 0;  // IDs of the earlier runs
  const int count = static_cast<int>(ids.size());
  for (const auto& [from, to] : runsOf(ids)) {
    NodeScan scanner(host->port(), line->link.line(), host->loop(), from, to);
    scanner.onProgress = [&](int id, int index, int, int) {
      if (StopSignals::raised()) scanner.cancel();
      const int secondsLeft = NodeScan::estimateSeconds(count - before - index);
      const int place = before + index + 1;
      if (terminal) {
        std::fprintf(stderr, "\rscanning node ID %d (%d of %d), about %d s left   ", id, place,
                     count, secondsLeft);
      } else if ((place - 1) % 4 == 0) {  // a line about every 2 s
        std::fprintf(stderr, "osdctl scan: scanning node ID %d (%d of %d), about %d s left\n", id,
                     place, count, secondsLeft);
      }
      std::fflush(stderr);
    };
    scanner.onFound = [](const FoundNode& node) {
      std::printf("%s\n", nodeLine(node).c_str());
      std::fflush(stdout);
      if (!node.copyright.empty())
        std::fprintf(stderr, "osdctl scan: node %d said: %s\n", node.id, node.copyright.c_str());
    };
    for (const FoundNode& f : scanner.run()) found.push_back(f);
    before += to - from + 1;
    error = scanner.error();
    cancelled = scanner.cancelled();
    if (!error.empty() || cancelled) break;
  }
  if (terminal) std::fputs("\n", stderr);
  const bool drainedAll = error.empty() && host->drain(5000);
  stopSignals.reset();
  if (!error.empty()) {
    std::fprintf(stderr, "osdctl scan: the port failed: %s\n", error.c_str());
    return kPortFailure;
  }
  if (!drainedAll) {
    std::fprintf(stderr, "osdctl scan: the port did not send the final wake-up\n");
    return kPortFailure;
  }
  if (cancelled) {
    std::fprintf(stderr, "osdctl scan: interrupted; the nodes were woken again (WK,00)\n");
    return kPortFailure;
  }
  const std::string asked = parsed.value("--ids", "1-255");
  if (found.empty()) {
    std::fprintf(stderr, "osdctl scan: no node answered on IDs %s\n", asked.c_str());
    return kPortFailure;
  }
  std::fprintf(stderr, "osdctl scan: %zu node%s found on IDs %s\n", found.size(),
               found.size() == 1 ? "" : "s", asked.c_str());
  return kOk;
}

}  // namespace osd::ctl

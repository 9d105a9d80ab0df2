// osdctl scan --port P [--ids FROM-TO]: which node IDs answer on the line.
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "ctl/commands.h"
#include "ctl/ctl_host.h"
#include "platform/stop_signals.h"
#include "scan/node_scan.h"

namespace osd::ctl {

namespace {

constexpr const char* kSynopsis = "scan --port P [--ids FROM-TO]";

// "FROM-TO" or a single ID, within 1..255 and in order.
bool idRange(const std::string& text, int& from, int& to) {
  const size_t dash = text.find('-');
  if (dash == std::string::npos) {
    if (!wholeNumber(text, 1, 255, from)) return false;
    to = from;
    return true;
  }
  return wholeNumber(text.substr(0, dash), 1, 255, from) &&
         wholeNumber(text.substr(dash + 1), 1, 255, to) && from <= to;
}

}  // namespace

int scan(const Args& args) {
  cli::Parsed parsed;
  HostOptions options;
  if (auto rc = readCommandArgs(args, {{"--ids"}}, "scan", kSynopsis, parsed, options)) return *rc;
  int from = 1, to = 255;
  if (parsed.has("--ids") && !idRange(parsed.value("--ids"), from, to)) {
    return usageError("scan", "--ids needs FROM-TO, node IDs 1-255 with FROM not above TO",
                      kSynopsis);
  }
  if (!parsed.words.empty()) {
    return usageError("scan", "unexpected argument '" + parsed.words[0] + "'", kSynopsis);
  }
  std::unique_ptr<Host> host;
  int rc = kOk;
  const std::unique_ptr<Line> line = openLine("scan", options, host, rc, kSynopsis);
  if (!line) return rc;

  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  NodeScan scanner(host->port(), line->link.line(), host->loop(), from, to);
  std::optional<StopSignals> stopSignals(std::in_place);
  scanner.onProgress = [&](int id, int index, int count, int secondsLeft) {
    if (StopSignals::raised()) scanner.cancel();
    if (terminal) {
      std::fprintf(stderr, "\rscanning node ID %d (%d of %d), about %d s left   ", id, index + 1,
                   count, secondsLeft);
    } else if (index % 4 == 0) {  // a line about every 2 s
      std::fprintf(stderr, "scanning node ID %d (%d of %d), about %d s left\n", id, index + 1,
                   count, secondsLeft);
    }
    std::fflush(stderr);
  };
  scanner.onFound = [](const FoundNode& node) {
    std::printf("%s\n", describeNode(node).c_str());
    std::fflush(stdout);
  };
  const auto found = scanner.run();
  if (terminal) std::fputs("\n", stderr);
  const bool drainedAll = scanner.error().empty() && host->drain(5000);
  stopSignals.reset();
  if (!scanner.error().empty()) {
    std::fprintf(stderr, "osdctl scan: the port failed: %s\n", scanner.error().c_str());
    return kPortFailure;
  }
  if (!drainedAll) {
    std::fprintf(stderr, "osdctl scan: the port did not send the final wake-up\n");
    return kPortFailure;
  }
  if (scanner.cancelled()) {
    std::fprintf(stderr, "osdctl scan: interrupted; the nodes were woken again (WK,00)\n");
    return kPortFailure;
  }
  if (found.empty()) {
    std::fprintf(stderr, "osdctl scan: no node answered on IDs %d-%d\n", from, to);
    return kPortFailure;
  }
  std::fprintf(stderr, "osdctl scan: %zu node%s found on IDs %d-%d\n", found.size(),
               found.size() == 1 ? "" : "s", from, to);
  return kOk;
}

}  // namespace osd::ctl

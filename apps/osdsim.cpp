// osdsim: a simulated graphics node on a pseudo-terminal, for demos, training and tests.
//
//   osdsim [--memory 64|512] [--id N[:64|:512][,N...]] [--wake select|together]
//          [--model 1|2|3|4|7|15|31] [--color] [--baud 9600|0] [--record FILE]
//          [--image-out FILE.bmp] [--format rgb|ycbcr] [--logo FILE.bmp]
//          [--hangup-after BYTES] [--babble] [--seed N]
//
// The first line of standard output is the terminal device to open. The node runs until
// SIGTERM or SIGINT.
//   --id          "3,7,26:512": three nodes on the line, node 26 with a 512 K image memory
//   --wake        select (default): waking one node sends the others to sleep; together: the
//                 nodes already awake stay awake
//   --image-out   with "%d" in it, each node writes its own picture (%d: its decimal ID)
//   --format      how the picture of --image-out is decoded (default ycbcr)
//   --logo        the logo held for read-back: a 256 x 64 bitmap of 1 bit per pixel
//   --hangup-after  close the pseudo-terminal once this many bytes have been received
//   --babble      send random bytes without pause (seeded by --seed)
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

#include "common/logo_models.h"
#include "common/options.h"
#include "sim/logo_file.h"
#include "sim/pty_node.h"

namespace {

constexpr const char* kUsage =
    "usage: osdsim [--memory 64|512] [--id N[:64|:512][,N...]] [--wake select|together]\n"
    "              [--model 1|2|3|4|7|15|31] [--color] [--baud 9600|0] [--record FILE]\n"
    "              [--image-out FILE.bmp (%d: the node ID)]\n"
    "              [--format rgb|ycbcr] [--logo FILE.bmp] [--hangup-after BYTES] [--babble]\n"
    "              [--seed N]\n";

int usage(const std::string& message) {
  std::cerr << "osdsim: " << message << "\n" << kUsage;
  return 2;
}

// A value the user typed, quoted for a message.
std::string typed(const std::string& option, const std::string& value) {
  return option + " '" + value + "'";
}

// "3,7,26:512": several nodes on the line, each with its own memory where it says so.
bool readIds(const std::string& ids, osd::sim::PtyOptions& opt) {
  for (size_t at = 0; at <= ids.size();) {
    const size_t comma = std::min(ids.find(',', at), ids.size());
    const std::string item = ids.substr(at, comma - at);
    const size_t colon = std::min(item.find(':'), item.size());
    const auto v = osd::cli::wholeNumber(item.substr(0, colon), 1, 255);
    const std::string memory = colon < item.size() ? item.substr(colon + 1) : "";
    if (!v || (colon < item.size() && memory != "64" && memory != "512")) return false;
    opt.ids.push_back(static_cast<int>(*v));
    if (!memory.empty()) opt.memoryKiB[static_cast<int>(*v)] = std::stoi(memory);
    at = comma + 1;
  }
  opt.node.id = opt.ids.front();
  return true;
}

// Reads the command line into `opt` and `logoPath`. Returns -1 to go on, else the exit status.
int readCommandLine(int argc, char** argv, osd::sim::PtyOptions& opt, std::string& logoPath) {
  using osd::cli::Kind;
  const osd::cli::Parsed p =
      osd::cli::parse(osd::cli::argsOf(argc, argv), {{"--memory"},
                                                     {"--id"},
                                                     {"--wake"},
                                                     {"--model"},
                                                     {"--color", Kind::Flag},
                                                     {"--baud"},
                                                     {"--record"},
                                                     {"--image-out"},
                                                     {"--format"},
                                                     {"--logo"},
                                                     {"--hangup-after"},
                                                     {"--babble", Kind::Flag},
                                                     {"--seed"}});
  if (p.outcome == osd::cli::Outcome::Usage) return usage(p.error);
  if (p.outcome == osd::cli::Outcome::Help) {
    std::cout << "osdsim: a simulated graphics node on a pseudo-terminal\n" << kUsage;
    return 0;
  }
  if (p.outcome == osd::cli::Outcome::Version) {
    std::cout << osd::cli::versionLine("osdsim") << "\n";
    return 0;
  }
  if (!p.words.empty()) return usage("unexpected argument '" + p.words.front() + "'");
  using osd::cli::wholeNumber;
  if (p.has("--memory")) {
    const auto v = wholeNumber(p.value("--memory"), 64, 512);
    if (!v || (*v != 64 && *v != 512))
      return usage(typed("--memory", p.value("--memory")) + ": 64 or 512");
    opt.node.memoryKiB = static_cast<int>(*v);
  }
  if (p.has("--id") && !readIds(p.value("--id"), opt))
    return usage(typed("--id", p.value("--id")) +
                 ": node IDs 1 to 255, separated by commas, each with :64 or :512 if its memory "
                 "differs");
  if (p.has("--wake")) {
    const std::string w = p.value("--wake");
    if (w != "select" && w != "together") return usage(typed("--wake", w) + ": select or together");
    opt.node.wakeTogether = w == "together";
  }
  if (p.has("--model")) {
    const auto v = wholeNumber(p.value("--model"), 1, 31);
    if (!v || !osd::isLogoModel(*v))
      return usage(typed("--model", p.value("--model")) + ": " + osd::logoModelsText());
    opt.node.model = static_cast<int>(*v);
  }
  opt.node.color = p.has("--color");
  if (p.has("--baud")) {
    const std::string b = p.value("--baud");
    if (b != "9600" && b != "0") return usage(typed("--baud", b) + ": 9600, or 0 for no limit");
    opt.baud = b == "0" ? 0 : 9600;
  }
  opt.recordPath = p.value("--record");
  opt.imageOutPath = p.value("--image-out");
  if (p.has("--format")) {
    const std::string f = p.value("--format");
    if (f != "rgb" && f != "ycbcr") return usage(typed("--format", f) + ": rgb or ycbcr");
    opt.format = f == "rgb" ? osd::PixelFormat::Rgb : osd::PixelFormat::YCbCr;
  }
  logoPath = p.value("--logo");
  if (p.has("--hangup-after")) {
    const auto v = wholeNumber(p.value("--hangup-after"), 0, 1LL << 62);
    if (!v)
      return usage(typed("--hangup-after", p.value("--hangup-after")) + ": a number of bytes");
    opt.hangupAfter = *v;
  }
  opt.babble = p.has("--babble");
  if (p.has("--seed")) {
    const auto v = wholeNumber(p.value("--seed"), 0, 0xFFFFFFFFLL);
    if (!v) return usage(typed("--seed", p.value("--seed")) + ": a number");
    opt.babbleSeed = static_cast<uint32_t>(*v);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  osd::sim::PtyOptions opt;
  std::string logoPath;
  if (const int rc = readCommandLine(argc, argv, opt, logoPath); rc >= 0) return rc;

  // SIGTERM and SIGINT are taken by sigwait below; block them before any thread starts.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  osd::sim::PtyNode node(opt);
  if (!logoPath.empty()) {
    std::vector<uint8_t> rows;
    std::string error;
    if (!osd::sim::loadLogoBitmap(logoPath, rows, error)) return usage("--logo: " + error);
    node.setLogoBitmap(rows);
  }
  try {
    node.start();
  } catch (const std::exception& e) {
    std::cerr << "osdsim: " << e.what() << "\n";
    return 3;
  }
  std::printf("%s\n", node.devicePath().c_str());
  std::fflush(stdout);

  int sig = 0;
  while (sigwait(&stopSignals, &sig) != 0) {
  }
  node.stop();
  return 0;
}

// osdsim: a simulated graphics node on a pseudo-terminal, for demos, training and tests.
//
//   osdsim [--memory 64|512] [--id N[,N...]] [--model N] [--color] [--baud 9600|0]
//          [--record FILE] [--image-out FILE.bmp] [--format rgb|ycbcr] [--logo FILE.bmp]
//          [--hangup-after BYTES] [--babble] [--seed N]
//
// The first line of standard output is the terminal device to open. The node runs until
// SIGTERM or SIGINT.
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

#include "sim/logo_file.h"
#include "sim/pty_node.h"

namespace {

int usage(const std::string& message) {
  std::cerr
      << "osdsim: " << message << "\n"
      << "usage: osdsim [--memory 64|512] [--id N[,N...]] [--model N] [--color] [--baud 9600|0]\n"
      << "              [--record FILE] [--image-out FILE.bmp] [--format rgb|ycbcr]\n"
      << "              [--logo FILE.bmp] [--hangup-after BYTES] [--babble] [--seed N]\n";
  return 2;
}

std::optional<long long> number(const std::string& text, long long lo, long long hi) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  for (char c : text)
    if (c < '0' || c > '9') return std::nullopt;
  const long long v = std::stoll(text);
  if (v < lo || v > hi) return std::nullopt;
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  osd::sim::PtyOptions opt;
  std::string logoPath;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool inlineValue = false;
    if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      inlineValue = true;
    }
    const auto takeValue = [&]() -> bool {
      if (inlineValue) return true;
      if (i + 1 >= argc) return false;
      value = argv[++i];
      return true;
    };
    const bool flag = arg == "--color" || arg == "--babble";
    static const char* const valued[] = {"--memory",       "--id",        "--model",  "--baud",
                                         "--record",       "--image-out", "--format", "--logo",
                                         "--hangup-after", "--seed"};
    const bool takesValue =
        std::find(std::begin(valued), std::end(valued), arg) != std::end(valued);
    if (!flag && !takesValue) return usage("unknown option " + std::string(argv[i]));
    if (flag && inlineValue) return usage(arg + " takes no value");
    if (takesValue && !takeValue()) return usage(arg + " needs a value");

    if (arg == "--memory") {
      const auto v = number(value, 0, 1 << 20);
      if (!v || (*v != 64 && *v != 512)) return usage("--memory must be 64 or 512");
      opt.node.memoryKiB = static_cast<int>(*v);
    } else if (arg == "--id") {
      // One ID, or several separated by commas: that many nodes on the line.
      opt.ids.clear();
      for (size_t at = 0; at <= value.size();) {
        const size_t comma = std::min(value.find(',', at), value.size());
        const auto v = number(value.substr(at, comma - at), 1, 255);
        if (!v) return usage("--id must be node IDs 1 to 255, separated by commas");
        opt.ids.push_back(static_cast<int>(*v));
        at = comma + 1;
      }
      opt.node.id = opt.ids.front();
    } else if (arg == "--model") {
      const auto v = number(value, 1, 99);
      if (!v) return usage("--model must be 1 to 99");
      opt.node.model = static_cast<int>(*v);
    } else if (arg == "--color") {
      opt.node.color = true;
    } else if (arg == "--baud") {
      const auto v = number(value, 0, 10000000);
      if (!v) return usage("--baud must be a number of bits a second (0: no limit)");
      opt.baud = static_cast<int>(*v);
    } else if (arg == "--record") {
      if (value.empty()) return usage("--record needs a file");
      opt.recordPath = value;
    } else if (arg == "--image-out") {
      if (value.empty()) return usage("--image-out needs a file");
      opt.imageOutPath = value;
    } else if (arg == "--format") {
      if (value == "rgb") {
        opt.format = osd::PixelFormat::Rgb;
      } else if (value == "ycbcr") {
        opt.format = osd::PixelFormat::YCbCr;
      } else {
        return usage("--format must be rgb or ycbcr");
      }
    } else if (arg == "--logo") {
      if (value.empty()) return usage("--logo needs a file");
      logoPath = value;
    } else if (arg == "--hangup-after") {
      const auto v = number(value, 0, (1LL << 62));
      if (!v) return usage("--hangup-after must be a number of bytes");
      opt.hangupAfter = *v;
    } else if (arg == "--babble") {
      opt.babble = true;
    } else if (arg == "--seed") {
      const auto v = number(value, 0, 0xFFFFFFFFLL);
      if (!v) return usage("--seed must be a number");
      opt.babbleSeed = static_cast<uint32_t>(*v);
    } else {
      return usage("unknown option " + arg);
    }
  }

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

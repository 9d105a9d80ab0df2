// osdctl: the command-line tool for scripting and batch work.
#include <cstdio>
#include <exception>
#include <string>

#include "common/options.h"
#include "ctl/commands.h"

namespace osd::ctl {

void printUsage(std::FILE* to) {
  std::fputs(
      "usage: osdctl COMMAND [options]\n"
      "  encode BMP [--format rgb|ycbcr] [--transparent T] [-o OUT]\n"
      "  check BMP [--memory 64|512]\n"
      "  ports\n"
      "  identify --port P [--node ID]\n"
      "  download BMP --port P [--node ID | --nodes ID[,ID...]|all [--together]]\n"
      "           [--format rgb|ycbcr] [--transparent T] [--memory auto|64|512]\n"
      "           [--no-erase] [--slot N] [--x PCT --y PCT]\n"
      "  upload OUT.bmp --port P [--model N] [--color]\n"
      "  send --port P TEXT\n"
      "  select LOGO --port P [--node ID]\n"
      "  convert IN OUT.bmp [--size WxH | --fit WxH] [--depth 8|24] [--memory 64|512]\n"
      "          [--format rgb|ycbcr] [--transparent T]\n"
      "  scan --port P [--ids FROM-TO]\n"
      "  apply SITE [--port P] [--dry-run]\n"
      "Commands that use the port or settings also take --settings FILE, --data-dir DIR\n"
      "and --port-map MAP. Every option takes its value as --opt VALUE or --opt=VALUE and\n"
      "may be given once. osdctl --help and osdctl --version print this text and the version.\n"
      "Exit status: 0 done, 1 input refused, 2 usage error, 3 port or node failure.\n",
      to);
}

}  // namespace osd::ctl

int main(int argc, char** argv) {
  using namespace osd::ctl;
  using osd::cli::Outcome;
  if (argc < 2) {
    std::fprintf(stderr, "osdctl: a command is needed\n");
    printUsage(stderr);
    return kUsage;
  }
  const std::string command = argv[1];
  Args args(argv + 2, argv + argc);
  // --help and --version anywhere before "--" win over the rest of the line.
  const Outcome asked = osd::cli::askedFor(osd::cli::argsOf(argc, argv));
  if (command == "help" || asked == Outcome::Help) {
    printUsage(stdout);
    return kOk;
  }
  if (asked == Outcome::Version) {
    std::printf("%s\n", osd::cli::versionLine("osdctl").c_str());
    return kOk;
  }
  try {
    if (command == "encode") return encode(args);
    if (command == "check") return check(args);
    if (command == "ports") return ports(args);
    if (command == "identify") return identify(args);
    if (command == "send") return send(args);
    if (command == "select") return select(args);
    if (command == "upload") return upload(args);
    if (command == "download") return download(args);
    if (command == "convert") return convert(args);
    if (command == "scan") return scan(args);
    if (command == "apply") return apply(args);
    std::fprintf(stderr, "osdctl: unknown command '%s'\n", command.c_str());
    printUsage(stderr);
    return kUsage;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "osdctl: %s\n", e.what());
    return kPortFailure;
  }
}

#include "ctl/command_table.h"

#include <algorithm>
#include <exception>

#include "ctl/ctl_options.h"

namespace osd::ctl {

namespace {

using cli::Kind;

int help(const Args& args);

constexpr OptionDoc kNode{"--node", Kind::Value, "ID",
                          "this node alone (\"SP\", \"WK,\"+ID first)"};
constexpr OptionDoc kFormat{"--format", Kind::Value, "rgb|ycbcr", "the node's pixel format"};
constexpr OptionDoc kTransparent{"--transparent", Kind::Value, "T",
                                 "the value 0-255 sent as transparent (default 255)"};

const std::vector<OptionDoc> kShared = {
    {"--settings", Kind::Value, "FILE", "the settings file (default: the window's)"},
    {"--data-dir", Kind::Value, "DIR", "the folder holding Images (the video data files)"},
    {"--port-map", Kind::Value, "MAP", "port numbers for devices: N=DEVICE[,N=DEVICE...]"},
};
constexpr OptionDoc kPort{"--port", Kind::Value, "P", "a port number 1-255 or a device path"};

const std::vector<Command> kCommands = {
    {"encode",
     "encode BMP [--format rgb|ycbcr] [--transparent T] [-o OUT]",
     "the node's values of a bitmap, one byte per pixel, bottom row first",
     PortUse::None,
     {kFormat,
      kTransparent,
      {"-o", Kind::Value, "OUT", "the file to write (default: standard output)"},
      {"--output", Kind::Value, "OUT", "the same as -o"}},
     encode},
    {"check",
     "check BMP [--memory 64|512]",
     "the bitmap reader's verdict and the bitmap's figures",
     PortUse::None,
     {{"--memory", Kind::Value, "64|512",
       "the node memory in K the size rules apply to (default 512)"}},
     check},
    {"ports",
     "ports",
     "the port numbers and the devices they stand for: NUMBER DEVICE [(mapped)]",
     PortUse::None,
     {},
     ports},
    {"identify",
     "identify --port P [--node ID]",
     "the memory of the node (or of the nodes awake): NODE MEMORY",
     PortUse::Needed,
     {kNode},
     identify},
    {"download",
     "download BMP --port P [--node ID | --nodes LIST|all [--together]] [--format rgb|ycbcr] "
     "[--transparent T] [--memory auto|64|512] [--no-erase] [--slot N] [--x PCT --y PCT]",
     "a logo into the node's memory, erased first",
     PortUse::Needed,
     {kNode,
      {"--nodes", Kind::Value, "LIST|all",
       "several nodes: IDs and ranges (3-7,9), or every node found"},
      {"--together", Kind::Flag, "", "the line's nodes stay awake when another is woken"},
      kFormat,
      kTransparent,
      {"--memory", Kind::Value, "auto|64|512", "the node's memory (default auto: its answer)"},
      {"--no-erase", Kind::Flag, "", "send the logo without erasing the memory first"},
      {"--slot", Kind::Value, "N", "the logo slot 1-4, selected on the node first"},
      {"--x", Kind::Value, "PCT", "the logo's place across the screen, percent"},
      {"--y", Kind::Value, "PCT", "the logo's place down the screen, percent"}},
     download},
    {"upload",
     "upload OUT.bmp --port P [--model N] [--color] [--node ID]",
     "the node's logo read back into a bitmap",
     PortUse::Needed,
     {{"--model", Kind::Value, "N", "the logo generator's model (default: the stored one)"},
      {"--color", Kind::Flag, "", "a colour logo generator"},
      kNode},
     upload},
    {"send",
     "send --port P TEXT",
     "TEXT on the line as it is (\\xNN for a byte, \\\\ for a backslash)",
     PortUse::Needed,
     {},
     send},
    {"select",
     "select LOGO --port P [--node ID]",
     "shows logo 1-15 of the node",
     PortUse::Needed,
     {kNode},
     select},
    {"convert",
     "convert IN OUT.bmp [--size WxH | --fit WxH] [--depth 8|24] [--memory 64|512] "
     "[--format rgb|ycbcr] [--transparent T]",
     "any picture into a bitmap the node takes",
     PortUse::None,
     {{"--size", Kind::Value, "WxH", "this size, the picture fitted into it"},
      {"--fit", Kind::Value, "WxH", "the largest size within this box"},
      {"--depth", Kind::Value, "8|24", "bits per pixel (default 24)"},
      {"--memory", Kind::Value, "64|512",
       "the node memory in K the size rules apply to (default 64)"},
      kFormat,
      kTransparent},
     convert},
    {"scan",
     "scan --port P [--ids LIST]",
     "the nodes that answer: ID HEX MEMORY MS",
     PortUse::Needed,
     {{"--ids", Kind::Value, "LIST", "IDs and ranges to ask, such as 3-7,9 (default 1-255)"}},
     scan},
    {"apply",
     "apply SITE [--port P] [--dry-run]",
     "every node of a site file programmed with its logo: ID MEMORY RESULT",
     PortUse::Optional,
     {{"--dry-run", Kind::Flag, "",
       "the checks and the plan only: STREAM NODES MEMORY BYTES SECONDS"}},
     apply},
    {"help", "help [COMMAND]", "the usage text, or a command's options", PortUse::None, {}, help},
};

std::string gCommand;

int help(const Args& args) {
  if (args.empty()) {
    printUsage(stdout);
    return kOk;
  }
  const Command* command = findCommand(args[0]);
  if (!command || args.size() > 1)
    return usageError("help", "unexpected argument '" + args.back() + "'");
  printCommandHelp(*command, stdout);
  return kOk;
}

// Options before the command: the shared ones, --help and --version. The index of the
// command, or the exit status after a usage error or help.
int leadingOptions(const Args& words, size_t& at, Args& moved) {
  for (at = 0; at < words.size() && words[at].size() > 1 && words[at][0] == '-'; ++at) {
    const std::string& w = words[at];
    if (w == "--help" || w == "-h") {
      printUsage(stdout);
      return kOk;
    }
    if (w == "--version") {
      std::printf("%s\n", cli::versionLine("osdctl").c_str());
      return kOk;
    }
    const std::string name = w.substr(0, w.find('='));
    bool shared = false;
    for (const OptionDoc& o : kShared) shared = shared || name == o.name;
    if (!shared || (name == w && at + 1 == words.size())) {
      std::fprintf(
          stderr,
          "osdctl: %s before the command (only --settings, --data-dir and --port-map go there)\n",
          name == w && shared ? (w + " needs a value").c_str() : ("'" + w + "'").c_str());
      printUsage(stderr);
      return kUsage;
    }
    moved.push_back(w);
    if (name == w) moved.push_back(words[++at]);
  }
  return -1;
}

}  // namespace

const std::vector<Command>& commandTable() {
  return kCommands;
}

const Command* findCommand(const std::string& name) {
  for (const Command& c : kCommands)
    if (name == c.name) return &c;
  return nullptr;
}

std::vector<cli::Option> optionsOf(const Command& command) {
  std::vector<cli::Option> out;
  for (const OptionDoc& o : command.options) out.push_back({o.name, o.kind});
  if (command.port != PortUse::None) out.push_back({kPort.name, kPort.kind});
  for (const OptionDoc& o : kShared) out.push_back({o.name, o.kind});
  return out;
}

std::string wrappedSynopsis(const Command& command, size_t indent) {
  constexpr size_t kWidth = 80;
  const std::string text = command.synopsis;
  std::string out;
  size_t column = indent;
  for (size_t at = 0; at < text.size();) {
    // A piece runs to the next " [" at the outer level.
    size_t end = at, depth = 0;
    for (; end < text.size(); ++end) {
      if (text[end] == '[' && depth++ == 0 && end > at) break;
      if (text[end] == ']') --depth;
    }
    std::string piece = text.substr(at, end - at);
    if (column + piece.size() > kWidth && !out.empty()) {
      while (!out.empty() && out.back() == ' ') out.pop_back();
      column = indent + std::string(command.name).size() + 1;
      out += "\n" + std::string(column, ' ');
    }
    out += piece;
    column += piece.size();
    at = end;
  }
  return out;
}

std::string tag() {
  return gCommand.empty() ? "osdctl:" : "osdctl " + gCommand + ":";
}

void printUsage(std::FILE* to) {
  std::fputs(
      "usage: osdctl [--settings FILE] [--data-dir DIR] [--port-map MAP] COMMAND [options]\n", to);
  for (const Command& c : kCommands) std::fprintf(to, "  %s\n", wrappedSynopsis(c, 2).c_str());
  std::fputs(
      "Every command also takes --settings FILE, --data-dir DIR and --port-map MAP, before or\n"
      "after its name. Every option takes its value as --opt VALUE or --opt=VALUE and may be\n"
      "given once. osdctl COMMAND --help lists a command's options; osdctl --version prints the\n"
      "version. Exit status: 0 done, 1 input refused, 2 usage error, 3 port or node failure.\n",
      to);
}

void printCommandHelp(const Command& command, std::FILE* to) {
  std::fprintf(to, "usage: osdctl %s\n%s\noptions:\n", wrappedSynopsis(command, 14).c_str(),
               command.summary);
  std::vector<OptionDoc> all = command.options;
  if (command.port != PortUse::None) all.push_back(kPort);
  all.insert(all.end(), kShared.begin(), kShared.end());
  for (const OptionDoc& o : all) {
    const std::string head = std::string(o.name) + (*o.value ? " " : "") + o.value;
    std::fprintf(to, "  %-24s %s\n", head.c_str(), o.help);
  }
}

int runOsdctl(const Args& words) {
  gCommand.clear();
  size_t at = 0;
  Args moved;
  if (const int rc = leadingOptions(words, at, moved); rc >= 0) return rc;
  if (at == words.size()) {
    std::fprintf(stderr, "osdctl: a command is needed\n");
    printUsage(stderr);
    return kUsage;
  }
  const Command* command = findCommand(words[at]);
  if (!command) {
    std::fprintf(stderr, "osdctl: unknown command '%s'\n", words[at].c_str());
    printUsage(stderr);
    return kUsage;
  }
  Args args(words.begin() + static_cast<long>(at) + 1, words.end());
  // Taken before the command: read after its own words, so "given twice" still holds.
  const auto dashes = std::find(args.begin(), args.end(), "--");
  args.insert(dashes, moved.begin(), moved.end());
  gCommand = command->name;
  if (command->run != help) {
    const cli::Outcome asked = cli::askedFor(args);
    if (asked == cli::Outcome::Help) {
      printCommandHelp(*command, stdout);
      return kOk;
    }
    if (asked == cli::Outcome::Version) {
      std::printf("%s\n", cli::versionLine("osdctl").c_str());
      return kOk;
    }
  }
  try {
    return command->run(args);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s %s\n", tag().c_str(), e.what());
    return kPortFailure;
  }
}

}  // namespace osd::ctl

// osdctl identify, send, select and upload: node traffic through the window's own logic
// (dispatcher, reply reception, read-back reconstruction, bitmap writer) without a window.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "common/textnum.h"
#include "ctl/commands.h"
#include "ctl/ctl_host.h"

namespace osd::ctl {

namespace {

constexpr const char* kSettingsPrefix = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\RA7_Vud\\FormInit\\";
// How long a node may take to give its size answer.
constexpr int kAnswerWaitMs = 3000;
// Ticks of 25 ms during which the port is polled for a short answer (no port event is raised
// for fewer than 11 bytes).
constexpr int kAnswerPolls = kAnswerWaitMs / 25;
// A read-back that runs past this many bytes was cut off: the node never stopped sending.
constexpr size_t kReadBackLimit = 9000;

int usage(const char* command, const std::string& why, const char* synopsis) {
  std::fprintf(stderr, "osdctl %s: %s\nusage: osdctl %s\n", command, why.c_str(), synopsis);
  return kUsage;
}

// Builds the host and opens the port; on failure `rc` holds the exit status.
std::unique_ptr<Host> openHost(const char* command, const HostOptions& options, int& rc,
                               const char* synopsis) {
  std::unique_ptr<Host> host;
  try {
    host = std::make_unique<Host>(options);
  } catch (const std::invalid_argument& e) {
    rc = usage(command, e.what(), synopsis);
    return nullptr;
  }
  rc = host->openPort();
  if (rc != kOk) return nullptr;
  host->app().dismissError();
  return host;
}

// Wakes the node with that ID, or every node for 0.
void wake(App& app, int node) {
  app.cmdTree(15, node > 0 ? hex2(node) : std::string("00"));
}

// Lets every written byte leave the port; false (with a reason printed) when it does not.
bool drained(Host& host, const char* command) {
  const int64_t waiting = host.port().pendingOutput();
  if (!host.drain(static_cast<int>(waiting * 1000 / 960) + 5000)) {
    std::fprintf(stderr, "osdctl %s: the port did not send everything\n", command);
    return false;
  }
  return true;
}

// "\xNN" stands for the byte NN (two hexadecimal digits), "\\" for one backslash.
bool unescape(const std::string& text, std::string& out, std::string& why) {
  auto hexValue = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '\\') {
      out.push_back('\\');
      ++i;
      continue;
    }
    if (i + 3 < text.size() && text[i + 1] == 'x' && hexValue(text[i + 2]) >= 0 &&
        hexValue(text[i + 3]) >= 0) {
      out.push_back(static_cast<char>(hexValue(text[i + 2]) * 16 + hexValue(text[i + 3])));
      i += 3;
      continue;
    }
    why = "bad escape at character " + std::to_string(i + 1) +
          " (use \\xNN for a byte, \\\\ for a backslash)";
    return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// identify --port P [--node ID]
// ---------------------------------------------------------------------------------------

int identify(const Args& argsIn) {
  static const char* kSynopsis = "identify --port P [--node ID]";
  Args args = argsIn;
  HostOptions options;
  std::string why;
  if (!takeCommonOptions(args, options, why)) return usage("identify", why, kSynopsis);
  int node = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--node" && i + 1 < args.size() && wholeNumber(args[i + 1], 1, 255, node)) {
      ++i;
    } else if (args[i] == "--node") {
      return usage("identify", "--node needs a node ID 1-255", kSynopsis);
    } else {
      return usage("identify", "unexpected argument '" + args[i] + "'", kSynopsis);
    }
  }
  if (options.port.empty()) return usage("identify", "--port is needed", kSynopsis);

  int rc = kOk;
  std::unique_ptr<Host> host = openHost("identify", options, rc, kSynopsis);
  if (!host) return rc;
  App& app = host->app();

  wake(app, node);
  app.imageMemorySize = 0;
  app.cmdTree(17);  // "QXS": a graphics node answers with its memory size
  // Only listen from here on: the window would also select logo 1 on the node and keep
  // polling it, which identifying must not do.
  app.readPolls = kAnswerPolls;
  app.sendGuard = true;
  const bool answered = host->runUntil([&] { return app.imageMemorySize > 0; }, kAnswerWaitMs);
  app.sendGuard = false;
  if (!answered) {
    if (!app.recvBuffer.empty()) {
      std::fprintf(stderr,
                   "osdctl identify: the line never went quiet: a node keeps sending without a "
                   "pause\n");
    } else if (app.replyCount > 0) {
      std::fprintf(stderr,
                   "osdctl identify: the node answered \"%s\" but gave no memory size (not a "
                   "QX3/QX7 graphics node)\n",
                   app.ui().text("lblDiag").c_str());
    } else {
      std::fprintf(stderr, "osdctl identify: no answer from %s within %d s\n",
                   node > 0 ? ("node " + std::to_string(node)).c_str() : "any node",
                   kAnswerWaitMs / 1000);
    }
    return kPortFailure;
  }
  std::printf("%s\n%s\n", app.ui().title().c_str(), app.ui().text("lblEEPSize").c_str());
  return kOk;
}

// ---------------------------------------------------------------------------------------
// send --port P TEXT
// ---------------------------------------------------------------------------------------

int send(const Args& argsIn) {
  static const char* kSynopsis = "send --port P TEXT   (\\xNN for a byte, \\\\ for a backslash)";
  Args args = argsIn;
  HostOptions options;
  std::string why;
  if (!takeCommonOptions(args, options, why)) return usage("send", why, kSynopsis);
  if (args.size() != 1) {
    return usage("send", args.empty() ? "no text given" : "give the text as one argument",
                 kSynopsis);
  }
  std::string bytes;
  if (!unescape(args[0], bytes, why)) return usage("send", why, kSynopsis);
  if (bytes.empty()) return usage("send", "the text is empty", kSynopsis);
  if (options.port.empty()) return usage("send", "--port is needed", kSynopsis);

  int rc = kOk;
  std::unique_ptr<Host> host = openHost("send", options, rc, kSynopsis);
  if (!host) return rc;
  App& app = host->app();
  app.sendCom(bytes);
  if (errorShown(app, why)) {
    std::fprintf(stderr, "osdctl send: %s\n", why.c_str());
    return kPortFailure;
  }
  if (!drained(*host, "send")) return kPortFailure;
  return kOk;
}

// ---------------------------------------------------------------------------------------
// select LOGO --port P [--node ID]
// ---------------------------------------------------------------------------------------

int select(const Args& argsIn) {
  static const char* kSynopsis = "select LOGO --port P [--node ID]";
  Args args = argsIn;
  HostOptions options;
  std::string why;
  if (!takeCommonOptions(args, options, why)) return usage("select", why, kSynopsis);
  int node = 0;
  int logo = 0;
  bool logoGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--node") {
      if (i + 1 >= args.size() || !wholeNumber(args[i + 1], 1, 255, node)) {
        return usage("select", "--node needs a node ID 1-255", kSynopsis);
      }
      ++i;
    } else if (!logoGiven && !args[i].empty() && args[i][0] != '-') {
      if (!wholeNumber(args[i], 1, 15, logo)) {
        return usage("select", "LOGO is a logo number 1-15", kSynopsis);
      }
      logoGiven = true;
    } else {
      return usage("select", "unexpected argument '" + args[i] + "'", kSynopsis);
    }
  }
  if (!logoGiven) return usage("select", "no logo number given", kSynopsis);
  if (options.port.empty()) return usage("select", "--port is needed", kSynopsis);

  int rc = kOk;
  std::unique_ptr<Host> host = openHost("select", options, rc, kSynopsis);
  if (!host) return rc;
  App& app = host->app();
  wake(app, node);
  app.cmdTree(18, dec2(logo));  // "AJ" + two digits + three zero bytes
  if (errorShown(app, why)) {
    std::fprintf(stderr, "osdctl select: %s\n", why.c_str());
    return kPortFailure;
  }
  if (!drained(*host, "select")) return kPortFailure;
  return kOk;
}

// ---------------------------------------------------------------------------------------
// upload OUT.bmp --port P [--model N] [--color] [--node ID]
// ---------------------------------------------------------------------------------------

int upload(const Args& argsIn) {
  static const char* kSynopsis = "upload OUT.bmp --port P [--model N] [--color] [--node ID]";
  Args args = argsIn;
  HostOptions options;
  std::string why;
  if (!takeCommonOptions(args, options, why)) return usage("upload", why, kSynopsis);
  std::string out;
  int model = -1;
  int node = 0;
  bool color = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--model") {
      int m = 0;
      if (i + 1 >= args.size() || !wholeNumber(args[i + 1], 1, 31, m) ||
          (m != 1 && m != 2 && m != 3 && m != 4 && m != 7 && m != 15 && m != 31)) {
        return usage("upload", "--model is 1, 2, 3, 4, 7, 15 or 31", kSynopsis);
      }
      model = m;
      ++i;
    } else if (args[i] == "--node") {
      if (i + 1 >= args.size() || !wholeNumber(args[i + 1], 1, 255, node)) {
        return usage("upload", "--node needs a node ID 1-255", kSynopsis);
      }
      ++i;
    } else if (args[i] == "--color") {
      color = true;
    } else if (out.empty() && !args[i].empty() && args[i][0] != '-') {
      out = args[i];
    } else {
      return usage("upload", "unexpected argument '" + args[i] + "'", kSynopsis);
    }
  }
  if (out.empty()) return usage("upload", "no output file given", kSynopsis);
  if (options.port.empty()) return usage("upload", "--port is needed", kSynopsis);
  {
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::absolute(out, ec).parent_path();
    if (ec || !std::filesystem::is_directory(parent, ec)) {
      std::fprintf(stderr, "osdctl upload: the folder of '%s' does not exist\n", out.c_str());
      return kRefused;
    }
  }

  int rc = kOk;
  std::unique_ptr<Host> host = openHost("upload", options, rc, kSynopsis);
  if (!host) return rc;
  App& app = host->app();

  // Model and colour: the options, else the window's settings.
  if (model < 0) {
    const auto stored = host->settings().read(std::string(kSettingsPrefix) + "SX_Model");
    model = stored ? leadingInt(trimBlanks(*stored)) : 0;
  }
  if (!color) {
    const auto stored = host->settings().read(std::string(kSettingsPrefix) + "Color");
    const std::string value = stored ? toUpper(trimBlanks(*stored)) : "FALSE";
    color = value != "FALSE" && value != "0" && !value.empty();
  }
  if (model <= 1) {
    std::fprintf(stderr,
                 "osdctl upload: SX-1 Cannot upload logos to this program (give --model N)\n");
    return kRefused;
  }
  app.sxModel = model;
  app.colorNode = color;
  app.selectedSlot = 1;

  // Watch the status line: it tells how the read-back went.
  bool merged = false;
  std::string shortStream;
  app.ui().onChange = [&](const std::string& name) {
    if (name != "lblCopyright") return;
    const std::string& text = app.ui().text("lblCopyright");
    if (text == "Inverting Image") merged = true;
    if (text.rfind("Data stream too short: ", 0) == 0) shortStream = text;
  };

  wake(app, node);
  app.upLoadLogoClick();  // "ARM", then the reception waits for the stream
  if (errorShown(app, why) || !app.uploadPending) {
    app.ui().onChange = nullptr;
    std::fprintf(stderr, "osdctl upload: the read-back request failed: %s\n",
                 why.empty() ? "not sent" : why.c_str());
    return kPortFailure;
  }
  // Nothing else goes on the line while the stream comes in (node poll, watchdog).
  app.sendGuard = true;
  // The reception gives up by itself 12.5 s without data or 0.5 s after the last byte.
  const bool ended = host->runUntil([&] { return !app.uploadPending; }, 60000);
  app.sendGuard = false;
  app.ui().onChange = nullptr;

  if (!ended) {
    std::fprintf(stderr, "osdctl upload: the read-back did not end\n");
    return kPortFailure;
  }
  if (app.lastReadBackLength > kReadBackLimit) {
    std::fprintf(stderr,
                 "osdctl upload: the node sent more than %d bytes without a pause; that is no "
                 "logo\n",
                 static_cast<int>(kReadBackLimit));
    return kPortFailure;
  }
  if (!shortStream.empty()) {
    std::fprintf(stderr, "osdctl upload: %s\n", shortStream.c_str());
    return kPortFailure;
  }
  if (!merged) {
    std::fprintf(stderr, "osdctl upload: the read-back holds no logo (marker \"%s\" missing)\n",
                 color ? "SC" : "SD");
    return kPortFailure;
  }
  if (errorShown(app, why)) {
    std::fprintf(stderr, "osdctl upload: the read-back is damaged: %s\n", why.c_str());
    return kPortFailure;
  }
  // Nobody answers the save dialog here: the logo goes to OUT through the same writer.
  app.writeLogoBitmap(out);
  if (errorShown(app, why)) {
    std::fprintf(stderr, "osdctl upload: %s\n", why.c_str());
    return kRefused;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(out, ec)) {
    std::fprintf(stderr, "osdctl upload: '%s' was not written\n", out.c_str());
    return kRefused;
  }
  std::printf("%s: logo of slot %d, %s, %ju bytes\n", out.c_str(), app.selectedSlot,
              color ? "colour" : "monochrome",
              static_cast<uintmax_t>(std::filesystem::file_size(out, ec)));
  return kOk;
}

}  // namespace osd::ctl

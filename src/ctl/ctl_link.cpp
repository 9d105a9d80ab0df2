// osdctl identify, send, select and upload: node traffic through the link components (link
// service, dispatcher, node session) and the read-back reconstruction, without the window.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "common/logo_models.h"
#include "common/options.h"
#include "common/textnum.h"
#include "ctl/choices.h"
#include "ctl/commands.h"
#include "ctl/ctl_host.h"
#include "ctl/ctl_options.h"
#include "image/bmp_writer.h"
#include "image/logo_slots.h"
#include "image/readback.h"
#include "link/dispatcher.h"
#include "link/link_service.h"
#include "link/node_session.h"
#include "platform/stop_signals.h"

namespace osd::ctl {

namespace {

// How long a node may take to give its size answer.
constexpr int kAnswerWaitMs = 3000;
// Ticks of 25 ms during which the port is polled for a short answer (no port event is raised
// for fewer than 11 bytes).
constexpr int kAnswerPolls = kAnswerWaitMs / 25;
// A read-back that runs past this many bytes was cut off: the node never stopped sending.
constexpr size_t kReadBackLimit = 9000;

// The --node option: 0 (all nodes) when not given; false when it is no node ID.
bool nodeOption(const cli::Parsed& parsed, int& node) {
  node = 0;
  return !parsed.has("--node") || wholeNumber(parsed.value("--node"), 1, 255, node);
}

// Lets every written byte leave the port; false (with a reason printed) when it does not.
bool drained(Host& host, const char* command) {
  const int64_t waiting = host.port().heldBytes();
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

// The logo in a read-back stream, stored as the window stores it; `why` tells what is wrong.
std::optional<std::vector<uint8_t>> logoStore(const std::string& stream, bool colour,
                                              std::string& why) {
  std::vector<uint8_t> store(LogoSlots::kReadBackBytes, 0);
  const StoredReadBack read =
      storeReadBack(stream, colour, [&]() -> std::vector<uint8_t>& { return store; });
  if (read.outcome != StoredReadBack::Stored) {
    why = std::string("the read-back holds no logo (marker \"") + readBackGeometry(colour).marker +
          "\" missing)";
    return std::nullopt;
  }
  if (!read.missing.empty()) {
    why = "the read-back is damaged: the image ends before byte " +
          std::to_string(read.missing.front()) + " of the picture";
    return std::nullopt;
  }
  return store;
}

// Asks for the logo and waits for the stream: 12.5 s without data or 0.5 s after the last byte
// ends it. False with the reason when no whole stream came ("no answer from node N" when not a
// byte came).
bool receiveReadBack(Host& host, Line& line, int node, std::string& stream, std::string& why) {
  NodeSession& session = line.session;
  if (!session.requestReadBack() || !line.recorder.failure.empty()) {
    why = "the read-back request failed: " +
          (line.recorder.failure.empty() ? std::string("not sent") : line.recorder.failure);
    return false;
  }
  const StopSignals stop;  // SIGINT or SIGTERM ends the wait; the request is all that was sent
  if (!host.runUntil([&] { return !session.readBackPending() || StopSignals::raised(); }, 60000)) {
    why = "the read-back did not end";
    return false;
  }
  if (StopSignals::raised()) {
    session.cancelReadBack();
    why = "stopped while waiting for the read-back";
    return false;
  }
  if (session.lastReadBackLength() > kReadBackLimit) {
    why = "the node sent more than " + std::to_string(kReadBackLimit) +
          " bytes without a pause; that is no logo";
    return false;
  }
  stream = line.recorder.stream;
  if (stream.empty() && line.recorder.failure.empty() && session.lastReadBackLength() == 0) {
    why = node > 0 ? "no answer from node " + std::to_string(node) : "no answer from the line";
    return false;
  }
  if (stream.empty()) {
    why = line.recorder.failure.empty() ? line.recorder.lastStatus : line.recorder.failure;
    return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// identify --port P [--node ID]
// ---------------------------------------------------------------------------------------

int identify(const Args& args) {
  cli::Parsed parsed;
  HostOptions options;
  if (auto rc = readCommandArgs(args, "identify", parsed, options)) return *rc;
  int node = 0;
  if (!nodeOption(parsed, node)) return usageError("identify", "--node needs a node ID 1-255");
  if (!parsed.words.empty()) {
    return usageError("identify", "unexpected argument '" + parsed.words[0] + "'");
  }

  int rc = kOk;
  std::unique_ptr<Host> host;
  std::unique_ptr<Line> line = openLine("identify", options, host, rc);
  if (!line) return rc;
  NodeSession& session = line->session;

  line->dispatcher.wake(node);
  line->dispatcher.sizeQuery();  // "QXS": a graphics node answers with its memory size
  session.listen(kAnswerPolls);
  const bool answered = host->runUntil([&] { return session.memorySize() > 0; }, kAnswerWaitMs);
  const std::string nodeColumn = node > 0 ? std::to_string(node) : "all";
  if (!answered) {
    if (!session.buffered().empty()) {
      std::fprintf(stderr,
                   "osdctl identify: the line never went quiet: a node keeps sending without a "
                   "pause\n");
    } else if (session.replyCount() > 0) {
      std::printf("%s\t-\n", nodeColumn.c_str());
      std::fprintf(stderr,
                   "osdctl identify: the node answered \"%s\" but gave no memory size (not a "
                   "QX3/QX7 graphics node)\n",
                   line->recorder.lastAnswer.c_str());
    } else {
      std::fprintf(stderr, "osdctl identify: no answer from %s within %d s\n",
                   node > 0 ? ("node " + std::to_string(node)).c_str() : "any node",
                   kAnswerWaitMs / 1000);
    }
    return kPortFailure;
  }
  // NODE MEMORY on standard output; the window's detection text on standard error.
  std::printf("%s\t%s\n", nodeColumn.c_str(), memoryColumn(session.memorySize() / 1024).c_str());
  std::fprintf(stderr, "osdctl identify: %s; %s\n", sizeAnswerText(line->recorder.digits).c_str(),
               imagePixelsText(session.memorySize()).c_str());
  return kOk;
}

// ---------------------------------------------------------------------------------------
// send --port P TEXT
// ---------------------------------------------------------------------------------------

int send(const Args& args) {
  cli::Parsed parsed;
  HostOptions options;
  if (auto rc = readCommandArgs(args, "send", parsed, options)) return *rc;
  if (parsed.words.size() != 1) {
    return usageError("send",
                      parsed.words.empty() ? "no text given" : "give the text as one argument");
  }
  std::string bytes, why;
  if (!unescape(parsed.words[0], bytes, why)) return usageError("send", why);
  if (bytes.empty()) return usageError("send", "the text is empty");

  int rc = kOk;
  std::unique_ptr<Host> host;
  std::unique_ptr<Line> line = openLine("send", options, host, rc);
  if (!line) return rc;
  if (!line->dispatcher.send(bytes)) {
    std::fprintf(stderr, "osdctl send: %s\n", line->recorder.failure.c_str());
    return kPortFailure;
  }
  if (!drained(*host, "send")) return kPortFailure;
  return kOk;
}

// ---------------------------------------------------------------------------------------
// select LOGO --port P [--node ID]
// ---------------------------------------------------------------------------------------

int select(const Args& args) {
  cli::Parsed parsed;
  HostOptions options;
  if (auto rc = readCommandArgs(args, "select", parsed, options)) return *rc;
  int node = 0;
  int logo = 0;
  if (!nodeOption(parsed, node)) return usageError("select", "--node needs a node ID 1-255");
  if (parsed.words.empty()) return usageError("select", "no logo number given");
  if (parsed.words.size() > 1) {
    return usageError("select", "unexpected argument '" + parsed.words[1] + "'");
  }
  if (!wholeNumber(parsed.words[0], 1, 15, logo)) {
    return usageError("select", "LOGO is a logo number 1-15");
  }

  int rc = kOk;
  std::unique_ptr<Host> host;
  std::unique_ptr<Line> line = openLine("select", options, host, rc);
  if (!line) return rc;
  line->dispatcher.wake(node);
  line->dispatcher.selectLogo(logo);  // "AJ" + two digits + three zero bytes
  if (!line->recorder.failure.empty()) {
    std::fprintf(stderr, "osdctl select: %s\n", line->recorder.failure.c_str());
    return kPortFailure;
  }
  if (!drained(*host, "select")) return kPortFailure;
  return kOk;
}

// ---------------------------------------------------------------------------------------
// upload OUT.bmp --port P [--model N] [--color] [--node ID]
// ---------------------------------------------------------------------------------------

int upload(const Args& args) {
  cli::Parsed parsed;
  HostOptions options;
  if (auto rc = readCommandArgs(args, "upload", parsed, options)) return *rc;
  int model = -1;
  int node = 0;
  bool color = parsed.has("--color");
  std::string why;
  if (parsed.has("--model") &&
      !(wholeNumber(parsed.value("--model"), 1, 31, model) && isLogoModel(model))) {
    return usageError("upload", "--model is " + logoModelsText());
  }
  if (!nodeOption(parsed, node)) return usageError("upload", "--node needs a node ID 1-255");
  if (parsed.words.empty()) return usageError("upload", "no output file given");
  if (parsed.words.size() > 1) {
    return usageError("upload", "unexpected argument '" + parsed.words[1] + "'");
  }
  const std::string out = parsed.words[0];
  {
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::absolute(out, ec).parent_path();
    if (ec || !std::filesystem::is_directory(parent, ec)) {
      std::fprintf(stderr, "osdctl upload: the folder of '%s' does not exist\n", out.c_str());
      return kRefused;
    }
  }

  int rc = kOk;
  std::unique_ptr<Host> host;
  std::unique_ptr<Line> line = openLine("upload", options, host, rc);
  if (!line) return rc;
  // Model and colour: the options, else the settings restored as the window restores them.
  GivenChoices given;
  if (model >= 0) given.model = model;
  given.colour = color;
  const Choices chosen = resolveChoices("upload", given, host->bench().prefs());
  model = chosen.model;
  color = chosen.colour;
  if (model <= 1) {
    std::fprintf(stderr,
                 "osdctl upload: SX-1 Cannot upload logos to this program (give --model N)\n");
    return kRefused;
  }
  line->colour = color;
  line->dispatcher.wake(node);
  std::string stream;
  if (!receiveReadBack(*host, *line, node, stream, why)) {
    std::fprintf(stderr, "osdctl upload: %s\n", why.c_str());
    return kPortFailure;
  }
  const std::optional<std::vector<uint8_t>> store = logoStore(stream, color, why);
  if (!store) {
    std::fprintf(stderr, "osdctl upload: %s\n", why.c_str());
    return kPortFailure;
  }
  if (!replaceFile(out, buildLogoBitmap(*store, color), why)) {
    std::fprintf(stderr, "osdctl upload: %s\n", why.c_str());
    return kRefused;
  }
  std::error_code ec;
  std::fprintf(stderr, "osdctl upload: wrote %s: logo of slot 1, %s, %ju bytes\n", out.c_str(),
               color ? "colour" : "monochrome",
               static_cast<uintmax_t>(std::filesystem::file_size(out, ec)));
  return kOk;
}

}  // namespace osd::ctl

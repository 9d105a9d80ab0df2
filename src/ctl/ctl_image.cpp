// osdctl encode and check: the bitmap reader's verdict and the encoder's node values for a
// bitmap file, with the same code the window uses.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "common/options.h"
#include "ctl/commands.h"
#include "image/bmp.h"
#include "image/bmp_writer.h"
#include "image/encoder.h"

namespace osd::ctl {

namespace {

int usage(const std::string& why) {
  std::fprintf(stderr, "osdctl: %s\n", why.c_str());
  printUsage(stderr);
  return kUsage;
}

int refuse(const std::string& why) {
  // The reader's messages use "\r\n" between their parts; a refusal is one line, the parts
  // joined with " / ". (Built afresh rather than replaced in place: GCC 12 warns falsely
  // about replace() in optimised builds.)
  std::string text;
  text.reserve(why.size() + 8);
  for (size_t i = 0; i < why.size(); ++i) {
    if (why[i] == '\r' && i + 1 < why.size() && why[i + 1] == '\n') {
      text += " / ";
      ++i;
    } else {
      text += why[i];
    }
  }
  std::fprintf(stderr, "%s\n", text.c_str());
  return kRefused;
}

// The shared options are accepted and of no use here.
const std::vector<cli::Option> kShared = {{"--settings"}, {"--data-dir"}, {"--port-map"}};

// A whole number 0..255 written in decimal, nothing else.
std::optional<int> byteNumber(const std::string& text) {
  const std::optional<long long> v = cli::wholeNumber(text, 0, 255);
  if (!v) return std::nullopt;
  return static_cast<int>(*v);
}

// Reads the command's words: `own` options besides the shared ones, and exactly one bitmap.
// Returns "" with the bitmap in `bmp`, or the usage reason.
std::string readWords(const Args& args, std::vector<cli::Option> own, cli::Parsed& parsed,
                      std::string& bmp) {
  own.insert(own.end(), kShared.begin(), kShared.end());
  parsed = cli::parse(args, own);
  if (parsed.outcome == cli::Outcome::Usage) return parsed.error;
  if (parsed.outcome != cli::Outcome::Run) return "";
  if (parsed.words.empty()) return "a bitmap file is needed";
  if (parsed.words.size() > 1) return "more than one bitmap given: '" + parsed.words[1] + "'";
  bmp = parsed.words.front();
  return "";
}

// Help and version asked for inside a command.
std::optional<int> helpOrVersion(const cli::Parsed& parsed) {
  if (parsed.outcome == cli::Outcome::Help) {
    printUsage(stdout);
    return kOk;
  }
  if (parsed.outcome == cli::Outcome::Version) {
    std::printf("%s\n", cli::versionLine("osdctl").c_str());
    return kOk;
  }
  return std::nullopt;
}

// The reader's verdict on `bmp` when it accepts the file; otherwise nothing, with the reason.
std::optional<BmpVerdict> acceptedBitmap(const std::string& bmp, bool largeMemory,
                                         std::string& why) {
  if (!hasBmpName(bmp)) {
    why = "Invalid File Name or Missing File!";
    return std::nullopt;
  }
  std::optional<BmpVerdict> verdict = checkBmpFile(bmp, largeMemory, why);
  if (verdict && !verdict->accepted) {
    why = verdict->message;
    return std::nullopt;
  }
  return verdict;
}

}  // namespace

int encode(const Args& args) {
  cli::Parsed parsed;
  std::string bmp;
  const std::string why =
      readWords(args, {{"--format"}, {"--transparent"}, {"-o"}, {"--output"}}, parsed, bmp);
  if (!why.empty()) return usage(why);
  if (const std::optional<int> rc = helpOrVersion(parsed)) return *rc;
  EncodeOptions options;
  const std::string format = parsed.value("--format", "ycbcr");
  if (format == "rgb") {
    options.format = PixelFormat::Rgb;
  } else if (format != "ycbcr") {
    return usage("unknown format '" + format + "' (rgb or ycbcr)");
  }
  if (parsed.has("--transparent")) {
    const std::optional<int> t = byteNumber(parsed.value("--transparent"));
    if (!t) {
      return usage("--transparent needs a number 0 to 255, not '" + parsed.value("--transparent") +
                   "'");
    }
    options.transparent = *t;
  }
  if (parsed.has("-o") && parsed.has("--output")) return usage("-o is given twice (--output)");
  const std::string out = parsed.value("-o", parsed.value("--output", "-"));

  std::string error;
  if (!acceptedBitmap(bmp, true, error)) return refuse(error);
  const std::optional<BmpImage> image = loadBmpFile(bmp, error);
  if (!image) return refuse(error);

  const std::vector<int> values = encodeImage(*image, options);
  std::vector<uint8_t> bytes(values.size());
  for (size_t k = 0; k < values.size(); ++k) bytes[k] = static_cast<uint8_t>(values[k]);

  // "-" is standard output; a device or FIFO is written in place, a file replaced whole.
  if (!replaceFile(out, bytes, error)) return refuse(error);
  return kOk;
}

int check(const Args& args) {
  cli::Parsed parsed;
  std::string bmp;
  const std::string why = readWords(args, {{"--memory"}}, parsed, bmp);
  if (!why.empty()) return usage(why);
  if (const std::optional<int> rc = helpOrVersion(parsed)) return *rc;
  const std::string memory = parsed.value("--memory", "512");  // as at start-up
  if (memory != "64" && memory != "512") {
    return usage("--memory needs 64 or 512, not '" + memory + "'");
  }
  const bool largeMemory = memory == "512";

  std::string error;
  const std::optional<BmpVerdict> verdict = acceptedBitmap(bmp, largeMemory, error);
  if (!verdict) return refuse(error);
  const BmpVerdict& v = *verdict;
  std::printf("%d Wide X %d High\n%lld Pixels\n%d bits per pixel\n%lld image bytes\n", v.width,
              v.height, static_cast<long long>(v.width) * v.height, v.bpp, v.imageBytes);
  return kOk;
}

}  // namespace osd::ctl

// osdctl encode and check: the bitmap reader's verdict and the encoder's node values for a
// bitmap file, with the same code the window uses.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "common/options.h"
#include "ctl/command_table.h"
#include "ctl/ctl_options.h"
#include "image/bmp.h"
#include "image/bmp_writer.h"
#include "image/encoder.h"

namespace osd::ctl {

namespace {

// One line on standard error: "osdctl COMMAND: FILE: why". The reader's messages use "\r\n"
// between their parts; they are joined with " / ". (Built afresh rather than replaced in
// place: GCC 12 warns falsely about replace() in optimised builds.)
int refuse(const std::string& file, const std::string& why) {
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
  std::fprintf(stderr, "%s %s: %s\n", tag().c_str(), file.c_str(), text.c_str());
  return kRefused;
}

// Reads the command's words: its options and exactly one bitmap. Nothing with the bitmap in
// `bmp`, or the exit status after a usage error.
std::optional<int> readWords(const Args& args, const char* command, cli::Parsed& parsed,
                             std::string& bmp) {
  HostOptions shared;
  if (auto rc = readCommandArgs(args, command, parsed, shared)) return rc;
  if (parsed.words.empty()) return usageError(command, "a bitmap file is needed");
  if (parsed.words.size() > 1)
    return usageError(command, "more than one bitmap given: '" + parsed.words[1] + "'");
  bmp = parsed.words.front();
  return std::nullopt;
}

// The reader's verdict on `bmp` when it accepts the file; otherwise nothing, with the reason.
std::optional<BmpVerdict> acceptedBitmap(const std::string& bmp, bool largeMemory,
                                         std::string& why) {
  if (const std::string fault = fileFault(bmp); !fault.empty()) {
    why = fault;
    return std::nullopt;
  }
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
  if (const std::optional<int> rc = readWords(args, "encode", parsed, bmp)) return *rc;
  EncodeOptions options;
  const std::string format = parsed.value("--format", "ycbcr");
  if (const std::optional<PixelFormat> f = parsePixelFormat(format)) {
    options.format = *f;
  } else {
    return usageError("encode", "unknown format '" + format + "' (rgb or ycbcr)");
  }
  if (parsed.has("--transparent") &&
      !wholeNumber(parsed.value("--transparent"), 0, 255, options.transparent)) {
    return usageError("encode", "--transparent needs a number 0 to 255, not '" +
                                    parsed.value("--transparent") + "'");
  }
  if (parsed.has("-o") && parsed.has("--output"))
    return usageError("encode", "-o is given twice (--output)");
  const std::string out = parsed.value("-o", parsed.value("--output", "-"));

  std::string error;
  if (!acceptedBitmap(bmp, true, error)) return refuse(bmp, error);
  const std::optional<BmpImage> image = loadBmpFile(bmp, error);
  if (!image) return refuse(bmp, error);

  const std::vector<int> values = encodeImage(*image, options);
  std::vector<uint8_t> bytes(values.size());
  for (size_t k = 0; k < values.size(); ++k) bytes[k] = static_cast<uint8_t>(values[k]);

  // "-" is standard output; a device or FIFO is written in place, a file replaced whole.
  if (!replaceFile(out, bytes, error)) return refuse(out, error);
  return kOk;
}

int check(const Args& args) {
  cli::Parsed parsed;
  std::string bmp;
  if (const std::optional<int> rc = readWords(args, "check", parsed, bmp)) return *rc;
  const std::string memory = parsed.value("--memory", "512");  // as at start-up
  if (memory != "64" && memory != "512")
    return usageError("check", "--memory needs 64 or 512, not '" + memory + "'");
  const bool largeMemory = memory == "512";

  std::string error;
  const std::optional<BmpVerdict> verdict = acceptedBitmap(bmp, largeMemory, error);
  if (!verdict) return refuse(bmp, error);
  const BmpVerdict& v = *verdict;
  std::printf("%d Wide X %d High\n%lld Pixels\n%d bits per pixel\n%lld image bytes\n", v.width,
              v.height, static_cast<long long>(v.width) * v.height, v.bpp, v.imageBytes);
  return kOk;
}

}  // namespace osd::ctl

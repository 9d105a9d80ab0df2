// osdctl encode and check: the bitmap reader's verdict and the encoder's node values for a
// bitmap file, with the same code the window uses.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "ctl/commands.h"
#include "image/bmp.h"
#include "image/bmp_writer.h"
#include "image/encoder.h"

namespace osd::ctl {

namespace {

int usage(const std::string& why) {
  std::fprintf(stderr, "osdctl: %s\n", why.c_str());
  printUsage();
  return kUsage;
}

int refuse(const std::string& why) {
  // The reader's messages use "\r\n" between lines; a terminal wants "\n". (Built afresh
  // rather than replaced in place: GCC 12 warns falsely about replace() in optimised builds.)
  std::string text;
  text.reserve(why.size());
  for (size_t i = 0; i < why.size(); ++i) {
    if (why[i] == '\r' && i + 1 < why.size() && why[i + 1] == '\n') continue;
    text += why[i];
  }
  std::fprintf(stderr, "%s\n", text.c_str());
  return kRefused;
}

// Options shared by every command that are of no use here.
bool ignoredOption(const std::string& word) {
  return word == "--settings" || word == "--data-dir" || word == "--port-map";
}

// A whole number 0..255 written in decimal, nothing else.
std::optional<int> byteNumber(const std::string& text) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > 255) return std::nullopt;
  return value;
}

// The words both commands share: the common options of no use here, unknown options, and the
// one bitmap. Takes args[i] (and its value) and returns "", or returns the usage reason.
std::string takeOtherWord(const Args& args, size_t& i, std::string& bmp) {
  const std::string& a = args[i];
  if (ignoredOption(a)) {
    if (i + 1 >= args.size()) return a + " needs a value";
    ++i;
    return "";
  }
  if (a.size() > 1 && a[0] == '-') return "unknown option '" + a + "'";
  if (!bmp.empty()) return "more than one bitmap given";
  bmp = a;
  return "";
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
  std::string bmp, out;
  bool haveOut = false;
  EncodeOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--format") {
      if (!hasValue) return usage("--format needs rgb or ycbcr");
      const std::string f = args[++i];
      if (f == "rgb") {
        options.format = PixelFormat::Rgb;
      } else if (f == "ycbcr") {
        options.format = PixelFormat::YCbCr;
      } else {
        return usage("unknown format '" + f + "' (rgb or ycbcr)");
      }
    } else if (a == "--transparent") {
      if (!hasValue) return usage("--transparent needs a number 0 to 255");
      const std::optional<int> t = byteNumber(args[++i]);
      if (!t) return usage("--transparent needs a number 0 to 255, not '" + args[i] + "'");
      options.transparent = *t;
    } else if (a == "-o" || a == "--output") {
      if (!hasValue) return usage(a + " needs a file name");
      out = args[++i];
      haveOut = true;
    } else if (const std::string why = takeOtherWord(args, i, bmp); !why.empty()) {
      return usage(why);
    }
  }
  if (bmp.empty()) return usage("encode needs a bitmap file");
  if (haveOut && out.empty()) return usage("-o needs a file name");

  std::string error;
  if (!acceptedBitmap(bmp, true, error)) return refuse(error);
  const std::optional<BmpImage> image = loadBmpFile(bmp, error);
  if (!image) return refuse(error);

  const std::vector<int> values = encodeImage(*image, options);
  std::vector<uint8_t> bytes(values.size());
  for (size_t k = 0; k < values.size(); ++k) bytes[k] = static_cast<uint8_t>(values[k]);

  if (!haveOut || out == "-") {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) {
      std::fprintf(stderr, "osdctl: writing the values to standard output failed\n");
      return kRefused;
    }
    if (std::fflush(stdout) != 0) return kRefused;
    return kOk;
  }
  if (!replaceFile(out, bytes, error)) return refuse(error);
  return kOk;
}

int check(const Args& args) {
  std::string bmp;
  bool largeMemory = true;  // as at start-up, until a node reports 64 K
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--memory") {
      if (!hasValue) return usage("--memory needs 64 or 512");
      const std::string m = args[++i];
      if (m == "64") {
        largeMemory = false;
      } else if (m == "512") {
        largeMemory = true;
      } else {
        return usage("--memory needs 64 or 512, not '" + m + "'");
      }
    } else if (const std::string why = takeOtherWord(args, i, bmp); !why.empty()) {
      return usage(why);
    }
  }
  if (bmp.empty()) return usage("check needs a bitmap file");

  std::string error;
  const std::optional<BmpVerdict> verdict = acceptedBitmap(bmp, largeMemory, error);
  if (!verdict) return refuse(error);
  const BmpVerdict& v = *verdict;
  std::printf("%d Wide X %d High\n%lld Pixels\n%d bits per pixel\n%lld image bytes\n", v.width,
              v.height, static_cast<long long>(v.width) * v.height, v.bpp, v.imageBytes);
  return kOk;
}

}  // namespace osd::ctl

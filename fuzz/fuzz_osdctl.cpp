// osdctl's command line for the commands that need no port: encode, check and the usage
// paths. The input holds the words (separated by newlines) and, after the first NUL byte, the
// bitmap file's bytes. The word "@" stands for that bitmap; every word is kept inside a
// private folder (slashes become underscores; it is the working folder while the command
// runs) and that folder is emptied after each run, so
// nothing outside it is ever read or written. No port is ever opened.
//
// Run with -close_fd_mask=3: the commands print values and reasons.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ctl/commands.h"
#include "fuzz_check.h"

namespace osd::ctl {
// The usage text lives beside osdctl's main(), which is not part of this target.
void printUsage(std::FILE*) {}
}  // namespace osd::ctl

namespace {

std::string workDir() {
  return fuzzWorkDir("ctl");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace osd::ctl;
  const std::string dir = workDir();
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t nul = input.find('\0');
  const std::string words = input.substr(0, nul);
  const std::string bitmap = nul == std::string::npos ? std::string() : input.substr(nul + 1);
  const std::string bmpPath = dir + "/in.bmp";
  {
    std::ofstream out(bmpPath, std::ios::binary | std::ios::trunc);
    out.write(bitmap.data(), static_cast<std::streamsize>(bitmap.size()));
  }

  Args args;
  size_t start = 0;
  while (start <= words.size() && args.size() < 16) {
    size_t end = words.find('\n', start);
    if (end == std::string::npos) end = words.size();
    std::string w = words.substr(start, end - start);
    for (char& c : w) {
      if (c == '/') c = '_';
    }
    if (w == "@") w = bmpPath;
    if (w.size() > 64) w.resize(64);
    args.push_back(w);
    start = end + 1;
  }
  const std::string command = args.empty() ? std::string() : args.front();
  const Args rest(args.begin() + (args.empty() ? 0 : 1), args.end());

  // Relative file names land in the private folder; libFuzzer's own paths stay as they were.
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  int rc = kUsage;
  if (command == "check") {
    rc = check(rest);
  } else if (command == "encode") {
    rc = encode(rest);
  } else {
    // Any other first word: both commands on the words that follow it.
    const int rcCheck = check(args);
    FUZZ_CHECK(rcCheck == kOk || rcCheck == kRefused || rcCheck == kUsage);
    rc = encode(args);
  }
  FUZZ_CHECK(rc == kOk || rc == kRefused || rc == kUsage);

  std::filesystem::current_path(previous);

  // Back to a clean folder: only the bitmap stays.
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (entry.path() != bmpPath) std::filesystem::remove_all(entry.path(), ec);
  }
  return 0;
}

// Invariant checks for the fuzz targets: a broken promise is reported and aborts, so that
// libFuzzer records the input like any crash.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#define FUZZ_CHECK(cond)                                                                \
  do {                                                                                  \
    if (!(cond)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                     \
    }                                                                                   \
  } while (0)

// A private scratch folder for one fuzzer ("osdfuzz-<name>-XXXXXX"), on a memory file system
// when there is one, created once and removed when the fuzzer ends (libFuzzer leaves through
// exit()).
inline std::string fuzzWorkDir(const char* name) {
  static std::string removeAtExit;
  static const std::string dir = [name] {
    const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    const std::string tmpl = base + "/osdfuzz-" + name + "-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    const char* made = ::mkdtemp(buf.data());
    FUZZ_CHECK(made != nullptr);
    removeAtExit = made;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(removeAtExit, ec);
    });
    return std::string(made);
  }();
  return dir;
}

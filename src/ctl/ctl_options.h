// The options every osdctl command that talks to a node shares, and the small readers the
// commands use for their own options.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/options.h"
#include "ctl/commands.h"

namespace osd::ctl {

struct HostOptions {
  std::string port;          // --port: a number 1-255 or a device path; "" when not given
  std::string portMap;       // --port-map N=DEVICE[,N=DEVICE...]
  std::string settingsFile;  // --settings FILE; "" for the default file
  std::string dataDir;       // --data-dir DIR; "" for the default folder
};

// The shared options as the option reader declares them.
const std::vector<cli::Option>& commonOptions();

// Copies the shared options out of a reader's result, checking them: a --port that is all
// digits must be 1-255, and a --port-map must be well formed. False with a reason naming
// what was typed.
bool takeCommonOptions(const cli::Parsed& parsed, HostOptions& options, std::string& error);

// Prints "osdctl COMMAND: why" and "usage: osdctl SYNOPSIS" on standard error; kUsage.
int usageError(const char* command, const std::string& why, const char* synopsis);

// Reads a node command's words against the shared options and its own `own` ("--opt VALUE"
// or "--opt=VALUE", each at most once). Nothing when the command is to run (a --port given);
// otherwise the exit status, after printing the help, the version or the usage error.
std::optional<int> readCommandArgs(const Args& args, std::vector<cli::Option> own,
                                   const char* command, const char* synopsis, cli::Parsed& parsed,
                                   HostOptions& options);

// The folder that holds "Images" (the rule of cli::dataFolder).
std::string dataFolder(const std::string& dataDirOption, const std::string& programDir);

// A whole decimal number (digits only) within lo..hi; false otherwise.
bool wholeNumber(const std::string& text, int lo, int hi, int& out);

}  // namespace osd::ctl

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

// Copies the shared options out of a reader's result, checking them: a --port that is all
// digits must be 1-255, and a --port-map must be well formed. False with a reason naming
// what was typed.
bool takeCommonOptions(const cli::Parsed& parsed, HostOptions& options, std::string& error);

// Prints "osdctl COMMAND: why" and "usage: osdctl SYNOPSIS" (from the command table) on
// standard error; kUsage.
int usageError(const char* command, const std::string& why);

// Reads a command's words against its options in the command table ("--opt VALUE" or
// "--opt=VALUE", each at most once). Nothing when the command is to run (with a --port for a
// command that takes one); otherwise the exit status, after printing the help, the version
// or the usage error.
std::optional<int> readCommandArgs(const Args& args, const char* command, cli::Parsed& parsed,
                                   HostOptions& options);

// "3-7,9" for `option` (--nodes, --ids): node IDs 1-255 and ranges FROM-TO, each ID once, in
// the order given. "" or why not.
std::string readIdList(const std::string& text, const std::string& option, std::vector<int>& ids);
inline std::string readNodeList(const std::string& text, std::vector<int>& ids) {
  return readIdList(text, "--nodes", ids);
}

// The folder that holds "Images" (the rule of cli::dataFolder).
std::string dataFolder(const std::string& dataDirOption, const std::string& programDir);

// What keeps a file from being read as an input: "no such file", "is a folder", "cannot be
// read"; "" when it can be opened.
std::string fileFault(const std::string& path);

// The MEMORY column of osdctl's output: "64K", "512K", or "-" when the node gave no size (0).
std::string memoryColumn(int kib);

// A whole decimal number (digits only) within lo..hi; false otherwise.
bool wholeNumber(const std::string& text, int lo, int hi, int& out);

}  // namespace osd::ctl

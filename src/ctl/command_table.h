// osdctl's commands in one table: each command's name, synopsis, options and the function
// that runs it. The table gives the usage text, each command's --help, the dispatch and the
// usage errors; the completion script and the manual page check read what --help prints.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "common/options.h"
#include "ctl/commands.h"

namespace osd::ctl {

struct OptionDoc {
  const char* name;  // "--format"
  cli::Kind kind;
  const char* value;  // "rgb|ycbcr", "ID"; "" for a flag
  const char* help;   // one line
};

enum class PortUse { None, Needed, Optional };

struct Command {
  const char* name;
  const char* synopsis;            // one line, after "osdctl "
  const char* summary;             // what it does, one line
  PortUse port;                    // whether it takes --port, and must have it
  std::vector<OptionDoc> options;  // its own options, the shared ones not included
  int (*run)(const Args& args);
};

// Every command, in the order the usage text lists them.
const std::vector<Command>& commandTable();
// The command of that name; null when there is none.
const Command* findCommand(const std::string& name);
// The options the reader takes for `command`: its own, then the shared ones.
std::vector<cli::Option> optionsOf(const Command& command);
// The synopsis wrapped for "usage: osdctl " (continuation lines indented under it).
std::string wrappedSynopsis(const Command& command, size_t indent);

// The usage text of every command, and the help of one.
void printUsage(std::FILE* to);
void printCommandHelp(const Command& command, std::FILE* to);

// The whole command line after the program name: the shared options may come before the
// command; --help and --version anywhere before "--". Returns the exit status.
int runOsdctl(const Args& words);

}  // namespace osd::ctl

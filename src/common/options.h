// The command-line reader shared by osdprog, osdctl and osdsim, and the rule that finds the
// data folder. Standard library only.
//
//   const cli::Parsed p = cli::parse(cli::argsOf(argc, argv), {{"--port"}, {"--color",
//   cli::Kind::Flag}}); if (p.outcome == cli::Outcome::Usage) { print p.error and the usage; exit 2
//   } if (p.outcome == cli::Outcome::Help)  { print the usage on standard output; exit 0 } if
//   (p.outcome == cli::Outcome::Version) { print cli::versionLine("osdsim"); exit 0 }
//
// Every option takes its value as "--opt value" or "--opt=value". An option given twice is a
// usage error in every program: a script that names two ports or two settings files has a
// mistake in it, and acting on either one would program the wrong node or change the wrong
// file without a word.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace osd::cli {

enum class Kind {
  Value,        // "--opt VALUE" or "--opt=VALUE"; the value must not be empty
  Flag,         // "--opt" alone
  InlineValue,  // "--opt" alone or "--opt=VALUE"; a following word is never its value
};

struct Option {
  std::string name;  // "--port", "-o"
  Kind kind = Kind::Value;
};

enum class Outcome { Run, Help, Version, Usage };

struct Parsed {
  Outcome outcome = Outcome::Run;
  std::string error;                          // for Usage: names what the user typed
  std::map<std::string, std::string> values;  // the options given; a bare flag maps to ""
  std::vector<std::string> words;             // every other word, in order

  bool has(const std::string& name) const { return values.count(name) != 0; }
  std::string value(const std::string& name, const std::string& fallback = "") const;
};

// Reads `args` (the words after the program name) against `options`. "--help" and "-h" give
// Outcome::Help, "--version" Outcome::Version. "--" ends the options: every later word is a
// word. "-" alone is a word. A word that starts with "-" and is no known option is a usage
// error, unless `keepUnknown` is set: then it stays among the words (with "--" and all after
// it), for a caller that reads the rest itself, and "--help"/"--version" stay there as well.
Parsed parse(const std::vector<std::string>& args, const std::vector<Option>& options,
             bool keepUnknown = false);

// Help or Version when "--help"/"-h" or "--version" stands among `args` before "--" (the
// first of them counts), else Run: for a program that hands its words on to sub-commands.
Outcome askedFor(const std::vector<std::string>& args);

// argv[first..argc-1] as words.
std::vector<std::string> argsOf(int argc, char** argv, int first = 1);

// "PROGRAM VERSION", the version the project was built as.
std::string versionLine(const std::string& program);

// A whole decimal number, digits only, within lo..hi.
std::optional<long long> wholeNumber(const std::string& text, long long lo, long long hi);

// The folder that holds "Images": `dataDirOption` when given; else `programDir` when it is
// writable and the program is not installed; else $XDG_DATA_HOME/Norvo/RA7_Vud (an absolute
// $XDG_DATA_HOME, else ~/.local/share); on Windows %LOCALAPPDATA%\Norvo\RA7_Vud.
std::string dataFolder(const std::string& dataDirOption, const std::string& programDir);

// An installed program finds the data files it ships in ../share/osdprog/Images beside its own
// folder. Its folder is then a system folder shared by every user and is never written.
bool isInstalled(const std::string& programDir);

// Creates `dir`/Images where it is missing and copies into it the shipped data files it lacks
// (an installed program's ../share/osdprog/Images). Failures are left to the first read.
void prepareDataFolder(const std::string& dir, const std::string& programDir);

}  // namespace osd::cli

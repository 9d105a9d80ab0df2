#include "common/options.h"

#include <filesystem>
#include <system_error>

#include "build_config.h"
#include "platform/file_system.h"

namespace osd::cli {

namespace fs = std::filesystem;

namespace {

const Option* find(const std::vector<Option>& options, const std::string& name) {
  for (const Option& o : options) {
    if (o.name == name) return &o;
  }
  return nullptr;
}

Parsed usageError(std::string why) {
  Parsed p;
  p.outcome = Outcome::Usage;
  p.error = std::move(why);
  return p;
}

}  // namespace

std::string Parsed::value(const std::string& name, const std::string& fallback) const {
  auto it = values.find(name);
  return it == values.end() ? fallback : it->second;
}

Parsed parse(const std::vector<std::string>& args, const std::vector<Option>& options,
             bool keepUnknown) {
  Parsed p;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "--") {
      const size_t from = keepUnknown ? i : i + 1;
      p.words.insert(p.words.end(), args.begin() + static_cast<long>(from), args.end());
      break;
    }
    if (word.size() < 2 || word[0] != '-') {
      p.words.push_back(word);
      continue;
    }
    const size_t eq = word.rfind("--", 0) == 0 ? word.find('=') : std::string::npos;
    const std::string name = eq == std::string::npos ? word : word.substr(0, eq);
    const Option* option = find(options, name);
    if (!option) {
      if (keepUnknown) {
        p.words.push_back(word);
      } else if (word == "--help" || word == "-h") {
        p.outcome = Outcome::Help;
        return p;
      } else if (word == "--version") {
        p.outcome = Outcome::Version;
        return p;
      } else {
        return usageError("unknown option '" + word + "'");
      }
      continue;
    }
    std::string value;
    if (eq != std::string::npos) {
      if (option->kind == Kind::Flag) return usageError(name + " takes no value: '" + word + "'");
      value = word.substr(eq + 1);
      if (value.empty()) return usageError(name + " needs a value: '" + word + "'");
    } else if (option->kind == Kind::Value) {
      if (i + 1 >= args.size()) return usageError(name + " needs a value");
      if (args[i + 1].rfind("--", 0) == 0 && args[i + 1].size() > 2) {
        return usageError(name + " needs a value, not '" + args[i + 1] + "'");
      }
      value = args[++i];
      if (value.empty()) return usageError(name + " needs a value");
    }
    if (p.has(name)) return usageError(name + " is given twice");
    p.values[name] = value;
  }
  return p;
}

Outcome askedFor(const std::vector<std::string>& args) {
  for (const std::string& word : args) {
    if (word == "--") break;
    if (word == "--help" || word == "-h") return Outcome::Help;
    if (word == "--version") return Outcome::Version;
  }
  return Outcome::Run;
}

std::vector<std::string> argsOf(int argc, char** argv, int first) {
  std::vector<std::string> out;
  for (int i = first; i < argc; ++i) out.emplace_back(argv[i]);
  return out;
}

std::string versionLine(const std::string& program) {
  return program + " " + OSD_VERSION;
}

std::optional<long long> wholeNumber(const std::string& text, long long lo, long long hi) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  if (v < lo || v > hi) return std::nullopt;
  return v;
}

bool isInstalled(const std::string& programDir) {
  std::error_code ec;
  return !programDir.empty() &&
         fs::is_directory(fs::path(programDir) / ".." / "share" / "osdprog" / "Images", ec);
}

std::string dataFolder(const std::string& dataDirOption, const std::string& programDir) {
  if (!dataDirOption.empty()) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(dataDirOption, ec);
    return ec ? dataDirOption : absolute.lexically_normal().string();
  }
  std::error_code ec;
  if (!programDir.empty() && !isInstalled(programDir) && fs::is_directory(programDir, ec) &&
      sys::folderWritable(programDir)) {
    return programDir;
  }
  const char sep = sys::pathSeparator();
  return sys::userDataBase() + sep + "Norvo" + sep + "RA7_Vud";
}

void prepareDataFolder(const std::string& dir, const std::string& programDir) {
  std::error_code ec;
  const fs::path images = fs::path(dir) / "Images";
  fs::create_directories(images, ec);
  if (!isInstalled(programDir)) return;
  const fs::path shipped = fs::path(programDir) / ".." / "share" / "osdprog" / "Images";
  for (fs::directory_iterator it(shipped, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() != ".dat") continue;
    const fs::path target = images / it->path().filename();
    std::error_code e2;
    if (!fs::exists(target, e2)) fs::copy_file(it->path(), target, e2);
  }
}

}  // namespace osd::cli

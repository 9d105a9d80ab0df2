#include "settings/ini_settings.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <vector>

#include "common/safe_file.h"
#include "platform/file_system.h"

namespace osd {

namespace {

constexpr const char* kRoot = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\";

std::string trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// Reads the file's lines. `exists` tells whether there is anything at the path. False when
// something is there that cannot be read as a settings file (no permission, a folder, a
// device or pipe that could block): such a file is never written over.
bool readLines(const std::string& file, std::vector<std::string>& lines, bool& exists) {
  lines.clear();
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    exists = false;
    return errno == ENOENT;
  }
  exists = true;
  if (!S_ISREG(st.st_mode)) return false;
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return !in.bad();
}

// A line as the parser sees it: blanks around it and a byte-order mark at the start removed.
std::string parsedLine(const std::string& line, size_t index) {
  if (index == 0 && line.rfind("\xEF\xBB\xBF", 0) == 0) return trimmed(line.substr(3));
  return trimmed(line);
}

std::string dirOf(const std::string& file) {
  size_t slash = file.find_last_of(sys::pathSeparators());
  return slash == std::string::npos ? std::string(".") : file.substr(0, slash);
}

// Removes what earlier versions left when killed during a write: NAME.tmp-XXXXXX beside the
// file (the temporaries of today are removed by removeStaleTemporaries).
void removeOldTemporaries(const std::string& file) {
  const std::string dir = dirOf(file);
  const size_t slash = file.find_last_of(sys::pathSeparators());
  const std::string prefix = file.substr(slash == std::string::npos ? 0 : slash + 1) + ".tmp-";
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  while (const dirent* entry = ::readdir(d)) {
    const std::string name = entry->d_name;
    if (name.size() != prefix.size() + 6 || name.rfind(prefix, 0) != 0) continue;
    const std::string full = dir + "/" + name;
    if (sys::isPlainFile(full)) ::unlink(full.c_str());
  }
  ::closedir(d);
}

// Sets `entry` ("key=value") of `key` in `group`: in place of the key's line, else after the
// group's last line, else in a new group at the end.
void setEntry(std::vector<std::string>& lines, const std::string& group, const std::string& key,
              const std::string& entry) {
  std::string current;
  long groupEnd = -1;  // index after the last line of the group
  bool groupSeen = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string t = parsedLine(lines[i], i);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
      current = trimmed(t.substr(1, t.size() - 2));
      if (current == group) {
        groupSeen = true;
        groupEnd = static_cast<long>(i) + 1;
      }
      continue;
    }
    if (current != group) continue;
    if (!t.empty()) groupEnd = static_cast<long>(i) + 1;
    const size_t eq = t.find('=');
    if (eq != std::string::npos && trimmed(t.substr(0, eq)) == key) {
      lines[i] = entry;
      return;
    }
  }
  if (groupSeen) {
    lines.insert(lines.begin() + groupEnd, entry);
    return;
  }
  if (!lines.empty() && !trimmed(lines.back()).empty()) lines.push_back("");
  lines.push_back("[" + group + "]");
  lines.push_back(entry);
}

}  // namespace

IniSettings::IniSettings(std::string file, std::string appKey)
    : file_(std::move(file)), appKey_(std::move(appKey)) {
  // Temporary files of writers that were killed; a write running elsewhere holds the lock.
  const std::string target = linkTarget(file_);
  sys::FolderLock lock(dirOf(target));
  removeStaleTemporaries(target);
  removeOldTemporaries(target);
}

std::string IniSettings::defaultFile(const std::string& appKey) {
  const char sep = sys::pathSeparator();
  return sys::userConfigBase() + sep + "Norvo" + sep + appKey + ".ini";
}

bool IniSettings::split(const std::string& path, std::string& group, std::string& key) const {
  std::string rest = path;
  if (rest.rfind(kRoot, 0) == 0) rest = rest.substr(std::string(kRoot).size());
  std::vector<std::string> parts;
  std::stringstream ss(rest);
  std::string part;
  while (std::getline(ss, part, '\\')) parts.push_back(part);
  if (parts.empty() || parts.back().empty()) return false;
  key = parts.back();
  parts.pop_back();
  // The application key names the file; what stands between it and the key is the group.
  if (!parts.empty() && parts.front() == appKey_) parts.erase(parts.begin());
  group.clear();
  for (const auto& p : parts) group += (group.empty() ? "" : "/") + p;
  if (group.empty()) group = "General";
  return true;
}

std::string IniSettings::quote(const std::string& value) {
  bool needQuotes = value.empty() ? false
                                  : (value.front() == ' ' || value.back() == ' ' ||
                                     value.find_first_of(",;=\"") != std::string::npos);
  std::string out;
  for (char c : value) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        out += c;
    }
  }
  return needQuotes ? "\"" + out + "\"" : out;
}

std::string IniSettings::unquote(const std::string& raw) {
  const std::string s = trimmed(raw);
  std::string out;
  size_t significant = 0;  // blanks outside quotes before a comment do not belong to the value
  bool inQuotes = false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      inQuotes = !inQuotes;
      significant = out.size();
      continue;
    }
    if (c == '\\' && i + 1 < s.size()) {
      const char n = s[++i];
      switch (n) {
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case '0':
          out += '\0';
          break;
        default:
          out += n;
      }
      significant = out.size();
      continue;
    }
    if (c == ';' && !inQuotes) {  // a comment ends the value
      out.resize(significant);
      break;
    }
    out += c;
    if (inQuotes || (c != ' ' && c != '\t')) significant = out.size();
  }
  return out;
}

std::optional<std::string> IniSettings::read(const std::string& path) {
  std::string group, key;
  if (!split(path, group, key)) return std::nullopt;
  std::vector<std::string> lines;
  bool exists = false;
  if (!readLines(file_, lines, exists) || !exists) return std::nullopt;
  std::string current;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string t = parsedLine(lines[i], i);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
      current = trimmed(t.substr(1, t.size() - 2));
      continue;
    }
    if (current != group) continue;
    size_t eq = t.find('=');
    if (eq == std::string::npos) continue;
    if (trimmed(t.substr(0, eq)) == key) return unquote(t.substr(eq + 1));
  }
  return std::nullopt;
}

bool IniSettings::write(const std::string& path, const std::string& value) {
  std::string group, key;
  if (!split(path, group, key)) return false;
  const std::string target = linkTarget(file_);
  if (holds(target, group, key, value)) return true;
  if (!sys::makeFolders(dirOf(target))) return false;
  sys::FolderLock lock(dirOf(target));
  std::vector<std::string> lines;
  bool exists = true;
  struct stat st {};
  const bool known = ::stat(target.c_str(), &st) == 0 && sys::stampOf(target, st) == cachedStamp_;
  if (known) {
    lines = cachedLines_;  // the file is as this store last saw it: no need to read it again
  } else if (!readLines(target, lines, exists)) {
    return false;  // a file that exists but cannot be read is never written over
  }
  const std::vector<std::string> before = lines;
  setEntry(lines, group, key, key + "=" + quote(value));
  if (exists && lines == before) {  // the same value again: the disk is spared
    remember(target, lines);
    return true;
  }
  std::string content;
  for (const auto& l : lines) content += l + "\n";
  std::string error;
  if (!safeReplace(target, content, error)) return false;
  remember(target, lines);
  return true;
}

// Whether the file, unchanged since this store last saw it, already holds the value: then there
// is nothing to lock, read or replace (the node's answers set the same values again and again).
bool IniSettings::holds(const std::string& target, const std::string& group, const std::string& key,
                        const std::string& value) const {
  struct stat st {};
  if (cachedStamp_.empty() || ::stat(target.c_str(), &st) != 0 ||
      sys::stampOf(target, st) != cachedStamp_)
    return false;
  std::vector<std::string> lines = cachedLines_;
  setEntry(lines, group, key, key + "=" + quote(value));
  return lines == cachedLines_;
}

void IniSettings::remember(const std::string& target, const std::vector<std::string>& lines) {
  struct stat st {};
  cachedStamp_ = ::stat(target.c_str(), &st) == 0 ? sys::stampOf(target, st) : std::string();
  cachedLines_ = lines;
}

}  // namespace osd

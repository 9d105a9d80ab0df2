#include "settings/ini_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace osd {

namespace {

constexpr const char* kRoot = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\";

std::string trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

bool readLines(const std::string& file, std::vector<std::string>& lines, bool& exists) {
  lines.clear();
  struct stat st {};
  exists = ::stat(file.c_str(), &st) == 0;
  if (!exists) return true;
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return !in.bad();
}

bool makeDirs(const std::string& dir) {
  if (dir.empty()) return true;
  struct stat st {};
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !makeDirs(dir.substr(0, slash))) return false;
  return ::mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
}

std::string dirOf(const std::string& file) {
  size_t slash = file.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : file.substr(0, slash);
}

// Writes `content` to `file` durably: temporary file, flush to disk, rename, sync the folder.
bool writeDurably(const std::string& file, const std::string& content) {
  const std::string dir = dirOf(file);
  if (!makeDirs(dir)) return false;
  std::string tmp = file + ".tmp-XXXXXX";
  std::vector<char> name(tmp.begin(), tmp.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) return false;
  const char* p = content.data();
  size_t left = content.size();
  bool ok = true;
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (ok) ok = ::fchmod(fd, 0644) == 0 || true;
  if (ok) ok = ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok) ok = ::rename(name.data(), file.c_str()) == 0;
  if (!ok) {
    ::unlink(name.data());
    return false;
  }
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

}  // namespace

IniSettings::IniSettings(std::string file, std::string appKey)
    : file_(std::move(file)), appKey_(std::move(appKey)) {}

std::string IniSettings::defaultFile(const std::string& appKey) {
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : ".") + "/.config";
  }
  return base + "/Norvo/" + appKey + ".ini";
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
  std::string s = trimmed(raw);
  std::string out;
  bool inQuotes = false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      inQuotes = !inQuotes;
      continue;
    }
    if (c == '\\' && i + 1 < s.size()) {
      char n = s[++i];
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
      continue;
    }
    if (c == ';' && !inQuotes) break;  // comment
    out += c;
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
  for (const auto& line : lines) {
    std::string t = trimmed(line);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
      current = t.substr(1, t.size() - 2);
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
  std::vector<std::string> lines;
  bool exists = false;
  // A file that exists but cannot be read is never written over.
  if (!readLines(file_, lines, exists)) return false;
  const std::string entry = key + "=" + quote(value);
  std::string current;
  long groupEnd = -1;  // index after the last line of the group
  bool groupSeen = false;
  bool done = false;
  for (size_t i = 0; i < lines.size() && !done; ++i) {
    std::string t = trimmed(lines[i]);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
      current = t.substr(1, t.size() - 2);
      if (current == group) {
        groupSeen = true;
        groupEnd = static_cast<long>(i) + 1;
      }
      continue;
    }
    if (current != group) continue;
    if (!t.empty()) groupEnd = static_cast<long>(i) + 1;
    size_t eq = t.find('=');
    if (eq != std::string::npos && trimmed(t.substr(0, eq)) == key) {
      lines[i] = entry;
      done = true;
    }
  }
  if (!done) {
    if (groupSeen) {
      lines.insert(lines.begin() + groupEnd, entry);
    } else {
      if (!lines.empty() && !trimmed(lines.back()).empty()) lines.push_back("");
      lines.push_back("[" + group + "]");
      lines.push_back(entry);
    }
  }
  std::string content;
  for (const auto& l : lines) content += l + "\n";
  return writeDurably(file_, content);
}

}  // namespace osd

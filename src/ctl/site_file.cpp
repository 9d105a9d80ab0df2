#include "ctl/site_file.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "common/options.h"

namespace osd::ctl {

namespace {

std::string trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

// The line without a comment after white space (" ; ..." or "\t# ...").
std::string withoutComment(const std::string& line) {
  for (size_t i = 1; i < line.size(); ++i) {
    if ((line[i] == ';' || line[i] == '#') && (line[i - 1] == ' ' || line[i - 1] == '\t'))
      return line.substr(0, i);
  }
  return line;
}

bool number(const std::string& text, int lo, int hi, int& out) {
  const std::optional<long long> v = cli::wholeNumber(text, lo, hi);
  if (v) out = static_cast<int>(*v);
  return v.has_value();
}

// One key of a [node ID] section; "" or why not ("unknown key ..." or what the value must be).
std::string readNodeKey(SiteNode& n, const std::string& key, const std::string& value,
                        const std::filesystem::path& folder) {
  if (key == "logo") {
    if (value.empty()) return "a file name";
    const std::filesystem::path file(value);
    n.logo = (file.is_absolute() ? file : folder / file).string();
  } else if (key == "format") {
    if (value != "rgb" && value != "ycbcr") return "rgb or ycbcr";
    n.rgb = value == "rgb";
  } else if (key == "transparent") {
    if (!number(value, 0, 255, n.transparent)) return "a value 0-255";
  } else if (key == "x" || key == "y") {
    if (!number(value, 0, 100, key == "x" ? n.x : n.y)) return "a percentage 0-100";
  } else if (key == "memory") {
    if (value != "64" && value != "512") return "64 or 512";
    n.memoryKiB = value == "64" ? 64 : 512;
  } else {
    return "unknown key '" + key + "' in [node " + std::to_string(n.id) +
           "] (logo, format, transparent, x, y, memory)";
  }
  return "";
}

// The reader's state while it goes through the lines.
struct Reader {
  Site& site;
  std::filesystem::path folder;
  std::string section;  // "line", "node", or "" before the first
  std::set<std::string> keys;
  std::set<int> ids;

  std::string where(int line) const { return site.path + ":" + std::to_string(line) + ": "; }

  // The checks of a whole [node] section, run when the next section starts and at the end.
  std::string finishNode() const {
    if (section != "node") return "";
    const SiteNode& n = site.nodes.back();
    if (n.logo.empty()) return where(n.line) + "[node " + std::to_string(n.id) + "] has no logo";
    if ((n.x < 0) != (n.y < 0)) return where(n.line) + "x and y go together";
    return "";
  }

  std::string header(const std::string& text, int line) {
    if (text.back() != ']') return where(line) + "a section header ends with ]";
    if (const std::string why = finishNode(); !why.empty()) return why;
    const std::string name = trimmed(text.substr(1, text.size() - 2));
    keys.clear();
    section = "line";
    if (name == "line") return "";
    int id = 0;
    if (name.rfind("node ", 0) != 0 || !number(trimmed(name.substr(5)), 1, 255, id))
      return where(line) + "unknown section [" + name + "] (use [line] or [node ID])";
    if (!ids.insert(id).second)
      return where(line) + "node " + std::to_string(id) + " is listed twice";
    section = "node";
    SiteNode n;
    n.id = id;
    n.line = line;
    site.nodes.push_back(n);
    return "";
  }

  std::string entry(const std::string& text, int line) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos) return where(line) + "expected key = value";
    const std::string key = trimmed(text.substr(0, eq));
    const std::string value = trimmed(text.substr(eq + 1));
    if (section.empty()) return where(line) + "'" + key + "' comes before any section";
    if (!keys.insert(key).second) return where(line) + "'" + key + "' is given twice";
    const std::string bad = where(line) + key + " = " + value + ": ";
    if (section == "line") {
      if (key == "port") {
        if (const std::string why = portValueFault(value); !why.empty()) return bad + why;
        site.port = value;
        site.portLine = line;
      } else if (key == "together") {
        if (value != "yes" && value != "no") return bad + "yes or no";
        site.together = value == "yes";
      } else {
        return where(line) + "unknown key '" + key + "' in [line] (port, together)";
      }
      return "";
    }
    SiteNode& n = site.nodes.back();
    if (const std::string why = readNodeKey(n, key, value, folder); !why.empty())
      return why.rfind("unknown", 0) == 0 ? where(line) + why : bad + why;
    if (key == "logo") n.logoLine = line;
    return "";
  }
};

}  // namespace

std::string portValueFault(const std::string& text) {
  if (text.empty()) return "a port number 1-255 or a device path";
  if (text.find_first_not_of("0123456789") != std::string::npos) return "";
  if (!cli::wholeNumber(text, 1, 255)) return "a port number is 1 to 255 (or give a device path)";
  return "";
}

std::string readSiteText(const std::string& text, const std::string& path, Site& site) {
  site = Site{};
  site.path = path;
  Reader reader{site, std::filesystem::path(path).parent_path()};
  std::istringstream in(text);
  int line = 0;
  for (std::string raw; std::getline(in, raw);) {
    ++line;
    if (line == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);
    const std::string trimmedRaw = trimmed(raw);
    if (trimmedRaw.empty() || trimmedRaw[0] == ';' || trimmedRaw[0] == '#') continue;
    const std::string content = trimmed(withoutComment(trimmedRaw));
    const std::string why =
        content[0] == '[' ? reader.header(content, line) : reader.entry(content, line);
    if (!why.empty()) return why;
  }
  if (const std::string why = reader.finishNode(); !why.empty()) return why;
  if (site.nodes.empty()) return path + ": no [node ID] section";
  return "";
}

std::string readSite(const std::string& path, Site& site) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return path + ": is a folder";
  if (!std::filesystem::exists(path, ec)) return path + ": no such file";
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (!in || !(text << in.rdbuf())) {
    // An empty file reads as nothing at all.
    if (in && std::filesystem::file_size(path, ec) == 0 && !ec) return readSiteText("", path, site);
    return path + ": cannot be read";
  }
  return readSiteText(text.str(), path, site);
}

}  // namespace osd::ctl

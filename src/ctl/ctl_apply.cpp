// osdctl apply SITE: every node of a site file programmed with its own logo, nodes whose
// streams are the same bytes sharing one where the site says its nodes stay awake together.
// The whole file is read and every logo made ready before anything is sent.
//
//   [line]
//   port = 3              ; --port wins
//   together = yes        ; default no
//   [node 3]
//   logo = lobby.png      ; relative to the site file's folder
//   format = rgb          ; and transparent, x, y, memory = 64|512
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>

#include "common/options.h"
#include "common/textnum.h"
#include "ctl/commands.h"
#include "ctl/ctl_fleet.h"
#include "ctl/ctl_host.h"
#include "image/bmp.h"
#include "platform/stop_signals.h"
#include "transfer/line_progress.h"

namespace osd::ctl {

namespace {

constexpr const char* kSynopsis = "apply SITE [--port P] [--dry-run]";

struct SiteNode {
  int id = 0;
  int line = 0;       // of its section header
  int logoLine = 0;   // of its logo key
  LogoChoice logo;    // its file: the bitmap that goes out (a converted copy for a picture)
  std::string named;  // the file as the site names it
  int memoryKiB = 0;
};

struct Site {
  std::string path;
  std::string port;
  bool together = false;
  std::vector<SiteNode> nodes;
};

std::string trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

// One key of a [node ID] section; "" or why not ("unknown key ..." or what the value must be).
std::string readNodeKey(SiteNode& n, const std::string& key, const std::string& value,
                        const std::filesystem::path& folder) {
  if (key == "logo") {
    if (value.empty()) return "a file name";
    const std::filesystem::path file(value);
    n.logo.file = (file.is_absolute() ? file : folder / file).string();
    n.named = n.logo.file;
  } else if (key == "format") {
    if (value != "rgb" && value != "ycbcr") return "rgb or ycbcr";
    n.logo.rgb = value == "rgb";
  } else if (key == "transparent") {
    if (!wholeNumber(value, 0, 255, n.logo.transparent)) return "a value 0-255";
  } else if (key == "x" || key == "y") {
    if (!wholeNumber(value, 0, 100, key == "x" ? n.logo.x : n.logo.y)) return "a percentage 0-100";
  } else if (key == "memory") {
    if (value != "64" && value != "512") return "64 or 512";
    n.memoryKiB = value == "64" ? 64 : 512;
  } else {
    return "unknown key '" + key + "' in [node " + std::to_string(n.id) +
           "] (logo, format, transparent, x, y, memory)";
  }
  return "";
}

// Reads the site file; "" or "SITE:LINE: why".
std::string readSite(const std::string& path, Site& site) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return path + ": cannot be read";
  site.path = path;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::string section;  // "line", "node", or "" before the first
  std::set<std::string> keys;
  std::set<int> ids;
  int number = 0;
  const auto where = [&](int n) { return path + ":" + std::to_string(n) + ": "; };
  const auto finishNode = [&]() -> std::string {
    if (section != "node") return "";
    const SiteNode& n = site.nodes.back();
    if (n.logo.file.empty())
      return where(n.line) + "[node " + std::to_string(n.id) + "] has no logo";
    if ((n.logo.x < 0) != (n.logo.y < 0)) return where(n.line) + "x and y go together";
    return "";
  };
  for (std::string raw; std::getline(in, raw);) {
    ++number;
    const std::string text = trimmed(raw);
    if (text.empty() || text[0] == ';' || text[0] == '#') continue;
    if (text[0] == '[') {
      if (text.back() != ']') return where(number) + "a section header ends with ]";
      if (const std::string why = finishNode(); !why.empty()) return why;
      const std::string name = trimmed(text.substr(1, text.size() - 2));
      keys.clear();
      if (name == "line") {
        section = "line";
        continue;
      }
      int id = 0;
      if (name.rfind("node ", 0) != 0 || !wholeNumber(trimmed(name.substr(5)), 1, 255, id)) {
        return where(number) + "unknown section [" + name + "] (use [line] or [node ID])";
      }
      if (!ids.insert(id).second)
        return where(number) + "node " + std::to_string(id) + " is listed twice";
      section = "node";
      SiteNode n;
      n.id = id;
      n.line = number;
      site.nodes.push_back(n);
      continue;
    }
    const size_t eq = text.find('=');
    if (eq == std::string::npos) return where(number) + "expected key = value";
    const std::string key = trimmed(text.substr(0, eq));
    const std::string value = trimmed(text.substr(eq + 1));
    if (section.empty()) return where(number) + "'" + key + "' comes before any section";
    if (!keys.insert(key).second) return where(number) + "'" + key + "' is given twice";
    const std::string bad = where(number) + key + " = " + value + ": ";
    if (section == "line") {
      if (key == "port") {
        site.port = value;
      } else if (key == "together") {
        if (value != "yes" && value != "no") return bad + "yes or no";
        site.together = value == "yes";
      } else {
        return where(number) + "unknown key '" + key + "' in [line] (port, together)";
      }
      continue;
    }
    SiteNode& n = site.nodes.back();
    if (const std::string why = readNodeKey(n, key, value, folder); !why.empty()) {
      return why.rfind("unknown", 0) == 0 ? where(number) + why : bad + why;
    }
    if (key == "logo") n.logoLine = number;
  }
  if (const std::string why = finishNode(); !why.empty()) return why;
  if (site.nodes.empty()) return path + ": no [node ID] section";
  return "";
}

std::string logoLine(const Site& site, const SiteNode& n) {
  return site.path + ":" + std::to_string(n.logoLine) + ": logo of node " + std::to_string(n.id) +
         ": ";
}

// Logos that are not BMP files are converted as `convert` does, into temporary bitmaps kept
// in `made`. "" or "SITE:LINE: why".
std::string convertPictures(Site& site, std::vector<std::string>& made) {
  for (SiteNode& n : site.nodes) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(n.named, ec)) {
      return logoLine(site, n) + "no such file: " + n.named;
    }
    if (hasBmpName(n.named)) continue;
    n.logo.file =
        (std::filesystem::temp_directory_path(ec) /
         ("osdctl-apply-" + std::to_string(::getpid()) + "-" + std::to_string(n.id) + ".bmp"))
            .string();
    made.push_back(n.logo.file);
    const std::string why =
        pictureToBitmap(n.named, n.memoryKiB == 512, n.logo.transparent, n.logo.file);
    if (!why.empty()) return logoLine(site, n) + why;
  }
  return "";
}

// Removes the temporary bitmaps when it goes.
struct MadeFiles {
  ~MadeFiles() {
    std::error_code ec;
    for (const std::string& f : files) std::filesystem::remove(f, ec);
  }
  std::vector<std::string> files;
};

// Makes every node's logo ready; nodes whose streams would be the same bytes share one logo.
// "" or "SITE:LINE: why".
std::string prepareSite(Host& host, const Site& site, FleetJob& job) {
  for (const SiteNode& n : site.nodes) {
    FleetLogo logo;
    std::string why = prepareLogo(host, n.logo, logo);
    if (why.empty() && n.memoryKiB == 64 && !logo.smallMemoryRefusal.empty())
      why = logo.smallMemoryRefusal;
    if (!why.empty()) return logoLine(site, n) + why;
    logo.name = std::filesystem::path(n.named).filename().string();
    size_t index = 0;
    while (index < job.logos.size() && !job.logos[index].sameBytes(logo)) ++index;
    if (index == job.logos.size()) job.logos.push_back(std::move(logo));
    job.nodes.push_back(FleetNode{n.id, static_cast<int>(index), n.memoryKiB});
  }
  // A site names nodes, never the whole line: "WK,00" is not used for it.
  job.wholeLine = false;
  job.together = site.together;
  return "";
}

// The plan without the line: the groups, their bytes and the line time. A node without a
// memory in the site file is taken for 64 K.
void printPlan(const Site& site, const FleetJob& job) {
  std::map<int, int> memory;
  bool assumed = false;
  for (const FleetNode& n : job.nodes) {
    memory[n.id] = n.memoryKiB > 0 ? n.memoryKiB : 64;
    assumed = assumed || n.memoryKiB == 0;
  }
  const std::vector<FleetGroup> groups = planGroups(job, memory);
  int64_t bytes = 0;
  for (size_t i = 0; i < groups.size(); ++i) {
    const FleetGroup& g = groups[i];
    std::string ids;
    for (const int id : g.ids) ids += (ids.empty() ? "" : ", ") + std::to_string(id);
    const int64_t b = groupBytes(job, g);
    bytes += b;
    std::printf("stream %zu: node%s %s, %dK, %s: %s bytes\n", i + 1, g.ids.size() == 1 ? "" : "s",
                ids.c_str(), g.memoryKiB, job.logos[static_cast<size_t>(g.logo)].name.c_str(),
                groupedNumber(b).c_str());
  }
  const double seconds = jobSeconds(job, groups, static_cast<int>(job.nodes.size()));
  std::printf("%zu stream%s, %s bytes in all, line time about %s (%s)\n", groups.size(),
              groups.size() == 1 ? "" : "s", groupedNumber(bytes).c_str(),
              durationText(seconds).c_str(), site.together ? "together=yes" : "one node at a time");
  if (assumed) std::printf("nodes without memory= are counted as 64K\n");
}

}  // namespace

int apply(const Args& args) {
  std::vector<cli::Option> options = commonOptions();
  options.push_back({"--dry-run", cli::Kind::Flag});
  const cli::Parsed parsed = cli::parse(args, options);
  if (parsed.outcome == cli::Outcome::Help) {
    std::printf("usage: osdctl %s\n", kSynopsis);
    return kOk;
  }
  if (parsed.outcome == cli::Outcome::Version) {
    std::printf("%s\n", cli::versionLine("osdctl").c_str());
    return kOk;
  }
  HostOptions hostOptions;
  std::string why = parsed.error;
  if (parsed.outcome != cli::Outcome::Run || !takeCommonOptions(parsed, hostOptions, why))
    return usageError("apply", why, kSynopsis);
  if (parsed.words.size() != 1) {
    return usageError("apply", parsed.words.empty() ? "no site file given" : "give one site file",
                      kSynopsis);
  }
  Site site;
  if (why = readSite(parsed.words[0], site); !why.empty()) {
    std::fprintf(stderr, "osdctl apply: %s\n", why.c_str());
    return kRefused;
  }
  const bool dryRun = parsed.has("--dry-run");
  if (hostOptions.port.empty()) hostOptions.port = site.port;
  if (hostOptions.port.empty() && !dryRun) {
    return usageError("apply", "no port: give --port or port= in [line]", kSynopsis);
  }
  // Pictures first: their conversion runs before the host's own application object.
  MadeFiles made;
  if (why = convertPictures(site, made.files); !why.empty()) {
    std::fprintf(stderr, "osdctl apply: %s\n", why.c_str());
    return kRefused;
  }
  std::unique_ptr<Host> host;
  try {
    host = std::make_unique<Host>(hostOptions);
  } catch (const std::invalid_argument& e) {
    return usageError("apply", e.what(), kSynopsis);
  }
  std::error_code ec;
  std::filesystem::create_directories(host->bench().video().folder(), ec);
  const VideoData::Loaded loaded = host->bench().load();
  if (!loaded.kept.empty()) std::fprintf(stderr, "osdctl: %s\n", loaded.kept.c_str());
  FleetJob job;
  if (why = prepareSite(*host, site, job); !why.empty()) {
    std::fprintf(stderr, "osdctl apply: %s\n", why.c_str());
    return kRefused;
  }
  if (dryRun) {
    printPlan(site, job);
    return kOk;
  }
  auto line = std::make_unique<Line>(*host);
  if (const int rc = host->openPort(line->link); rc != kOk) return rc;
  line->recorder.failure.clear();
  const StopSignals stop;
  return runFleet(*host, *line, job, "apply");
}

}  // namespace osd::ctl

// osdctl apply SITE: every node of a site file (site_file.h) programmed with its own logo,
// nodes whose streams are the same bytes sharing one where the site says its nodes stay awake
// together. The whole file is read and every logo read, checked and encoded before the port
// is opened; the dry run makes the same checks with the same messages.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "common/options.h"
#include "ctl/commands.h"
#include "ctl/ctl_fleet.h"
#include "ctl/ctl_host.h"
#include "ctl/site_file.h"
#include "image/bmp.h"
#include "platform/stop_signals.h"
#include "transfer/line_progress.h"

namespace osd::ctl {

namespace {

// A node's logo as the download takes it: the bitmap that goes out (a converted copy for a
// picture), with the node's format, transparency and place.
struct SiteLogo {
  const SiteNode& node;
  LogoChoice choice;
};

std::string logoLine(const Site& site, const SiteNode& n) {
  return site.path + ":" + std::to_string(n.logoLine) + ": logo of node " + std::to_string(n.id) +
         ": ";
}

// Logos that are not BMP files are converted as `convert` does, into temporary bitmaps kept
// in `made`. "" or "SITE:LINE: why".
std::string convertPictures(const Site& site, std::vector<SiteLogo>& logos,
                            std::vector<std::string>& made) {
  for (const SiteNode& n : site.nodes) {
    SiteLogo logo{n, LogoChoice{n.logo, n.rgb, n.transparent, 1, false, n.x, n.y, "apply"}};
    if (const std::string fault = fileFault(n.logo); !fault.empty())
      return logoLine(site, n) + n.logo + ": " + fault;
    if (!hasBmpName(n.logo)) {
      std::error_code ec;
      logo.choice.file =
          (std::filesystem::temp_directory_path(ec) /
           ("osdctl-apply-" + std::to_string(::getpid()) + "-" + std::to_string(n.id) + ".bmp"))
              .string();
      made.push_back(logo.choice.file);
      const std::string why =
          pictureToBitmap(n.logo, n.memoryKiB == 512, n.transparent, logo.choice.file);
      if (!why.empty()) return logoLine(site, n) + why;
    }
    logos.push_back(logo);
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
// A logo too large for 64 K needs memory = 512 on its node: neither run knows the node
// before the port opens. "" or "SITE:LINE: why".
std::string prepareSite(Host& host, const Site& site, const std::vector<SiteLogo>& logos,
                        FleetJob& job) {
  for (const SiteLogo& s : logos) {
    const SiteNode& n = s.node;
    FleetLogo logo;
    std::string why = prepareLogo(host, s.choice, logo);
    if (why.empty() && n.memoryKiB == 64 && !logo.smallMemoryRefusal.empty())
      why = logo.smallMemoryRefusal;
    if (why.empty() && n.memoryKiB == 0 && !logo.smallMemoryRefusal.empty())
      why = "too large for a 64 K node; needs memory = 512 (" + logo.smallMemoryRefusal + ")";
    if (!why.empty()) return logoLine(site, n) + why;
    logo.name = std::filesystem::path(n.logo).filename().string();
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

// The plan without the line on standard output: one line per stream, STREAM NODES MEMORY
// BYTES SECONDS, then "total STREAMS BYTES SECONDS". A node without a memory in the site file
// is taken for 64 K.
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
    for (const int id : g.ids) ids += (ids.empty() ? "" : ",") + std::to_string(id);
    const int64_t b = groupBytes(job, g);
    bytes += b;
    const double seconds = jobSeconds(job, {g}, static_cast<int>(g.ids.size()));
    std::printf("%zu\t%s\t%s\t%lld\t%.0f\n", i + 1, ids.c_str(), memoryColumn(g.memoryKiB).c_str(),
                static_cast<long long>(b), std::ceil(seconds));
  }
  const double seconds = jobSeconds(job, groups, static_cast<int>(job.nodes.size()));
  std::printf("total\t%zu\t%lld\t%.0f\n", groups.size(), static_cast<long long>(bytes),
              std::ceil(seconds));
  std::fprintf(stderr, "osdctl apply: %zu stream%s, %s bytes, line time about %s (%s)\n",
               groups.size(), groups.size() == 1 ? "" : "s", groupedNumber(bytes).c_str(),
               durationText(seconds).c_str(),
               site.together ? "together=yes" : "one node at a time");
  if (assumed) std::fprintf(stderr, "osdctl apply: nodes without memory= are counted as 64K\n");
}

int refused(const std::string& why) {
  std::fprintf(stderr, "osdctl apply: %s\n", why.c_str());
  return kRefused;
}

}  // namespace

int apply(const Args& args) {
  cli::Parsed parsed;
  HostOptions hostOptions;
  if (auto rc = readCommandArgs(args, "apply", parsed, hostOptions)) return *rc;
  if (parsed.words.size() != 1)
    return usageError("apply", parsed.words.empty() ? "no site file given" : "give one site file");
  Site site;
  if (const std::string why = readSite(parsed.words[0], site); !why.empty()) return refused(why);
  const bool dryRun = parsed.has("--dry-run");
  if (hostOptions.port.empty()) hostOptions.port = site.port;
  if (hostOptions.port.empty() && !dryRun)
    return usageError("apply", "no port: give --port or port= in [line]");
  // Pictures first: their conversion runs before the host's own application object.
  MadeFiles made;
  std::vector<SiteLogo> logos;
  if (const std::string why = convertPictures(site, logos, made.files); !why.empty())
    return refused(why);
  std::unique_ptr<Host> host;
  try {
    host = std::make_unique<Host>(hostOptions);
  } catch (const std::invalid_argument& e) {
    return usageError("apply", e.what());
  }
  std::error_code ec;
  std::filesystem::create_directories(host->bench().video().folder(), ec);
  const VideoData::Loaded loaded = host->bench().load();
  if (!loaded.kept.empty()) std::fprintf(stderr, "osdctl apply: %s\n", loaded.kept.c_str());
  FleetJob job;
  if (const std::string why = prepareSite(*host, site, logos, job); !why.empty())
    return refused(why);
  if (dryRun) {
    printPlan(site, job);
    return kOk;
  }
  auto line = std::make_unique<Line>(*host);
  if (const int rc = host->openPort(line->link); rc != kOk) return rc;
  line->recorder.failure.clear();
  const StopSignals stop;
  return runFleet(*host, *line, job);
}

}  // namespace osd::ctl

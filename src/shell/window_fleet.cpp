#include "shell/window_fleet.h"

#include "image/bmp.h"
#include "shell/app.h"
#include "shell/window_scan.h"
#include "transfer/line_sink.h"

namespace osd {

namespace {
constexpr ErrorAt kTitle = ErrorAt::CheckedNodes;
}

bool WindowFleet::prepare(FleetLogo& logo) {
  LogoSlots& logos = app_.bench().logos();
  const int slot = logos.selected;
  if (slot < 1 || slot > 4 || logos.file[static_cast<size_t>(slot)].empty()) {
    app_.statusLine().error("No logo was selected for download", ErrorAt::NoLogoSelected);
    return false;
  }
  std::vector<int> values(static_cast<size_t>(DownloadPlan::kLargestPicture), 0);
  if (!app_.logos().encodeLogo(slot, values)) return false;
  logo.name = "logo " + std::to_string(slot);
  logo.width = logos.width;
  logo.height = logos.height;
  values.resize(static_cast<size_t>(logo.width) * static_cast<size_t>(logo.height));
  logo.pixels = std::move(values);
  logo.setup = app_.bench().video().setupBlock(logo.width, logo.height);
  std::string error;
  const auto small = checkBmpFile(logos.file[static_cast<size_t>(slot)], false, error);
  if (small && !small->accepted) logo.smallMemoryRefusal = small->message;
  return true;
}

std::vector<FleetResult> WindowFleet::run(const WindowScan& scan, const std::vector<int>& ids,
                                          bool together) {
  if (running_ || app_.download().lineHeld() || scan.running() || ids.empty()) return {};
  const bool wholeLine =
      scan.wholeRange() && !scan.cancelled() && ids.size() == scan.found().size();
  if (!app_.platform().port.isOpen() || !app_.link().valid()) {
    app_.statusLine().error("The port is not open: choose a port in the Com menu first.", kTitle);
    return {};
  }
  if (!app_.platform().dialogs.confirm(
          "Notice", "This will write the new Image data to the EEPROM.\n" + targetText(ids),
          Dialogs::Preset::Cancel)) {
    return {};
  }
  FleetJob job;
  job.logos.resize(1);
  if (!prepare(job.logos[0])) return {};
  for (const int id : ids) job.nodes.push_back(FleetNode{id, 0, 0});
  job.wholeLine = wholeLine;
  job.together = together;
  // The job wakes other nodes; it ends with the line in the operator's wake choice.
  job.finish = restoreCommands(app_.link().line().awake());
  // The line is the job's alone, as during a single download.
  running_ = true;
  app_.download().holdLine(true);
  LineSink sink(app_.dispatcher(), app_.link());
  FleetDownload fleet(sink, app_.session(), app_.platform().loop, app_.download(),
                      app_.download().hooks());
  fleet.onProgress = onProgress;
  std::vector<FleetResult> results = fleet.run(job);
  app_.download().holdLine(false);
  running_ = false;
  app_.statusLine().status(summary(results));
  return results;
}

std::string WindowFleet::summary(const std::vector<FleetResult>& results) {
  size_t programmed = 0;
  for (const FleetResult& r : results) programmed += r.programmed ? 1 : 0;
  return std::to_string(programmed) + " of " + std::to_string(results.size()) + " node" +
         (results.size() == 1 ? "" : "s") + " programmed.";
}

}  // namespace osd

// Routing of the window's events to the operations, by control name.
#include <exception>
#include <limits>
#include <span>

#include "common/textnum.h"
#include "schedule/schedule_model.h"
#include "shell/about.h"
#include "shell/app.h"
#include "shell/schedule_editor.h"

namespace osd {

namespace {
// Splits "name(3)" into "name" and 3; -1 when there is no index.
std::pair<std::string, int> splitName(const std::string& name) {
  size_t open = name.find('(');
  if (open == std::string::npos || name.back() != ')') return {name, -1};
  std::string base = name.substr(0, open);
  std::string digits = name.substr(open + 1, name.size() - open - 2);
  if (digits.empty() || digits.size() > 4) return {base, -1};
  for (char c : digits) {
    if (c < '0' || c > '9') return {base, -1};
  }
  return {base, std::stoi(digits)};
}
}  // namespace

namespace {
std::unique_ptr<Workbench> ownWorkbench(Platform& platform) {
  if (platform.workbench) return nullptr;
  return std::make_unique<Workbench>(platform.settings, platform.dataDir);
}
}  // namespace

App::App(Platform& platform)
    : pf_(platform),
      ownBench_(ownWorkbench(platform)),
      bench_(platform.workbench ? *platform.workbench : *ownBench_),
      schedule(std::make_unique<ScheduleTable>()) {
  defineControls();
  pf_.loop.onTimer = [this](TimerId id) { timerFired(id); };
  pf_.port.onEvent = [this](int code) { onPortEvent(code); };
}

App::~App() {
  pf_.loop.onTimer = nullptr;
  pf_.port.onEvent = nullptr;
}

void App::click(const std::string& name) {
  auto [base, index] = splitName(name);
  try {
    for (const ClickRoute& route : clickRoutes()) {
      if (base == route.base && index >= route.first && index <= route.last) {
        route.handle(*this, index);
        return;
      }
    }
  } catch (const std::exception& e) {
    status_.error(e.what(), name);
  }
}

// Which control or menu entry runs which operation; the first entry whose name and index
// range fit is taken.
std::span<const App::ClickRoute> App::clickRoutes() {
  constexpr int kAny = std::numeric_limits<int>::min(), kLast = std::numeric_limits<int>::max();
  // clang-format off
  static const ClickRoute kRoutes[] = {
      {"mnuOpenLogoFile", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.openLogoFileClick(); }},
      {"mnuImportPicture", kAny, kLast, [](App& a, [[maybe_unused]] int index) { if (a.window_.importPicture) a.window_.importPicture(); }},
      {"mnuFindNodes", kAny, kLast, [](App& a, [[maybe_unused]] int index) { if (a.window_.findNodes) a.window_.findNodes(); }},
      {"mnuDownloadLogotoRam", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.downloadToRamClick(); }},
      {"mnu_ImageToEEPROM", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.downloadToRamClick(); }},
      {"mnu_Erase", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.dispatcher_.erase(); }},
      {"mnuSaveCurrentSettings", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.saveCurrentSettingsClick(); }},
      {"mnuSaveLogoinNVRAM", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.saveLogoInNvramClick(); }},
      {"mnuSaveVideoContolData", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.sendVideoSetupClick(); }},
      {"mnuUpLoadLogo", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.upLoadLogoClick(); }},
      {"mnuRecentFile", 0, 7, [](App& a, [[maybe_unused]] int index) { a.recentFileClick(index); }},
      {"mnuExit", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.exitClick(); }},
      {"btn_Exit", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.exitClick(); }},
      {"mnuWakeUpNode", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.dispatcher_.wakeCurrent(); }},
      {"mnuWakeUpAllNodes", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.dispatcher_.wakeAll(); }},
      {"mnuAllNodesSleep", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.dispatcher_.sleep(); }},
      {"mnuSetIDtoCurrentNode", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.diagClick(12); }},
      {"txtNODE", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.diagClick(12); }},
      {"mnuZoomOff", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.zoomOffClick(); }},
      {"mnuZoomOn", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.zoomOnClick(); }},
      {"mnuPaintBrush", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.paintClick(); }},
      {"mnuPaintBrush_top", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.paintClick(); }},
      {"mnuNTSBVideo", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.editVideoFileClick("Video-NTSBData"); }},
      {"mnuPALBVideo", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.editVideoFileClick("Video-PALBData"); }},
      {"mnuPALMVideo", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.editVideoFileClick("Video-PALMData"); }},
      {"mnuImageControl", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.editVideoFileClick("Video-ImageData"); }},
      {"mnuLogoSel", 1, 15, [](App& a, [[maybe_unused]] int index) { a.logoSelMenuClick(index); }},
      {"mnuShowMode", 0, 3, [](App& a, [[maybe_unused]] int index) { a.showModeClick(index); }},
      {"mnu_SMPTE", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.smpteClick(); }},
      {"mnuScheduleEdit", 0, 0, [](App& a, [[maybe_unused]] int index) { a.scheduleViewClick(); }},
      {"mnuScheduleEdit", 1, 1, [](App& a, [[maybe_unused]] int index) { a.scheduleLockClick(); }},
      {"mnuScheduleOnOff", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.scheduleOnOffClick(); }},
      {"mnuPanelLock", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.panelLockClick(); }},
      {"mnuSetLGx", 0, kLast, [](App& a, [[maybe_unused]] int index) { a.setModelClick(index); }},
      {"mnuDiagSub", 0, kLast, [](App& a, [[maybe_unused]] int index) { a.diagClick(index); }},
      {"mnuManual", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.manualClick(); }},
      {"mnuAbout", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.aboutClick(); }},
      {"mnuCopyright", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.dispatcher_.copyrightQuery(); }},
      {"mnuDiagTools", kAny, kLast, [](App& a, [[maybe_unused]] int index) { a.diagToolsClick(); }},
      {"optLOGO", 0, 15, [](App& a, [[maybe_unused]] int index) { a.optLogoClick(index); }},
      {"optNTSC", 0, 1, [](App& a, [[maybe_unused]] int index) { a.optNtscClick(index); }},
      {"optRGB", 0, 1, [](App& a, [[maybe_unused]] int index) { a.optRgbClick(index); }},
  };
  // clang-format on
  return kRoutes;
}

void App::textEdited(const std::string& name, const std::string& text) {
  if (name == "txtHPOS" || name == "txtVPOS") {
    positionKeyed(name, text);
  }
}

void App::mouse(const std::string& name, int kind, double x, double y) {
  auto [base, index] = splitName(name);
  if (base != "picPicture2" || index < 0) return;
  try {
    if (kind == 0) {
      previewPress(index);
    } else if (kind == 1) {
      previewMove(index, x, y);
    } else {
      previewRelease(index);
    }
  } catch (const std::exception& e) {
    status_.error(e.what(), kind == 0 ? "picPicture2_MouseDown" : "picPicture2_MouseMove");
  }
}

void App::timerFired(TimerId id) {
  switch (id) {
    case TimerId::Delay:
      tickDelay();
      break;
    case TimerId::TenSec:
      tick10sec();
      break;
    case TimerId::ComInit:
      comInitTick();
      break;
    case TimerId::Schedule:
      scheduleTick();
      break;
    case TimerId::Splash:
      splashTick();
      break;
    case TimerId::Editor:
      editorTimerTick();
      break;
    case TimerId::About:
      aboutTimerTick();
      break;
    case TimerId::Count:
      break;
  }
}

}  // namespace osd

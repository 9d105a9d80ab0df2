// Routing of the window's events to the operations, by control name.
#include <exception>

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
    if (base == "mnuOpenLogoFile") {
      openLogoFileClick();
    } else if (base == "mnuImportPicture" || base == "mnuFindNodes") {
      if (const auto& open = base == "mnuImportPicture" ? window_.importPicture : window_.findNodes)
        open();
    } else if (base == "mnuDownloadLogotoRam" || base == "mnu_ImageToEEPROM") {
      downloadToRamClick();
    } else if (base == "mnu_Erase") {
      dispatcher_.erase();
    } else if (base == "mnuSaveCurrentSettings") {
      saveCurrentSettingsClick();
    } else if (base == "mnuSaveLogoinNVRAM") {
      saveLogoInNvramClick();
    } else if (base == "mnuSaveVideoContolData") {
      sendVideoSetupClick();
    } else if (base == "mnuUpLoadLogo") {
      upLoadLogoClick();
    } else if (base == "mnuRecentFile" && index >= 0 && index <= 7) {
      recentFileClick(index);
    } else if (base == "mnuExit" || base == "btn_Exit") {
      exitClick();
    } else if (base == "mnuCOMsel" && index >= 0) {
      comMenuClick(index);
    } else if (base == "mnuWakeUpNode") {
      dispatcher_.wakeCurrent();
    } else if (base == "mnuWakeUpAllNodes") {
      dispatcher_.wakeAll();
    } else if (base == "mnuAllNodesSleep") {
      dispatcher_.sleep();
    } else if (base == "mnuSetIDtoCurrentNode" || base == "txtNODE") {
      diagClick(12);
    } else if (base == "mnuZoomOff") {
      zoomOffClick();
    } else if (base == "mnuZoomOn") {
      zoomOnClick();
    } else if (base == "mnuPaintBrush" || base == "mnuPaintBrush_top") {
      paintClick();
    } else if (base == "mnuNTSBVideo") {
      editVideoFileClick("Video-NTSBData");
    } else if (base == "mnuPALBVideo") {
      editVideoFileClick("Video-PALBData");
    } else if (base == "mnuPALMVideo") {
      editVideoFileClick("Video-PALMData");
    } else if (base == "mnuImageControl") {
      editVideoFileClick("Video-ImageData");
    } else if (base == "mnuLogoSel" && index >= 1 && index <= 15) {
      logoSelMenuClick(index);
    } else if (base == "mnuShowMode" && index >= 0 && index <= 3) {
      showModeClick(index);
    } else if (base == "mnu_SMPTE") {
      smpteClick();
    } else if (base == "mnuScheduleEdit" && index == 0) {
      scheduleViewClick();
    } else if (base == "mnuScheduleEdit" && index == 1) {
      scheduleLockClick();
    } else if (base == "mnuScheduleOnOff") {
      scheduleOnOffClick();
    } else if (base == "mnuPanelLock") {
      panelLockClick();
    } else if (base == "mnuSetLGx" && index >= 0) {
      setModelClick(index);
    } else if (base == "mnuDiagSub" && index >= 0) {
      diagClick(index);
    } else if (base == "mnuManual") {
      manualClick();
    } else if (base == "mnuAbout") {
      aboutClick();
    } else if (base == "mnuCopyright") {
      dispatcher_.copyrightQuery();
    } else if (base == "mnuDiagTools") {
      diagToolsClick();
    } else if (base == "optLOGO" && index >= 0 && index <= 15) {
      optLogoClick(index);
    } else if (base == "optNTSC" && (index == 0 || index == 1)) {
      optNtscClick(index);
    } else if (base == "optRGB" && (index == 0 || index == 1)) {
      optRgbClick(index);
    } else if (base == "txtHPOS") {
      txtHposEdited();
    } else if (base == "txtVPOS") {
      txtVposEdited();
    } else if (base == "frameError" || base == "lblErrTxt" || base == "cmdErrOK") {
      dismissError();
    }
  } catch (const std::exception& e) {
    showError(e.what(), name);
  }
}

void App::textEdited(const std::string& name, const std::string& text) {
  ui_.setText(name, text);
  if (name == "txtHPOS") {
    txtHposEdited();
  } else if (name == "txtVPOS") {
    txtVposEdited();
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
    showError(e.what(), kind == 0 ? "picPicture2_MouseDown" : "picPicture2_MouseMove");
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

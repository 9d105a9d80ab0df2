// Restoring the main window from the settings at start-up, the option menus that change
// those settings, and what happens when the main window closes.
#include <exception>
#include <functional>

#include "common/logo_models.h"
#include "common/textnum.h"
#include "schedule/schedule_model.h"
#include "settings/setting_rules.h"
#include "shell/about.h"
#include "shell/app.h"
#include "shell/schedule_editor.h"

namespace osd {

namespace {
constexpr const char* kFormSetUp = "Form_SetUp";
std::string transparentCaption(int value) {
  return "Transparent Value= " + std::to_string(value);
}
}  // namespace

void App::formSetUp() {
  setUpMenus();
  setUpRunningState();
  setUpVideoAndSlots();
}

void App::runStep(const char* title, const std::function<void()>& body) {
  try {
    body();
  } catch (const std::exception& e) {
    status_.error(e.what(), title);
  }
}

void App::setUpStep(const std::function<void()>& body) {
  runStep(kFormSetUp, body);
}

void App::setUpMenus() {
  // 1. Menus that need an answering node start disabled.
  setUpStep([&] {
    status_.status("");
    ui_.setVisible("mnuSaveLogoDisk", false);
    for (const char* name : {"mnuDownloadLogotoRam", "mnuSaveCurrentSettings", "mnuSaveLogoinNVRAM",
                             "mnuUpLoadLogo", "mnuSaveVideoContolData", "mnu_Erase"}) {
      ui_.setEnabled(name, false);
    }
    ui_.setVisible("mnu_ImageToEEPROM", true);
    ui_.setEnabled("mnu_ImageToEEPROM", true);
  });

  // 2. The schedule.
  setUpStep([&] { loadSchedule(); });

  // 3.-4. Show modes.
  setUpStep([&] {
    showInt = bench_.prefs().flag("ShowInt");
    ui_.setChecked(indexed("mnuShowMode", 0), showInt);
  });
  setUpStep([&] {
    showMix = bench_.prefs().flag("ShowMix");
    ui_.setChecked(indexed("mnuShowMode", 1), showMix);
  });
  setUpStep([&] {
    showFade = bench_.prefs().flag("ShowFade");
    ui_.setChecked(indexed("mnuShowMode", 2), showFade);
  });

  // 5. The reply display.
  setUpStep([&] {
    showReply = bench_.prefs().flag("ShowReply");
    port_.showReply(showReply);
  });

  // 6. The logo-generator model.
  setUpStep([&] {
    const int v = choices_.restoreModel();
    if (v == 0) {
      ui_.setChecked(indexed("mnuSetLGx", 0), true);
      ui_.setVisible(indexed("mnuLogoSel", 1), true);
      ui_.setChecked(indexed("mnuLogoSel", 1), true);
      for (int n = 2; n <= 15; ++n) ui_.setVisible(indexed("mnuLogoSel", n), false);
    } else if (isLogoModel(v)) {
      ui_.setChecked(indexed("mnuSetLGx", v), true);
      for (int n = 1; n <= 15; ++n) ui_.setVisible(indexed("mnuLogoSel", n), n <= v);
    } else {
      // Nothing changes; the model comes from the node or the model menu. Say why.
      status_.error("Setting SX_Model: " + std::to_string(v) + " is not a model number (0, " +
                        logoModelsText() + "); the model stays unset",
                    kFormSetUp);
    }
  });

  // 7. Diagnostic menu.
  setUpStep([&] {
    ui_.setVisible("mnuDiag", false);
    const bool diag = bench_.prefs().flag("DiagTools");
    ui_.setChecked("mnuDiagTools", diag);
    ui_.setVisible("mnuDiag", diag);
    ui_.setVisible("mnuNode", true);
    ui_.setVisible(indexed("mnuDiagSub", 20), true);
    ui_.setVisible(indexed("mnuDiagSub", 21), true);
  });
}

void App::setUpRunningState() {
  // 8. The schedule runner.
  setUpStep([&] {
    scheduleOn = bench_.prefs().flag("ScheduleOn");
    pf_.loop.setTimerEnabled(TimerId::Schedule, scheduleOn);
    ui_.setChecked("mnuScheduleOnOff", scheduleOn);
    ui_.setVisible("lblRunning", scheduleOn);
  });

  // 9. Schedule lock.
  setUpStep([&] {
    locked = bench_.prefs().flag("Locked");
    ui_.setChecked(indexed("mnuScheduleEdit", 1), locked);
  });

  // 10. Front panel lock.
  setUpStep([&] {
    choices_.restorePanelLock();
    ui_.setChecked("mnuPanelLock", choices_.panelLock());
    if (choices_.panelLock()) {
      ui_.setEnabled(indexed("picPicture2", selectedSlot), false);
      ui_.setEnabled("txtVPOS", false);
      ui_.setEnabled("txtHPOS", false);
    }
  });

  // 11. Colour node.
  setUpStep([&] { choices_.restoreColourNode(); });

  // 12. Transparency.
  setUpStep([&] {
    choices_.restoreTransparent();
    ui_.setText(indexed("mnuShowMode", 3), transparentCaption(choices_.transparent()));
  });

  // 13. Logo options 2-4 come back when a node answers.
  setUpStep([&] {
    for (int i = 2; i <= 4; ++i) ui_.setVisible(indexed("optLOGO", i), false);
  });
}

void App::setUpVideoAndSlots() {
  // 14. Video data, then the image start position.
  setUpStep([&] {
    const VideoData::Loaded loaded = bench_.load(imageWidth, imageHeight);
    // A file that could not be read was kept beside itself before the defaults replaced it.
    if (!loaded.kept.empty()) status_.error(loaded.kept, "Form_SetUp");
    ui_.setText("lblImageSettings", video::imageSettingsText(loaded.asLoaded));
    ui_.setText("lblStartPosn",
                "H= " + rightAlign(std::to_string(bench_.video().startH()), 4) +
                    "    V= " + rightAlign(std::to_string(bench_.video().startV()), 4));
  });

  // 15. Video standard.
  setUpStep([&] {
    choices_.restorePal();
    ui_.setChecked(indexed("optNTSC", 1), choices_.pal());
    ui_.setChecked(indexed("optNTSC", 0), !choices_.pal());
  });

  // 16. Colour format.
  setUpStep([&] {
    choices_.restoreFormat();
    showFormat();
  });

  // 17. The slots' last images, highest first, so the lowest slot with a file ends selected.
  setUpStep([&] {
    for (int n = choices_.model(); n >= 1; --n) {
      if (n >= kSlotCount) continue;
      const std::string key = "BMPpath" + std::to_string(n);
      setUpStep([&] {
        slotFile[n] = bench_.prefs().readFixed(key);
        if (slotFile[n].size() > 6) {
          selectedSlot = n;
          loadImageFile(indexed("picPicture2", n), slotFile[n]);
        }
      });
    }
  });

  // 18. SMPTE background.
  setUpStep([&] {
    const bool smpte = bench_.prefs().flag("SMPTE");
    ui_.setVisible("img_SMPTE", smpte);
    ui_.setChecked("mnu_SMPTE", smpte);
  });
}

void App::showModeClick(int index) {
  static const char* kKeys[3] = {"ShowInt", "ShowMix", "ShowFade"};
  if (index >= 0 && index <= 2) {
    bool* flags[3] = {&showInt, &showMix, &showFade};
    bool& flag = *flags[index];
    flag = !flag;
    writeSetting(kKeys[index], truthText(flag));
    ui_.setChecked(indexed("mnuShowMode", index), flag);
    if (index == 2 && !flag) ui_.setVisible(indexed("picPicture2", selectedSlot), true);
    return;
  }
  if (index != 3) return;
  const std::string answer = status_.ask("Set Transparency value (0-255)");
  if (answer.empty()) return;
  choices_.chooseTransparent(clampInt(leadingInt(answer), 0, 255));
  ui_.setText(indexed("mnuShowMode", 3), transparentCaption(choices_.transparent()));
}

void App::smpteClick() {
  const bool show = !ui_.checked("mnu_SMPTE");
  ui_.setChecked("mnu_SMPTE", show);
  ui_.setVisible("img_SMPTE", show);
  writeSetting("SMPTE", truthText(show));
}

void App::diagToolsClick() {
  const bool show = !ui_.visible("mnuDiag");
  ui_.setChecked("mnuDiagTools", show);
  ui_.setVisible("mnuDiag", show);
  writeSetting("DiagTools", truthText(show));
}

void App::panelLockClick() {
  choices_.choosePanelLock(!choices_.panelLock());
  const bool on = choices_.panelLock();
  ui_.setChecked("mnuPanelLock", on);
  ui_.setEnabled(indexed("picPicture2", selectedSlot), !on);
  ui_.setEnabled("txtVPOS", !on);
  ui_.setEnabled("txtHPOS", !on);
}

void App::scheduleViewClick() {
  status_.busy(true);
  if (editor_) editor_->close();
  editor_ = std::make_unique<ScheduleEditor>(*this);
  editor_->open();
  if (window_.showEditor) {
    // Modal: returns when the editor window has closed; the editor is then discarded.
    window_.showEditor(*editor_);
    editor_->close();
    editor_.reset();
  }
  status_.busy(false);
}

void App::scheduleLockClick() {
  locked = !locked;
  ui_.setChecked(indexed("mnuScheduleEdit", 1), locked);
  writeSetting("Locked", truthText(locked));
}

void App::scheduleOnOffClick() {
  scheduleOn = !scheduleOn;
  writeSetting("ScheduleOn", truthText(scheduleOn));
  ui_.setChecked("mnuScheduleOnOff", scheduleOn);
  pf_.loop.setTimerEnabled(TimerId::Schedule, scheduleOn);
  ui_.setVisible("lblRunning", scheduleOn);
  for (int i = 1; i <= 4; ++i) {
    ui_.setForeColor(indexed("optLOGO", i), kWhite);
    ui_.setVisible(indexed("Shape1", i), false);
  }
}

void App::setModelClick(int model) {
  choices_.chooseModel(model);
  ui_.setChecked(indexed("mnuSetLGx", 0), false);
  for (int m : kLogoModels) ui_.setChecked(indexed("mnuSetLGx", m), false);
  const bool known = model == 0 || isLogoModel(model);
  ui_.setChecked(indexed("mnuSetLGx", known ? model : 1), true);
  if (known && model > 1) port_.modelChosen(model);
  for (int k = 1; k <= 15; ++k) ui_.setVisible(indexed("mnuLogoSel", k), k <= choices_.model());
  showSlotOptions();
}

void App::shutdown() {
  for (int id = 0; id < static_cast<int>(TimerId::Count); ++id) {
    pf_.loop.setTimerEnabled(static_cast<TimerId>(id), false);
  }
  if (editor_) {
    editor_->close();
    editor_.reset();
  }
  about_.reset();
  for (int i = 0; i <= 15; ++i) ui_.setImage(indexed("picPicture2", i), "");
  ui_.setImage("picPicture1", "");
  ui_.setImage("img_SMPTE", "");
  if (pf_.port.isOpen()) {
    pf_.port.setModemLines(false, false);
    pf_.port.close();
  }
}

}  // namespace osd

// The main window's side of the serial link: the Com menu, the port field's colour, the
// reply and send labels, the node menus, the size answer's window set-up, the main tick and
// the "Diag" menu. The link components know nothing of these controls.
#include "shell/link_presenter.h"

#include <cmath>
#include <exception>

#include "common/textnum.h"
#include "link/diag_table.h"
#include "shell/app.h"

namespace osd {

namespace {

constexpr int kMenuSlots = 12;
constexpr int kLowWindow = 5650;   // twips, reply area hidden
constexpr int kHighWindow = 6125;  // twips, reply area shown
constexpr int kClockTicks = 5;     // the clock label is set every sixth tick

constexpr const char* kNodeMenus[] = {"mnuDownloadLogotoRam", "mnuSaveCurrentSettings",
                                      "mnuSaveLogoinNVRAM", "mnuUpLoadLogo",
                                      "mnuSaveVideoContolData"};

void uncheckPorts(WindowModel& ui) {
  for (int i = 1; i <= kMenuSlots; ++i) ui.setChecked(indexed("mnuCOMsel", i), false);
}

// "9:05:07": hours without a leading zero.
std::string clockText(double secondsSinceMidnight) {
  long long whole = static_cast<long long>(std::floor(secondsSinceMidnight));
  if (whole < 0) whole = 0;
  whole %= 86400;
  const long long h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
  return std::to_string(h) + ":" + (m < 10 ? "0" : "") + std::to_string(m) + ":" +
         (s < 10 ? "0" : "") + std::to_string(s);
}

}  // namespace

// ---------------------------------------------------------------- what the link reports

void LinkPresenter::error(const std::string& message, const std::string& title) {
  app_.showError(message, title);
}

void LinkPresenter::status(const std::string& text) {
  app_.showStatus(text);
}

void LinkPresenter::statusHold(int ticks) {
  app_.statusCountdown = ticks;
}

void LinkPresenter::progressShown(bool visible) {
  app_.showProgress(visible);
}

void LinkPresenter::progress(double percent) {
  app_.setProgress(percent);
}

// No node is known until the next size answer: the title says which port is being tried.
void LinkPresenter::nodeSilent() {
  app_.ui().setTitle(std::string(kDesignTitle) + " - trying COM" +
                     std::to_string(app_.link().port()));
}

void LinkPresenter::portState(PortState state) {
  // A port opened again or lost, a node called again: what it was told last is not known.
  if (state != PortState::DataReceived) app_.lastPositionSent_ = {};
  switch (state) {
    case PortState::NotUsable:
      app_.ui().setBackColor("txtCom", kRed);
      break;
    case PortState::Open:
      app_.ui().setBackColor("txtCom", kCyan);
      break;
    case PortState::DataReceived:
      app_.ui().setBackColor("txtCom", kGreen);
      break;
    case PortState::Unknown:
      break;
  }
}

void LinkPresenter::openFailed(const std::string& message, const std::string& title) {
  uncheckPorts(app_.ui());
  app_.showError(message, title);
}

void LinkPresenter::sent(const std::string& text, int count) {
  app_.positionSent(text);
  app_.ui().setText("lblDiagSend", "SendCom: " + text);
  app_.ui().setText("lblSCount", std::to_string(count));
}

void LinkPresenter::lastSentCleared() {
  app_.ui().setText("lblDiagSend", "");
}

void LinkPresenter::answerCleared() {
  app_.ui().setText("lblDiag", "");
}

void LinkPresenter::settingsValue(int value) {
  app_.ui().setText("lblImageSettings", "Control: 0" + hexUpper(value));
}

void LinkPresenter::eraseStarted() {
  app_.ui().setEnabled("mnu_ImageToEEPROM", false);
  app_.ui().setVisible("mnu_ImageToEEPROM", true);
}

void LinkPresenter::eraseDone() {
  app_.ui().setEnabled("mnu_ImageToEEPROM", true);
  app_.ui().setVisible("mnu_ImageToEEPROM", true);
}

void LinkPresenter::nodeMenusEnabled(bool enabled) {
  app_.setNodeMenusEnabled(enabled);
}

void LinkPresenter::answerShown(int replyCount, const std::string& shown) {
  app_.ui().setText("lblCount", std::to_string(replyCount));
  app_.ui().setText("lblDiag", shown);
}

// A graphics node: its title and memory, one logo selected on it, YCbCr, and the menus of a
// graphics node. Each step reports its own failure and the next one goes on.
void LinkPresenter::sizeAnswered(const std::string& digits, int memorySize) {
  WindowModel& ui = app_.ui();
  auto step = [this](auto&& body) {
    try {
      body();
    } catch (const std::exception& e) {
      app_.showError(std::string(e.what()) + ": 3", "ProcessData");
    }
  };
  step([&] { ui.setTitle(graphicsNodeTitle(digits)); });
  step([&] { ui.setText("lblEEPSize", imagePixelsText(memorySize)); });
  step([&] { app_.sxModel = 1; });
  step([&] {
    ui.setChecked(indexed("mnuLogoSel", 1), true);
    for (int i = 2; i <= 4; ++i) ui.setVisible(indexed("mnuLogoSel", i), false);
  });
  step([&] { app_.logoSelMenuClick(1); });
  step([&] {
    ui.setChecked(indexed("optRGB", 0), false);
    ui.setChecked(indexed("optRGB", 1), true);
    app_.optRgbClick(1);
  });
  step([&] {
    ui.setVisible("mnu_Erase", true);
    ui.setEnabled("mnu_Erase", true);
    for (const char* name : {"mnuDownloadLogotoRam", "mnuSaveCurrentSettings",
                             "mnuSaveVideoContolData", "mnuUpLoadLogo"}) {
      ui.setVisible(name, false);
    }
    for (int i = 2; i <= 4; ++i) ui.setVisible(indexed("optLOGO", i), false);
    app_.showSlotOptions();  // the one logo a graphics node offers stays choosable
  });
}

void LinkPresenter::readBackWaiting(int polls) {
  WindowModel& ui = app_.ui();
  ui.setText("lblCopyright", "Waiting for Reply " + std::to_string(polls));
  if (polls > 1) {
    app_.showProgress(true);
  } else {
    app_.showProgress(false);
    ui.setText("lblCopyright", "");
  }
  ui.repaint("lblCopyright");
}

void LinkPresenter::readBackProgress(double percent, size_t length) {
  app_.setProgress(percent);
  if (length > 10) app_.ui().setText("lblCopyright", "Reading Data " + std::to_string(length));
}

void LinkPresenter::readBack(const std::string& stream) {
  app_.savePicture(stream);
}

// ---------------------------------------------------------------- the window's link glue

DispatcherHooks App::dispatcherHooks() {
  DispatcherHooks hooks;
  hooks.downloading = [this] { return downloading; };
  hooks.model = [this] { return sxModel; };
  hooks.colorNode = [this] { return colorNode; };
  hooks.currentNode = [this] { return ui_.text("txtNODE"); };
  hooks.imageParam = [this](int i) { return imageParams.at(static_cast<size_t>(i)); };
  return hooks;
}

SessionHooks App::sessionHooks() {
  SessionHooks hooks;
  hooks.downloading = [this] { return downloading; };
  hooks.colorNode = [this] { return colorNode; };
  return hooks;
}

void App::setNodeMenusEnabled(bool enabled) {
  for (const char* name : kNodeMenus) ui_.setEnabled(name, enabled);
}

void App::determineValidPorts() {
  // Every failure inside the search is ignored; the search goes on with its next step.
  for (int i = 1; i <= kMenuSlots; ++i) {
    ui_.setVisible(indexed("mnuCOMsel", i), false);
    ui_.setVisible(indexed("mnuCOMdev", i), false);
  }
  const std::vector<FoundPort> found = link_.search();
  for (size_t k = 0; k < found.size(); ++k) {
    const int slot = static_cast<int>(k) + 1;
    const std::string entry = indexed("mnuCOMsel", slot);
    ui_.setText(entry, "COM&" + std::to_string(found[k].number));
    ui_.setTag(entry, std::to_string(found[k].number));
    ui_.setVisible(entry, true);
    ui_.setText(indexed("mnuCOMdev", slot), found[k].device);
    ui_.setVisible(indexed("mnuCOMdev", slot), true);
  }
  // The entries may have moved: the check mark stays with the selected port.
  const int selected = link_.port();
  for (int i = 1; i <= kMenuSlots; ++i) {
    const std::string entry = indexed("mnuCOMsel", i);
    ui_.setChecked(entry, selected != 0 && ui_.visible(entry) &&
                              ui_.get(entry).tag == std::to_string(selected));
  }
  link_.open();
}

void App::comMenuClick(int index) {
  try {
    showStatus("");
    if (index < 1) {
      determineValidPorts();
      return;
    }
    if (index <= kMenuSlots) {
      uncheckPorts(ui_);
      const std::string entry = indexed("mnuCOMsel", index);
      ui_.setChecked(entry, true);
      link_.select(leadingInt(ui_.get(entry).tag));
      dispatcher_.sleep();  // the nodes on the old port go to sleep
      link_.open();
      dispatcher_.sleep();  // and those on the new one
      // The simulated node's port lives for this run only; the saved port stays.
      if (link_.port() != simulatedPort)
        writeSetting("ComPort", " " + std::to_string(link_.port()));
      // No node is known on the new port until it answers the settings request.
      ui_.setTitle(std::string(kDesignTitle) + " - trying COM" + std::to_string(link_.port()));
    }
    ui_.setText("txtCom", std::to_string(link_.port()));
  } catch (const std::exception& e) {
    showError(e.what(), "mnuCOMsel_Click");
  }
}

void App::onPortEvent(int code) {
  link_.handleEvent(code, [this] { session_.receive(); });
}

void App::comInitTick() {
  if (!link_.comInitTick(downloading)) return;
  dispatcher_.clearBusy();
  dispatcher_.wakeAll();
}

void App::tickDelay() {
  try {
    dispatcher_.sharedWait().tick();
    session_.pollTick();
    if (moveThrottle > 0) --moveThrottle;
    positionRestTick();
    if (!link_.valid()) link_.reconnectTick();
    session_.watchdogTick();
    if (clockCountdown_ > 0) {
      --clockCountdown_;
    } else {
      ui_.setText("lblCurrentTime", clockText(pf_.loop.now().secondsSinceMidnight));
      clockCountdown_ = kClockTicks;
    }
    reportTick();
    session_.nodePollTick();
  } catch (const std::exception& e) {
    showError(e.what(), "Tmr_Delay_Timer");
  }
}

void App::tick10sec() {
  session_.eraseTick();
}

// ---------------------------------------------------------------- the "Diag" menu

void App::diagClick(int index) {
  const std::optional<DiagEntry> entry = diagEntry(index);
  if (!entry) return;
  try {
    std::string answer;
    if (entry->value != DiagValue::None) {
      // An empty answer (or a window closed without Enter) ends the click.
      answer = askValue(diagPrompt(*entry, sxModel));
      if (answer.empty()) return;
    }
    const std::string argument = diagArgument(entry->value, answer, sxModel, colorNode);
    switch (entry->extra) {
      case DiagExtra::SendLogo:  // the whole download, not the bare "ALD"
        showStatus("");
        runDownload();
        return;
      case DiagExtra::SleepFirst:
        dispatcher_.sleep();
        break;
      case DiagExtra::ReadBack:
        // A request the dispatcher would refuse must not leave the reception waiting for a
        // stream that never comes (it would swallow the next answers as a read-back).
        if (dispatcher_.refusing()) return;
        showStatus("Waiting for Reply");
        session_.requestReadBack();
        return;
      case DiagExtra::ClearStatusFirst:
        showStatus("");
        break;
      case DiagExtra::ToggleReply: {
        const std::string name = indexed("mnuDiagSub", index);
        showReply = !ui_.checked(name);
        ui_.setChecked(name, showReply);
        writeSetting("ShowReply", showReply ? "True" : "False");
        if (!showReply) {
          ui_.setHeightTwips(kLowWindow);
        } else if (ui_.heightTwips() < kHighWindow) {
          ui_.setHeightTwips(kHighWindow);
        }
        return;
      }
      case DiagExtra::ReadConfiguration:
        // Not in the middle of a download: the port search would close the port under it.
        if (!downloading) formLoad(std::string(commandLine));
        return;
      case DiagExtra::None:
      case DiagExtra::ClearLastSent:
        break;
    }
    dispatcher_.run(entry->command, argument);
    if (entry->extra == DiagExtra::ClearLastSent) dispatcher_.run(Command::ClearLastSent);
  } catch (const std::exception& e) {
    showError(e.what(), "mnuLogoSel_Click");
  }
}

}  // namespace osd

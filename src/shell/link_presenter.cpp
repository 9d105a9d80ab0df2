// The main window's side of the serial link: the Com menu, the port field's colour, the
// reply and send labels, the node menus, the size answer's window set-up, the main tick and
// the "Diag" menu. The link components know nothing of these controls.
#include "shell/link_presenter.h"

#include <cmath>
#include <exception>

#include "common/textnum.h"
#include "link/diag_table.h"
#include "settings/setting_rules.h"
#include "shell/app.h"

namespace osd {

namespace {
constexpr const char* kNodeMenus[] = {"mnuDownloadLogotoRam", "mnuSaveCurrentSettings",
                                      "mnuSaveLogoinNVRAM", "mnuUpLoadLogo",
                                      "mnuSaveVideoContolData"};
}  // namespace

// ---------------------------------------------------------------- what the link reports

void LinkPresenter::error(const std::string& message, const std::string& title) {
  app_.status_.error(message, title);
}

void LinkPresenter::status(const std::string& text) {
  app_.status_.status(text);
}

void LinkPresenter::statusHold(int ticks) {
  app_.status_.holdStatus(ticks);
}

void LinkPresenter::progressShown(bool visible) {
  if (!app_.downloadBar_) app_.status_.progressShown(visible);
}

// The erase wait of a download command counts toward the download's own bar.
void LinkPresenter::progress(double percent) {
  if (!app_.downloadBar_) app_.status_.progress(percent);
}

// No node is known until the next size answer: the title says which port is being tried.
void LinkPresenter::nodeSilent() {
  app_.port_.nodeSilent();
}

void LinkPresenter::portState(PortState state) {
  // A port opened again or lost, a node called again: what it was told last is not known.
  if (state != PortState::DataReceived) app_.lastPositionSent_ = {};
  app_.port_.portState(state);
}

void LinkPresenter::openFailed(const std::string& message, const std::string& title) {
  app_.port_.openFailed();
  app_.status_.error(message, title);
}

void LinkPresenter::sent(const std::string& text, int count) {
  app_.positionSent(text);
  app_.port_.sent(text, count);
}

void LinkPresenter::lastSentCleared() {
  app_.port_.lastSentCleared();
}

void LinkPresenter::answerCleared() {
  app_.port_.answerCleared();
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
  app_.port_.answerShown(replyCount, shown);
}

// A graphics node: its title and memory, one logo selected on it, YCbCr, and the menus of a
// graphics node. Each step reports its own failure and the next one goes on.
void LinkPresenter::sizeAnswered(const std::string& digits, int memorySize) {
  WindowModel& ui = app_.ui();
  auto step = [this](auto&& body) {
    try {
      body();
    } catch (const std::exception& e) {
      app_.status_.error(std::string(e.what()) + ": 3", "ProcessData");
    }
  };
  step([&] { app_.port_.nodeAnswered(digits, memorySize); });
  step([&] { app_.choices_.setModel(1); });
  step([&] {
    ui.setChecked(indexed("mnuLogoSel", 1), true);
    for (int i = 2; i <= 4; ++i) ui.setVisible(indexed("mnuLogoSel", i), false);
  });
  step([&] { app_.logoSelMenuClick(1); });
  step([&] { app_.optRgbClick(1); });
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
  app_.status_.progressShown(polls > 1);
  app_.status_.status(polls > 1 ? "Waiting for Reply " + std::to_string(polls) : "");
}

void LinkPresenter::readBackProgress(double percent, size_t length) {
  app_.status_.progress(percent);
  if (length > 10) app_.status_.status("Reading Data " + std::to_string(length));
}

void LinkPresenter::readBack(const std::string& stream) {
  app_.savePicture(stream);
}

// ---------------------------------------------------------------- the window's link glue

DispatcherHooks App::dispatcherHooks() {
  DispatcherHooks hooks;
  hooks.downloading = [this] { return downloading; };
  hooks.model = [this] { return choices_.model(); };
  hooks.colorNode = [this] { return choices_.colourNode(); };
  hooks.currentNode = [this] { return choices_.nodeId(); };
  hooks.imageParam = [this](int i) { return imageParams.at(static_cast<size_t>(i)); };
  return hooks;
}

SessionHooks App::sessionHooks() {
  SessionHooks hooks;
  hooks.downloading = [this] { return downloading; };
  hooks.colorNode = [this] { return choices_.colourNode(); };
  return hooks;
}

void App::setNodeMenusEnabled(bool enabled) {
  for (const char* name : kNodeMenus) ui_.setEnabled(name, enabled);
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
    port_.clockTick(pf_.loop.now().secondsSinceMidnight);
    port_.searchTick();
    if (downloading) followDownloadLine();
    status_.tick();
    session_.nodePollTick();
  } catch (const std::exception& e) {
    status_.error(e.what(), "Tmr_Delay_Timer");
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
      answer = status_.ask(diagPrompt(*entry, choices_.model()));
      if (answer.empty()) return;
    }
    const std::string argument =
        diagArgument(entry->value, answer, choices_.model(), choices_.colourNode());
    switch (entry->extra) {
      case DiagExtra::SendLogo:  // the whole download, not the bare "ALD"
        status_.status("");
        runDownload();
        return;
      case DiagExtra::SleepFirst:
        dispatcher_.sleep();
        break;
      case DiagExtra::ReadBack:
        // A request the dispatcher would refuse must not leave the reception waiting for a
        // stream that never comes (it would swallow the next answers as a read-back).
        if (dispatcher_.refusing()) return;
        status_.status("Waiting for Reply");
        session_.requestReadBack();
        return;
      case DiagExtra::ClearStatusFirst:
        status_.status("");
        break;
      case DiagExtra::ToggleReply: {
        showReply = !port_.view().replyShown;
        writeSetting("ShowReply", truthText(showReply));
        port_.showReply(showReply);
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
    status_.error(e.what(), "mnuLogoSel_Click");
  }
}

}  // namespace osd

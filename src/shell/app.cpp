#include "shell/app.h"

#include <exception>

#include "shell/schedule_editor.h"

namespace osd {

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
      logo_(
          bench_.logos(), choices_, session_, dispatcher_, status_, bench_.prefs(), pf_.dialogs,
          {[this](int w, int h) { video_.imageLoaded(w, h); }, [this] { pf_.loop.runPending(); }}),
      video_(bench_.video(), bench_.logos(), choices_, dispatcher_, link_, status_, pf_.dialogs,
             pf_.launcher, pf_.dataDir),
      download_(dispatcher_, link_, session_, pf_.loop, pf_.dialogs, status_, logo_, video_,
                bench_.logos(), bench_.video()),
      placement_(bench_.placement(), bench_.logos(), choices_, dispatcher_, status_, pf_.dialogs,
                 {[this] { return download_.lineHeld(); }, [this] { video_.showParams(); }}),
      schedule_(dispatcher_, pf_.loop, bench_.prefs(), choices_, status_, logo_, pf_.dialogs),
      menus_(bench_.prefs(), choices_, status_, pf_.launcher, pf_.loop, pf_.programDir,
             {[this](int count) { logo_.offerMenuSlots(count); },
              [this](int slot) { logo_.checkMenuSlot(slot); },
              [this] { logo_.showPreview(bench_.logos().selected, true); },
              [this](bool locked) { placement_.showLock(locked); },
              [this](int model) { port_.modelChosen(model); }, [this] { logo_.showSlotOptions(); },
              [this] { return logo_.checkedRecent(); }}),
      diag_(dispatcher_, session_, choices_, status_, bench_.prefs(),
            {[this] { download_.run(); }, [this] { return download_.lineHeld(); },
             [this] { return port_.view().replyShown; },
             [this](bool shown) { port_.showReply(shown); },
             [this] { formLoad(std::string(commandLine_)); }}),
      scan_(pf_.port, pf_.loop, link_, dispatcher_, session_, status_, download_, bench_.logos(),
            bench_.video(),
            {.nodeChosen = [this](int id) { port_.useNode(id); },
             .encodeLogo =
                 [this](int slot, std::vector<int>& values) {
                   return logo_.encodeLogo(slot, values);
                 }}) {
  link_.line().onAwakeChanged = [this](const Awake& awake) { status_.showAwake(awakeText(awake)); };
  video_.reloadRecent = [this] { logo_.openRecent(0); };
  download_.exitWindow = [this] { menus_.exit(); };
  video_.reportThrough(download_);
  logo_.reportThrough(download_);
  schedule_.openAbout = [this] { menus_.openAbout(true, true); };
  pf_.loop.onTimer = [this](TimerId id) { timerFired(id); };
  pf_.port.onEvent = [this](int code) { link_.handleEvent(code, [this] { session_.receive(); }); };
}

App::~App() {
  pf_.loop.onTimer = nullptr;
  pf_.port.onEvent = nullptr;
}

DispatcherHooks App::dispatcherHooks() {
  DispatcherHooks hooks;
  hooks.downloading = [this] { return download_.lineHeld(); };
  hooks.model = [this] { return choices_.model(); };
  hooks.colorNode = [this] { return choices_.colourNode(); };
  hooks.currentNode = [this] { return choices_.nodeId(); };
  hooks.imageParam = [this](int i) { return bench_.video().params().at(static_cast<size_t>(i)); };
  return hooks;
}

SessionHooks App::sessionHooks() {
  SessionHooks hooks;
  hooks.downloading = [this] { return download_.lineHeld(); };
  hooks.colorNode = [this] { return choices_.colourNode(); };
  return hooks;
}

void App::timerFired(TimerId id) {
  switch (id) {
    case TimerId::Delay:
      tickDelay();
      break;
    case TimerId::TenSec:
      session_.eraseTick();
      break;
    case TimerId::ComInit:
      if (link_.comInitTick(download_.lineHeld())) {
        dispatcher_.clearBusy();
        dispatcher_.restoreWake();
      }
      break;
    case TimerId::Schedule:
      schedule_.tick();
      break;
    case TimerId::Splash:
      menus_.splashTick();
      break;
    case TimerId::Editor:
      schedule_.editorTick();
      break;
    case TimerId::About:
      menus_.aboutTick();
      break;
    case TimerId::Count:
      break;
  }
}

void App::tickDelay() {
  try {
    dispatcher_.sharedWait().tick();
    session_.pollTick();
    placement_.tick();
    if (!link_.valid()) link_.reconnectTick();
    session_.watchdogTick();
    port_.clockTick([this] { return pf_.loop.now().secondsSinceMidnight; });
    port_.searchTick();
    download_.tick();
    status_.tick();
    session_.nodePollTick();
  } catch (const std::exception& e) {
    status_.error(e.what(), "Tmr_Delay_Timer");
  }
}

void App::shutdown() {
  for (int id = 0; id < static_cast<int>(TimerId::Count); ++id) {
    pf_.loop.setTimerEnabled(static_cast<TimerId>(id), false);
  }
  schedule_.closeEditor();
  menus_.closeAbout();
  logo_.clearPictures();
  if (pf_.port.isOpen()) {
    pf_.port.setModemLines(false, false);
    pf_.port.close();
  }
}

}  // namespace osd

#include "shell/app.h"

#include <algorithm>
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
      logo_(bench_.logos(), choices_, session_, dispatcher_, status_, bench_.prefs(), pf_.dialogs,
            {.imageShown = [this](int w, int h) { video_.imageLoaded(w, h); },
             .runPending = [this] { pf_.loop.runPending(); },
             .reporter = [this]() -> Reporter& { return download_; }}),
      video_(bench_.video(), bench_.logos(), choices_, dispatcher_, link_, status_, pf_.dialogs,
             pf_.launcher, pf_.dataDir,
             {.reloadRecent = [this] { logo_.openRecent(0); },
              .reporter = [this]() -> Reporter& { return download_; }}),
      download_(
          dispatcher_, link_, session_, pf_.loop, pf_.dialogs, status_, bench_.logos(),
          bench_.video(),
          {.encodeLogo = [this](int slot,
                                std::vector<int>& out) { return logo_.encodeLogo(slot, out); },
           .buildSetupBlock = [this] { video_.buildSetupBlock(); },
           .exitWindow = [this] { menus_.exit(); },
           .lineUseChanged =
               [this] {
                 const DownloadView& line = download_.view();
                 menus_.lineUse({line.lineHeld, line.starting, line.erasing});
               }}),
      placement_(bench_.placement(), bench_.logos(), choices_, dispatcher_, status_, pf_.dialogs,
                 {.lineHeld = [this] { return download_.lineHeld(); },
                  .startMoved = [this] { video_.showParams(); }}),
      schedule_(dispatcher_, pf_.loop, bench_.prefs(), choices_, status_, pf_.dialogs,
                {.checkSlot = [this](int slot) { logo_.checkMenuSlot(slot); },
                 .chooseSlot = [this](int slot) { logo_.chooseSlot(slot); },
                 .openAbout = [this] { menus_.openAbout(true, true); }}),
      menus_(bench_.prefs(), choices_, status_, pf_.launcher, pf_.loop, pf_.programDir,
             {.offerSlots = [this](int count) { logo_.offerMenuSlots(count); },
              .checkSlot = [this](int slot) { logo_.checkMenuSlot(slot); },
              .fadeOff = [this] { logo_.showPreview(bench_.logos().selected, true); },
              .panelLocked = [this](bool locked) { placement_.showLock(locked); },
              .modelChosen = [this](int model) { port_.modelChosen(model); },
              .slotsChanged = [this] { logo_.showSlotOptions(); },
              .paintFile = [this] { return logo_.checkedRecent(); }}),
      diag_(dispatcher_, session_, choices_, status_, bench_.prefs(),
            {.download = [this] { download_.run(); },
             .lineHeld = [this] { return download_.lineHeld(); },
             .replyShown = [this] { return port_.view().replyShown; },
             .showReply = [this](bool shown) { port_.showReply(shown); },
             .readConfiguration = [this] { formLoad(std::string(commandLine_)); },
             .eraseImage = [this] { download_.eraseImage(); },
             .clearSent = [this] { port_.clearSent(); }}),
      scan_(pf_.port, pf_.loop, link_, dispatcher_, session_, status_, download_, bench_.logos(),
            bench_.video(),
            {.nodeChosen = [this](int id) { port_.useNode(id); },
             .encodeLogo =
                 [this](int slot, std::vector<int>& values) {
                   return logo_.encodeLogo(slot, values);
                 }}) {
  pf_.loop.onTimer = [this](TimerId id) { timerFired(id); };
  pf_.loop.quietTicks = [this] { return quietTicks(); };
  pf_.port.onEvent = [this](int code) { link_.handleEvent(code, [this] { session_.receive(); }); };
}

App::~App() {
  pf_.loop.onTimer = nullptr;
  pf_.loop.quietTicks = nullptr;
  pf_.port.onEvent = nullptr;
}

DispatcherHooks App::dispatcherHooks() {
  return {
      .downloading = [this] { return download_.lineHeld(); },
      .model = [this] { return choices_.model(); },
      .colorNode = [this] { return choices_.colourNode(); },
      .currentNode = [this] { return choices_.nodeId(); },
      .imageParam = [this](int i) { return bench_.video().params().at(static_cast<size_t>(i)); }};
}

SessionHooks App::sessionHooks() {
  return {.downloading = [this] { return download_.lineHeld(); },
          .colorNode = [this] { return choices_.colourNode(); }};
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
      port_.showClock(pf_.loop.now().secondsSinceMidnight);
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
    status_.error(e.what(), ErrorAt::DelayTimer);
  }
}

int App::quietTicks() {
  // A job on the line and a shared wait count on every tick.
  if (download_.lineHeld() || dispatcher_.sharedWait().left() > 0) return 0;
  return std::min({session_.quietTicks(), status_.quietTicks(),
                   port_.quietTicks(pf_.loop.now().secondsSinceMidnight)});
}

void App::shutdown() {
  for (int id = 0; id < static_cast<int>(TimerId::Count); ++id) {
    pf_.loop.setTimerEnabled(static_cast<TimerId>(id), false);
  }
  schedule_.closeEditor();
  menus_.closeAbout();
  logo_.clearPictures();
  link_.closeAtExit();
}

}  // namespace osd

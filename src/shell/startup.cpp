// Start-up of the main window: the order in which the settings are read, the serial port is
// searched and opened, the window is restored and commands are let onto the line. Every step
// reports its own failure and the start-up goes on with the next one.
#include <exception>
#include <functional>

#include "common/textnum.h"
#include "shell/app.h"

namespace osd {

namespace {
constexpr int kHighestSlot = 15;
}  // namespace

void App::runStep(ErrorAt at, const std::function<void()>& body) {
  try {
    body();
  } catch (const std::exception& e) {
    status_.error(e.what(), at);
  }
}

void App::formLoad(const std::string& commandLineText) {
  // The text may be this object's own member (the diagnostic "Read Configuration").
  const std::string line = commandLineText;
  commandLine_ = line;
  const auto step = [this](const std::function<void()>& body) { runStep(ErrorAt::FormLoad, body); };

  // 1. Node family; the reply area is hidden until the settings are read.
  step([&] {
    session_.setLargeMemory(true);
    port_.showReply(false);
  });

  // 2. Nothing reaches the line until the window is set up (step 14).
  dispatcher_.setGuard(true);

  // 3. Another copy of the program: bring it forward and ask it to close; otherwise the
  //    splash window comes up from its timer. A copy in the middle of a download or a scan
  //    keeps the line: this one then ends here, before it has touched any port.
  step([&] {
    InstanceGuard* other = pf_.instances;
    if (other != nullptr && other->otherInstanceRunning()) {
      other->bringOtherToFront();
      const Handover answer = other->closeOther();
      switch (answer) {
        case Handover::Closed:
          pf_.loop.yield();
          break;
        case Handover::DownloadRunning:
        case Handover::ScanRunning:
          download_.refuseStart(answer);
          break;
        case Handover::NoAnswer:
          pf_.dialogs.message(kAppKey,
                              std::string("EndTask: cannot terminate ") + kAppKey + " task");
          break;
      }
    } else {
      pf_.loop.setTimerEnabled(TimerId::Splash, true);
    }
  });
  if (download_.startRefused()) return;

  loadSlotChoice();
  openSavedPort(line);

  // 13. Menus, options, schedule, video data and slot bitmaps from the settings.
  step([&] { formSetUp(); });

  // 14. From here on commands reach the line.
  dispatcher_.setGuard(false);

  // 15. The current logo's bitmap.
  step([&] {
    // "0" is what the store gives for a recent-file key never written (first start): there
    // is no file to load and nothing to complain about.
    std::string file = bench_.logos().current;
    if (trimBlanks(file) != "0") logo_.readFile(file);
  });

  // 16, 17.
  step([&] { port_.noReply(); });
  step([&] { logo_.showSlotOptions(); });

  // The main tick runs from here until the window closes.
  pf_.loop.setTimerEnabled(TimerId::Delay, true);
  port_.startSearch();
}

// Logo sizes, the slot chosen last time and the recent files (start-up steps 4 to 7).
void App::loadSlotChoice() {
  const auto step = [this](const std::function<void()>& body) { runStep(ErrorAt::FormLoad, body); };
  // 4. Logo dimensions, before anything reads them.
  step([&] {
    bench_.logos().width = Workbench::kStartWidth;
    bench_.logos().height = Workbench::kStartHeight;
  });

  // 5. Logo options 1 to 7 stay hidden until the node model is known.
  step([&] { logo_.hideOptions(1, 7); });

  // 6. The logo chosen last time.
  step([&] {
    const std::string text = bench_.prefs().read(SettingKey::LogoSelect);
    logo_.restoreChoice(text.empty() ? 0 : clampInt(leadingInt(text), 1, kHighestSlot));
  });

  // 7. Recent files, FileSelect8 down to FileSelect1 (menu entry i - 1); the newest ends up
  //    as the current file.
  step([&] {
    for (int i = 8; i >= 1; --i) {
      const std::string text = bench_.prefs().read({SettingKey::FileSelect, i});
      logo_.restoreRecent(i - 1, text);
      bench_.logos().current = text;
    }
  });
}

// The port search and the saved port (start-up steps 8 to 11).
void App::openSavedPort(const std::string& line) {
  const auto step = [this](const std::function<void()>& body) { runStep(ErrorAt::FormLoad, body); };
  // 8. A port the search must not touch, from the command line.
  step([&] { link_.setSkipPort(skipPortFrom(line)); });
  // 9. Port search.
  step([&] { port_.searchPorts(); });
  // 10. The saved port.
  step([&] { port_.openSavedPort(); });
  // 11. Read time-outs of the port.
  step([&] { link_.applyTimeouts(); });
}

void App::formSetUp() {
  setUpMenus();
  setUpVideoAndSlots();
}

void App::setUpMenus() {
  const auto step = [this](const std::function<void()>& body) {
    runStep(ErrorAt::FormSetUp, body);
  };
  // 1. Menus that need an answering node start disabled.
  step([&] {
    status_.status("");
    menus_.restoreCommands();
  });
  // 2. The schedule.
  step([&] { schedule_.load(); });
  // 3.-4. Show modes.
  step([&] { menus_.restoreShowModes(); });
  // 5. The reply display.
  step([&] { port_.showReply(bench_.prefs().flag(SettingKey::ShowReply)); });
  // 6. The logo-generator model.
  step([&] { menus_.restoreModel(); });
  // 7. Diagnostic menu.
  step([&] { menus_.restoreDiagTools(); });
  // 8.-9. The schedule runner and its lock.
  step([&] { schedule_.restore(); });
  // 10. Front panel lock.
  step([&] { menus_.restorePanelLock(); });
  // 11. Colour node.
  step([&] { choices_.restoreColourNode(); });
  // 12. Transparency.
  step([&] { menus_.restoreTransparent(); });
  // 13. Logo options 2-4 come back when a node answers.
  step([&] { logo_.hideOptions(2, 4); });
}

void App::setUpVideoAndSlots() {
  const auto step = [this](const std::function<void()>& body) {
    runStep(ErrorAt::FormSetUp, body);
  };
  // 14. Video data, then the image start position.
  step([&] {
    const VideoData::Loaded loaded = bench_.load(bench_.logos().width, bench_.logos().height);
    // A file that could not be read was kept beside itself before the defaults replaced it.
    if (!loaded.kept.empty()) status_.error(loaded.kept, ErrorAt::FormSetUp);
    video_.showParams(loaded.asLoaded);
    placement_.showStart(bench_.video().startH(), bench_.video().startV());
  });
  // 15.-16. Video standard and pixel format.
  step([&] { video_.restore(); });
  // 17. The slots' last images, highest first, so the lowest slot with a file ends selected.
  step([&] {
    for (int n = choices_.model(); n >= 1; --n) {
      if (n >= LogoSlots::kCount) continue;
      step([&] {
        LogoSlots& logos = bench_.logos();
        logos.file[static_cast<size_t>(n)] = bench_.prefs().readFixed({SettingKey::BmpPath, n});
        if (logos.file[static_cast<size_t>(n)].size() > 6) {
          logos.selected = n;
          logo_.restoreSlotFile(n, logos.file[static_cast<size_t>(n)]);
        }
      });
    }
  });
  // 18. SMPTE background.
  step([&] { menus_.restoreSmpte(); });
}

}  // namespace osd

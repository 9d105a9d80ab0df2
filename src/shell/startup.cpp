// Start-up of the main window: the order in which the settings are read, the serial port is
// searched and opened, the window is restored and commands are let onto the line.
#include <cctype>
#include <exception>
#include <functional>

#include "common/textnum.h"
#include "shell/app.h"

namespace osd {

namespace {
constexpr int kHighestSlot = 15;
}  // namespace

void App::formLoad(const std::string& commandLineText) {
  // The text may be this object's own member (the diagnostic "Read Configuration").
  const std::string line = commandLineText;
  commandLine = line;

  // Every step reports its own failure and the start-up goes on with the next one.
  const auto step = [this](const std::function<void()>& body) { runStep("Form_Load", body); };

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
          startRefused_ = true;
          exitNote_ = std::string("a ") +
                      (answer == Handover::ScanRunning ? "scan of the line" : "download") +
                      " is running in the other window; this copy ends";
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
  if (startRefused_) return;

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
    std::string file = currentFile;
    if (trimBlanks(file) != "0") readFile(file);
  });

  // 16, 17.
  step([&] { port_.noReply(); });
  step([&] { showSlotOptions(); });

  // The main tick runs from here until the window closes.
  pf_.loop.setTimerEnabled(TimerId::Delay, true);
  port_.startSearch();
}

// Logo sizes, the slot chosen last time and the recent files (start-up steps 4 to 7).
void App::loadSlotChoice() {
  const auto step = [this](const std::function<void()>& body) { runStep("Form_Load", body); };
  // 4. Logo dimensions, before anything reads them.
  step([&] {
    imageWidth = 256;
    imageHeight = 64;
    logoWidth = 256;
  });

  // 5. Logo options 1 to 7 stay hidden until the node model is known.
  step([&] {
    for (int i = 1; i <= 7; ++i) ui_.setVisible(indexed("optLOGO", i), false);
  });

  // 6. The logo chosen last time.
  step([&] {
    const std::string text = readSetting("LogoSelect");
    if (!text.empty()) {
      // Only slots 1 to 15 have an option and a menu entry.
      const int n = clampInt(leadingInt(text), 1, kHighestSlot);
      ui_.setChecked(indexed("optLOGO", n), true);
      optLogoClick(n);
      ui_.setChecked(indexed("mnuLogoSel", n), true);
      selectedSlot = n;
    }
    if (selectedSlot >= 1 && selectedSlot <= kHighestSlot) {
      ui_.setChecked(indexed("mnuLogoSel", selectedSlot), true);
      ui_.setChecked(indexed("optLOGO", selectedSlot), true);
      ui_.repaint(indexed("picPicture2", selectedSlot));
    }
  });

  // 7. Recent files, FileSelect8 down to FileSelect1 (menu entry i - 1); the newest ends up
  //    as the current file.
  step([&] {
    for (int i = 8; i >= 1; --i) {
      const std::string text = readSetting("FileSelect" + std::to_string(i));
      const std::string entry = indexed("mnuRecentFile", i - 1);
      if (text.empty()) {
        ui_.setVisible(entry, false);
        ui_.setEnabled(entry, false);
      } else {
        // "0" is the placeholder of an entry never filled: kept, not offered.
        bench_.logos().setRecent(i - 1, text);
        ui_.setText(entry, text);
        ui_.setVisible(entry, text != "0");
        ui_.setEnabled(entry, text != "0");
      }
      currentFile = text;
    }
  });
}

// The port search and the saved port (start-up steps 8 to 11).
void App::openSavedPort(const std::string& line) {
  const auto step = [this](const std::function<void()>& body) { runStep("Form_Load", body); };
  // 8. A port the search must not touch, from the command line.
  step([&] { link_.setSkipPort(skipPortFrom(line)); });

  // 9. Port search.
  step([&] { port_.searchPorts(); });

  // 10. The saved port.
  step([&] { port_.openSavedPort(); });

  // 11. Read time-outs of the port.
  step([&] { link_.applyTimeouts(); });
}

}  // namespace osd

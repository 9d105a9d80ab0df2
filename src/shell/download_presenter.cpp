// The logo download in the window: the "Notice" question, the erase, the checks before a
// download and the window's part while the download job sends the stream.
#include <exception>
#include <string>
#include <utility>

#include "common/textnum.h"
#include "shell/app.h"
#include "transfer/download_job.h"
#include "transfer/line_sink.h"

namespace osd {

namespace {

// The commands that start a download; they are disabled while one runs.
const char* const kDownloadCommands[] = {"mnuDownloadLogotoRam", "mnu_ImageToEEPROM",
                                         "mnuDiagSub(8)"};

// Disables the download commands for the life of the object and restores them afterwards.
class CommandsLocked {
 public:
  explicit CommandsLocked(WindowModel& ui) : ui_(ui) {
    for (int k = 0; k < 3; ++k) {
      enabled_[k] = ui_.enabled(kDownloadCommands[k]);
      ui_.setEnabled(kDownloadCommands[k], false);
    }
  }
  ~CommandsLocked() {
    for (int k = 0; k < 3; ++k) ui_.setEnabled(kDownloadCommands[k], enabled_[k]);
  }
  CommandsLocked(const CommandsLocked&) = delete;
  CommandsLocked& operator=(const CommandsLocked&) = delete;

 private:
  WindowModel& ui_;
  bool enabled_[3] = {true, true, true};
};

}  // namespace

void App::downloadToRamClick() {
  // One download at a time: a start from inside the erase wait or a running download is
  // refused.
  if (downloading || downloadStarting) return;
  if (!pf_.dialogs.confirm("Notice", "This will write the new Image data to the EEPROM.")) return;
  downloadStarting = true;
  downloadStarted_ = pf_.loop.monotonicSeconds();
  try {
    DownloadHooks hooks = downloadHooks();
    hooks.armEraseWait = [this] {
      pf_.loop.setTimerEnabled(TimerId::TenSec, true);
      ui_.setEnabled("mnu_ImageToEEPROM", false);
      ui_.setVisible("mnu_ImageToEEPROM", true);
    };
    bool wasEnabled = true;
    hooks.eraseSent = [this, &wasEnabled] {
      wasEnabled = ui_.enabled("mnuDownloadLogotoRam");
      ui_.setEnabled("mnuDownloadLogotoRam", false);
    };
    LineSink sink(dispatcher_, link_);
    DownloadJob(sink, *this, std::move(hooks)).erase();
    ui_.setEnabled("mnuDownloadLogotoRam", wasEnabled);
    status_.status("");
  } catch (const std::exception& e) {
    downloadStarting = false;
    status_.error(e.what(), "mnuDownloadLogotoRam_Click");
    return;
  }
  downloadStarting = false;
  runDownload();
}

void App::saveLogoInNvramClick() {
  dispatcher_.saveLogo();
}

void App::runDownload() {
  // When the command began, for the completion message (the erase wait included).
  const double commandStart = std::exchange(downloadStarted_, -1.0);
  if (dispatcher_.guarded()) return;
  if (downloading) return;  // a second start from inside a running download
  downloading = true;
  CommandsLocked locked(ui_);
  int slot = 0;
  try {
    status_.status("");
    if (!link_.valid()) {
      downloading = false;
      return;
    }
    if (!pf_.port.isOpen()) {
      pf_.dialogs.beep();
      status_.error("No Valid COM Port Selected", "Communication Error!");
      downloading = false;
      return;
    }
    // Only slots 1 to 4 are downloaded.
    if (selectedSlot >= 1 && selectedSlot <= 4) slot = selectedSlot;
    if (slot == 0) {
      status_.error("No logo was selected for download", "No Logo");
      downloading = false;
      return;
    }
  } catch (const std::exception&) {
    status_.progressShown(false);
    downloading = false;
    pf_.dialogs.beep();
    status_.error("You Need to Open a Logo File First!", "ERROR!");
    status_.busy(false);
    return;
  }

  DownloadPlan plan{imageWidth, imageHeight, session_.memorySize()};
  DownloadSource source;
  source.encode = [this, slot](std::vector<int>& pixels) -> std::string {
    // A logo that was not read completely is not sent.
    if (encodeLogo(slot, pixels)) return {};
    return "The logo of slot " + std::to_string(slot) + " could not be read from " +
           slotFile[static_cast<size_t>(slot)] + "; the download was stopped.";
  };
  source.setupBlock = [this]() -> const video::SetupBlock& {
    buildSetupBlock();
    return setupBlock;
  };
  LineSink sink(dispatcher_, link_);
  downloadLine_.reset();
  downloadPicture_ = plan.pictureBytes();
  downloadStarted_ = commandStart;
  if (DownloadJob(sink, *this, downloadHooks()).run(plan, source).ok) {
    finishDownloadLine(slot);
  } else if (downloadLine_) {
    status_.status("");  // the figures of a download that failed tell nothing any more
  }
  downloadLine_.reset();
  downloadStarted_ = -1;
  downloading = false;
}

DownloadHooks App::downloadHooks() {
  DownloadHooks hooks = lineWaits(dispatcher_, pf_.loop);
  hooks.eraseWaiting = [this] {
    if (!pf_.loop.timerEnabled(TimerId::TenSec)) return false;
    showEraseWait();
    return true;
  };
  return hooks;
}

}  // namespace osd

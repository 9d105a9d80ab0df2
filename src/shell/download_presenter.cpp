// The logo download in the window: the "Notice" question, the erase, the checks before a
// download and the window's part while the download job sends the stream.
#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include "common/textnum.h"
#include "shell/app.h"
#include "shell/window_scan.h"
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
  // The erase wait is ten seconds of the bar's way, weighed as bytes at the line's speed.
  const double eraseBytes = kLineBytesPerSecond * 10;
  eraseShare_ = eraseBytes / (eraseBytes + static_cast<double>(plannedStream()));
  downloadBar_ = true;
  status_.progress(0);
  status_.progressShown(true);
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
    const bool stopped = DownloadJob(sink, *this, std::move(hooks)).erase().stopped;
    ui_.setEnabled("mnuDownloadLogotoRam", wasEnabled);
    status_.status("");
    if (stopped) {
      downloadStarting = false;
      downloadBar_ = false;
      reportStopped(0, plannedStream());
      closeIfAsked();
      return;
    }
  } catch (const std::exception& e) {
    downloadStarting = false;
    downloadBar_ = false;
    status_.progressShown(false);
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
  if (!downloadBar_) eraseShare_ = 0;  // started without the erase
  downloadBar_ = true;
  sendDownload();
  downloadBar_ = false;
  status_.progressShown(false);
  closeIfAsked();
}

void App::showDownloadBar(double carried, double total) {
  status_.progress(100.0 * (eraseShare_ + (1 - eraseShare_) * carried / std::max(total, 1.0)));
}

void App::sendDownload() {
  // When the command began, for the completion message (the erase wait included).
  const double commandStart = std::exchange(downloadStarted_, -1.0);
  if (dispatcher_.guarded()) return;
  if (downloading) return;  // a second start from inside a running download
  downloading = true;
  status_.dismissResult();  // the last download's result gives way to this one
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
  downloadWritten_ = 0;
  downloadPicture_ = plan.pictureBytes();
  downloadStarted_ = commandStart;
  showDownloadBar(0, 1);
  status_.progressShown(true);
  const DownloadResult result = DownloadJob(sink, *this, downloadHooks()).run(plan, source);
  if (result.ok) {
    finishDownloadLine(slot);
  } else if (result.stopped) {
    reportStopped(downloadWritten_, plan.streamLength());
  } else if (downloadLine_ || !pf_.port.isOpen()) {
    // Whatever the error panel said, the status line keeps how far the download got.
    status_.showResult(failedText(downloadLine_ ? downloadLine_->sent() : 0, plan.streamLength()));
  }
  downloadLine_.reset();
  downloadStarted_ = -1;
  downloading = false;
}

int64_t App::plannedStream() const {
  return DownloadPlan{imageWidth, imageHeight, session_.memorySize()}.streamLength();
}

bool App::closeRequested(CloseBy by) {
  if (!downloading && !downloadStarting) return true;
  if (stopRequested_) return false;  // already stopping: the window closes when it has
  if (activeScan_ != nullptr) {
    activeScan_->scanner().cancel();
    closeWhenStopped_ = true;
    return false;
  }
  if (by == CloseBy::Operator) {
    const int64_t total = downloadLine_ ? downloadLine_->total() : plannedStream();
    const int64_t sent = downloadLine_ ? downloadLine_->sent() : 0;
    if (!pf_.dialogs.confirm("Notice", "A download is running (" + groupedNumber(sent) + " of " +
                                           groupedNumber(total) + " bytes). Stop it and close?")) {
      return false;
    }
    // The download may have ended while the question was open.
    if (!downloading && !downloadStarting) return true;
  }
  stopRequested_ = true;
  closeWhenStopped_ = true;
  return false;
}

Handover App::handoverAnswer() const {
  if (activeScan_ != nullptr) return Handover::ScanRunning;
  if (downloading || downloadStarting) return Handover::DownloadRunning;
  return Handover::Closed;
}

void App::reportStopped(int64_t written, int64_t total) {
  waitLineQuiet();
  const int64_t carried = written - (pf_.port.isOpen() ? link_.held() : 0);
  status_.progressShown(false);
  status_.showResult("Download stopped at " + groupedNumber(std::max<int64_t>(carried, 0)) +
                     " of " + groupedNumber(total) + " bytes.");
  exitNote_ = "download stopped at " + groupedNumber(std::max<int64_t>(carried, 0)) + " of " +
              groupedNumber(total) + " bytes";
}

std::string App::failedText(int64_t carried, int64_t total) const {
  return std::string(pf_.port.isOpen() ? "Download stopped by an error"
                                       : "Download stopped: port lost") +
         " after " + groupedNumber(carried) + " of " + groupedNumber(total) + " bytes";
}

void App::waitLineQuiet() {
  // What was handed to the port still has to reach the node: the port is left to empty (a
  // bound keeps a port that never empties from holding the window forever).
  const double until = pf_.loop.monotonicSeconds() + kQuietLineSeconds;
  while (pf_.port.isOpen() && link_.held() > 0 && pf_.loop.monotonicSeconds() < until) {
    pf_.loop.yield();
  }
}

void App::closeIfAsked() {
  stopRequested_ = false;
  if (!std::exchange(closeWhenStopped_, false)) return;
  if (window_.exit) window_.exit();
}

DownloadHooks App::downloadHooks() {
  DownloadHooks hooks = lineWaits(dispatcher_, pf_.loop);
  hooks.stopRequested = [this] { return stopRequested_; };
  hooks.eraseWaiting = [this] {
    if (!pf_.loop.timerEnabled(TimerId::TenSec)) return false;
    showEraseWait();
    return true;
  };
  return hooks;
}

}  // namespace osd

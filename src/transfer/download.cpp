// The logo download: the erase before it, the byte stream ("QXW", the setup block, the
// picture from its top line down, the 0xFF filler up to the end of the node's image memory)
// and its pacing by ticks of the main timer.
#include <exception>
#include <string>

#include "common/textnum.h"
#include "shell/app.h"

namespace osd {

namespace {

constexpr int kDeviceImageSize = 2000001;
constexpr int kFillerSize = 128;

// The commands that start a download; they are disabled while one runs.
const char* const kDownloadCommands[] = {"mnuDownloadLogotoRam", "mnu_ImageToEEPROM",
                                         "mnuDiagSub(8)"};

// Sends one piece of the stream. SendCom reports its own failures on the error panel and
// returns; a download must not go on writing after the port was lost, so a failed write
// ends it here.
void sendPiece(App& app, const std::string& bytes) {
  WindowModel& ui = app.ui();
  const std::string titleBefore = ui.text("frameError");
  const std::string textBefore = ui.text("lblErrTxt");
  const bool shownBefore = ui.visible("frameError");
  app.dispatcher().send(bytes);
  const bool reported =
      ui.text("frameError") == "SendCom" &&
      (ui.text("frameError") != titleBefore || ui.text("lblErrTxt") != textBefore ||
       ui.visible("frameError") != shownBefore);
  if (reported || !app.platform().port.isOpen()) {
    throw Failure("The download stopped: the serial port did not take the data.");
  }
}

int checkedByte(int value, const char* what, long long index) {
  if (value < 0 || value > 255) {
    throw Failure(std::string(what) + " " + std::to_string(index) + " holds " +
                  std::to_string(value) + ", which is not a byte value.");
  }
  return value;
}

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
  try {
    dispatcher_.send("QXE");
    pf_.loop.setTimerEnabled(TimerId::TenSec, true);
    ui_.setEnabled("mnu_ImageToEEPROM", false);
    ui_.setVisible("mnu_ImageToEEPROM", true);
    dispatcher_.send("ACM");
    {
      const bool wasEnabled = ui_.enabled("mnuDownloadLogotoRam");
      ui_.setEnabled("mnuDownloadLogotoRam", false);
      while (pf_.loop.timerEnabled(TimerId::TenSec)) pf_.loop.yield();
      ui_.setEnabled("mnuDownloadLogotoRam", wasEnabled);
    }
    showStatus("");
  } catch (const std::exception& e) {
    downloadStarting = false;
    showError(e.what(), "mnuDownloadLogotoRam_Click");
    return;
  }
  downloadStarting = false;
  runDownload();
}

void App::saveLogoInNvramClick() {
  dispatcher_.saveLogo();
}

void App::wait(int ticks) {
  SharedWait& shared = dispatcher_.sharedWait();
  shared.start(ticks);
  while (shared.left() > 0) {
    // Only the main tick counts the wait down; once it has stopped (the window closing)
    // nothing ever would.
    if (!pf_.loop.timerEnabled(TimerId::Delay)) {
      shared.stop();
      break;
    }
    pf_.loop.yield();
  }
}

void App::runDownload() {
  if (dispatcher_.guarded()) return;
  if (downloading) return;  // a second start from inside a running download
  downloading = true;
  CommandsLocked locked(ui_);
  int slot = 0;
  try {
    showStatus("");
    if (!link_.valid()) {
      downloading = false;
      return;
    }
    if (!pf_.port.isOpen()) {
      pf_.dialogs.beep();
      showError("No Valid COM Port Selected", "Communication Error!");
      downloading = false;
      return;
    }
    for (int k = 1; k <= 4; ++k) {
      if (ui_.checked(indexed("optLOGO", k))) {
        slot = k;
        break;
      }
    }
    if (slot == 0) {
      showError("No logo was selected for download", "No Logo");
      downloading = false;
      return;
    }
  } catch (const std::exception&) {
    showProgress(false);
    downloading = false;
    pf_.dialogs.beep();
    showError("You Need to Open a Logo File First!", "ERROR!");
    ui_.setBusyCursor(false);
    return;
  }

  try {
    selectedSlot = slot;
    // The size of the logo being encoded; answers handled during the yields below cannot
    // change it half way.
    const int w = imageWidth;
    const int h = imageHeight;
    if (w < 1 || h < 1 || static_cast<long long>(w) * h > kDeviceImageSize) {
      throw Failure("The logo size " + std::to_string(w) + " x " + std::to_string(h) +
                    " cannot be downloaded.");
    }
    ui_.setBusyCursor(true);
    setProgress(0);
    showProgress(true);
    setProgress(1);

    showStatus("Reading Logo From Disk");
    deviceImage.assign(kDeviceImageSize, 0);
    {
      // The encoder reports a bitmap it cannot read on the error panel and goes on; a logo
      // that was not read completely is not sent.
      const std::string textBefore = ui_.text("lblErrTxt");
      const bool shownBefore = ui_.visible("frameError");
      encodeLogo(slot, deviceImage);
      if (ui_.text("frameError") == "FetchLogo" &&
          (ui_.text("lblErrTxt") != textBefore || ui_.visible("frameError") != shownBefore)) {
        throw Failure("The logo of slot " + std::to_string(slot) + " could not be read from " +
                      slotFile[static_cast<size_t>(slot)] + "; the download was stopped.");
      }
    }
    setProgress(10);
    showStatus("Preparing For Download");
    showStatus("Starting Download");
    showStatus("Sending setup data");

    buildSetupBlock();
    std::string setup = "QXW";
    for (int i = 0; i <= 255; ++i) {
      setup += byteChar(checkedByte(setupBlock[static_cast<size_t>(i)], "Setup byte", i));
      setProgress(1 + 99.0 * i / 255);
    }
    sendPiece(*this, setup);
    setProgress(1);
    wait(2);

    showStatus("Sending Image");
    for (int r = h - 1; r >= 0; --r) {
      std::string row;
      row.reserve(static_cast<size_t>(w));
      for (int c = 0; c < w; ++c) {
        const long long index = static_cast<long long>(w) * r + c;
        row += byteChar(checkedByte(deviceImage[static_cast<size_t>(index)], "Pixel", index));
        if (w % 2 == 0 && c == w / 2) wait(1);
      }
      sendPiece(*this, row);
      // A one-line logo is complete after its only row.
      setProgress(h > 1 ? 1 + 99.0 * (h - 1 - r) / (h - 1) : 100);
      pf_.loop.yield();
    }
    wait(2);

    showStatus("Sending Filler");
    const std::string filler(kFillerSize, static_cast<char>(0xFF));
    const long long n =
        static_cast<long long>(session_.memorySize()) - (static_cast<long long>(w) * h + 256);
    for (long long i = 0; i <= n + 1; i += kFillerSize) {
      sendPiece(*this, filler);
      // With no room left beyond the logo (n = 0) the single filler completes the memory.
      setProgress(n > 0 ? 99.0 * static_cast<double>(i) / static_cast<double>(n) : 99);
      pf_.loop.yield();
    }

    showProgress(false);
    showStatus("");
    ui_.setBusyCursor(false);
    downloading = false;
  } catch (const std::exception& e) {
    showError(e.what(), "DivUvOR");
    // The busy pointer and the bar would otherwise stay as if the download still ran.
    ui_.setBusyCursor(false);
    showProgress(false);
    downloading = false;
  }
}

}  // namespace osd

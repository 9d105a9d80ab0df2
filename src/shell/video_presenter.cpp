// The video-controller data in the window: reading the four files at start-up, falling back
// to the defaults, the edit commands, the image-control commands and the two option pairs.
#include <cstdlib>
#include <exception>

#include "common/textnum.h"
#include "shell/app.h"
#include "transfer/video_data.h"

namespace osd {

namespace {
const char* kWriteWarning =
    "This action cannot be reversed without erasing the entire EEPROM.\r\n"
    " It is also possible to corrupt the current data settings. ";
}  // namespace

std::string App::imagesDir() const {
  return pf_.dataDir + "/Images";
}

bool App::readVideoData() {
  if (!bench_.video().read()) return false;
  ui_.setText("lblImageSettings", video::imageSettingsText(imageParams));
  return true;
}

void App::writeDefaultVideoData() {
  bench_.video().useDefaults(imageWidth, imageHeight);
  ui_.setText("lblImageSettings", video::imageSettingsText(imageParams));
}

void App::writeVideoDataFile(const std::string& baseName, const int* table) {
  bench_.video().writeTable(baseName, table);
}

void App::editVideoFileClick(const std::string& baseName) {
  try {
    const std::string path = video::findFile(imagesDir(), baseName + ".dat");
#if defined(_WIN32)
    const bool windows = true;
#else
    const bool windows = false;
#endif
    const char* visual = std::getenv("VISUAL");
    const char* editor = std::getenv("EDITOR");
    for (auto& candidate :
         video::editorCandidates(visual ? visual : "", editor ? editor : "", windows)) {
      std::vector<std::string> args(candidate.begin() + 1, candidate.end());
      args.push_back(path);
      if (pf_.launcher.startProgram(candidate.front(), args)) return;
    }
    status_.error("No text editor found: set $VISUAL or install one", "Edit");
  } catch (const std::exception& e) {
    status_.error(e.what(), "Edit");
  }
}

void App::saveCurrentSettingsClick() {
  try {
    if (!pf_.dialogs.confirm(
            "Are you Sure?",
            std::string("This will write the Image control data to the EEPROM.") + kWriteWarning)) {
      return;
    }
    dispatcher_.saveSettings();
    writeVideoDataFile("Video-ImageData", imageParams.data());
  } catch (const std::exception& e) {
    status_.error(e.what(), "mnuSaveCurrentSettings_Click");
  }
}

void App::sendVideoSetupClick() {
  if (!pf_.dialogs.confirm("Are you Sure?",
                           std::string("This will write the Video controller data to the EEPROM.") +
                               kWriteWarning)) {
    return;
  }
  buildSetupBlock();
  status_.busy(false);
  status_.progressShown(false);
  // Nothing goes on the line here: the setup block travels ahead of the next logo.
  status_.status("Setup data prepared: it goes to the node with the next logo download.");
  status_.holdStatus(StatusPresenter::kUsualStatusTicks);
}

void App::optNtscClick(int index) {
  choices_.choosePal(index == 1);
  ui_.setChecked(indexed("optNTSC", index), true);
  ui_.setChecked(indexed("optNTSC", 1 - index), false);
  if (index == 0) ui_.setText("lblVideoSettings", "Video ADV7171:");
  recentFileClick(0);
}

void App::optRgbClick(int index) {
  choices_.chooseFormat(index == 0 ? PixelFormat::Rgb : PixelFormat::YCbCr);
  showFormat();
}

void App::showFormat() {
  const std::optional<PixelFormat> format = choices_.format();
  ui_.setChecked(indexed("optRGB", 0), format == PixelFormat::Rgb);
  ui_.setChecked(indexed("optRGB", 1), format == PixelFormat::YCbCr);
}

void App::buildSetupBlock() {
  if (dispatcher_.guarded()) return;
  try {
    status_.status("");
    if (!link_.valid()) return;
    if (!pf_.port.isOpen()) {
      pf_.dialogs.beep();
      status_.error("No Valid COM Port Selected", "Communication Error!");
      return;
    }
    status_.busy(true);
    // Through the download's reporter: inside a download the bar stays the download's.
    progress(0);
    progressShown(true);
    progress(1);
    status_.status("Downloading Video Controller Data");
    bench_.video().setupBlock(imageWidth, imageHeight);
  } catch (const std::exception& e) {
    status_.error(e.what(), "DivUvOR");
    status_.progressShown(false);
    status_.busy(false);
  }
}

}  // namespace osd

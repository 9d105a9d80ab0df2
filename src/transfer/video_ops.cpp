// The video-controller data in the window: reading the four files at start-up, falling back
// to the defaults, the edit commands, the image-control commands and the two option pairs.
#include <cstdlib>
#include <exception>

#include "common/textnum.h"
#include "shell/app.h"
#include "transfer/video_data.h"

namespace osd {

namespace {
using video::Table;
constexpr Table kTables[4] = {Table::Ntsc, Table::PalB, Table::PalM, Table::Image};

const char* kWriteWarning =
    "This action cannot be reversed without erasing the entire EEPROM.\r\n"
    " It is also possible to corrupt the current data settings. ";
}  // namespace

std::string App::imagesDir() const {
  return pf_.dataDir + "/Images";
}

bool App::readVideoData() {
  // Read everything first: a failed read never leaves the tables half replaced.
  std::array<std::vector<int32_t>, 4> read;
  try {
    for (int t = 0; t < 4; ++t) {
      const std::string name = std::string(video::baseName(kTables[t])) + ".dat";
      const std::string path = video::findFile(imagesDir(), name);
      read[t] = video::readValues(video::readWholeFile(path), video::fieldsRead(kTables[t]), name);
    }
  } catch (const std::exception&) {
    return false;
  }
  std::array<int, 20>* registers[3] = {&ntscTable, &palbTable, &palmTable};
  for (int t = 0; t < 3; ++t) {
    for (int k = 0; k < video::kRegisterCount; ++k) (*registers[t])[k] = read[t][k];
  }
  for (int k = 0; k < video::kImageFieldsRead; ++k) imageParams[k] = read[3][k];
  ui_.setText("lblImageSettings", video::imageSettingsText(imageParams));
  return true;
}

void App::writeDefaultVideoData() {
  ntscTable = video::defaultRegisters(Table::Ntsc);
  palbTable = video::defaultRegisters(Table::PalB);
  palmTable = video::defaultRegisters(Table::PalM);
  imageParams = video::defaultImageParams(imageWidth, imageHeight);
  ui_.setText("lblImageSettings", video::imageSettingsText(imageParams));
  const int* tables[4] = {ntscTable.data(), palbTable.data(), palmTable.data(), imageParams.data()};
  for (int t = 0; t < 4; ++t) {
    try {
      writeVideoDataFile(video::baseName(kTables[t]), tables[t]);
    } catch (const std::exception&) {
      // Silent: the defaults stay in memory and the next start tries again.
    }
  }
}

void App::writeVideoDataFile(const std::string& baseName, const int* table) {
  const std::string path = video::findFile(imagesDir(), baseName + ".dat");
  video::replaceFile(path, video::formatValues(table));
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
  } catch (const std::exception&) {
    // A missing editor or file gives no message.
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
    showError(e.what(), "mnuSaveCurrentSettings_Click");
  }
}

void App::sendVideoSetupClick() {
  if (!pf_.dialogs.confirm("Are you Sure?",
                           std::string("This will write the Video controller data to the EEPROM.") +
                               kWriteWarning)) {
    return;
  }
  buildSetupBlock();
  ui_.setBusyCursor(false);
  showProgress(false);
}

void App::optNtscClick(int index) {
  ui_.setChecked(indexed("optNTSC", index), true);
  ui_.setChecked(indexed("optNTSC", 1 - index), false);
  writeSetting("OPTNTSC", index == 0 ? "0" : "1");
  if (index == 0) ui_.setText("lblVideoSettings", "Video ADV7171:");
  recentFileClick(0);
}

void App::optRgbClick(int index) {
  writeSetting("optRGB", index == 0 ? "True" : "False");
  ui_.setChecked(indexed("optRGB", index), true);
  ui_.setChecked(indexed("optRGB", 1 - index), false);
}

void App::buildSetupBlock() {
  if (dispatcher_.guarded()) return;
  try {
    showStatus("");
    if (!link_.valid()) return;
    if (!pf_.port.isOpen()) {
      pf_.dialogs.beep();
      showError("No Valid COM Port Selected", "Communication Error!");
      return;
    }
    ui_.setBusyCursor(true);
    setProgress(0);
    showProgress(true);
    setProgress(1);
    showStatus("Downloading Video Controller Data");
    video::fillSetupBlock(setupBlock, imageWidth, imageHeight, imageParams);
  } catch (const std::exception& e) {
    showError(e.what(), "DivUvOR");
    showProgress(false);
    ui_.setBusyCursor(false);
  }
}

}  // namespace osd

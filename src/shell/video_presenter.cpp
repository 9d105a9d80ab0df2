#include "shell/video_presenter.h"

#include <exception>

#include "common/textnum.h"
#include "transfer/video_data.h"

namespace osd {

namespace {
const char* kWriteWarning =
    "This action cannot be reversed without erasing the entire EEPROM.\r\n"
    " It is also possible to corrupt the current data settings. ";

const char* baseNameOf(VideoFile file) {
  switch (file) {
    case VideoFile::Ntsc:
      return "Video-NTSBData";
    case VideoFile::PalB:
      return "Video-PALBData";
    case VideoFile::PalM:
      return "Video-PALMData";
    case VideoFile::ImageControl:
      break;
  }
  return "Video-ImageData";
}
}  // namespace

VideoPresenter::VideoPresenter(VideoData& video, LogoSlots& logos, NodeChoices& choices,
                               Dispatcher& dispatcher, LinkService& link, StatusPresenter& status,
                               Dialogs& dialogs, Launcher& launcher, std::string dataDir,
                               Links links)
    : video_(video),
      logos_(logos),
      choices_(choices),
      dispatcher_(dispatcher),
      link_(link),
      status_(status),
      dialogs_(dialogs),
      launcher_(launcher),
      dataDir_(std::move(dataDir)),
      links_(std::move(links)) {}

void VideoPresenter::chooseStandard(bool pal) {
  choices_.choosePal(pal);
  showChoices();
  if (!pal) update()->videoSettings = "Video ADV7171:";
  if (links_.reloadRecent) links_.reloadRecent();
}

void VideoPresenter::chooseFormat(PixelFormat format) {
  choices_.chooseFormat(format);
  showChoices();
}

void VideoPresenter::restore() {
  choices_.restorePal();
  choices_.restoreFormat();
  showChoices();
}

void VideoPresenter::showChoices() {
  auto v = update();
  v->pal = choices_.pal();
  v->format = choices_.format();
}

void VideoPresenter::showParams(const video::ImageParams& params) {
  update()->imageSettings = video::imageSettingsText(params);
}

void VideoPresenter::imageLoaded(int width, int height) {
  video::ImageParams& params = video_.params();
  const bool fullPage = width == 256 && height == 255;
  params[5] = fullPage ? 0 : height / 2;
  params[6] = fullPage ? 0 : width / 4;
  std::string settings = "Image Parameters:";
  for (int i = 0; i <= 15; ++i) settings += " " + hex2(params[static_cast<size_t>(i)]);
  update()->imageSettings = settings;
}

void VideoPresenter::showControl(int value) {
  update()->imageSettings = "Control: 0" + hexUpper(value);
}

void VideoPresenter::editFile(VideoFile file) {
  try {
    const std::string path = video::findFile(imagesDir(), std::string(baseNameOf(file)) + ".dat");
    for (auto& candidate : launcher_.textEditors()) {
      std::vector<std::string> args(candidate.begin() + 1, candidate.end());
      args.push_back(path);
      if (launcher_.startProgram(candidate.front(), args)) return;
    }
    status_.error("No text editor found: set $VISUAL or install one", ErrorAt::EditFile);
  } catch (const std::exception& e) {
    status_.error(e.what(), ErrorAt::EditFile);
  }
}

void VideoPresenter::saveCurrentSettings() {
  try {
    if (!dialogs_.confirm(
            "Are you Sure?",
            std::string("This will write the Image control data to the EEPROM.") + kWriteWarning)) {
      return;
    }
    dispatcher_.saveSettings();
    video_.writeTable("Video-ImageData", video_.params().data());
  } catch (const std::exception& e) {
    status_.error(e.what(), ErrorAt::SaveSettings);
  }
}

void VideoPresenter::sendSetup() {
  if (!dialogs_.confirm("Are you Sure?",
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

void VideoPresenter::buildSetupBlock() {
  if (dispatcher_.guarded()) return;
  try {
    status_.status("");
    if (!link_.valid()) return;
    if (!link_.isOpen()) {
      dialogs_.beep();
      status_.error("No Valid COM Port Selected", ErrorAt::NoPortForDownload);
      return;
    }
    status_.busy(true);
    // Through the download's reporter: inside a download the bar stays the download's.
    Reporter& reporter = links_.reporter ? links_.reporter() : status_;
    reporter.progress(0);
    reporter.progressShown(true);
    reporter.progress(1);
    status_.status("Downloading Video Controller Data");
    video_.setupBlock(logos_.width, logos_.height);
  } catch (const std::exception& e) {
    status_.error(e.what(), ErrorAt::DownloadStream);
    status_.progressShown(false);
    status_.busy(false);
  }
}

}  // namespace osd

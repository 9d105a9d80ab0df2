// Placeholder bodies; each is replaced as its operations are built.
#include "shell/app.h"

namespace osd {

bool App::readVideoData() { return false; }
void App::writeDefaultVideoData() {}
void App::writeVideoDataFile(const std::string&, const int*) {}
void App::editVideoFileClick(const std::string&) {}
void App::saveCurrentSettingsClick() {}
void App::sendVideoSetupClick() {}
void App::optNtscClick(int) {}
void App::optRgbClick(int) {}
void App::buildSetupBlock() {}
std::string App::imagesDir() const { return pf_.dataDir + "/Images"; }

}  // namespace osd

// Placeholder bodies; each is replaced as its operations are built.
#include "shell/app.h"

namespace osd {

int App::readFile(std::string&) { return -1; }
void App::loadImageFile(const std::string&, const std::string&) {}
void App::openLogoFileClick() {}
void App::recentFileClick(int) {}
void App::encodeLogo(int, std::vector<int>&) {}
void App::writeLogoBitmap(const std::string&) {}
void App::upLoadLogoClick() {}
void App::savePicture(const std::string&) {}

}  // namespace osd

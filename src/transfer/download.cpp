// Placeholder bodies; each is replaced as its operations are built.
#include "shell/app.h"

namespace osd {

void App::downloadToRamClick() {}
void App::saveLogoInNvramClick() {}
void App::runDownload() {}
void App::wait(int) {}

}  // namespace osd

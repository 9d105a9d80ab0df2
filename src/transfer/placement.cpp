// Placeholder bodies; each is replaced as its operations are built.
#include "shell/app.h"

namespace osd {

void App::previewPress(int) {}
void App::previewMove(int, double, double) {}
void App::previewRelease(int) {}
void App::txtVposEdited() {}
void App::txtHposEdited() {}
void App::optLogoClick(int) {}
void App::logoSelMenuClick(int) {}
void App::zoomOffClick() {}
void App::zoomOnClick() {}

}  // namespace osd

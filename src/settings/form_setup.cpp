// Placeholder bodies; each is replaced as its operations are built.
#include "shell/app.h"

namespace osd {

void App::formSetUp() {}
void App::showModeClick(int) {}
void App::smpteClick() {}
void App::diagToolsClick() {}
void App::panelLockClick() {}
void App::scheduleViewClick() {}
void App::scheduleLockClick() {}
void App::scheduleOnOffClick() {}
void App::setModelClick(int) {}
void App::shutdown() {}

}  // namespace osd

// Placeholder bodies; each is replaced as its operations are built.
#include "shell/app.h"

namespace osd {

void App::determineValidPorts() {}
void App::startCom() {}
void App::comMenuClick(int) {}
void App::onPortEvent(int) {}
void App::reconnectTick() {}
void App::comInitTick() {}
void App::applyCommTimeouts() {}
void App::closeAtExit() {}

}  // namespace osd

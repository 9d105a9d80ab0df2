// Placeholder bodies; each is replaced as its operations are built.
#include "shell/app.h"

namespace osd {

void App::loadSchedule() {}
void App::scheduleTick() {}
void App::scanSchedule() {}
void App::editorTimerTick() {}

}  // namespace osd

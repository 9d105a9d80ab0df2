// Placeholder bodies; each is replaced as its operations are built.
#include "shell/app.h"

namespace osd {

void App::recvData() {}
void App::processData(const std::string&) {}
void App::tickDelay() {
  if (delayCountdown > 0) --delayCountdown;
  reportTick();
}
void App::tick10sec() {}
void App::setNodeMenusEnabled(bool) {}

}  // namespace osd

// Placeholder bodies; each is replaced as its operations are built.
#include "shell/app.h"

namespace osd {

void App::exitClick() {
  if (onExit) onExit();
}
void App::manualClick() {}
void App::paintClick() {}
void App::aboutClick() {}
void App::splashTick() {}
void App::aboutTimerTick() {}

}  // namespace osd

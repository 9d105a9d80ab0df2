// The settings store as the window uses it: the operations delegate to the preferences.
#include "shell/app.h"

namespace osd {

std::string App::readSetting(const std::string& key) {
  return bench_.prefs().read(key);
}

void App::writeSetting(const std::string& key, const std::string& value) {
  bench_.prefs().write(key, value);
}

}  // namespace osd

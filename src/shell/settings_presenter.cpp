// The settings store as the window uses it: the operations delegate to the preferences.
#include "shell/app.h"

namespace osd {

std::string App::readStoreValue(const std::string& path, const std::string& def) {
  return bench_.prefs().readPath(path, def);
}

void App::writeStoreValue(const std::string& path, const std::string& value) {
  bench_.prefs().writePath(path, value);
}

std::string App::readSetting(const std::string& key) {
  return bench_.prefs().read(key);
}

void App::writeSetting(const std::string& key, const std::string& value) {
  bench_.prefs().write(key, value);
}

}  // namespace osd

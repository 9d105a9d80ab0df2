// The settings store: value paths under the program's key, read and write with the
// create-on-missing-read rule. Failures are swallowed; nothing is shown to the operator.
#include "shell/app.h"

namespace osd {

namespace {
constexpr const char* kRoot = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\";

std::string settingPath(const std::string& appKey, const std::string& section,
                        const std::string& key) {
  std::string path = kRoot;
  if (!appKey.empty()) path += appKey + "\\";
  if (!section.empty()) path += section + "\\";
  return path + key;
}
}  // namespace

std::string App::readStoreValue(const std::string& path, const std::string& def) {
  std::optional<std::string> value;
  try {
    value = pf_.settings.read(path);
  } catch (...) {
    value.reset();
  }
  if (value) return *value;
  writeStoreValue(path, def);
  return def;
}

void App::writeStoreValue(const std::string& path, const std::string& value) {
  try {
    pf_.settings.write(path, value);
  } catch (...) {
    // Write failures are ignored; the in-memory state keeps the new value.
  }
}

std::string App::readSetting(const std::string& key) {
  return readStoreValue(settingPath(kAppKey, kSection, key), "0");
}

void App::writeSetting(const std::string& key, const std::string& value) {
  writeStoreValue(settingPath(kAppKey, kSection, key), value);
}

}  // namespace osd

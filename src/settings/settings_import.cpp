#include "settings/settings_import.h"

#include "settings/preferences.h"

namespace osd {

SettingsImport importSettings(SettingsBackend& store, bool fileExists, const std::string& appKey,
                              const std::string& section,
                              const std::map<std::string, std::string>& values) {
  SettingsImport result;
  if (fileExists || values.empty()) return result;
  result.ran = true;
  for (const auto& [key, value] : values) {
    // A name that would read as a path, a group or an assignment is no key of ours.
    const bool usable = !key.empty() && key.find_first_of("\\/=[]\r\n") == std::string::npos;
    if (usable && store.write(Preferences::path(appKey, section, key), value)) {
      ++result.taken;
    } else {
      ++result.failed;
    }
  }
  return result;
}

std::string importNote(const SettingsImport& import, const std::string& from,
                       const std::string& file) {
  if (!import.ran) return "";
  const auto count = [](int n) { return std::to_string(n) + (n == 1 ? " setting" : " settings"); };
  std::string note = "took " + count(import.taken) + " from " + from + " into " + file;
  if (import.failed > 0) note += "; " + count(import.failed) + " could not be taken";
  return note;
}

}  // namespace osd

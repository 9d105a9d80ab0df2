// Settings that an earlier installation kept in the Windows registry, taken into the settings
// file on the first start: only while that file does not exist yet, so it happens once and
// never overrides what the operator has set since.
#pragma once

#include <map>
#include <string>

#include "platform/seams.h"

namespace osd {

struct SettingsImport {
  bool ran = false;  // the file did not exist and there were values to take
  int taken = 0;     // values written to the file
  int failed = 0;    // values the file refused (and names that are no key)
};

// Writes `values` (key name -> value) as keys of `section` of `appKey` through `store`, when
// `fileExists` is false and `values` is not empty.
SettingsImport importSettings(SettingsBackend& store, bool fileExists, const std::string& appKey,
                              const std::string& section,
                              const std::map<std::string, std::string>& values);

// The one line that says what an import did ("" when it did not run); `from` names where the
// values came from and `file` the settings file.
std::string importNote(const SettingsImport& import, const std::string& from,
                       const std::string& file);

}  // namespace osd

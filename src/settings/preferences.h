// The operator's settings, typed, over the settings backend: every value is kept as text under
// "HKEY_LOCAL_MACHINE\SOFTWARE\Norvo\RA7_Vud\FormInit\KEY". A value missing when it is read is
// written with its default ("0"); failures of the backend are swallowed, so a setting that
// cannot be stored only lives for this run.
#pragma once

#include <string>

#include "platform/seams.h"
#include "settings/setting_keys.h"

namespace osd {

// The program's key in the settings store, and the section of its settings.
constexpr const char* kAppKey = "RA7_Vud";
constexpr const char* kSection = "FormInit";

class Preferences {
 public:
  explicit Preferences(SettingsBackend& backend) : backend_(backend) {}

  // A setting of the program's section, "0" (and created) when missing.
  std::string read(const Setting& setting);
  void write(const Setting& setting, const std::string& value);
  // As read, with the key's "0" replacement applied and written back.
  std::string readFixed(const Setting& setting);
  // A truth setting by the key's comparison rule.
  bool flag(SettingKey key);

  // Any value path under the store's root, with the create-on-missing-read rule.
  std::string readPath(const std::string& path, const std::string& def);
  void writePath(const std::string& path, const std::string& value);
  // The full path of a key: root, application key, section, key.
  static std::string path(const std::string& appKey, const std::string& section,
                          const std::string& key);

  // ---- Typed settings ----
  bool pal();         // "OPTNTSC" "1": the PAL video standard
  bool rgb();         // "optRGB": the RGB pixel format (else YCbCr)
  bool colorNode();   // "Color"
  int transparent();  // "Transparent", 0..255
  int model();        // "SX_Model" as stored (0 when unset)

 private:
  SettingsBackend& backend_;
};

}  // namespace osd

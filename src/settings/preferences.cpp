#include "settings/preferences.h"

#include "common/textnum.h"
#include "settings/setting_rules.h"

namespace osd {

namespace {
constexpr const char* kRoot = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\";
}  // namespace

std::string Preferences::path(const std::string& appKey, const std::string& section,
                              const std::string& key) {
  std::string p = kRoot;
  if (!appKey.empty()) p += appKey + "\\";
  if (!section.empty()) p += section + "\\";
  return p + key;
}

std::string Preferences::readPath(const std::string& p, const std::string& def) {
  std::optional<std::string> value;
  try {
    value = backend_.read(p);
  } catch (...) {
    value.reset();
  }
  if (value) return *value;
  writePath(p, def);
  return def;
}

void Preferences::writePath(const std::string& p, const std::string& value) {
  try {
    backend_.write(p, value);
  } catch (...) {
    // Write failures are ignored; the in-memory state keeps the new value.
  }
}

std::string Preferences::read(const std::string& key) {
  return readPath(path(kAppKey, kSection, key), "0");
}

void Preferences::write(const std::string& key, const std::string& value) {
  writePath(path(kAppKey, kSection, key), value);
}

std::string Preferences::readFixed(const std::string& key) {
  std::string value = read(key);
  const SettingRule rule = settingRule(key);
  if (rule.zeroFixUp != nullptr && trimBlanks(value) == "0") {
    value = rule.zeroFixUp;
    write(key, value);
  }
  return value;
}

bool Preferences::flag(const std::string& key) {
  const std::string value = readFixed(key);
  if (settingRule(key).truth == TruthRule::TrueUnlessFalse) return !textIsFalse(value);
  return textIsTrue(value);
}

bool Preferences::pal() {
  return trimBlanks(readFixed("OPTNTSC")) == "1";
}

bool Preferences::rgb() {
  return flag("optRGB");
}

bool Preferences::colorNode() {
  return flag("Color");
}

int Preferences::transparent() {
  return clampInt(leadingInt(readFixed("Transparent")), 0, 255);
}

int Preferences::model() {
  return leadingInt(trimBlanks(readFixed("SX_Model")));
}

}  // namespace osd

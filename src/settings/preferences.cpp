#include "settings/preferences.h"

#include "common/textnum.h"

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

std::string Preferences::read(const Setting& setting) {
  return readPath(path(kAppKey, kSection, setting.name()), "0");
}

void Preferences::write(const Setting& setting, const std::string& value) {
  writePath(path(kAppKey, kSection, setting.name()), value);
}

std::string Preferences::readFixed(const Setting& setting) {
  std::string value = read(setting);
  const char* fixUp = settingRow(setting.key).zeroFixUp;
  if (fixUp != nullptr && trimBlanks(value) == "0") {
    value = fixUp;
    write(setting, value);
  }
  return value;
}

bool Preferences::flag(SettingKey key) {
  const std::string value = readFixed(key);
  if (settingRow(key).truth == TruthRule::TrueUnlessFalse) return !textIsFalse(value);
  return textIsTrue(value);
}

bool Preferences::pal() {
  return trimBlanks(readFixed(SettingKey::Pal)) == "1";
}

bool Preferences::rgb() {
  return flag(SettingKey::Rgb);
}

bool Preferences::colorNode() {
  return flag(SettingKey::ColourNode);
}

int Preferences::transparent() {
  return clampInt(leadingInt(readFixed(SettingKey::Transparent)), 0, 255);
}

int Preferences::model() {
  return leadingInt(trimBlanks(readFixed(SettingKey::Model)));
}

}  // namespace osd

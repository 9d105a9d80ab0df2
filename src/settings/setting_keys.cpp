#include "settings/setting_keys.h"

#include <array>

#include "common/textnum.h"

namespace osd {

namespace {
using K = SettingKey;
using T = TruthRule;

// In the order of the enumeration.
constexpr std::array<SettingRow, 25> kSettings = {{
    {K::ComPort, "ComPort", false, T::NotATruth, nullptr},
    {K::LogoSelect, "LogoSelect", false, T::NotATruth, nullptr},
    {K::FileSelect, "FileSelect", true, T::NotATruth, nullptr},
    {K::BmpPath, "BMPpath", true, T::NotATruth, ""},
    {K::StartList, "S_Start", false, T::NotATruth, nullptr},
    {K::EndList, "S_End", false, T::NotATruth, nullptr},
    {K::OnTimeList, "S_ON", false, T::NotATruth, nullptr},
    {K::RepeatList, "S_OFF", false, T::NotATruth, nullptr},
    {K::LogoList, "S_Logo", false, T::NotATruth, nullptr},
    {K::DaysList, "S_Days", false, T::NotATruth, nullptr},
    {K::ShowIntensity, "ShowInt", false, T::TrueOnly, "False"},
    {K::ShowMix, "ShowMix", false, T::TrueOnly, nullptr},
    {K::ShowFade, "ShowFade", false, T::TrueOnly, nullptr},
    {K::ShowReply, "ShowReply", false, T::TrueOnly, nullptr},
    {K::Model, "SX_Model", false, T::NotATruth, nullptr},
    {K::DiagTools, "DiagTools", false, T::TrueOnly, nullptr},
    {K::ScheduleOn, "ScheduleOn", false, T::TrueOnly, nullptr},
    {K::ScheduleLocked, "Locked", false, T::TrueUnlessFalse, "False"},
    {K::PanelLock, "PanelLock", false, T::TrueUnlessFalse, "False"},
    {K::ColourNode, "Color", false, T::TrueUnlessFalse, "False"},
    {K::Transparent, "Transparent", false, T::NotATruth, "255"},
    {K::Pal, "OPTNTSC", false, T::NotATruth, nullptr},
    {K::Rgb, "optRGB", false, T::TrueUnlessFalse, "False"},
    {K::Smpte, "SMPTE", false, T::TrueOnly, nullptr},
    {K::AutoScan, "AutoScan", false, T::NotATruth, nullptr},
}};

constexpr bool inEnumOrder() {
  for (size_t i = 0; i < kSettings.size(); ++i) {
    if (static_cast<size_t>(kSettings[i].key) != i) return false;
  }
  return true;
}
static_assert(inEnumOrder(), "the settings table follows the enumeration");
}  // namespace

const SettingRow& settingRow(SettingKey key) {
  return kSettings[static_cast<size_t>(key)];
}

std::string Setting::name() const {
  const SettingRow& row = settingRow(key);
  return row.numbered ? row.name + std::to_string(number) : row.name;
}

bool textIsTrue(std::string_view text) {
  return toUpper(trimBlanks(text)) == "TRUE";
}

bool textIsFalse(std::string_view text) {
  return toUpper(trimBlanks(text)) == "FALSE";
}

}  // namespace osd

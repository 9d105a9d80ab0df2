#include "settings/setting_rules.h"

#include "common/textnum.h"

namespace osd {

namespace {
struct KeyRule {
  const char* key;
  SettingRule rule;
};

constexpr KeyRule kRules[] = {
    {"ShowInt", {TruthRule::TrueOnly, "False"}},
    {"ShowMix", {TruthRule::TrueOnly, nullptr}},
    {"ShowFade", {TruthRule::TrueOnly, nullptr}},
    {"ShowReply", {TruthRule::TrueOnly, nullptr}},
    {"DiagTools", {TruthRule::TrueOnly, nullptr}},
    {"ScheduleOn", {TruthRule::TrueOnly, nullptr}},
    {"SMPTE", {TruthRule::TrueOnly, nullptr}},
    {"Locked", {TruthRule::TrueUnlessFalse, "False"}},
    {"PanelLock", {TruthRule::TrueUnlessFalse, "False"}},
    {"Color", {TruthRule::TrueUnlessFalse, "False"}},
    {"optRGB", {TruthRule::TrueUnlessFalse, "False"}},
    {"Transparent", {TruthRule::NotATruth, "255"}},
};
}  // namespace

SettingRule settingRule(std::string_view key) {
  if (key.substr(0, 7) == "BMPpath") return {TruthRule::NotATruth, ""};
  for (const KeyRule& r : kRules) {
    if (key == r.key) return r.rule;
  }
  return {};
}

bool textIsTrue(std::string_view text) {
  return toUpper(trimBlanks(text)) == "TRUE";
}

bool textIsFalse(std::string_view text) {
  return toUpper(trimBlanks(text)) == "FALSE";
}

}  // namespace osd

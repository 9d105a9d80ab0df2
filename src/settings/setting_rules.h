// How each stored setting is read back: which truth comparison a key uses, and which keys
// have a stored "0" (also what a missing key reads as) replaced by a proper value that is
// written back. Every read at start-up goes through here so the rules live in one place.
#pragma once

#include <string>
#include <string_view>

namespace osd {

enum class TruthRule {
  TrueOnly,         // true only if the trimmed, upper-cased text is "TRUE"
  TrueUnlessFalse,  // true unless the trimmed, upper-cased text is "FALSE"
  NotATruth,        // numbers, lists and paths
};

struct SettingRule {
  TruthRule truth = TruthRule::NotATruth;
  // Replacement for a stored "0", written back; nullptr when "0" stays as it is.
  const char* zeroFixUp = nullptr;
};

// The rule of a key ("BMPpath7" follows the "BMPpath" rule); keys without a rule of their
// own read as stored.
SettingRule settingRule(std::string_view key);

// "TRUE" / "FALSE" comparisons on the trimmed, upper-cased text.
bool textIsTrue(std::string_view text);
bool textIsFalse(std::string_view text);

// "True" or "False", the way truth values are written.
inline const char* truthText(bool value) {
  return value ? "True" : "False";
}

}  // namespace osd

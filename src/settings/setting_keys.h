// Every setting the program stores, in one table: the key's name in the settings section
// (kSection of the application key kAppKey, preferences.h), how its stored text reads as a
// truth, and what a stored "0" (also what a missing key reads as) is replaced by and written
// back. The program names a setting by its `SettingKey`; only this table spells the names.
#pragma once

#include <string>
#include <string_view>

namespace osd {

enum class SettingKey {
  ComPort,     // " 3": the serial port chosen last
  LogoSelect,  // the logo slot selected last
  FileSelect,  // numbered 1..8: the recent-file list
  BmpPath,     // numbered by slot: the file last loaded into the slot
  StartList,   // the schedule's six lists of twenty (schedule_model.h)
  EndList,
  OnTimeList,
  RepeatList,
  LogoList,
  DaysList,
  ShowIntensity,
  ShowMix,
  ShowFade,
  ShowReply,
  Model,  // the logo-generator model
  DiagTools,
  ScheduleOn,
  ScheduleLocked,
  PanelLock,
  ColourNode,
  Transparent,
  Pal,  // the video standard: "1" for PAL
  Rgb,  // the pixel format: RGB unless "False"
  Smpte,
  AutoScan,  // "1" or "0": the schedule editor's automatic conflict scan
};

enum class TruthRule {
  TrueOnly,         // true only if the trimmed, upper-cased text is "TRUE"
  TrueUnlessFalse,  // true unless the trimmed, upper-cased text is "FALSE"
  NotATruth,        // numbers, lists and paths
};

struct SettingRow {
  SettingKey key;
  const char* name;  // the stored name; a numbered key's number follows it ("BMPpath7")
  bool numbered;
  TruthRule truth;
  // Replacement for a stored "0", written back; nullptr when "0" stays as it is.
  const char* zeroFixUp;
};

// The table row of a key.
const SettingRow& settingRow(SettingKey key);

// A setting as stored: a key of the table and, for a numbered key, its number.
struct Setting {
  Setting(SettingKey key) : key(key) {}  // NOLINT(google-explicit-constructor): a key names one
  Setting(SettingKey key, int number) : key(key), number(number) {}
  SettingKey key;
  int number = 0;
  // "optRGB", "FileSelect3".
  std::string name() const;
};

// "TRUE" / "FALSE" comparisons on the trimmed, upper-cased text.
bool textIsTrue(std::string_view text);
bool textIsFalse(std::string_view text);

// "True" or "False", the way truth values are written.
inline const char* truthText(bool value) {
  return value ? "True" : "False";
}

}  // namespace osd

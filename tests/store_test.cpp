// The settings store's path scheme and create-on-missing-read rule.
#include <gtest/gtest.h>

#include "settings/preferences.h"
#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

TEST(StoreTest, PathsAreBuiltUnderTheProgramsKey) {
  Harness h;
  const std::string norvo = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\";
  h.app->bench().prefs().write(SettingKey::StartList, "-1,");
  EXPECT_EQ(h.settings.values.count(norvo + "RA7_Vud\\FormInit\\S_Start"), 1u);
  EXPECT_EQ(h.app->bench().prefs().readPath(norvo + "Other", "dflt"), "dflt");
  EXPECT_EQ(h.settings.values.at(norvo + "Other"), "dflt");
}

namespace {
struct ThrowingSettings : SettingsBackend {
  std::optional<std::string> read(const std::string&) override { throw std::runtime_error("io"); }
  bool write(const std::string&, const std::string&) override { throw std::runtime_error("io"); }
};
}  // namespace

TEST(StoreTest, BackendFailuresAreSwallowed) {
  Harness h;
  ThrowingSettings bad;
  Platform pf{h.port, h.loop, bad, h.dialogs, h.launcher, h.dir, h.dir};
  App app(pf);
  EXPECT_EQ(app.bench().prefs().read(SettingKey::ScheduleLocked), "0");
  EXPECT_NO_THROW(app.bench().prefs().write(SettingKey::ScheduleLocked, "True"));
  EXPECT_FALSE(app.statusLine().view().errorShown);
}

// A stored text as yes or no: most flags are yes only for "True"; the lock, panel lock, colour
// and RGB flags for anything but "False"; a "0" of the lock stands for "False".
TEST(StoreTest, FlagsReadByTheirKeysRule) {
  MemorySettings store;
  Preferences prefs(store);
  using K = SettingKey;
  const std::tuple<SettingKey, const char*, bool> cases[] = {{K::ShowIntensity, " true ", true},
                                                             {K::ShowIntensity, "1", false},
                                                             {K::Smpte, "yes", false},
                                                             {K::ScheduleLocked, "1", true},
                                                             {K::ScheduleLocked, " FALSE", false},
                                                             {K::ScheduleLocked, "0", false},
                                                             {K::PanelLock, "yes", true},
                                                             {K::ColourNode, "", true},
                                                             {K::Rgb, "x", true}};
  for (const auto& [key, text, yes] : cases) {
    prefs.write(key, text);
    EXPECT_EQ(prefs.flag(key), yes) << Setting(key).name() << "=" << text;
  }
}

// Each key's stored name, and what a missing key leaves stored once read: "0", or the key's
// own replacement.
TEST(StoreTest, KeyTableNamesEachKeyAndWhatAMissingKeyBecomes) {
  using K = SettingKey;
  // clang-format off
  const std::tuple<Setting, const char*, const char*> rows[] = {
      {K::ComPort, "ComPort", "0"}, {K::LogoSelect, "LogoSelect", "0"}, {{K::FileSelect, 8}, "FileSelect8", "0"}, {{K::BmpPath, 12}, "BMPpath12", ""},
      {K::StartList, "S_Start", "0"}, {K::EndList, "S_End", "0"}, {K::OnTimeList, "S_ON", "0"}, {K::RepeatList, "S_OFF", "0"},
      {K::LogoList, "S_Logo", "0"}, {K::DaysList, "S_Days", "0"}, {K::ShowIntensity, "ShowInt", "False"}, {K::ShowMix, "ShowMix", "0"},
      {K::ShowFade, "ShowFade", "0"}, {K::ShowReply, "ShowReply", "0"}, {K::Model, "SX_Model", "0"}, {K::DiagTools, "DiagTools", "0"},
      {K::ScheduleOn, "ScheduleOn", "0"}, {K::ScheduleLocked, "Locked", "False"}, {K::PanelLock, "PanelLock", "False"}, {K::ColourNode, "Color", "False"},
      {K::Transparent, "Transparent", "255"}, {K::Pal, "OPTNTSC", "0"}, {K::Rgb, "optRGB", "False"}, {K::Smpte, "SMPTE", "0"},
      {K::AutoScan, "AutoScan", "0"}};
  // clang-format on
  for (const auto& [setting, name, stored] : rows) {
    MemorySettings store;
    Preferences prefs(store);
    EXPECT_EQ(prefs.readFixed(setting), stored) << name;
    EXPECT_EQ(store.get(name), std::optional<std::string>(stored)) << name;
  }
}

// Settings an earlier installation kept in the registry, taken into a new settings file once.
#include "settings/settings_import.h"

#include <gtest/gtest.h>

#include "settings/ini_settings.h"
#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

TEST(SettingsImport, OnlyANewFileTakesTheValuesAndTheNoteSaysWhatHappened) {
  const std::map<std::string, std::string> registry = {
      {"ComPort", "3"}, {"BMPpath1", "C:\\Logos\\a b.bmp"}, {"Bad\\Name", "x"}, {"", "y"}};
  // clang-format off
  const struct {
    const char* name; bool fileExists; std::map<std::string, std::string> values; bool refusing;
    SettingsImport want; const char* note;
  } rows[] = {
      {"new file", false, registry, false, {true, 2, 2}, "took 2 settings from R into F; 2 settings could not be taken"},
      {"file exists", true, registry, false, {false, 0, 0}, ""},
      {"nothing kept", false, {}, false, {false, 0, 0}, ""},
      {"store refuses", false, {{"ComPort", "3"}}, true, {true, 0, 1}, "took 0 settings from R into F; 1 setting could not be taken"},
      {"one value", false, {{"ComPort", "3"}}, false, {true, 1, 0}, "took 1 setting from R into F"}};
  // clang-format on
  for (const auto& row : rows) {
    MemorySettings store;
    store.refuseWrites = row.refusing;
    const SettingsImport got = importSettings(store, row.fileExists, kAppKey, kSection, row.values);
    EXPECT_EQ(std::tuple(got.ran, got.taken, got.failed, store.writes, importNote(got, "R", "F")),
              std::tuple(row.want.ran, row.want.taken, row.want.failed, row.want.taken,
                         std::string(row.note)))
        << row.name;
  }
}

TEST(SettingsImport, TheValuesLandInTheSettingsSectionOfTheFile) {
  const ScratchDir dir;
  const std::string file = dir.path + "/RA7_Vud.ini";
  IniSettings ini(file, kAppKey);
  const SettingsImport got = importSettings(ini, false, kAppKey, kSection,
                                            {{"ComPort", "3"}, {"BMPpath1", "C:\\Logos\\a;b.bmp"}});
  EXPECT_EQ(got.taken, 2);
  EXPECT_EQ(ini.read("HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\RA7_Vud\\FormInit\\BMPpath1"),
            std::optional<std::string>("C:\\Logos\\a;b.bmp"));
  EXPECT_EQ(readFileBytes(file).rfind("[FormInit]\nBMPpath1=", 0), 0u);
}

}  // namespace

// The settings store's path scheme and create-on-missing-read rule.
#include <gtest/gtest.h>

#include "settings/preferences.h"
#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

TEST(StoreTest, PathsAreBuiltUnderTheProgramsKey) {
  Harness h;
  const std::string norvo = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\";
  h.app->writeSetting("S_Start", "-1,");
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
  EXPECT_EQ(app.readSetting("Locked"), "0");
  EXPECT_NO_THROW(app.writeSetting("Locked", "True"));
  EXPECT_FALSE(app.statusLine().view().errorShown);
}

// A stored text as yes or no: most flags are yes only for "True"; the lock, panel lock, colour
// and RGB flags for anything but "False"; a "0" of the lock stands for "False".
TEST(StoreTest, FlagsReadByTheirKeysRule) {
  MemorySettings store;
  Preferences prefs(store);
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"ShowInt", " true ", true}, {"ShowInt", "1", false},     {"SMPTE", "yes", false},
      {"Locked", "1", true},       {"Locked", " FALSE", false}, {"Locked", "0", false},
      {"PanelLock", "yes", true},  {"Color", "", true},         {"optRGB", "x", true}};
  for (const auto& [key, text, yes] : cases) {
    prefs.write(key, text);
    EXPECT_EQ(prefs.flag(key), yes) << key << "=" << text;
  }
}

// Faults the program must survive at start-up: settings files that are empty, garbled, not a
// file at all or below a plain file give the defaults, and nothing readable is lost.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "settings/ini_settings.h"
#include "support/fakes.h"

using namespace osd;
using namespace osd::test;
namespace fs = std::filesystem;

TEST(BadSettingsFile, EmptyGarbledUnreadableOrUnreachableFilesStartWithDefaults) {
  Harness h;
  writeFile(h.dir + "/empty.ini", "");
  writeFile(h.dir + "/garbled.ini",
            std::string("\xff\xfe\0[[[\r\n=\n", 10) + "[FormInit]\nTransparent=17\n");
  fs::create_directory(h.dir + "/folder.ini");  // exists, but cannot be read as a file
  writeFile(h.dir + "/plain", "x");
  const std::pair<const char*, int> cases[] = {
      {"/empty.ini", 255}, {"/garbled.ini", 17}, {"/folder.ini", 255}, {"/plain/a.ini", 255}};
  for (auto [name, transparent] : cases) {
    IniSettings ini(h.dir + name, kAppKey);
    Platform platform{h.port, h.loop, ini, h.dialogs, h.launcher, h.dir, h.dir};
    App app(platform);
    app.formSetUp();
    EXPECT_EQ(app.choices().transparent(), transparent) << name;
    EXPECT_FALSE(app.menus().view().showIntensity || app.schedule().view().locked) << name;
  }
  EXPECT_TRUE(fs::is_directory(h.dir + "/folder.ini") && readFileBytes(h.dir + "/plain") == "x");
  EXPECT_NE(readFileBytes(h.dir + "/garbled.ini").find("[[["), std::string::npos);
}

// The settings file on arbitrary content: the INI reader, value quoting, a write into the
// file as found (nothing readable may be lost), and the window's restore from the settings
// (the read rules with their "0" fix-ups, the schedule lists, the show modes ...).
//
// Input: the whole INI file. The key written is chosen by the first byte, its value is the
// first line (at most 40 bytes).
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "settings/ini_settings.h"
#include "settings/setting_keys.h"
#include "shell/app.h"
#include "support/fakes.h"

using namespace osd;

namespace {

const char* const kKeys[] = {"ShowInt",     "ShowMix",    "ShowFade",   "ShowReply", "SX_Model",
                             "DiagTools",   "ScheduleOn", "Locked",     "PanelLock", "Color",
                             "Transparent", "OPTNTSC",    "optRGB",     "SMPTE",     "ComPort",
                             "AutoScan",    "FileSelect", "LogoSelect", "BMPpath1",  "S_Start",
                             "S_End",       "S_ON",       "S_OFF",      "S_Logo",    "S_Days"};
constexpr size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

std::string path(const char* key) {
  return std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\RA7_Vud\\FormInit\\") + key;
}

std::string workDir() {
  static const std::string dir = [] {
    const std::string d = fuzzWorkDir("settings");
    std::filesystem::create_directories(d + "/Images");
    return d;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string content(reinterpret_cast<const char*>(data), size);
  const std::string dir = workDir();
  const std::string file = dir + "/RA7_Vud.ini";
  test::writeFile(file, content);

  // Quoting: any value written comes back as it was.
  FUZZ_CHECK(IniSettings::unquote(IniSettings::quote(content)) == content);

  IniSettings ini(file, kAppKey);
  std::optional<std::string> before[kKeyCount];
  for (size_t k = 0; k < kKeyCount; ++k) before[k] = ini.read(path(kKeys[k]));

  // A write keeps every other key readable as it was, and the written value reads back.
  const size_t which = size > 0 ? data[0] % kKeyCount : 0;
  std::string value = content.substr(0, std::min<size_t>(40, content.find('\n')));
  FUZZ_CHECK(ini.write(path(kKeys[which]), value));
  FUZZ_CHECK(ini.read(path(kKeys[which])) == value);
  for (size_t k = 0; k < kKeyCount; ++k) {
    if (k != which) FUZZ_CHECK(ini.read(path(kKeys[k])) == before[k]);
  }

  // The window restored from the file as it was found.
  test::writeFile(file, content);
  test::VirtualLoop loop;
  test::FakePort port;
  test::ScriptedDialogs dialogs;
  test::FakeLauncher launcher;
  Platform platform{port, loop, ini, dialogs, launcher, dir, dir};
  {
    App app(platform);
    app.formSetUp();
    FUZZ_CHECK(app.choices().transparent() >= 0 && app.choices().transparent() <= 255);
    for (const SettingKey key : {SettingKey::ShowIntensity, SettingKey::ScheduleLocked,
                                 SettingKey::ColourNode, SettingKey::Rgb, SettingKey::ScheduleOn}) {
      const bool flag = app.bench().prefs().flag(key);
      const std::string text = ini.read(path(Setting(key).name().c_str())).value_or("0");
      if (textIsTrue(text)) FUZZ_CHECK(flag);
      if (textIsFalse(text)) FUZZ_CHECK(!flag);
    }
  }
  return 0;
}

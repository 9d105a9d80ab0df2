#include "settings/node_choices.h"

#include <algorithm>

#include "common/logo_models.h"

namespace osd {

void NodeChoices::chooseFormat(PixelFormat format) {
  format_ = format;
  prefs_.write(SettingKey::Rgb, truthText(format == PixelFormat::Rgb));
}

void NodeChoices::choosePal(bool pal) {
  pal_ = pal;
  prefs_.write(SettingKey::Pal, pal ? "1" : "0");
}

int NodeChoices::restoreModel() {
  const int stored = prefs_.model();
  if (stored == 0) {
    model_ = 1;
  } else if (isLogoModel(stored)) {
    model_ = stored;
  }
  return stored;
}

void NodeChoices::chooseModel(int menuValue) {
  if (menuValue == 0 || isLogoModel(menuValue)) {
    model_ = menuValue == 0 ? 1 : menuValue;
    prefs_.write(SettingKey::Model, std::to_string(menuValue));
  } else {
    model_ = 1;
    prefs_.write(SettingKey::Model, "1");
  }
}

void NodeChoices::chooseTransparent(int value) {
  transparent_ = std::clamp(value, 0, 255);
  prefs_.write(SettingKey::Transparent, std::to_string(transparent_));
}

void NodeChoices::choosePanelLock(bool on) {
  panelLock_ = on;
  prefs_.write(SettingKey::PanelLock, truthText(on));
}

}  // namespace osd

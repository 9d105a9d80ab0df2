#include "settings/node_choices.h"

#include <algorithm>

#include "common/logo_models.h"
#include "settings/setting_rules.h"

namespace osd {

void NodeChoices::chooseFormat(PixelFormat format) {
  format_ = format;
  prefs_.write("optRGB", truthText(format == PixelFormat::Rgb));
}

void NodeChoices::choosePal(bool pal) {
  pal_ = pal;
  prefs_.write("OPTNTSC", pal ? "1" : "0");
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
    prefs_.write("SX_Model", std::to_string(menuValue));
  } else {
    model_ = 1;
    prefs_.write("SX_Model", "1");
  }
}

void NodeChoices::chooseTransparent(int value) {
  transparent_ = std::clamp(value, 0, 255);
  prefs_.write("Transparent", std::to_string(transparent_));
}

void NodeChoices::choosePanelLock(bool on) {
  panelLock_ = on;
  prefs_.write("PanelLock", truthText(on));
}

}  // namespace osd

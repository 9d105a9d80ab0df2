// What the operator has chosen about the node for this run: the pixel format, the video
// standard, the node ID addressed, the logo-generator model, whether the node is a colour
// node, the transparency value and the front-panel lock. Each is restored from its setting by
// the preferences' own rule and, where the operator changes it, written back through them.
#pragma once

#include <optional>
#include <string>

#include "common/pixel_format.h"
#include "settings/preferences.h"

namespace osd {

class NodeChoices {
 public:
  static constexpr int kOpaque = 255;  // the transparency value that keys nothing out

  explicit NodeChoices(Preferences& prefs) : prefs_(prefs) {}

  // None until the operator or the settings chose one: nothing is encoded then.
  std::optional<PixelFormat> format() const { return format_; }
  void chooseFormat(PixelFormat format);  // also stored ("optRGB")
  void restoreFormat() { chooseFormat(prefs_.rgb() ? PixelFormat::Rgb : PixelFormat::YCbCr); }

  bool pal() const { return pal_; }
  void choosePal(bool pal);  // also stored ("OPTNTSC")
  void restorePal() { pal_ = prefs_.pal(); }

  // The node field's text, as typed ("1" at start).
  const std::string& nodeId() const { return nodeId_; }
  void setNodeId(const std::string& text) { nodeId_ = text; }

  // 0 until known. A model above 1 puts several logo slots in the operator's hands.
  int model() const { return model_; }
  void setModel(int model) { model_ = model; }
  bool severalSlots() const { return model_ > 1; }
  // The stored model: unset (0) gives model 1, a known model is taken, anything else leaves
  // the model as it is. Returns the stored number.
  int restoreModel();
  // The model menu: 0 ("AutoSelect") and 1 give model 1, a known model is taken, anything
  // else is stored as 1. The menu's own number is stored.
  void chooseModel(int menuValue);

  bool colourNode() const { return colourNode_; }
  void setColourNode(bool on) { colourNode_ = on; }
  void restoreColourNode() { colourNode_ = prefs_.colorNode(); }

  int transparent() const { return transparent_; }
  void chooseTransparent(int value);  // limited to 0..255, also stored ("Transparent")
  void restoreTransparent() { transparent_ = prefs_.transparent(); }

  bool panelLock() const { return panelLock_; }
  void choosePanelLock(bool on);  // also stored ("PanelLock")
  void restorePanelLock() { panelLock_ = prefs_.flag(SettingKey::PanelLock); }

 private:
  Preferences& prefs_;
  std::optional<PixelFormat> format_;
  bool pal_ = false;
  std::string nodeId_ = "1";
  int model_ = 0;
  bool colourNode_ = false;
  int transparent_ = kOpaque;
  bool panelLock_ = false;
};

}  // namespace osd

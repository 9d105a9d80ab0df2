// Logo placement: dragging the slot preview inside the screen frame, typed positions, the
// slot choice (options and the "&OSD" menu) and the two zoom commands.
#include <cctype>
#include <exception>
#include <limits>
#include <string>
#include <utility>

#include "common/textnum.h"
#include "shell/app.h"
#include "transfer/video_data.h"

namespace osd {

namespace {

// Frame geometry in twips: the drag maps left 60..5660 and top 240..4080 onto 0..100 %.
constexpr int kMinLeft = 60, kMaxLeft = 5650;
constexpr int kMinTop = 240, kMaxTop = 4080;

// Whether the whole text reads as one number: blanks around it, an optional sign, digits
// with an optional fraction and exponent, or "&H"/"&O" digits.
bool isNumericText(const std::string& raw) {
  const std::string text = trimSpace(raw);
  size_t i = 0;
  const size_t n = text.size();
  if (n == 0) return false;
  if (n >= 2 && text[0] == '&') {
    const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(text[1])));
    if (kind != 'H' && kind != 'O') return false;
    if (n == 2) return false;
    for (i = 2; i < n; ++i) {
      const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
      const bool ok =
          kind == 'H' ? std::isxdigit(static_cast<unsigned char>(c)) != 0 : (c >= '0' && c <= '7');
      if (!ok) return false;
    }
    return true;
  }
  if (text[i] == '+' || text[i] == '-') ++i;
  while (i < n && text[i] == ' ') ++i;
  bool digits = false;
  while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  }
  if (!digits) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    bool expDigits = false;
    while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, expDigits = true;
    if (!expDigits) return false;
  }
  return i == n;
}

// The typed percentage: the number taken to a 16-bit integer, then limited to 0..100.
// A number beyond the 16-bit range is a failure.
int typedPercent(const std::string& text) {
  const long long v = roundHalfEven(leadingNumber(text));
  if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max()) {
    throw Failure("Overflow", 6);
  }
  return clampInt(v, 0, 100);
}

}  // namespace

void App::previewPress(int slot) {
  if (slot != selectedSlot) return;
  dragging = true;
  pressX = lastX;
  pressY = lastY;
  originCaptured = false;
}

void App::previewRelease(int) {
  dragging = false;
  originCaptured = false;
  moveBusy = false;
}

void App::previewMove(int slot, double px, double py) {
  if (moveBusy) return;
  const int x = static_cast<int>(roundHalfEven(px));
  const int y = static_cast<int>(roundHalfEven(py));
  if (slot != selectedSlot) return;
  const std::string pic = indexed("picPicture2", slot);
  if (!originCaptured) {
    originCaptured = true;
    previewLeft = ui_.get(pic).left;
    previewTop = ui_.get(pic).top;
  }
  if (moveThrottle > 0) return;
  moveThrottle = 1;
  if (dragging && !choices_.panelLock()) {
    moveBusy = true;
    try {
      previewLeft = static_cast<int>(roundHalfEven((x - pressX) / 4.0 + previewLeft));
      previewTop = static_cast<int>(roundHalfEven((y - pressY) / 4.0 + previewTop));
      previewTop = clampInt(previewTop, kMinTop, kMaxTop);
      previewLeft = clampInt(previewLeft, kMinLeft, kMaxLeft);
      ui_.setTop(pic, previewTop);
      ui_.setLeft(pic, previewLeft);
      const PlacementMove m = bench_.placement().placeAt(
          slot, (previewLeft - kMinLeft) * 100.0 / Placement::kStepsAcross,
          (previewTop - kMinTop) * 100.0 / Placement::kStepsDown, choices_.pal());
      ui_.setText("txtHPOS", std::to_string(m.hPercent));
      ui_.setText("txtVPOS", std::to_string(m.vPercent));
      dispatcher_.verticalPosition(m.vCode);
      dispatcher_.horizontalPosition(m.hCode);
      if (!downloading) dispatcher_.send(m.packet);
      ui_.setText("lblStartPosn", "H= " + rightChars("   " + std::to_string(m.startH), 4) +
                                      "    V= " + rightChars("   " + std::to_string(m.startV), 4));
      ui_.setText("lblImageSettings", video::imageSettingsText(imageParams));
    } catch (...) {
      moveBusy = false;
      throw;
    }
  }
  lastX = x;
  lastY = y;
  moveBusy = false;
}

void App::txtVposEdited() {
  positionTyped("txtVPOS", "Allowable Range 4 to 55", [this](int p) {
    sendPosition(Command::VerticalPosition, Placement::verticalCode(p));
    ui_.setTop(indexed("picPicture2", selectedSlot),
               static_cast<int>(roundHalfEven(p / 100.0 * 2880)) + 240);
  });
}

void App::txtHposEdited() {
  positionTyped("txtHPOS", "Allowable Range 34 to 154  ", [this](int p) {
    sendPosition(Command::HorizontalPosition, Placement::horizontalCode(p));
    ui_.setLeft(indexed("picPicture2", selectedSlot),
                static_cast<int>(static_cast<long long>(p * 4020 / 100) + 60));
  });
}

// A live logo must not jump: a position the node was given last is not sent again.
void App::sendPosition(Command command, int code) {
  const bool across = command == Command::HorizontalPosition;
  if (lastPositionSent_[across ? 1 : 0] == (across ? "AHP" : "AVP") + hex2(code)) return;
  if (across) {
    dispatcher_.horizontalPosition(code);
  } else {
    dispatcher_.verticalPosition(code);
  }
}

void App::positionKeyed(const std::string& field, const std::string& text) {
  ui_.setText(field, text);
  positionPending_[field == "txtHPOS" ? 1 : 0] = true;
  positionRest_ = kPositionRestTicks;
}

void App::commitPosition(const std::string& field) {
  const bool across = field == "txtHPOS";
  if (!across && field != "txtVPOS") return;
  if (!std::exchange(positionPending_[across ? 1 : 0], false)) return;
  if (across) {
    txtHposEdited();
  } else {
    txtVposEdited();
  }
}

void App::positionRestTick() {
  if (positionRest_ <= 0 || --positionRest_ > 0) return;
  commitPosition("txtHPOS");
  commitPosition("txtVPOS");
}

void App::positionSent(const std::string& text) {
  if (!link_.isOpen()) return;
  if (text.size() == 5 && (text.rfind("AHP", 0) == 0 || text.rfind("AVP", 0) == 0)) {
    lastPositionSent_[text[1] == 'H' ? 1 : 0] = text;
  }
}

// A position typed in percent into `field`: the field shows the whole percent, `apply` tells
// the node and moves the preview. Text that is no number beeps and, unless empty, is refused
// with `rangeMessage`. The field is disabled while the front panel is locked.
void App::positionTyped(const char* field, const char* rangeMessage,
                        const std::function<void(int percent)>& apply) {
  if (choices_.panelLock()) return;
  try {
    const std::string text = ui_.text(field);
    if (isNumericText(text)) {
      const int p = typedPercent(text);
      ui_.setText(field, std::to_string(p));
      apply(p);
    } else {
      pf_.dialogs.beep();
      if (!text.empty()) {
        status_.error(rangeMessage, field);
        ui_.setText(field, "0");
      }
    }
  } catch (const std::exception& e) {
    status_.error(e.what(), field);
  }
}

void App::optLogoClick(int slot) {
  if (slot == 0 || slot > choices_.model() || slot == lastSlot) return;
  try {
    const int menuCount = choices_.model() < 15 ? choices_.model() : 15;
    for (int k = 1; k <= menuCount; ++k) ui_.setChecked(indexed("mnuLogoSel", k), false);
    if (lastSlot == 0) lastSlot = 1;
    ui_.setChecked(indexed("mnuLogoSel", lastSlot), false);
    ui_.setChecked(indexed("mnuLogoSel", slot), true);
    // The options form one group: choosing one clears the others.
    for (int k = 0; k <= 15; ++k) ui_.setChecked(indexed("optLOGO", k), k == slot);
    ui_.setVisible(indexed("picPicture2", slot), ui_.visible(indexed("picPicture2", lastSlot)));
    ui_.setVisible(indexed("picPicture2", lastSlot), false);
    lastSlot = slot;
    selectedSlot = slot;
    if (!dispatcher_.guarded()) {
      dispatcher_.selectLogo(slot);
      writeSetting("LogoSelect", std::to_string(slot));
      std::string file = slotFile[static_cast<size_t>(slot)];
      if (!file.empty()) {
        dispatcher_.setGuard(true);
        try {
          readFile(file);
        } catch (...) {
          dispatcher_.setGuard(false);
          throw;
        }
        dispatcher_.setGuard(false);
      }
    }
    const int bankFirst = slot <= 4 ? 1 : slot <= 8 ? 5 : slot <= 12 ? 9 : 13;
    const int bankLast = bankFirst + 3;
    for (int k = 1; k <= 15; ++k) {
      if (k < bankFirst || k > bankLast || k > choices_.model()) {
        ui_.setVisible(indexed("optLOGO", k), false);
        ui_.setVisible(indexed("Shape1", k), false);
        ui_.setVisible(indexed("lblLogoName", k), false);
      } else {
        ui_.setVisible(indexed("lblLogoName", k), true);
      }
    }
    showSlotOptions();
  } catch (const std::exception& e) {
    status_.error(std::string(e.what()) + " #" + std::to_string(slot), "optLOGO_Click");
  }
}

void App::showSlotOptions() {
  const int offered = choices_.model() < 1 ? 1 : choices_.model();
  int slot = selectedSlot >= 1 && selectedSlot <= 15 ? selectedSlot : 1;
  if (slot > offered) slot = offered > 15 ? 15 : offered;
  const int bankFirst = slot <= 4 ? 1 : slot <= 8 ? 5 : slot <= 12 ? 9 : 13;
  for (int k = 1; k <= 15; ++k) {
    ui_.setVisible(indexed("optLOGO", k), k >= bankFirst && k <= bankFirst + 3 && k <= offered);
  }
}

void App::logoSelMenuClick(int slot) {
  try {
    optLogoClick(slot);
  } catch (const std::exception& e) {
    status_.error(e.what(), "mnuLogoSel_Click");
  }
}

void App::zoomOffClick() {
  try {
    ui_.setVisible(indexed("picPicture2", selectedSlot), true);
    ui_.setVisible("picPicture1", false);
    ui_.setChecked("mnuZoomOn", false);
    ui_.setChecked("mnuZoomOff", true);
  } catch (const std::exception& e) {
    status_.error(e.what(), "mnuZoomOff_Click");
  }
}

void App::zoomOnClick() {
  try {
    if (!ui_.visible(indexed("picPicture2", selectedSlot))) return;
    ui_.setVisible("picPicture1", true);
    ui_.setChecked("mnuZoomOff", false);
    ui_.setChecked("mnuZoomOn", true);
  } catch (const std::exception& e) {
    status_.error(e.what(), "mnuZoomOn_Click");
  }
}

}  // namespace osd

#include "shell/placement_presenter.h"

#include <cctype>
#include <exception>
#include <limits>
#include <utility>

#include "common/textnum.h"

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

PlacementPresenter::PlacementPresenter(Placement& placement, LogoSlots& logos, NodeChoices& choices,
                                       Dispatcher& dispatcher, StatusPresenter& status,
                                       Dialogs& dialogs, Links links)
    : placement_(placement),
      logos_(logos),
      choices_(choices),
      dispatcher_(dispatcher),
      status_(status),
      dialogs_(dialogs),
      links_(std::move(links)) {}

void PlacementPresenter::press(int slot) {
  if (slot != logos_.selected) return;
  dragging_ = true;
  pressX_ = lastX_;
  pressY_ = lastY_;
  originCaptured_ = false;
}

void PlacementPresenter::release(int) {
  dragging_ = false;
  originCaptured_ = false;
  moveBusy_ = false;
}

void PlacementPresenter::move(int slot, double px, double py) {
  if (moveBusy_) return;
  const int x = static_cast<int>(roundHalfEven(px));
  const int y = static_cast<int>(roundHalfEven(py));
  if (slot != logos_.selected || slot < 0 || slot >= LogoView::kSlots) return;
  if (!originCaptured_) {
    originCaptured_ = true;
    left_ = view().places[static_cast<size_t>(slot)].left;
    top_ = view().places[static_cast<size_t>(slot)].top;
  }
  if (throttle_ > 0) return;
  throttle_ = 1;
  if (dragging_ && !choices_.panelLock()) {
    moveBusy_ = true;
    try {
      drag(slot, x, y);
    } catch (...) {
      moveBusy_ = false;
      throw;
    }
  }
  lastX_ = x;
  lastY_ = y;
  moveBusy_ = false;
}

void PlacementPresenter::drag(int slot, int x, int y) {
  left_ = static_cast<int>(roundHalfEven((x - pressX_) / 4.0 + left_));
  top_ = static_cast<int>(roundHalfEven((y - pressY_) / 4.0 + top_));
  top_ = clampInt(top_, kMinTop, kMaxTop);
  left_ = clampInt(left_, kMinLeft, kMaxLeft);
  update()->places[static_cast<size_t>(slot)] = {left_, top_};
  const PlacementMove m =
      placement_.placeAt(slot, (left_ - kMinLeft) * 100.0 / Placement::kStepsAcross,
                         (top_ - kMinTop) * 100.0 / Placement::kStepsDown, choices_.pal());
  {
    auto v = update();
    v->hpos = std::to_string(m.hPercent);
    v->vpos = std::to_string(m.vPercent);
  }
  dispatcher_.verticalPosition(m.vCode);
  dispatcher_.horizontalPosition(m.hCode);
  if (!links_.lineHeld()) dispatcher_.send(m.packet);
  showStart(m.startH, m.startV);
  if (links_.startMoved) links_.startMoved();
}

void PlacementPresenter::placePreview(int slot, int left, int top) {
  if (slot >= 0 && slot < LogoView::kSlots)
    update()->places[static_cast<size_t>(slot)] = {left, top};
}

void PlacementPresenter::showStart(int h, int v) {
  update()->startPosition = "H= " + rightChars("   " + std::to_string(h), 4) +
                            "    V= " + rightChars("   " + std::to_string(v), 4);
}

void PlacementPresenter::keyPosition(Axis axis, const std::string& text) {
  auto v = update();
  (axis == Axis::Horizontal ? v->hpos : v->vpos) = text;
  pending_[axis == Axis::Horizontal ? 0 : 1] = true;
}

void PlacementPresenter::stepPosition(Axis axis, int step) {
  if (choices_.panelLock()) return;
  const std::string& text = axis == Axis::Horizontal ? view().hpos : view().vpos;
  try {
    const int p = isNumericText(text) ? typedPercent(text) : 0;
    keyPosition(axis, std::to_string(clampInt(p + step, 0, 100)));
  } catch (const std::exception&) {
    keyPosition(axis, text);  // beyond any number: the commit reports it
  }
  commitPosition(axis);
}

void PlacementPresenter::commitPosition(Axis axis) {
  if (!std::exchange(pending_[axis == Axis::Horizontal ? 0 : 1], false)) return;
  applyPosition(axis);
}

void PlacementPresenter::sent(const std::string& text, bool portOpen) {
  if (!portOpen) return;
  if (text.size() == 5 && (text.rfind("AHP", 0) == 0 || text.rfind("AVP", 0) == 0)) {
    lastSent_[text[1] == 'H' ? 0 : 1] = text;
  }
}

// A live logo must not jump: a position the node was given last is not sent again.
void PlacementPresenter::sendPosition(Axis axis, int code) {
  const bool across = axis == Axis::Horizontal;
  if (lastSent_[across ? 0 : 1] == (across ? "AHP" : "AVP") + hex2(code)) return;
  if (across) {
    dispatcher_.horizontalPosition(code);
  } else {
    dispatcher_.verticalPosition(code);
  }
}

void PlacementPresenter::applyPosition(Axis axis) {
  // The field is disabled while the front panel is locked.
  if (choices_.panelLock()) return;
  const bool across = axis == Axis::Horizontal;
  const ErrorAt title = across ? ErrorAt::HorizontalPosition : ErrorAt::VerticalPosition;
  const std::string text = across ? view().hpos : view().vpos;
  const auto show = [&](const std::string& shown) {
    auto v = update();
    (across ? v->hpos : v->vpos) = shown;
  };
  try {
    if (!isNumericText(text)) {
      dialogs_.beep();
      if (text.empty()) return;
      status_.error(across ? "Allowable Range 34 to 154  " : "Allowable Range 4 to 55", title);
      show("0");
      return;
    }
    const int p = typedPercent(text);
    show(std::to_string(p));
    const int slot = logos_.selected;
    const bool hasPreview = slot >= 0 && slot < LogoView::kSlots;
    if (across) {
      sendPosition(axis, Placement::horizontalCode(p));
      if (hasPreview) update()->places[static_cast<size_t>(slot)].left = p * 4020 / 100 + 60;
    } else {
      sendPosition(axis, Placement::verticalCode(p));
      if (hasPreview) {
        update()->places[static_cast<size_t>(slot)].top =
            static_cast<int>(roundHalfEven(p / 100.0 * 2880)) + 240;
      }
    }
  } catch (const std::exception& e) {
    status_.error(e.what(), title);
  }
}

}  // namespace osd

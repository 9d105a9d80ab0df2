// Placement: dragging a slot's preview inside the screen frame and typing a position in
// percent. Either tells the node the position and moves the preview.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "image/logo_slots.h"
#include "link/dispatcher.h"
#include "settings/node_choices.h"
#include "shell/logo_presenter.h"
#include "shell/status_presenter.h"
#include "shell/view_state.h"
#include "transfer/screen_placement.h"

namespace osd {

enum class Axis { Horizontal, Vertical };

struct PlacementView {
  struct Place {
    int left = 0, top = 0;  // the preview's place in the frame, twips; 0: as laid out
  };
  std::array<Place, LogoView::kSlots> places;
  std::string hpos = "100", vpos = "100";  // the position fields, percent
  std::string startPosition = "Image Start Position";
  bool locked = false;  // the front panel is locked: no dragging, no typing
};

class PlacementPresenter : public ViewState<PlacementView> {
 public:
  // What placing needs of the others: whether a download holds the line, and telling the
  // video data's figures that the start position moved.
  struct Links {
    std::function<bool()> lineHeld;
    std::function<void()> startMoved;
  };

  PlacementPresenter(Placement& placement, LogoSlots& logos, NodeChoices& choices,
                     Dispatcher& dispatcher, StatusPresenter& status, Dialogs& dialogs,
                     Links links);

  // The pointer on slot `slot`'s preview, in the preview's own coordinates (twips).
  void press(int slot);
  void move(int slot, double x, double y);
  void release(int slot);
  // A keystroke in a position field: only the field changes. The position goes to the node
  // when the operator commits it (`commitPosition`: Enter, Tab or leaving the field); a
  // partly typed number never reaches a node on air.
  void keyPosition(Axis axis, const std::string& text);
  // Up and Down in a position field: the field's percent one step up or down, sent at once.
  void stepPosition(Axis axis, int step);
  // The field's position in percent: the field shows the whole percent and the node and the
  // preview follow. Text that is no number beeps and, unless empty, is refused. Nothing
  // happens when nothing was typed since the last commit.
  void commitPosition(Axis axis);
  // One main tick: the preview follows the pointer at most once a tick.
  void tick() {
    if (throttle_ > 0) --throttle_;
  }
  // Every text handed to the line: the position commands sent last are remembered, so a
  // live logo does not jump to the place it already has.
  void sent(const std::string& text, bool portOpen);
  // A port opened again or lost, a node called again: what it was told last is not known.
  void forgetSent() { lastSent_ = {}; }
  void showLock(bool locked) { update()->locked = locked; }
  // Puts slot `slot`'s preview at (left, top) in twips without telling the node, as a
  // restored layout does.
  void placePreview(int slot, int left, int top);
  void showStart(int h, int v);

 private:
  void drag(int slot, int x, int y);
  void applyPosition(Axis axis);
  void sendPosition(Axis axis, int code);

  Placement& placement_;
  LogoSlots& logos_;
  NodeChoices& choices_;
  Dispatcher& dispatcher_;
  StatusPresenter& status_;
  Dialogs& dialogs_;
  Links links_;
  int left_ = 0, top_ = 0;
  bool dragging_ = false, originCaptured_ = false, moveBusy_ = false;
  int lastX_ = 0, lastY_ = 0, pressX_ = 0, pressY_ = 0;
  int throttle_ = 0;
  std::array<bool, 2> pending_{};          // horizontal, vertical
  std::array<std::string, 2> lastSent_{};  // "AHP5E", "AVP1E"
};

}  // namespace osd

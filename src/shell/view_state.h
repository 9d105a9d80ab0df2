// The typed view state of one area of the window, with its change notification. An area
// presenter changes its state through `update()`; the window (or a test) is told once the
// statement is done and reads the whole state back through `view()`.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

namespace osd {

// Colours are 0xRRGGBB. Negative values stand for the desktop's own colours.
using Color = int32_t;
constexpr Color kColorDefault = -1;
constexpr Color kSysButtonFace = -2;
constexpr Color kSysWindow = -3;
constexpr Color kSysWindowText = -4;
constexpr Color kSysHighlightText = -5;

constexpr Color kRed = 0xFF0000;
constexpr Color kGreen = 0x00FF00;
constexpr Color kCyan = 0x00FFFF;
constexpr Color kYellow = 0xFFFF00;
constexpr Color kBlue = 0x0000FF;
constexpr Color kWhite = 0xFFFFFF;
constexpr Color kLightRed = 0xFF8080;

template <typename View>
class ViewState {
 public:
  const View& view() const { return view_; }
  // Called after every change of the state.
  void onChange(std::function<void()> listener) { listener_ = std::move(listener); }

 protected:
  // Write access for one statement: `update()->text = "..."` tells the listener afterwards.
  class Change {
   public:
    explicit Change(ViewState& owner) : owner_(owner) {}
    ~Change() {
      if (owner_.listener_) owner_.listener_();
    }
    Change(const Change&) = delete;
    Change& operator=(const Change&) = delete;
    View* operator->() { return &owner_.view_; }
    View& operator*() { return owner_.view_; }

   private:
    ViewState& owner_;
  };
  Change update() { return Change(*this); }
  // The state without telling anyone, for a change the caller announces with `changed()`.
  View& quietly() { return view_; }
  void changed() {
    if (listener_) listener_();
  }

 private:
  View view_;
  std::function<void()> listener_;
};

}  // namespace osd

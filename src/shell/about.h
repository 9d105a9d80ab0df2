// The about window's logic (also the start-up splash). The Qt window binds its widgets to
// `ui()` by name and forwards its events:
//   press()/release()/move()  mouse button down, up, and moves on any label, the frame or
//                             the picture;
//   click(name)               a click on one of them (name as below);
//   keyPress()                any key.
// The window's one-second timer is TimerId::About of the event loop; the main window hands
// its ticks to `tick()`. When the window closes, `closed` is called: the view hides itself.
//
// Control names: "lblVersion", "lblProductName", "lblCompany", "lblProduct", "lblCredit",
// "lblMail", "lblWeb", "picIcon", "Frame1".
#pragma once

#include <functional>
#include <string>

#include "platform/seams.h"
#include "shell/window_model.h"

namespace osd {

class AboutWindow {
 public:
  // Close countdowns in ticks: as the start-up splash and as the about window.
  static constexpr int kSplashCountdown = 7;
  static constexpr int kAboutCountdown = 600;
  // Reload values of the credit label's rhythm: ticks hidden, then ticks shown.
  static constexpr int kWaitReload = 7;
  static constexpr int kShowReload = 5;

  AboutWindow(EventLoop& loop, Launcher& launcher);

  WindowModel& ui() { return ui_; }

  // Fills the labels, sets the counters and starts the timer. `aboutFlag`: opened as the
  // about window (long countdown) rather than as the splash.
  void load(bool aboutFlag);
  // One tick of the window's timer. True when the window closed on this tick.
  bool tick();
  void press();
  void release();
  void move();
  // A click on a label, the frame or the picture: the mail and web labels open their
  // address; every click closes the window.
  void click(const std::string& name);
  void keyPress();
  // Closes the window (stops its timer, calls `closed`). Nothing when already closed.
  void close();

  bool isOpen() const { return open_; }
  bool held() const { return held_; }
  int closeCountdown() const { return closeCountdown_; }
  int waitCounter() const { return wait_; }
  int showCounter() const { return show_; }

  std::function<void()> closed;

 private:
  void setCreditVisible(bool visible);

  EventLoop& loop_;
  Launcher& launcher_;
  WindowModel ui_;
  bool open_ = false;
  bool held_ = false;
  int closeCountdown_ = 0;
  int wait_ = kWaitReload;
  int show_ = kShowReload;
};

}  // namespace osd

// The about window's logic (also the start-up splash): product and version texts, the credits
// that come and go, and the countdown after which the window closes itself. The window's
// one-second timer is TimerId::About of the event loop; the main window hands its ticks to
// `tick()`. When the window closes, `closed` is called: the view hides itself.
#pragma once

#include <functional>
#include <string>

#include "platform/seams.h"
#include "shell/view_state.h"

namespace osd {

struct AboutView {
  std::string version, productName, company, product, credit, mail, web;
  bool creditShown = false;
};

// Where a click on the window lands: the mail and web labels open their address.
enum class AboutTarget { Window, Mail, Web };

class AboutWindow : public ViewState<AboutView> {
 public:
  // Close countdowns in ticks: as the start-up splash and as the about window.
  static constexpr int kSplashCountdown = 7;
  static constexpr int kAboutCountdown = 600;
  // Reload values of the credit label's rhythm: ticks hidden, then ticks shown.
  static constexpr int kWaitReload = 7;
  static constexpr int kShowReload = 5;

  AboutWindow(EventLoop& loop, Launcher& launcher);

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
  void click(AboutTarget target);
  void keyPress();
  // Closes the window (stops its timer, tells the window). Nothing when already closed.
  void close();

  bool isOpen() const { return open_; }

  // What only the about dialog can do, given by it (and taken back with {} when it goes).
  struct WindowActions {
    std::function<void()> closed;  // the dialog closes with the logic
  };
  void setWindowActions(WindowActions actions) { window_ = std::move(actions); }

 private:
  void setCreditVisible(bool visible);

  EventLoop& loop_;
  Launcher& launcher_;
  WindowActions window_;
  bool open_ = false;
  bool held_ = false;
  int closeCountdown_ = 0;
  int wait_ = kWaitReload;
  int show_ = kShowReload;
};

}  // namespace osd

// The status line, the error panel, the progress bar, the busy pointer and the input window:
// how the window tells the operator what happens. It is the window's reporter.
#pragma once

#include <string>

#include "common/error_titles.h"
#include "common/reporter.h"
#include "platform/seams.h"
#include "shell/view_state.h"

namespace osd {

struct StatusView {
  std::string status;  // the status line
  bool errorShown = false;
  std::string errorTitle;  // the panel's caption: the operation that failed
  std::string errorText;   // one line per failure while the panel stays up (CR LF between)
  bool progressShown = false;
  double progress = 0;  // 0..100
  bool busy = false;
  bool windowEnabled = true;               // off while the start-up splash is up
  int paints = 0;                          // raised when the status line must be painted at once
  std::string awake = "Awake: all nodes";  // the operator's wake choice
};

class StatusPresenter : public Reporter, public ViewState<StatusView> {
 public:
  // The error panel stays up this many main ticks (10 s) unless dismissed.
  static constexpr int kErrorTicks = 400;
  // A status text held with `holdStatus` for the usual time (5 s).
  static constexpr int kUsualStatusTicks = 200;

  explicit StatusPresenter(Dialogs& dialogs) : dialogs_(dialogs) {}

  void status(const std::string& text) override;
  // A failure beeps and opens the panel under `title`; one already open gains a line.
  void error(const std::string& message, const std::string& title) override;
  using Reporter::error;
  void progressShown(bool shown) override;
  void progress(double percent) override;  // limited to 0..100
  void busy(bool on) override;

  // The operator's wake choice, in its own field ("Awake: node 7").
  void showAwake(const std::string& text) {
    if (view().awake != text) update()->awake = text;
  }
  // An action's result on the status line: cleared after `ticks` main ticks, or as soon as
  // the next action shows a text or a bar of its own.
  void holdStatus(int ticks) {
    statusCountdown_ = ticks;
    held_ = true;
  }
  // Whatever the status line shows next is cleared after `ticks` main ticks (a node's answer
  // to a request); it does not keep a held result up longer.
  void keepStatus(int ticks) {
    if (!held_) statusCountdown_ = ticks;
  }
  // A result the operator must not miss (a download that stopped): it stays on the status
  // line until dismissed or replaced by the next result; whatever would clear the line
  // meanwhile (a reconnect, a held text running out) shows it again instead.
  void showResult(const std::string& text);
  void dismissResult();
  // What the status line says while nothing else is on it ("No port chosen: ..."); "" for
  // nothing.
  void showStanding(const std::string& text);
  int statusTicksLeft() const { return statusCountdown_; }
  void dismissError();
  void enableWindow(bool on);
  // The input window: an empty answer when it was closed any way other than Enter, so an
  // old answer (a password, a raw command) is never sent again by accident.
  std::string ask(const std::string& prompt);
  // One main tick: the held status text and the error panel count down.
  void tick();
  // How many coming ticks only count down.
  int quietTicks() const;

 private:
  Dialogs& dialogs_;
  int statusCountdown_ = -1;
  int errorCountdown_ = -1;
  std::string result_;
  std::string standing_;
  // The text on the line is held (a download's result) and gives way to the next action.
  bool held_ = false;
  std::string resting() const { return result_.empty() ? standing_ : result_; }
};

}  // namespace osd

// Status line, error panel, progress bar and the input window.
#include "shell/app.h"

namespace osd {

void App::showStatus(const std::string& text) {
  ui_.setText("lblCopyright", text);
  ui_.repaint("lblCopyright");
}

void App::showError(const std::string& message, const std::string& title) {
  ui_.setText("frameError", title);
  ui_.setLeft("frameError", 1000);
  ui_.setTop("frameError", 1000);
  ui_.setWidth("frameError", 3500);
  ui_.setHeight("frameError", 2000);
  if (ui_.visible("frameError")) {
    ui_.setText("lblErrTxt", ui_.text("lblErrTxt") + "\r\n" + message);
  } else {
    ui_.setText("lblErrTxt", message);
    ui_.setVisible("frameError", true);
  }
  pf_.dialogs.beep();
  errorCountdown = 400;
}

void App::reportTick() {
  if (downloading) followDownloadLine();
  if (statusCountdown > 0) {
    --statusCountdown;
  } else if (statusCountdown == 0) {
    statusCountdown = -1;
    ui_.setText("lblCopyright", "");
  }
  if (errorCountdown > 0) {
    --errorCountdown;
  } else if (errorCountdown == 0) {
    errorCountdown = -1;
    ui_.setVisible("frameError", false);
  }
}

void App::dismissError() {
  errorCountdown = 0;
  ui_.setVisible("frameError", false);
}

// The input window closed any way other than Enter gives an empty answer, so an old
// answer (a password, a raw command) is never sent again by accident.
std::string App::askValue(const std::string& prompt) {
  std::optional<std::string> answer = pf_.dialogs.askValue(prompt);
  return answer ? *answer : std::string();
}

void App::busy(bool on) {
  ui_.setBusyCursor(on);
}

void App::showProgress(bool visible) {
  ui_.setVisible("ProgressBar1", visible);
}

void App::setProgress(double value) {
  if (value < 0) value = 0;
  if (value > 100) value = 100;
  ui_.setValue("ProgressBar1", value);
}

}  // namespace osd

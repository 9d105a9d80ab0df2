#include "shell/status_presenter.h"

#include <algorithm>

namespace osd {

void StatusPresenter::status(const std::string& text) {
  // A held text belongs to the action that held it: a new text is not cleared by its count.
  if (held_ && text != view().status) {
    held_ = false;
    statusCountdown_ = -1;
  }
  std::string shown = text.empty() ? resting() : text;
  if (shown == view().status) return;  // on the line already: nothing to paint
  auto v = update();
  v->status = std::move(shown);
  ++v->paints;
}

void StatusPresenter::showStanding(const std::string& text) {
  const bool shown = !view().status.empty() && view().status == resting();
  standing_ = text;
  if (shown || view().status.empty()) status("");
}

void StatusPresenter::showResult(const std::string& text) {
  result_ = text;
  statusCountdown_ = -1;
  held_ = false;
  status(text);
}

void StatusPresenter::dismissResult() {
  if (result_.empty()) return;
  const bool shown = view().status == result_;
  result_.clear();
  if (shown) status("");
}

void StatusPresenter::error(const std::string& message, const std::string& title) {
  {
    auto v = update();
    v->errorTitle = title;
    v->errorText = v->errorShown ? v->errorText + "\r\n" + message : message;
    v->errorShown = true;
  }
  dialogs_.beep();
  errorCountdown_ = kErrorTicks;
}

void StatusPresenter::progressShown(bool shown) {
  // A bar of the next action: the held text of the last one no longer tells what happens.
  if (shown && held_ && !view().progressShown) status("");
  update()->progressShown = shown;
}

void StatusPresenter::progress(double percent) {
  update()->progress = std::clamp(percent, 0.0, 100.0);
}

void StatusPresenter::busy(bool on) {
  update()->busy = on;
}

void StatusPresenter::dismissError() {
  errorCountdown_ = 0;
  update()->errorShown = false;
}

void StatusPresenter::enableWindow(bool on) {
  update()->windowEnabled = on;
}

std::string StatusPresenter::ask(const std::string& prompt) {
  return dialogs_.askValue(prompt).value_or(std::string());
}

int StatusPresenter::quietTicks() const {
  // A countdown at n runs out on the (n + 1)-th tick.
  const auto quiet = [](int countdown) { return countdown < 0 ? kNoTickNeeded : countdown; };
  return std::min(quiet(statusCountdown_), quiet(errorCountdown_));
}

void StatusPresenter::tick() {
  if (statusCountdown_ > 0) {
    --statusCountdown_;
  } else if (statusCountdown_ == 0) {
    statusCountdown_ = -1;
    held_ = false;
    update()->status = resting();
  }
  if (errorCountdown_ > 0) {
    --errorCountdown_;
  } else if (errorCountdown_ == 0) {
    errorCountdown_ = -1;
    update()->errorShown = false;
  }
}

}  // namespace osd

// The window's report of a running download. What the node has received is taken as the
// smaller of what the port no longer holds and what a 9600-baud line can have carried since
// "QXW" went out; the status line and the bar show that, not what was written.
#include "shell/app.h"

namespace osd {

namespace {
constexpr int64_t kSetupStream = 3 + DownloadPlan::kSetupBytes;  // "QXW" and the setup block
constexpr int kEraseTicks = 100;                                 // of tmr10sec, 100 ms each
}  // namespace

void App::download(const DownloadProgress& report) {
  if (report.sent <= 0 || report.phase == DownloadPhase::Failed) return;
  if (!downloadLine_) downloadLine_.emplace(report.total, pf_.loop.monotonicSeconds());
  downloadWritten_ = report.sent;
  followDownloadLine();
}

void App::followDownloadLine() {
  if (!downloadLine_) return;
  LineProgress& line = *downloadLine_;
  line.update(downloadWritten_, pf_.port.heldBytes(), pf_.loop.monotonicSeconds());
  // The phase the node is in, by what it has received.
  const int64_t at = line.sent();
  const char* phase = "Sending setup data";
  if (at >= kSetupStream + downloadPicture_) {
    phase = "Sending Filler";
  } else if (at >= kSetupStream) {
    phase = "Sending Image";
  }
  showDownloadBar(static_cast<double>(at), static_cast<double>(line.total()));
  const std::string text = phaseStatus(phase, line);
  if (status_.view().status != text) status_.status(text);
}

void App::finishDownloadLine(int slot) {
  if (!downloadLine_) return;
  status_.progressShown(true);
  // Only the main tick moves the program on; without it (the window closing) nothing more
  // is waited for.
  while (!downloadLine_->complete() && pf_.port.isOpen() && pf_.loop.timerEnabled(TimerId::Delay) &&
         !stopRequested_) {
    pf_.loop.yield();
    followDownloadLine();
  }
  // Closing now: every byte was handed over; once the port has let them go the node has them.
  if (stopRequested_ && pf_.port.isOpen()) waitLineQuiet();
  const bool stoppedWhole = stopRequested_ && pf_.port.isOpen() && link_.held() == 0;
  status_.progressShown(false);
  const LineProgress& line = *downloadLine_;
  if (line.complete() || stoppedWhole) {
    const double started =
        downloadStarted_ >= 0 ? downloadStarted_ : pf_.loop.monotonicSeconds() - line.elapsed();
    status_.status(downloadedText(slot, line.total(), pf_.loop.monotonicSeconds() - started));
    status_.holdStatus(StatusPresenter::kUsualStatusTicks);
  } else if (!pf_.port.isOpen()) {
    status_.showResult(failedText(line.sent(), line.total()));
    status_.error("The node's port closed after " + groupedNumber(line.sent()) + " of " +
                      groupedNumber(line.total()) + " bytes.",
                  "DivUvOR");
  } else {
    status_.status("");
  }
}

void App::showEraseWait() {
  const int left = (kEraseTicks - session_.eraseCount() + 9) / 10;
  status_.progress(100.0 * eraseShare_ * session_.eraseCount() / kEraseTicks);
  const std::string text =
      "Erasing the node's image memory: " + std::to_string(std::max(left, 0)) + " s left";
  if (status_.view().status != text) status_.status(text);
}

}  // namespace osd

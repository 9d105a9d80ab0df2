#include "shell/download_presenter.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "common/textnum.h"
#include "transfer/line_sink.h"

namespace osd {

namespace {
constexpr int64_t kSetupStream = 3 + DownloadPlan::kSetupBytes;  // "QXW" and the setup block
constexpr int kEraseTicks = 100;                                 // of tmr10sec, 100 ms each
}  // namespace

DownloadPresenter::DownloadPresenter(Dispatcher& dispatcher, LinkService& link,
                                     NodeSession& session, EventLoop& loop, Dialogs& dialogs,
                                     StatusPresenter& status, LogoSlots& logos,
                                     VideoData& videoData, Links links)
    : dispatcher_(dispatcher),
      link_(link),
      session_(session),
      loop_(loop),
      dialogs_(dialogs),
      status_(status),
      logos_(logos),
      videoData_(videoData),
      links_(std::move(links)) {}

void DownloadPresenter::markLine(bool DownloadView::*mark, bool on) {
  (*update()).*mark = on;
  if (links_.lineUseChanged) links_.lineUseChanged();
}

std::string DownloadPresenter::lineRefusal() const {
  const Awake& awake = link_.line().awake();
  if (awake.kind == Awake::Kind::None) {
    return "No node is awake: wake a node (Node menu) before a download.";
  }
  if (session_.memorySize() <= 0) {
    return noSizeAnswerText(awake.kind == Awake::Kind::Node ? awake.id : 0);
  }
  return "";
}

bool DownloadPresenter::lineReady() {
  const std::string why = lineRefusal();
  if (why.empty()) return true;
  status_.error(why, ErrorAt::DownloadToRam);
  return false;
}

void DownloadPresenter::eraseImage() {
  // Asked inside the command, so nothing else goes on the line while the operator decides.
  dispatcher_.erase([this] {
    return dialogs_.confirm("EEPROM ERASE: Notice!",
                            "This will erase the entire EEPROM. This cannot be reversed.\r\n"
                            "Erase takes about 10 seconds to complete.",
                            Dialogs::Preset::Cancel);
  });
}

void DownloadPresenter::downloadToRam() {
  // One download at a time: a start from inside the erase wait or a running download is
  // refused.
  if (view().lineHeld || view().starting) return;
  if (!lineReady()) return;
  if (!askToWrite(targetText(link_.line().awake()))) return;
  markLine(&DownloadView::starting, true);
  started_ = loop_.monotonicSeconds();
  // The erase wait is ten seconds of the bar's way, weighed as bytes at the line's speed.
  const double eraseBytes = kLineBytesPerSecond * 10;
  eraseShare_ = eraseBytes / (eraseBytes + static_cast<double>(plannedStream()));
  bar_ = true;
  status_.progress(0);
  status_.progressShown(true);
  try {
    DownloadHooks waits = hooks();
    waits.armEraseWait = [this] {
      loop_.setTimerEnabled(TimerId::TenSec, true);
      eraseStarted(true);
    };
    LineSink sink(dispatcher_, link_);
    // Every awake node takes the download: the line is put into the operator's choice first.
    DownloadJob job(sink, *this, std::move(waits));
    job.sendFirst(targetCommands(link_.line().awake()));
    const DownloadResult erased = job.erase();
    const bool stopped = erased.stopped;
    if (!erased.ok && !stopped) throw Failure(erased.message);
    status_.status("");
    if (stopped) {
      markLine(&DownloadView::starting, false);
      bar_ = false;
      reportStopped(0, plannedStream());
      closeIfAsked();
      return;
    }
  } catch (const std::exception& e) {
    markLine(&DownloadView::starting, false);
    bar_ = false;
    status_.progressShown(false);
    status_.error(e.what(), ErrorAt::DownloadToRam);
    return;
  }
  markLine(&DownloadView::starting, false);
  run();
}

bool DownloadPresenter::readyToSend(int& slot) {
  slot = 0;
  status_.status("");
  if (!link_.valid()) return false;
  if (!link_.isOpen()) {
    dialogs_.beep();
    status_.error("No Valid COM Port Selected", ErrorAt::NoPortForDownload);
    return false;
  }
  slot = slotToSend(false);
  return slot != 0;
}

bool DownloadPresenter::askToWrite(const std::string& target) {
  return dialogs_.confirm("Notice", "This will write the new Image data to the EEPROM.\n" + target,
                          Dialogs::Preset::Cancel);
}

int DownloadPresenter::slotToSend(bool withFile) {
  // Only slots 1 to 4 are downloaded.
  const int slot = logos_.selected;
  if (slot >= 1 && slot <= 4 && !(withFile && logos_.file[static_cast<size_t>(slot)].empty())) {
    return slot;
  }
  status_.error("No logo was selected for download", ErrorAt::NoLogoSelected);
  return 0;
}

void DownloadPresenter::run() {
  const bool erased = bar_;
  if (!erased) eraseShare_ = 0;  // started without the erase
  bar_ = true;
  send(!erased);
  bar_ = false;
  status_.progressShown(false);
  closeIfAsked();
}

void DownloadPresenter::showBar(double carried, double total) {
  status_.progress(100.0 * (eraseShare_ + (1 - eraseShare_) * carried / std::max(total, 1.0)));
}

std::string DownloadPresenter::failedText(int64_t carried, int64_t total) const {
  return std::string(link_.isOpen() ? "Download stopped by an error"
                                    : "Download stopped: port lost") +
         " after " + groupedNumber(carried) + " of " + groupedNumber(total) + " bytes";
}

void DownloadPresenter::send(bool targetFirst) {
  // When the command began, for the completion message (the erase wait included).
  const double commandStart = std::exchange(started_, -1.0);
  if (dispatcher_.guarded()) return;
  if (view().lineHeld) return;  // a second start from inside a running download
  holdLine(true);
  status_.dismissResult();  // the last download's result gives way to this one
  int slot = 0;
  try {
    if (!readyToSend(slot) || !lineReady()) {
      holdLine(false);
      return;
    }
  } catch (const std::exception&) {
    status_.progressShown(false);
    holdLine(false);
    dialogs_.beep();
    status_.error("You Need to Open a Logo File First!", ErrorAt::NoLogoFile);
    status_.busy(false);
    return;
  }

  DownloadPlan plan{logos_.width, logos_.height, session_.memorySize()};
  DownloadSource source;
  source.encode = [this, slot](std::vector<int>& pixels) -> std::string {
    // A logo that was not read completely is not sent.
    if (links_.encodeLogo(slot, pixels)) return {};
    return "The logo of slot " + std::to_string(slot) + " could not be read from " +
           logos_.file[static_cast<size_t>(slot)] + "; the download was stopped.";
  };
  source.setupBlock = [this]() -> const video::SetupBlock& {
    links_.buildSetupBlock();
    return videoData_.block();
  };
  LineSink sink(dispatcher_, link_);
  DownloadJob job(sink, *this, hooks());
  if (targetFirst) job.sendFirst(targetCommands(link_.line().awake()));
  line_.reset();
  written_ = 0;
  picture_ = plan.pictureBytes();
  started_ = commandStart;
  showBar(0, 1);
  status_.progressShown(true);
  const DownloadResult result = job.run(plan, source);
  if (result.ok) {
    finishLine(slot);
  } else if (result.stopped) {
    reportStopped(written_, plan.streamLength());
  } else {
    // Whatever the error panel said, the status line keeps how far the download got, also
    // when it failed before its first byte.
    status_.showResult(failedText(line_ ? line_->sent() : 0, plan.streamLength()));
  }
  line_.reset();
  started_ = -1;
  holdLine(false);
}

int64_t DownloadPresenter::plannedStream() const {
  return DownloadPlan{logos_.width, logos_.height, session_.memorySize()}.streamLength();
}

bool DownloadPresenter::closeRequested(CloseBy by) {
  if (!view().lineHeld && !view().starting) return true;
  if (stopRequested_) return false;  // already stopping: the window closes when it has
  if (cancelScan_) {
    cancelScan_();
    closeWhenStopped_ = true;
    return false;
  }
  if (by == CloseBy::Operator) {
    // The count follows the line while the question is open.
    const auto question = [this] {
      const int64_t total = line_ ? line_->total() : plannedStream();
      return "A download is running (" + groupedNumber(line_ ? line_->sent() : 0) + " of " +
             groupedNumber(total) + " bytes). Stop it and close?";
    };
    if (!dialogs_.confirm("Notice", question(), Dialogs::Preset::Cancel, question)) return false;
    // The download may have ended while the question was open.
    if (!view().lineHeld && !view().starting) return true;
  }
  stopRequested_ = true;
  closeWhenStopped_ = true;
  return false;
}

Handover DownloadPresenter::handoverAnswer() const {
  if (cancelScan_) return Handover::ScanRunning;
  if (view().lineHeld || view().starting) return Handover::DownloadRunning;
  return Handover::Closed;
}

void DownloadPresenter::refuseStart(Handover answer) {
  startRefused_ = true;
  exitNote_ = std::string("a ") +
              (answer == Handover::ScanRunning ? "scan of the line" : "download") +
              " is running in the other window; this copy ends";
}

void DownloadPresenter::reportStopped(int64_t written, int64_t total) {
  waitLineQuiet();
  const int64_t carried = written - link_.held();
  const std::string where =
      groupedNumber(std::max<int64_t>(carried, 0)) + " of " + groupedNumber(total) + " bytes";
  status_.progressShown(false);
  status_.showResult("Download stopped at " + where + ".");
  exitNote_ = "download stopped at " + where;
}

void DownloadPresenter::waitLineQuiet() {
  // What was handed to the port still has to reach the node: the line is left to carry it
  // (a bound keeps a port that never empties from holding the window forever).
  link_.line().drain(kQuietLineSeconds, {}, [this](int64_t left) {
    const std::string text = stoppingText(left);
    if (status_.view().status != text) status_.status(text);
  });
}

void DownloadPresenter::closeIfAsked() {
  stopRequested_ = false;
  if (!std::exchange(closeWhenStopped_, false)) return;
  if (links_.exitWindow) links_.exitWindow();
}

DownloadHooks DownloadPresenter::hooks() {
  DownloadHooks waits = lineWaits(dispatcher_, loop_);
  waits.stopRequested = [this] { return stopRequested_; };
  waits.eraseWaiting = [this] {
    if (!loop_.timerEnabled(TimerId::TenSec)) return false;
    showEraseWait();
    return true;
  };
  return waits;
}

void DownloadPresenter::tick() {
  if (view().lineHeld) followLine();
}

// ---------------------------------------------------------------- the job's reports

void DownloadPresenter::status(const std::string& text) {
  if (!line_) status_.status(text);
}

void DownloadPresenter::error(const std::string& message, const std::string& title) {
  status_.error(message, title);
}

void DownloadPresenter::progress(double percent) {
  if (!line_ && !bar_) status_.progress(percent);
}

void DownloadPresenter::download(const DownloadProgress& report) {
  if (report.sent <= 0 || report.phase == DownloadPhase::Failed) return;
  if (!line_) line_.emplace(report.total, loop_.monotonicSeconds());
  written_ = report.sent;
  followLine();
}

// What the node has received is taken as the smaller of what the port no longer holds and
// what a 9600-baud line can have carried since "QXW" went out.
void DownloadPresenter::followLine() {
  if (!line_) return;
  LineProgress& line = *line_;
  line.update(written_, link_.held(), loop_.monotonicSeconds());
  // The phase the node is in, by what it has received.
  const int64_t at = line.sent();
  const char* phase = "Sending setup data";
  if (at >= kSetupStream + picture_) {
    phase = "Sending Filler";
  } else if (at >= kSetupStream) {
    phase = "Sending Image";
  }
  showBar(static_cast<double>(at), static_cast<double>(line.total()));
  const std::string text = phaseStatus(phase, line);
  if (status_.view().status != text) status_.status(text);
}

void DownloadPresenter::finishLine(int slot) {
  if (!line_) return;
  status_.progressShown(true);
  // Only the main tick moves the program on; without it (the window closing) nothing more
  // is waited for.
  while (!line_->complete() && link_.isOpen() && loop_.timerEnabled(TimerId::Delay) &&
         !stopRequested_) {
    loop_.yield();
    followLine();
  }
  // Closing now: every byte was handed over; once the port has let them go the node has them.
  if (stopRequested_ && link_.isOpen()) waitLineQuiet();
  const bool stoppedWhole = stopRequested_ && link_.isOpen() && link_.held() == 0;
  status_.progressShown(false);
  const LineProgress& line = *line_;
  if (line.complete() || stoppedWhole) {
    const double started = started_ >= 0 ? started_ : loop_.monotonicSeconds() - line.elapsed();
    status_.status(downloadedText(slot, line.total(), loop_.monotonicSeconds() - started));
    status_.holdStatus(StatusPresenter::kUsualStatusTicks);
  } else if (!link_.isOpen()) {
    status_.showResult(failedText(line.sent(), line.total()));
    status_.error("The node's port closed after " + groupedNumber(line.sent()) + " of " +
                      groupedNumber(line.total()) + " bytes.",
                  ErrorAt::DownloadStream);
  } else {
    status_.status("");
  }
}

void DownloadPresenter::showEraseWait() {
  const int left = (kEraseTicks - session_.eraseCount() + 9) / 10;
  status_.progress(100.0 * eraseShare_ * session_.eraseCount() / kEraseTicks);
  const std::string text =
      "Erasing the node's image memory: " + std::to_string(std::max(left, 0)) + " s left";
  if (status_.view().status != text) status_.status(text);
}

}  // namespace osd

// The logo download from the window: the "Notice" question, the erase and its wait, the
// checks before a download, the job that sends the stream, and what the line has carried
// told on the status line and the progress bar. A running download (or a scan of the line)
// holds the line: nothing else goes on it then.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/reporter.h"
#include "image/logo_slots.h"
#include "link/dispatcher.h"
#include "link/link_service.h"
#include "link/node_session.h"
#include "platform/seams.h"
#include "shell/status_presenter.h"
#include "shell/view_state.h"
#include "transfer/download_job.h"
#include "transfer/line_progress.h"
#include "transfer/video_store.h"

namespace osd {

// Who asks the window to close.
enum class CloseBy { Operator, Signal };

struct DownloadView {
  bool lineHeld = false;  // a download or a scan of the line runs: nothing else goes on it
  bool starting = false;  // the erase before a download is on its way
  bool erasing = false;   // the node erases its image memory
};

class DownloadPresenter : public Reporter, public ViewState<DownloadView> {
 public:
  // What the download needs of the others.
  struct Links {
    // The slot's logo as node values; false when it could not be read (reported).
    std::function<bool(int slot, std::vector<int>& out)> encodeLogo;
    std::function<void()> buildSetupBlock;  // the video data's setup block for the logo
    std::function<void()> exitWindow;       // closes the window
    std::function<void()> lineUseChanged;   // the view's marks of the line's use changed
  };

  DownloadPresenter(Dispatcher& dispatcher, LinkService& link, NodeSession& session,
                    EventLoop& loop, Dialogs& dialogs, StatusPresenter& status, LogoSlots& logos,
                    VideoData& videoData, Links links);

  // "Download Image to RAM" (and "to EEPROM"): asks, erases, waits, then downloads.
  void downloadToRam();
  // The download itself, of the selected slot (1..4).
  void run();
  void saveLogoInNvram() { dispatcher_.saveLogo(); }
  // "Erase Image in EEPROM": asks "EEPROM ERASE: Notice!" (Enter: Cancel), then erases.
  void eraseImage();
  // The job's waits and the erase wait, on the window's timers (a fleet download uses them too).
  DownloadHooks hooks();

  // The checks before a logo goes to the line, the same for one node and for several.
  // "Notice": whether the operator lets the logo be written to the EEPROM of the nodes
  // `target` names (Enter answers Cancel).
  bool askToWrite(const std::string& target);
  // The selected slot (1..4) a download sends; 0, with "No Logo" on the error panel, when none
  // is. `withFile`: a slot that holds no file counts as none.
  int slotToSend(bool withFile);

  // Held while a download or a scan of the line runs.
  bool lineHeld() const { return view().lineHeld; }
  void holdLine(bool on) { markLine(&DownloadView::lineHeld, on); }
  void eraseStarted(bool on) { markLine(&DownloadView::erasing, on); }
  // Told after every change of the line's use (given by the main presenter).
  // One main tick: the figures of the line while a download runs.
  void tick();

  // ---- Closing while the line is in use ----
  // Whether the window may close now. An idle window may. While a download runs the
  // operator is asked whether to stop it; a termination signal stops it without asking. A
  // download that is stopped ends after the block being sent, the line is left to go quiet,
  // and the window then closes by itself (see exitNote). A scan of the line is cancelled and
  // the window closes once it has ended.
  bool closeRequested(CloseBy by);
  // What a later copy of the program is told when it asks this one to close.
  Handover handoverAnswer() const;
  // Another copy keeps the line (`answer`): this one stops its start-up before touching any
  // port and must end.
  void refuseStart(Handover answer);
  bool startRefused() const { return startRefused_; }
  // A line for standard error when the program ends ("" when there is none to say).
  const std::string& exitNote() const { return exitNote_; }
  // A scan of the line runs (`cancel` stops it) or has ended (empty).
  void scanRunning(std::function<void()> cancel) { cancelScan_ = std::move(cancel); }
  bool closing() const { return closeWhenStopped_; }
  // The window closes when a close was asked for while the line was in use.
  void closeIfAsked();

  // The job's reports. While the line is followed its figures are the status text and the
  // bar, not the job's phase names and written bytes.
  void status(const std::string& text) override;
  void error(const std::string& message, const std::string& title) override;
  // During a download command the bar is the download's own, from the erase to the last
  // byte: the job's (and the link's) per-phase values do not move it.
  void progressShown(bool shown) override {
    if (!bar_) status_.progressShown(shown);
  }
  void progress(double percent) override;
  bool barShown() const { return bar_; }
  void busy(bool on) override { status_.busy(on); }
  void download(const DownloadProgress& report) override;

 private:
  // Sets one of the view's marks of the line's use and tells lineUseChanged.
  void markLine(bool DownloadView::*mark, bool on);
  // Why the download cannot start (an empty text when it can); 0 in `slot` when none.
  bool readyToSend(int& slot);
  // Why no download can go to the line now: no node awake, or a memory the program does not
  // know (no size answer). "" when it can.
  std::string lineRefusal() const;
  // The same, shown on the error panel; true when the download can go.
  bool lineReady();
  void followLine();
  // After the last byte was handed to the port: follows the line until the node can have it
  // all (or the port closed), then shows "Logo N downloaded: ..." for the usual status time.
  void finishLine(int slot);
  void showEraseWait();
  // The download itself, inside run(); `targetFirst`: there was no erase before it.
  void send(bool targetFirst);
  // The bar once the node has `carried` of the stream's `total` bytes.
  void showBar(double carried, double total);
  // "Download stopped: port lost after 31,405 of 65,667 bytes" (or stopped by an error).
  std::string failedText(int64_t carried, int64_t total) const;
  // Once the line has gone quiet after a stopped download: says where it stopped.
  void reportStopped(int64_t written, int64_t total);
  // Yields until the port has nothing left to send (or it closed, or 15 s passed).
  void waitLineQuiet();
  static constexpr double kQuietLineSeconds = 15;
  // The length of the stream the selected logo would make now.
  int64_t plannedStream() const;

  Dispatcher& dispatcher_;
  LinkService& link_;
  NodeSession& session_;
  EventLoop& loop_;
  Dialogs& dialogs_;
  StatusPresenter& status_;
  LogoSlots& logos_;
  VideoData& videoData_;
  Links links_;
  std::optional<LineProgress> line_;
  int64_t written_ = 0;    // bytes of the stream handed to the port
  int64_t picture_ = 0;    // bytes of its picture
  double started_ = -1;    // when the download command began (erase included)
  bool bar_ = false;       // the bar shows the download command's way through
  double eraseShare_ = 0;  // of the bar, the erase wait's (by line time)
  // Closing during a download: stop after the block being sent, then close the window.
  bool stopRequested_ = false;
  bool closeWhenStopped_ = false;
  bool startRefused_ = false;
  std::string exitNote_;
  std::function<void()> cancelScan_;  // set while a scan of the line runs
};

}  // namespace osd

// "Find Nodes on the Line": a scan of the line with its progress and Cancel, the nodes that
// answered with a check box each, "Use this node" (the chosen ID goes into the Node field and
// that node alone is left awake) and "Download to Checked Nodes" (the selected slot's logo to
// the nodes checked, with the same question as a single download and one result per node).
//
// While the scan or the download runs the window's own line traffic (node poll, watchdog,
// dispatcher, the wake-up after an open) is held, as during a single download; each ends with
// the line in the operator's wake choice.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/dispatcher.h"
#include "link/link_service.h"
#include "link/node_session.h"
#include "platform/seams.h"
#include "scan/node_scan.h"
#include "shell/download_presenter.h"
#include "shell/status_presenter.h"
#include "shell/view_state.h"
#include "transfer/fleet_download.h"
#include "transfer/video_store.h"

namespace osd {

// One node that answered, as its row shows it.
struct ScanRow {
  int id = 0;
  std::string hex;         // "1A"
  std::string answer;      // "64K memory", or the copyright text when no size came
  std::string answerTime;  // "41 ms"
  bool checked = false;    // taken by "Download to Checked Nodes"
  std::string result;      // the last download's outcome ("programmed" or why not); "" before
  bool programmed = false;
  bool operator==(const ScanRow&) const = default;
};

struct ScanButton {
  std::string caption;
  bool enabled = false;
  bool operator==(const ScanButton&) const = default;
};

struct ScanView {
  std::vector<ScanRow> rows;
  int selected = -1;  // the row "Use this node" takes; -1: none
  std::string status;
  int progress = -1;  // of progressMax; -1: the bar is empty
  int progressMax = 100;
  ScanButton use{"Use this node", false};
  ScanButton download{"Download to Checked Nodes", false};
  ScanButton close{"Cancel", true};
  bool shown = false;     // false once the window is to close
  bool nodeUsed = false;  // it closes because a node was taken
};

class ScanPresenter : public ViewState<ScanView> {
 public:
  // The operations of the other areas the scan calls.
  struct Links {
    std::function<void(int id)> nodeChosen;  // the Node field shows `id`
    // The logo of `slot` in the encoder's values; false (with the reason shown) when it
    // could not be read.
    std::function<bool(int slot, std::vector<int>& values)> encodeLogo;
  };

  ScanPresenter(SerialPort& port, EventLoop& loop, LinkService& link, Dispatcher& dispatcher,
                NodeSession& session, StatusPresenter& status, DownloadPresenter& download,
                LogoSlots& logos, VideoData& video, Links links);
  ~ScanPresenter();
  ScanPresenter(const ScanPresenter&) = delete;
  ScanPresenter& operator=(const ScanPresenter&) = delete;

  // The window opens: no rows, nothing found yet.
  void open();
  // Runs the whole scan of IDs `firstId`..`lastId` with the line held. Nothing happens while
  // the port is not usable (false, with the reason on the window's error panel). A node chosen
  // meanwhile is taken once the scan has ended, and the window closes.
  bool start(int firstId = 1, int lastId = 255, ScanTiming timing = {});
  // Stops the scan after the ID it asks now; its list stays.
  void cancel();
  bool scanning() const { return scanning_; }
  bool cancelled() const { return scan_ && scan_->cancelled(); }

  // The operator's choices.
  void selectRow(int row);  // -1: none
  void checkRow(int row, bool on);
  // "Use this node": makes the selected row's node the node the window addresses, the line
  // left with that node alone awake ("SP", "WK," and the ID). While the scan runs it is
  // stopped first, and the node is taken once the scan has ended.
  void useNode();
  // "Download to Checked Nodes": the selected slot's logo to the nodes checked. When they are
  // every node a finished scan of IDs 1-255 found, they are the whole line (one stream after
  // "WK,00" when they share a memory size). `together`: the operator says the nodes stay awake
  // when another is woken. Nothing is sent when the question is answered with Cancel, when no
  // logo slot 1-4 holds a logo, or when the port is not usable; the reason is on the error panel.
  void downloadToChecked(bool together);
  bool downloading() const { return downloading_; }
  // Cancel, Escape and the close box: a running scan is cancelled and its list stays; a
  // running download ends by itself; otherwise the window closes.
  void close();

  // "2 of 3 nodes programmed."
  static std::string summary(const std::vector<FleetResult>& results);

 private:
  void addRow(const FoundNode& node);
  void showScanProgress(int id, int index, int count, int secondsLeft);
  void showDownloadProgress(const FleetProgress& p);
  // The scan has ended: its end text and the bar.
  void showScanEnd(bool finished);
  // The node the window addresses now: the Node field, then "SP", "WK,"+ID.
  void takeNode(int id);
  // The button states from what runs now.
  void enableButtons(ScanView& v) const;
  std::vector<int> checkedIds() const;
  bool portUsable(ErrorAt title);
  // The selected slot's logo ready for the line; false (with the reason shown) when none.
  bool prepare(FleetLogo& logo);
  std::vector<FleetResult> runDownload(const std::vector<int>& ids, bool together);
  void showResults(const std::vector<FleetResult>& results);

  SerialPort& port_;
  EventLoop& loop_;
  LinkService& link_;
  Dispatcher& dispatcher_;
  NodeSession& session_;
  StatusPresenter& status_;
  DownloadPresenter& download_;
  LogoSlots& logos_;
  VideoData& video_;
  Links links_;
  std::unique_ptr<NodeScan> scan_;
  bool wholeRange_ = false;  // the last scan covered every ID, 1 to 255
  std::vector<FoundNode> found_;
  bool scanning_ = false;
  bool closeAsked_ = false;  // Cancel while the scan runs
  int chosen_ = 0;           // chosen while the scan ran
  bool downloading_ = false;
};

}  // namespace osd

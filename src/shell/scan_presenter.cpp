#include "shell/scan_presenter.h"

#include <cmath>
#include <utility>

#include "common/textnum.h"
#include "image/bmp.h"
#include "transfer/line_progress.h"
#include "transfer/line_sink.h"

namespace osd {

namespace {}  // namespace

ScanPresenter::ScanPresenter(SerialPort& port, EventLoop& loop, LinkService& link,
                             Dispatcher& dispatcher, NodeSession& session, StatusPresenter& status,
                             DownloadPresenter& download, LogoSlots& logos, VideoData& video,
                             Links links)
    : port_(port),
      loop_(loop),
      link_(link),
      dispatcher_(dispatcher),
      session_(session),
      status_(status),
      download_(download),
      logos_(logos),
      video_(video),
      links_(std::move(links)) {}

ScanPresenter::~ScanPresenter() {
  if (scanning_) download_.scanRunning({});
}

void ScanPresenter::open() {
  chosen_ = 0;
  closeAsked_ = false;
  found_.clear();
  auto v = update();
  *v = ScanView{};
  v->shown = true;
}

// ---------------------------------------------------------------- the scan

bool ScanPresenter::start(int firstId, int lastId, ScanTiming timing) {
  if (scanning_ || downloading_) return false;
  scan_ = std::make_unique<NodeScan>(port_, link_.line(), loop_, firstId, lastId, timing);
  wholeRange_ = firstId == 1 && lastId == 255;
  found_.clear();
  scan_->onProgress = [this](int id, int index, int count, int secondsLeft) {
    showScanProgress(id, index, count, secondsLeft);
  };
  scan_->onFound = [this](const FoundNode& node) { addRow(node); };
  {
    auto v = update();
    v->rows.clear();
    v->selected = -1;
  }
  if (!portUsable(ErrorAt::FindNodes)) {
    showScanEnd(false);
    return false;
  }
  // The line is the scan's alone: what holds the window's traffic during a download holds it
  // here too.
  const bool wasHeld = download_.lineHeld();
  download_.holdLine(true);
  scanning_ = true;
  {
    auto v = update();
    enableButtons(*v);
  }
  download_.scanRunning([this] { scan_->cancel(); });
  // The scan wakes every node in turn; it ends with the line in the operator's wake choice.
  scan_->finish = restoreCommands(link_.line().awake());
  found_ = scan_->run();
  download_.scanRunning({});
  scanning_ = false;
  download_.holdLine(wasHeld);
  if (!found_.empty()) link_.heard();  // nodes answered: the line is alive
  const bool ok = scan_->error().empty();
  if (!ok) status_.error(scan_->error(), ErrorAt::FindNodes);
  // A node chosen meanwhile is taken now; after a port failure the line is not to be trusted.
  const int chosen = std::exchange(chosen_, 0);
  if (chosen > 0 && ok && !download_.closing()) takeNode(chosen);
  download_.closeIfAsked();  // the window was asked to close meanwhile
  showScanEnd(ok);
  return ok;
}

void ScanPresenter::cancel() {
  if (scanning_) scan_->cancel();
}

void ScanPresenter::showScanProgress(int id, int index, int count, int secondsLeft) {
  auto v = update();
  v->progressMax = count;
  v->progress = index;
  v->status = "Asking node ID " + std::to_string(id) + " (" + std::to_string(index + 1) + " of " +
              std::to_string(count) + "), about " + std::to_string(secondsLeft) + " s left";
}

void ScanPresenter::addRow(const FoundNode& node) {
  ScanRow row;
  row.id = node.id;
  row.hex = hex2(node.id);
  row.answer = node.memoryKiB > 0 ? std::to_string(node.memoryKiB) + "K memory" : node.copyright;
  row.answerTime = std::to_string(node.answerMs) + " ms";
  auto v = update();
  v->rows.push_back(std::move(row));
  // The first node found is offered at once; a choice the operator made stays.
  if (v->selected < 0) v->selected = 0;
  enableButtons(*v);
}

void ScanPresenter::showScanEnd(bool finished) {
  const size_t n = found_.size();
  auto v = update();
  // A cancelled scan keeps the share of the IDs it asked.
  if (!cancelled()) v->progress = v->progressMax;
  v->status = std::string(cancelled() ? "Scan cancelled: "
                          : finished  ? "Scan finished: "
                                      : "Scan stopped (see the error panel): ") +
              (n == 0   ? "no node answered."
               : n == 1 ? "1 node found."
                        : std::to_string(n) + " nodes found.");
  v->close.caption = "Close";
  closeAsked_ = false;
  enableButtons(*v);
  // A node chosen during the scan has been taken.
  if (v->nodeUsed) v->shown = false;
}

// ---------------------------------------------------------------- the operator's choices

void ScanPresenter::selectRow(int row) {
  if (row >= static_cast<int>(view().rows.size())) return;
  auto v = update();
  v->selected = row < 0 ? -1 : row;
  enableButtons(*v);
}

void ScanPresenter::checkRow(int row, bool on) {
  if (row < 0 || row >= static_cast<int>(view().rows.size())) return;
  auto v = update();
  v->rows[static_cast<size_t>(row)].checked = on;
  enableButtons(*v);
}

void ScanPresenter::useNode() {
  if (!view().use.enabled) return;
  const int id = view().rows[static_cast<size_t>(view().selected)].id;
  if (scanning_) {
    chosen_ = id;
    scan_->cancel();
  } else {
    takeNode(id);
  }
  auto v = update();
  if (v->nodeUsed) v->shown = false;
  enableButtons(*v);
}

void ScanPresenter::takeNode(int id) {
  if (links_.nodeChosen) links_.nodeChosen(id);
  // The next command is meant for this one alone: "SP", "WK,"+ID, the operator's choice now.
  dispatcher_.wake(id);
  quietly().nodeUsed = true;
}

void ScanPresenter::close() {
  if (downloading_) return;  // the job ends by itself; the window closes after it
  if (scanning_) {
    scan_->cancel();  // the scan ends after the ID it asks now; the list stays
    closeAsked_ = true;
    auto v = update();
    enableButtons(*v);
    return;
  }
  update()->shown = false;
}

void ScanPresenter::enableButtons(ScanView& v) const {
  bool checked = false;
  for (const ScanRow& row : v.rows) checked = checked || row.checked;
  v.use.enabled = v.selected >= 0 && !downloading_ && chosen_ == 0 && !v.nodeUsed;
  v.download.enabled = !scanning_ && !downloading_ && checked;
  v.close.enabled = !downloading_ && !closeAsked_;
}

std::vector<int> ScanPresenter::checkedIds() const {
  std::vector<int> ids;
  for (const ScanRow& row : view().rows)
    if (row.checked) ids.push_back(row.id);
  return ids;
}

bool ScanPresenter::portUsable(ErrorAt title) {
  if (port_.isOpen() && link_.valid()) return true;
  status_.error("The port is not open: choose a port in the Com menu first.", title);
  return false;
}

// ---------------------------------------------------------------- the download

void ScanPresenter::downloadToChecked(bool together) {
  if (!view().download.enabled) return;
  const std::vector<int> ids = checkedIds();
  downloading_ = true;
  {
    auto v = update();
    for (ScanRow& row : v->rows) row.result.clear();
    enableButtons(*v);
  }
  const std::vector<FleetResult> results = runDownload(ids, together);
  downloading_ = false;
  showResults(results);
}

std::vector<FleetResult> ScanPresenter::runDownload(const std::vector<int>& ids, bool together) {
  if (download_.lineHeld() || ids.empty()) return {};
  const bool wholeLine = wholeRange_ && !cancelled() && ids.size() == found_.size();
  if (!portUsable(ErrorAt::CheckedNodes)) return {};
  if (!download_.askToWrite(targetText(ids))) return {};
  FleetJob job;
  job.logos.resize(1);
  if (!prepare(job.logos[0])) return {};
  for (const int id : ids) job.nodes.push_back(FleetNode{id, 0, 0});
  job.wholeLine = wholeLine;
  job.together = together;
  // The job wakes other nodes; it ends with the line in the operator's wake choice.
  job.finish = restoreCommands(link_.line().awake());
  // The line is the job's alone, as during a single download.
  download_.holdLine(true);
  LineSink sink(dispatcher_, link_);
  FleetDownload fleet(sink, session_, loop_, download_, download_.hooks());
  fleet.onProgress = [this](const FleetProgress& p) { showDownloadProgress(p); };
  std::vector<FleetResult> results = fleet.run(job);
  download_.holdLine(false);
  status_.status(summary(results));
  return results;
}

bool ScanPresenter::prepare(FleetLogo& logo) {
  const int slot = download_.slotToSend(true);
  if (slot == 0) return false;
  std::vector<int> values(static_cast<size_t>(DownloadPlan::kLargestPicture), 0);
  if (!links_.encodeLogo(slot, values)) return false;
  logo.name = "logo " + std::to_string(slot);
  logo.width = logos_.width;
  logo.height = logos_.height;
  values.resize(static_cast<size_t>(logo.width) * static_cast<size_t>(logo.height));
  logo.pixels = std::move(values);
  logo.setup = video_.setupBlock(logo.width, logo.height);
  std::string error;
  const auto small = checkBmpFile(logos_.file[static_cast<size_t>(slot)], false, error);
  if (small && !small->accepted) logo.smallMemoryRefusal = small->message;
  return true;
}

void ScanPresenter::showDownloadProgress(const FleetProgress& p) {
  auto v = update();
  v->progressMax = 1000;
  v->progress = static_cast<int>(std::lround(10 * p.percent));
  v->status = p.step + ": " + groupedNumber(p.done) + " of " + groupedNumber(p.total) + " bytes, " +
              durationText(p.secondsLeft) + " left";
}

void ScanPresenter::showResults(const std::vector<FleetResult>& results) {
  auto v = update();
  for (const FleetResult& r : results) {
    for (ScanRow& row : v->rows) {
      if (row.id != r.id) continue;
      row.result = r.reason;
      row.programmed = r.programmed;
    }
  }
  if (!results.empty()) {
    v->progress = v->progressMax;
    v->status = summary(results);
  }
  enableButtons(*v);
}

std::string ScanPresenter::summary(const std::vector<FleetResult>& results) {
  size_t programmed = 0;
  for (const FleetResult& r : results) programmed += r.programmed ? 1 : 0;
  return std::to_string(programmed) + " of " + std::to_string(results.size()) + " node" +
         (results.size() == 1 ? "" : "s") + " programmed.";
}

}  // namespace osd

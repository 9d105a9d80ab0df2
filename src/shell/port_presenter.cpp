#include "shell/port_presenter.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

#include "common/textnum.h"
#include "schedule/schedule_model.h"

namespace osd {

namespace {
constexpr int kClockTicks = 5;  // the clock is set every sixth tick
constexpr const char* kNoPortText = "No port chosen: pick one in the Com menu";
}  // namespace

int skipPortFrom(const std::string& commandLine) {
  const std::string upper = toUpper(commandLine);
  const size_t at = upper.find("SKIPCOM");
  if (at == std::string::npos) return -1;
  size_t i = at + 7;
  while (i < upper.size() && (upper[i] == ' ' || upper[i] == '\t')) ++i;
  if (i < upper.size() && upper[i] >= '0' && upper[i] <= '9') return upper[i] - '0';
  return 0;
}

PortPresenter::PortPresenter(LinkService& link, Dispatcher& dispatcher, NodeChoices& choices,
                             StatusPresenter& status, Preferences& prefs)
    : link_(link), dispatcher_(dispatcher), choices_(choices), status_(status), prefs_(prefs) {}

void PortPresenter::searchPorts() {
  // Every failure inside the search is ignored; the search goes on with its next step.
  status_.status("");
  const std::vector<FoundPort> found = link_.search(kMenuPorts);
  {
    auto v = update();
    v->ports.clear();
    const int selected = link_.port();
    for (const FoundPort& f : found) {
      if (v->ports.size() >= kMenuPorts) break;
      // The entries may have moved: the check mark stays with the selected port.
      v->ports.push_back({f.number, f.device, selected != 0 && f.number == selected});
    }
    v->port = selected;
  }
  link_.open();
}

void PortPresenter::selectPort(int number) {
  try {
    status_.status("");
    uncheckPorts();
    {
      auto v = update();
      for (PortEntry& e : v->ports) e.checked = e.number == number;
    }
    link_.select(number);
    if (link_.port() > 0) status_.showStanding("");
    dispatcher_.sleepLine();  // the nodes on the old port go to sleep
    link_.open();
    dispatcher_.sleepLine();  // and those on the new one
    // The simulated node's port lives for this run only; the saved port stays.
    if (link_.port() != simulatedPort_)
      prefs_.write(SettingKey::ComPort, " " + std::to_string(link_.port()));
    // No node is known on the new port until it answers the settings request.
    showTrying();
    update()->port = link_.port();
  } catch (const std::exception& e) {
    status_.error(e.what(), ErrorAt::ComMenu);
  }
}

void PortPresenter::openSavedPort() {
  const std::string text = prefs_.read(SettingKey::ComPort);
  if (text.empty()) {
    link_.select(0);
    return;
  }
  const std::string tag = trimBlanks(text);
  {
    auto v = update();
    for (PortEntry& e : v->ports) {
      if (!tag.empty() && std::to_string(e.number) == tag) e.checked = true;
    }
  }
  // Port numbers are 1 to 255; anything else selects no port.
  const int32_t n = leadingInt(text);
  link_.select((n >= 1 && n <= 255) ? n : 0);
  update()->port = link_.port();
  link_.open();
}

void PortPresenter::setNodeId(const std::string& text) {
  choices_.setNodeId(text);
  update()->nodeId = text;
}

void PortPresenter::modelChosen(int model) {
  auto v = update();
  v->title = "Sigilon - SX" + std::to_string(model) + " Selected";
  v->nodeLabel = "Com";
}

void PortPresenter::clockTick(const std::function<double()>& secondsSinceMidnight) {
  if (clockCountdown_ > 0) {
    --clockCountdown_;
    return;
  }
  clockCountdown_ = kClockTicks;
  showClock(secondsSinceMidnight());
}

int PortPresenter::quietTicks(double secondsSinceMidnight) const {
  const int search = searchTicks_ > 0 ? searchTicks_ - 1 : kNoTickNeeded;
  // The ticks that set the clock are the (countdown + 1)-th and every sixth after it. The
  // next tick comes within a tick's time, so the n-th comes before the next second when n
  // ticks' time is less than what is left of this one.
  int setting = clockCountdown_ + 1;
  if (clockText(secondsSinceMidnight) == view().clock) {
    const double msLeft = (std::floor(secondsSinceMidnight) + 1 - secondsSinceMidnight) * 1000;
    const int before =
        std::max(static_cast<int>(std::ceil(msLeft / timerPeriodMs(TimerId::Delay))) - 1, 0);
    while (setting <= before) setting += kClockTicks + 1;
  }
  return std::min(search, setting - 1);
}

void PortPresenter::showClock(double secondsSinceMidnight) {
  // The window is told only when the clock shows another second.
  std::string text = clockText(secondsSinceMidnight);
  if (text != view().clock) update()->clock = std::move(text);
}

void PortPresenter::portState(PortState state) {
  switch (state) {
    case PortState::NotUsable:
      update()->portColour = kRed;
      break;
    case PortState::Open:
      update()->portColour = kCyan;
      break;
    case PortState::DataReceived:
      update()->portColour = kGreen;
      break;
    case PortState::Unknown:
      break;
  }
}

void PortPresenter::openFailed() {
  uncheckPorts();
}

void PortPresenter::sent(const std::string& text, int count) {
  auto v = update();
  v->sent = "SendCom: " + text;
  v->sentCount = std::to_string(count);
}

void PortPresenter::showAnswer(int replyCount, const std::string& line) {
  auto v = update();
  v->answerCount = std::to_string(replyCount);
  v->answer = line;
}

void PortPresenter::nodeAnswered(const std::string& digits, int memorySize) {
  {
    auto v = update();
    v->title = sizeAnswerText(digits);
    v->memory = imagePixelsText(memorySize);
  }
  if (std::exchange(searchTicks_, 0) > 0 && status_.view().status == searchText())
    status_.status("");
}

void PortPresenter::showTrying() {
  const int port = link_.port();
  update()->title = std::string(kDesignTitle) +
                    (port > 0 ? " - trying COM" + std::to_string(port) : " - no port chosen");
}

void PortPresenter::startSearch() {
  // Until the operator chooses a port the status line says so.
  status_.showStanding(link_.port() > 0 ? "" : kNoPortText);
  if (link_.port() <= 0 || !link_.isOpen()) return;
  searchTicks_ = kSearchTicks;
  status_.status(searchText());
}

void PortPresenter::searchTick() {
  if (searchTicks_ <= 0 || --searchTicks_ > 0) return;
  const bool shown = status_.view().status == searchText();
  if (shown) {
    status_.status("No node answered on COM" + std::to_string(link_.port()) + ".");
    status_.holdStatus(StatusPresenter::kUsualStatusTicks);
  }
}

std::string PortPresenter::searchText() const {
  return "Looking for a node on COM" + std::to_string(link_.port()) + "…";
}

void PortPresenter::uncheckPorts() {
  auto v = update();
  for (PortEntry& e : v->ports) e.checked = false;
}

}  // namespace osd

#include "support/fakes.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "support/portable.h"

namespace osd::test {

void VirtualLoop::setTimerEnabled(TimerId id, bool enabled) {
  Timer& t = timers_[static_cast<int>(id)];
  if (enabled && !t.enabled) t.due = now_ + timerPeriodMs(id);
  if (enabled && !t.enabled && id == TimerId::Delay) grid_.start(now_);
  t.enabled = enabled;
}

void VirtualLoop::runTicks(int64_t count) {
  const int64_t last = grid_.ran();
  for (int64_t n = last - count + 1; n <= last && timers_[0].enabled && onTimer; ++n) {
    lateMs_ = now_ - grid_.tickMs(n);  // a tick run late sees the time of day it was due at
    onTimer(TimerId::Delay);
  }
  lateMs_ = 0;
}

// The main tick keeps its timetable in `grid_`; it sleeps only when `sleepQuietTicks` is set.
bool VirtualLoop::runNext(int64_t limit) {
  if (sleepQuietTicks && quietTicks && timers_[0].enabled) grid_.sleep(quietTicks());
  timers_[0].due = grid_.targetMs();
  int64_t best = limit + 1;
  int which = -1;
  for (int i = 0; i < static_cast<int>(TimerId::Count); ++i) {
    if (timers_[i].enabled && timers_[i].due < best) {
      best = timers_[i].due;
      which = i;
    }
  }
  if (!actions_.empty() && actions_.begin()->first <= limit && actions_.begin()->first <= best) {
    auto it = actions_.begin();
    if (it->first > now_) now_ = it->first;
    auto action = std::move(it->second);
    actions_.erase(it);
    runTicks(grid_.wake(now_));
    action();
    return true;
  }
  if (which < 0) return false;
  if (best > now_) now_ = best;
  timers_[which].due = now_ + timerPeriodMs(static_cast<TimerId>(which));
  tickWakes += which == 0;
  runTicks(which == 0 ? grid_.fire(now_) : grid_.wake(now_));
  if (which != 0 && onTimer) onTimer(static_cast<TimerId>(which));
  return true;
}

void VirtualLoop::yield() {
  // One event: the next one due, however far ahead. Nothing pending: time still moves on.
  if (!runNext(now_ + 3600 * 1000)) now_ += 25;
}

void VirtualLoop::advance(int64_t ms) {
  const int64_t end = now_ + ms;
  while (runNext(end)) {
  }
  now_ = end;
  runTicks(grid_.wake(end));  // the ticks a look at the program would bring
}

void VirtualLoop::at(int64_t ms, std::function<void()> action) {
  actions_.emplace(now_ + ms, std::move(action));
}

LocalTime VirtualLoop::now() const {
  const double t = clockBase_ + static_cast<double>(now_ - lateMs_) / 1000.0;
  const int days = static_cast<int>(t / 86400.0);
  return {t - days * 86400.0, (weekday_ - 1 + days) % 7 + 1};
}

void VirtualLoop::setClock(int weekday, double secondsSinceMidnight) {
  weekday_ = weekday;
  clockBase_ = secondsSinceMidnight - static_cast<double>(now_) / 1000.0;
  while (clockBase_ < 0) {
    clockBase_ += 86400.0;
    weekday_ = (weekday_ + 5) % 7 + 1;
  }
}

bool FakePort::open(int number, PortOpenError& error) {
  openedNumbers.push_back(number);
  const auto f = failWith.find(number);
  if (open_) {
    error = {kErrPortInUse, "Port already open"};
  } else if (f != failWith.end()) {
    error = {f->second, "Open failed with error " + std::to_string(f->second)};
  } else if (!openable.count(number)) {
    error = {kErrNoSuchPort, "No such port"};
  } else {
    currentNumber = number;
    return open_ = true;
  }
  return false;
}

void FakePort::write(const std::string& bytes) {
  if (!open_) throw Failure("Port is closed");
  if (failWrites) throw Failure("Write failed");
  writes.push_back(bytes);
  writeNumbers.push_back(currentNumber);
  if (onWrite) onWrite(bytes);
}

std::string FakePort::read(int64_t maxBytes) {
  if (failReads) throw Failure("Read failed");
  size_t n = std::min<size_t>(static_cast<size_t>(maxBytes), input_.size());
  std::string out = input_.substr(0, n);
  input_.erase(0, n);
  return out;
}

void FakePort::receive(const std::string& bytes) {
  if (!open_) return;
  input_ += bytes;
  if (input_.size() >= 11 && onEvent) onEvent(kEvReceive);
}

std::string FakePort::sent() const {
  std::string all;
  for (const auto& w : writes) all += w;
  return all;
}

const std::string kPrefix = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvo\\RA7_Vud\\FormInit\\";

std::optional<std::string> MemorySettings::read(const std::string& path) {
  const auto it = values.find(path);
  return it == values.end() ? std::nullopt : std::optional(it->second);
}

std::optional<std::string> MemorySettings::get(const std::string& key) const {
  return const_cast<MemorySettings*>(this)->read(kPrefix + key);
}

void MemorySettings::set(const std::string& key, const std::string& value) {
  values[kPrefix + key] = value;
}

namespace {
// The first scripted answer, taken; `otherwise` when there is none.
template <typename T>
T takeFront(std::deque<T>& queue, T otherwise) {
  if (queue.empty()) return otherwise;
  T first = std::move(queue.front());
  queue.pop_front();
  return first;
}
}  // namespace

bool ScriptedDialogs::confirm(const std::string& title, const std::string& text, Preset preset,
                              const std::function<std::string()>& liveText) {
  if (whileAsked) whileAsked();
  confirmTitles.push_back(title);
  confirmTexts.push_back(liveText ? liveText() : text);
  presets.push_back(preset);
  return takeFront(confirmAnswers, true);
}

std::optional<std::string> ScriptedDialogs::askValue(const std::string& prompt) {
  prompts.push_back(prompt);
  return takeFront(answers, std::optional<std::string>());
}

std::string ScriptedDialogs::openFileName(const std::string&, const std::string&) {
  return takeFront(fileNames, std::string());
}

ScratchDir::ScratchDir() {
  path = (std::filesystem::temp_directory_path() / "osdtest-XXXXXX").string();
  if (::mkdtemp(path.data()) == nullptr) throw std::runtime_error("no temporary folder");
  std::filesystem::create_directories(path + "/Images");
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

void Harness::openPort(int n) {
  port.openable.insert(n);
  app->link().select(n);
  app->link().open();
  app->link().setValid(true);
  app->link().setSilentTicks(0);
  port.writes.clear();
  port.writeNumbers.clear();
}

void Harness::lineReady(int n) {
  port.openable.insert(n);
  PortOpenError err;
  port.open(n, err);
  app->link().select(n);
  app->link().setValid(true);
}

std::string Harness::error() const {
  return app->statusLine().view().errorTitle + ": " + app->statusLine().view().errorText;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace osd::test

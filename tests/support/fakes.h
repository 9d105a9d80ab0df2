// Test doubles for the seams: virtual clock, recording port, settings in memory, dialogs.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/seams.h"
#include "shell/app.h"

namespace osd::test {

// Virtual milliseconds: `yield` runs the next timer or action in time order, however far.
class VirtualLoop : public EventLoop {
 public:
  void setTimerEnabled(TimerId id, bool enabled) override;
  bool timerEnabled(TimerId id) const override { return timers_[static_cast<int>(id)].enabled; }
  void yield() override;
  LocalTime now() const override;

  void advance(int64_t ms);                           // runs all that is due until now + ms
  void at(int64_t ms, std::function<void()> action);  // runs `action` at now + ms
  int64_t ms() const { return now_; }
  // The wall clock: weekday (1 = Sunday) and time of day at virtual time 0.
  void setClock(int weekday, double secondsSinceMidnight);
  // Sleeps through the main ticks the program calls quiet, as the window's loop does; false:
  // every tick runs at its time.
  bool sleepQuietTicks = true;
  int tickWakes = 0;  // the main tick's timer firings

 private:
  bool runNext(int64_t limit);
  void runTicks(int64_t count);
  TickGrid grid_{timerPeriodMs(TimerId::Delay)};
  int64_t lateMs_ = 0;
  struct Timer {
    bool enabled = false;
    int64_t due = 0;
  };
  Timer timers_[static_cast<int>(TimerId::Count)];
  std::multimap<int64_t, std::function<void()>> actions_;
  int64_t now_ = 0;
  int weekday_ = 2;
  double clockBase_ = 8 * 3600;
};

// One serial port number space; ports listed in `openable` can be opened.
class FakePort : public SerialPort {
 public:
  bool open(int number, PortOpenError& error) override;
  void close() override {
    open_ = false;
    input_.clear();
    if (onClose) onClose();
  }
  bool isOpen() const override { return open_; }
  void setModemLines(bool d, bool r) override { dtr = d, rts = r; }
  void write(const std::string& bytes) override;
  int64_t bytesToWrite() const override { return held; }
  int64_t bytesAvailable() const override { return static_cast<int64_t>(input_.size()); }
  std::string read(int64_t maxBytes) override;
  void purge() override { input_.clear(); }
  void setReadTimeouts(uint32_t interval, uint32_t multiplier, uint32_t constant) override {
    timeouts[0] = interval, timeouts[1] = multiplier, timeouts[2] = constant;
  }
  std::string deviceName(int n) const override { return "/dev/fake" + std::to_string(n); }

  void receive(const std::string& bytes);  // the node side; event 2 once 11 or more wait
  std::string sent() const;                // all of `writes`
  std::vector<std::string> writes;
  std::vector<int> writeNumbers;   // the port number each write went to
  std::vector<int> openedNumbers;  // every open attempt
  std::set<int> openable;
  std::map<int, int> failWith;  // port -> error number for its open
  bool failWrites = false;
  bool failReads = false;
  int currentNumber = 0;
  bool dtr = false, rts = false;
  uint32_t timeouts[3] = {0, 0, 0};
  // Called after every write (a node simulation may answer).
  std::function<void(const std::string&)> onWrite;
  std::function<void()> onClose;
  int64_t held = 0;  // bytes written that have not left (a line simulation counts them)

 private:
  bool open_ = false;
  std::string input_;
};

class MemorySettings : public SettingsBackend {
 public:
  std::optional<std::string> read(const std::string& path) override;
  bool write(const std::string& path, const std::string& value) override {
    if (refuseWrites) return false;
    values[path] = value;
    ++writes;
    return true;
  }
  // By key name under "...\RA7_Vud\FormInit\".
  std::optional<std::string> get(const std::string& key) const;
  void set(const std::string& key, const std::string& value);
  std::map<std::string, std::string> values;
  int writes = 0;
  bool refuseWrites = false;  // a store that keeps nothing (a full disk, a locked file)
};

class ScriptedDialogs : public Dialogs {
 public:
  bool confirm(const std::string& title, const std::string& text, Preset preset,
               const std::function<std::string()>& liveText) override;
  std::optional<std::string> askValue(const std::string& prompt) override;
  std::string openFileName(const std::string& startPath, const std::string& filter) override;
  std::string saveFileName(const std::string& start, const std::string& filter) override {
    return openFileName(start, filter);
  }
  void message(const std::string& title, const std::string& text) override {
    messages.push_back(title + ": " + text);
  }
  void beep() override { ++beeps; }

  std::deque<bool> confirmAnswers;                 // default: OK
  std::deque<std::optional<std::string>> answers;  // default: closed without Enter
  std::deque<std::string> fileNames;               // default: cancelled
  std::vector<std::string> confirmTitles, confirmTexts, prompts, messages;
  std::vector<Preset> presets;       // the button Enter takes, per question
  std::function<void()> whileAsked;  // runs while a question is open; its text as it is then
  int beeps = 0;
};

class FakeLauncher : public Launcher {
 public:
  bool startProgram(const std::string& program, const std::vector<std::string>& args) override {
    started.emplace_back(program, args);
    return existing.count(program) != 0;
  }
  bool openDocument(const std::string& pathOrUrl) override {
    opened.push_back(pathOrUrl);
    return true;
  }
  bool fileExists(const std::string& path) const override { return existing.count(path) != 0; }
  std::vector<std::pair<std::string, std::vector<std::string>>> started;
  std::vector<std::string> opened;
  std::set<std::string> existing;
};

// A fresh temporary folder with an "Images" folder in it, removed at the end.
struct ScratchDir {
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string path;
};

// The program's logic on the doubles, with a temporary data folder.
struct Harness {
  VirtualLoop loop;
  FakePort port;
  MemorySettings settings;
  ScriptedDialogs dialogs;
  FakeLauncher launcher;
  ScratchDir temp;
  std::string dir = temp.path;  // program and data folder
  std::unique_ptr<Platform> platform =
      std::make_unique<Platform>(Platform{port, loop, settings, dialogs, launcher, dir, dir});
  std::unique_ptr<App> app = std::make_unique<App>(*platform);

  // Opens port `n` as the selected port and lets it become valid (as after start-up),
  // without going through the whole start-up sequence; clears the recorded writes.
  void openPort(int n = 3);
  // The line open on port `n` and usable, as the program has it once started, without the
  // serial service's own open (no wake-up timer is armed).
  void lineReady(int n = 3);
  void ticks(int n) { loop.advance(static_cast<int64_t>(n) * 25); }
  // Bytes from the node, taken in as a port event or a running poll would.
  void arrive(const std::string& bytes) { port.receive(bytes), app->session().receive(); }
  // The error panel as the operator reads it: "title: text".
  std::string error() const;
};

void writeFile(const std::string& path, const std::string& bytes);
std::string readFileBytes(const std::string& path);

}  // namespace osd::test

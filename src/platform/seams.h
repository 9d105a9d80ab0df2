// The seams between the program's logic and the machine: serial port, timers and the event
// loop, settings backend, dialogs, outside programs. Each has a Qt implementation for the
// real program and a test double (tests/support) that runs on a virtual clock.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace osd {

// A failure with a description, the way the operations report them on the error panel.
class Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& what, int number = 0)
      : std::runtime_error(what), number_(number) {}
  int number() const { return number_; }

 private:
  int number_;
};

// Port event codes, as the serial service understands them.
enum PortEventCode : int {
  kEvReceive = 2,
  kEvCts = 3,
  kEvDsr = 4,
  kEvCd = 5,
  kEvRing = 6,
  kEvEof = 7,
  kEvBreak = 1001,
  kEvCtsTimeout = 1002,
  kEvDsrTimeout = 1003,
  kEvFrame = 1004,
  kEvOverrun = 1006,
  kEvCdTimeout = 1007,
  kEvRxOver = 1008,
  kEvParity = 1009,
  kEvTxFull = 1010,  // also: the device vanished while open
  kEvDcb = 1011,
};

// Open error numbers.
enum PortErrorNumber : int {
  kErrNoSuchPort = 8002,
  kErrPortInUse = 8005,
};

struct PortOpenError {
  int number = 0;           // 8002, 8005 or another number
  std::string description;  // the failure's description
};

// One serial port, addressed by its port number 1-255 (mapped to a device by the platform).
// Line settings are fixed: 9600 baud, 8 data bits, no parity, 1 stop bit, no handshaking.
class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Opens port `number`; on failure returns false and fills `error`.
  virtual bool open(int number, PortOpenError& error) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // DTR and RTS. Devices without modem lines refuse; that is not a failure.
  virtual void setModemLines(bool dtr, bool rts) = 0;
  // Writes the bytes (one char per byte). Throws Failure when the write fails.
  virtual void write(const std::string& bytes) = 0;
  // Bytes written but not yet taken by the line.
  virtual int64_t bytesToWrite() const = 0;
  // Bytes written that have not left yet, counting the operating system's queue below the
  // port where it can be asked (a pseudo-terminal reports none there).
  virtual int64_t heldBytes() const { return bytesToWrite(); }
  virtual int64_t bytesAvailable() const = 0;
  // Reads at most `maxBytes` waiting bytes. Throws Failure when the read fails.
  virtual std::string read(int64_t maxBytes) = 0;
  // Drops everything waiting in both directions.
  virtual void purge() = 0;
  // Read time-outs in milliseconds (interval, total multiplier, total constant).
  virtual void setReadTimeouts(uint32_t interval, uint32_t multiplier, uint32_t constant) = 0;
  // The device the number stands for ("/dev/ttyUSB0"), for the Com menu; "" if unknown.
  virtual std::string deviceName(int number) const = 0;
  // Receives the port's events (code 2: data waiting, 1010: connection lost, ...).
  std::function<void(int code)> onEvent;
};

enum class TimerId : int {
  Delay = 0,     // tmr_Delay, 25 ms
  TenSec = 1,    // tmr10sec, 100 ms
  ComInit = 2,   // tmrComInit, 100 ms
  Schedule = 3,  // tmrSchedule, 500 ms (the window: on the wall clock's half seconds)
  Splash = 4,    // tmrSplash, 100 ms
  Editor = 5,    // the schedule editor's Timer1, 500 ms
  About = 6,     // the about window's Timer1, 1000 ms
  Count = 7,
};

int timerPeriodMs(TimerId id);

// The milliseconds from `wallMs` (wall-clock milliseconds) to the next whole multiple of
// `periodMs`, never less than a fifth of the period (a beat that came a little early does not
// fire twice). The schedule's timer beats on the wall clock's half seconds, so that its blink
// and the clock's new second are painted together.
int msToNextBeat(long long wallMs, int periodMs);

// The main tick's timetable for a loop that may sleep through quiet ticks (see
// EventLoop::quietTicks): tick n falls n periods after the start. The loop arms its timer for
// `targetMs()`. The ticks it slept through run in a row before anything else happens: when
// something else wakes it (`wake`) or when the target comes (`fire`); each sees the time of
// day it was due at.
class TickGrid {
 public:
  // The longest sleep: what the ticks may skip is asked again at least this often.
  static constexpr int kMostQuiet = 80;

  explicit TickGrid(int periodMs) : period_(periodMs) {}
  // Tick 1 falls one period from `nowMs`.
  void start(int64_t nowMs);
  // The ticks after the next `quiet` ones are needed: the next to run is the (quiet + 1)-th.
  // True when that moved the target.
  bool sleep(int quiet);
  int64_t targetMs() const { return tickMs(target_); }
  // When tick n is due; the last tick run. A tick run late sees the time it was due at.
  int64_t tickMs(int64_t n) const { return origin_ + n * period_; }
  int64_t ran() const { return ran_; }
  // Something else woke the loop at `nowMs`: the ticks slept through that are due by then.
  int64_t wake(int64_t nowMs);
  // The timer fired at `nowMs`: the ticks to run now (slept ones and the target; none when it
  // came early). A target a whole period late starts the timetable again from now, as a
  // repeating timer that fell behind does: lost ticks are not made up for.
  int64_t fire(int64_t nowMs);

 private:
  int64_t period_;
  int64_t origin_ = 0;
  int64_t ran_ = 0;     // the last tick run
  int64_t target_ = 1;  // the tick the timer is armed for
};

struct LocalTime {
  double secondsSinceMidnight = 0;  // with fraction
  int weekday = 1;                  // 1 = Sunday .. 7 = Saturday
};

// The machine's time of day. The time zone is read again at most once a minute: reading it
// means a look at the zone file, and the clock and the schedule ask several times a second.
LocalTime localTimeNow();

// Timers and the event loop. Timer callbacks go to `onTimer`.
class EventLoop {
 public:
  virtual ~EventLoop() = default;
  virtual void setTimerEnabled(TimerId id, bool enabled) = 0;
  virtual bool timerEnabled(TimerId id) const = 0;
  // Lets pending window, timer and serial events run once. May wait briefly for the next one.
  virtual void yield() = 0;
  // Lets the events already pending run, without waiting for more: for long computations that
  // keep the window answering (a wait there would add up over every step). Where there is no
  // such difference, the same as yield().
  virtual void runPending() { yield(); }
  virtual LocalTime now() const = 0;
  // Seconds on a clock that never goes back, for measuring durations. By default taken from
  // now() (weekday and time of day); the real loop uses the system's monotonic clock.
  virtual double monotonicSeconds() const;
  std::function<void(TimerId)> onTimer;
  // How many of the coming main ticks may pass with nothing done in them but counting. A loop
  // that can may sleep through them; it runs them in a row, before anything else, once
  // something wakes it or the next needed tick comes, so every tick still does its work at its
  // own time. Unset, or 0: every tick is needed.
  std::function<int()> quietTicks;
};

// What a part of the main tick answers when asked how many coming ticks may pass quietly and
// it needs none of them.
inline constexpr int kNoTickNeeded = 1 << 30;

// Where settings live. Paths are backslash-separated value paths.
class SettingsBackend {
 public:
  virtual ~SettingsBackend() = default;
  // The value at `path`, or nothing when it is absent or cannot be read.
  virtual std::optional<std::string> read(const std::string& path) = 0;
  // Writes the value, durably, creating what is missing. False on failure.
  virtual bool write(const std::string& path, const std::string& value) = 0;
};

// Modal questions and file choices.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // OK/Cancel box; true for OK. `preset` is the button Enter takes: Cancel for every question
  // whose OK writes to a node. `liveText`, when given, is the text as it is now: the box
  // follows it while it is open.
  enum class Preset { Ok, Cancel };
  virtual bool confirm(const std::string& title, const std::string& text,
                       Preset preset = Preset::Ok,
                       const std::function<std::string()>& liveText = {}) = 0;
  // The input window: the answer typed and confirmed with Enter; nothing when it was
  // closed another way.
  virtual std::optional<std::string> askValue(const std::string& prompt) = 0;
  // File dialogs: the chosen path, or "" when cancelled.
  virtual std::string openFileName(const std::string& startPath, const std::string& filter) = 0;
  virtual std::string saveFileName(const std::string& startPath, const std::string& filter) = 0;
  // A plain message box (used only where a message box is the expected behaviour).
  virtual void message(const std::string& title, const std::string& text) = 0;
  virtual void beep() = 0;
};

// Starting outside programs and opening documents.
class Launcher {
 public:
  virtual ~Launcher() = default;
  // Starts `program` with `args`, never through a shell, without waiting. False on failure.
  virtual bool startProgram(const std::string& program, const std::vector<std::string>& args) = 0;
  // Opens a document or address with the desktop's associated program.
  virtual bool openDocument(const std::string& pathOrUrl) = 0;
  virtual bool fileExists(const std::string& path) const = 0;
  // The paint programs to try, in order, as full paths: on Windows Paint at its known places;
  // elsewhere the desktop's paint programs found on the search path (by fileExists).
  virtual std::vector<std::string> paintPrograms() const;
  // The text editors to try, in order, each a program and its leading arguments: on Windows
  // Notepad; elsewhere $VISUAL and $EDITOR (those that need a terminal left out), the desktop's
  // opener and common desktop editors.
  virtual std::vector<std::vector<std::string>> textEditors() const;
};

// What a running copy of the program answers when a later copy asks it to close.
enum class Handover {
  Closed,           // it closes (or has closed): the later copy takes over
  DownloadRunning,  // it keeps the line: a logo download runs there
  ScanRunning,      // it keeps the line: a scan of the line runs there
  NoAnswer,         // it was found but could not be told to close
};

// Another copy of the program already running on this desktop (its main window is titled
// "RA7_Vud"). Start-up asks it to close so that only one copy talks to the serial line.
class InstanceGuard {
 public:
  virtual ~InstanceGuard() = default;
  // True when another copy is running.
  virtual bool otherInstanceRunning() = 0;
  // Brings the other copy's window to the front; where the desktop does not allow it,
  // nothing happens.
  virtual void bringOtherToFront() {}
  // Asks the other copy to close.
  virtual Handover closeOther() = 0;
};

}  // namespace osd

// What osdctl's commands run on: the settings file, the data files, the port (by number
// through the port map, or by device path) and the event loop, and on them the link
// components. No window and no window model.
//
//   cli::Parsed parsed;
//   HostOptions options;
//   if (auto rc = readCommandArgs(args, "identify", parsed, options))
//     return *rc;                                     // help, version or a usage error
//   std::unique_ptr<Host> host;
//   int rc = kOk;
//   auto line = openLine("identify", options, host, rc);
//   if (!line) return rc;                             // 3 with a one-line reason on stderr
//   line->dispatcher.wakeAll();
//   host->runUntil([&] { return line->session.replyCount() > 0; }, 3000);
#pragma once

#include <unistd.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/reporter.h"
#include "ctl/commands.h"
#include "ctl/ctl_options.h"
#include "ctl/ctl_seams.h"
#include "link/dispatcher.h"
#include "link/link_service.h"
#include "link/node_session.h"
#include "settings/ini_settings.h"
#include "transfer/line_progress.h"
#include "transfer/line_sink.h"
#include "transfer/workbench.h"

namespace osd::ctl {

// Milliseconds on the steady clock: what osdctl's own waits and progress lines count in.
int64_t nowMs();

// Reports on standard error: status texts and failures one line each, a download's figures
// as "sent N of M bytes" at most every 2 s (N: bytes that have left the port, never more than
// a 9600-baud line can have carried since the stream started).
class StderrReporter : public Reporter {
 public:
  void status(const std::string& text) override;
  void error(const std::string& message, const std::string& title) override;
  void progressShown(bool) override {}
  void progress(double) override {}
  void download(const DownloadProgress& p) override;

  // The failures reported so far, "message (title)" each.
  const std::vector<std::string>& errors() const { return errors_; }
  // The stream's progress on the line; null before the stream started.
  const LineProgress* line() const { return line_.get(); }
  // Ends the terminal's progress line, if one is shown.
  void endBar();
  // Shows the progress again with the port's count of bytes still held, so the lines keep
  // coming while a write waits for the line.
  void refresh(int64_t held);

 private:
  std::vector<std::string> errors_;
  DownloadPhase phase_ = DownloadPhase::Idle;
  std::unique_ptr<LineProgress> line_;
  DownloadProgress last_;
  int64_t lastLineMs_ = -1;
  bool terminal_ = ::isatty(2) == 1;
  bool barOpen_ = false;
};

class Host {
 public:
  // Throws std::invalid_argument with a one-line reason when the port map is malformed.
  explicit Host(HostOptions options);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Opens the --port through `link` and marks it usable. Returns 0, or kPortFailure after
  // printing a one-line reason on standard error (also when no --port was given or it names
  // no port). The wake-up that follows an open in the window is not armed here: the commands
  // wake the nodes they address themselves.
  int openPort(LinkService& link);

  // Runs the event loop with the 25 ms tick until `done` returns true or `timeoutMs` passed.
  // Returns what `done` returned last.
  bool runUntil(const std::function<bool()>& done, int timeoutMs);
  // Runs the event loop until every written byte has left the port (also the driver's
  // buffer). False on timeout or when the port closed first.
  bool drain(int timeoutMs);

  // The settings and data files, loaded as the window loads them.
  Workbench& bench() { return *bench_; }
  Dialogs& dialogs() { return seams_->dialogs(); }
  Launcher& launcher() { return seams_->launcher(); }
  SerialPort& port() { return seams_->port(); }
  EventLoop& loop() { return seams_->loop(); }
  HostSeams& seams() { return *seams_; }
  IniSettings& settings() { return *settings_; }
  const HostOptions& options() const { return options_; }
  const std::string& dataDir() const { return dataDir_; }

 private:
  // On the first start (no settings file yet) takes the settings an earlier installation kept
  // in the system's store, and says so on standard error.
  void takeMachineSettings();

  HostOptions options_;
  std::unique_ptr<HostSeams> seams_;
  std::unique_ptr<IniSettings> settings_;
  std::string dataDir_;
  std::unique_ptr<Workbench> bench_;
};

// What the link reports, kept for the command to judge.
class Recorder : public LinkListener {
 public:
  void error(const std::string& message, const std::string& title) override;
  void status(const std::string& text) override { lastStatus = text; }
  void answerTaken(int, const std::string& line) override {
    lastAnswer = line;
    answers.push_back(line);
  }
  void sizeAnswered(const std::string& d, int) override { digits = d; }
  void readBack(const std::string& s) override { stream = s; }

  std::string failure, lastStatus, lastAnswer, digits, stream;
  // Every answer taken in since it was last cleared.
  std::vector<std::string> answers;
};

// The link components on the host's port and clock. Only what a command asks for goes on the
// line: no node poll, no watchdog calls. While `downloading` is set the dispatcher refuses
// every command, so nothing comes between the download stream's bytes.
struct Line {
  explicit Line(Host& host);
  ~Line();
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  Host& host;
  bool colour = false;  // a colour logo generator: longer read-backs
  bool downloading = false;
  Recorder recorder;
  LinkService link;
  Dispatcher dispatcher;
  NodeSession session;
  // The download job's way onto this line, and its waits on the host's clock.
  LineSink sink{dispatcher, link};
  DownloadHooks waits() { return lineWaits(dispatcher, host.loop()); }
};

// Builds the host and opens the --port on a line; on failure null, with `rc` holding the exit
// status (a usage error of `command` or kPortFailure) after the reason was printed.
std::unique_ptr<Line> openLine(const char* command, const HostOptions& options,
                               std::unique_ptr<Host>& host, int& rc);
// The two steps apart, for a command that checks its files before the port is opened.
std::unique_ptr<Host> makeHost(const char* command, const HostOptions& options, int& rc);
std::unique_ptr<Line> openLine(Host& host, int& rc);

// The job's waits, and a stop when SIGINT or SIGTERM came (StopSignals).
DownloadHooks stoppable(DownloadHooks hooks);
// After a stop: lets the line carry what is on its way (on a terminal "Stopping: N bytes
// still on their way"), then "osdctl COMMAND: stopped at N of M bytes" where N is what the
// line carried of the `written` bytes of the stream; kPortFailure.
int stoppedAt(Line& line, int64_t written, int64_t total, bool inFlight = false);

}  // namespace osd::ctl

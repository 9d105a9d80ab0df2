// What the end-to-end tests share; the application is made before any test runs (offscreen
// unless QT_QPA_PLATFORM says otherwise).
#pragma once

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace osd::e2e {

void ensureApplication();

std::string binDir();  // osdprog, osdctl, osdsim: OSD_BIN_DIR, else above this program's

std::string slurp(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

// A temporary folder with an "Images" folder in it, removed at the end.
struct TempDir {
  TempDir();
  QTemporaryDir dir;
  std::string path;
};

struct ProgramRun {
  int rc = -1;  // exit status, -1 when it did not exit normally
  std::string out, err;
};

// Runs `program` to its end (at most `timeoutMs`) with `input` on its standard input.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& workDir = {}, const std::string& input = {},
                      int timeoutMs = 120000);

// A logo in colours an RGB node stores exactly, different in every line and half; `shift`
// makes another. wrongPixels: pixels of osdsim's picture unlike `logo` on an RGB node (-1: none).
std::string rgbExactLogo(int shift = 0);
int wrongPixels(const std::string& picture, const std::string& logo);

// The Qt event loop until `done` or `ms` passed; what `done` returned last.
inline bool waitFor(const std::function<bool()>& done, int ms) {
  return QTest::qWaitFor(done, ms);
}

// osdsim started with `options`; its terminal is the first line it prints. SIGTERM at the end.
class Sim {
 public:
  explicit Sim(const std::vector<std::string>& options);
  ~Sim();
  const std::string& pty() const { return pty_; }
  qint64 pid() const { return process_.processId(); }
  QProcess& process() { return process_; }

 private:
  QProcess process_;
  std::string pty_;
};

// What `sim` has heard so far, from its --record file: everything the programs wrote to its
// terminal before this call. A mark written to the terminal is waited for in the file (the
// node reads at line speed, after the writer may have exited) and left out.
std::string lineHeard(const Sim& sim, const std::string& record);

}  // namespace osd::e2e

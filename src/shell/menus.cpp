// Menu entries that hand work to the outside: exit, the manual, the paint program, and the
// about window with its start-up splash.
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "shell/about.h"
#include "shell/app.h"

namespace osd {

namespace {
#ifdef _WIN32
constexpr char kDirSeparator = '\\';
#else
constexpr char kDirSeparator = '/';
#endif

std::string joinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/' || dir.back() == '\\') return dir + name;
  return dir + kDirSeparator + name;
}

// The paint programs to start, in order, as full paths.
std::vector<std::string> paintPrograms(const Launcher& launcher) {
#ifdef _WIN32
  (void)launcher;
  return {"C:\\winnt\\System32\\mspaint.exe", "C:\\windows\\System32\\mspaint.exe",
          "C:\\Windows\\Pbrush.exe"};
#else
  // The desktop's paint programs, each found on the search path.
  static const char* const kNames[] = {"kolourpaint", "pinta", "gimp", "mtpaint"};
  const char* env = std::getenv("PATH");
  const std::string searchPath =
      (env != nullptr && *env != '\0') ? env : "/usr/local/bin:/usr/bin:/bin";
  std::vector<std::string> dirs;
  size_t start = 0;
  while (start <= searchPath.size()) {
    size_t end = searchPath.find(':', start);
    if (end == std::string::npos) end = searchPath.size();
    if (end > start) dirs.push_back(searchPath.substr(start, end - start));
    start = end + 1;
  }
  std::vector<std::string> found;
  for (const char* name : kNames) {
    for (const std::string& dir : dirs) {
      const std::string candidate = joinPath(dir, name);
      if (launcher.fileExists(candidate)) {
        found.push_back(candidate);
        break;
      }
    }
  }
  return found;
#endif
}
}  // namespace

void App::exitClick() {
  if (window_.exit) window_.exit();
}

void App::manualClick() {
  const std::string manual = joinPath(pf_.programDir, "QX7_QX3_Manual.pdf");
  // A missing manual leaves everything as it is.
  if (!pf_.launcher.fileExists(manual)) return;
  pf_.launcher.openDocument(manual);
}

void App::paintClick() {
  try {
    // The checked recent file, if any, is opened in the paint program. It is passed as one
    // argument of its own (no shell is involved), so it needs no quotes.
    std::vector<std::string> args;
    for (int i = 0; i < 8; ++i) {
      const std::string entry = indexed("mnuRecentFile", i);
      if (ui_.checked(entry) && !ui_.text(entry).empty()) {
        args.push_back(ui_.text(entry));
        break;
      }
    }
    // Each program is tried; one that cannot be started is passed over without a word.
    bool started = false;
    for (const std::string& program : paintPrograms(pf_.launcher)) {
      try {
        started = pf_.launcher.startProgram(program, args) || started;
      } catch (...) {
      }
    }
    // Saying nothing when nothing could be started leaves the operator waiting for a window.
    if (!started) {
      status_.error("No paint program found: install one (kolourpaint, pinta, gimp or mtpaint)",
                    "Paintbrush");
    }
  } catch (...) {
  }
}

void App::openAbout(bool aboutFlag, bool modal) {
  if (!about_) about_ = std::make_unique<AboutWindow>(pf_.loop, pf_.launcher);
  about_->load(aboutFlag);
  if (window_.showAbout) window_.showAbout(*about_, modal);
  // Once a modal showing has returned the window is gone, whatever ended it. The main window
  // may have been closed meanwhile (shutdown discards the about window).
  if (modal && about_) about_->close();
}

void App::aboutClick() {
  openAbout(true, false);
}

void App::splashTick() {
  // The splash timer runs once.
  pf_.loop.setTimerEnabled(TimerId::Splash, false);
  if (splashShown) return;
  splashShown = true;
  status_.enableWindow(false);
  // Whatever happens to the splash, the main window comes back.
  try {
    openAbout(false, true);
  } catch (const std::exception& e) {
    status_.error(e.what(), "tmrSplash_Timer");
  }
  status_.enableWindow(true);
}

void App::aboutTimerTick() {
  if (about_ && about_->isOpen()) {
    about_->tick();
  } else {
    pf_.loop.setTimerEnabled(TimerId::About, false);
  }
}

}  // namespace osd

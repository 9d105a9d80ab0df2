// Seams for programs without a window (osdctl): dialogs that answer on their own, and the
// launcher for outside programs and documents.
#pragma once

#include <string>
#include <vector>

#include "platform/seams.h"

namespace osd::qt {

// Confirmations are taken as OK (the command line already asked for the action); there is
// nobody to type a value or choose a file; messages go to standard error.
class HeadlessDialogs : public Dialogs {
 public:
  bool confirm(const std::string& title, const std::string& text, Preset preset,
               const std::function<std::string()>& liveText) override;
  std::optional<std::string> askValue(const std::string& prompt) override;
  std::string openFileName(const std::string& startPath, const std::string& filter) override;
  std::string saveFileName(const std::string& startPath, const std::string& filter) override;
  void message(const std::string& title, const std::string& text) override;
  void beep() override {}
};

// Starts programs directly (never through a shell) and opens documents with xdg-open.
class QtLauncher : public Launcher {
 public:
  bool startProgram(const std::string& program, const std::vector<std::string>& args) override;
  bool openDocument(const std::string& pathOrUrl) override;
  bool fileExists(const std::string& path) const override;
};

}  // namespace osd::qt

// How components tell the operator what they do: a status line, failures with the name of the
// operation, and the progress of a long job. The main window shows them on its labels and
// progress bar; osdctl prints them on standard error.
#pragma once

#include <cstdint>
#include <string>

#include "common/error_titles.h"

namespace osd {

// Where a logo download stands.
enum class DownloadPhase { Idle, Erasing, Reading, Setup, Image, Filler, Done, Failed };

// One report of a running download: `sent` of `total` bytes from "QXW" on have been handed
// to the port; `waiting` of them had not left it yet when the report was made.
struct DownloadProgress {
  DownloadPhase phase = DownloadPhase::Idle;
  int64_t sent = 0;
  int64_t total = 0;
  int64_t waiting = 0;
};

class Reporter {
 public:
  virtual ~Reporter() = default;
  // The status line; an empty text clears it.
  virtual void status(const std::string& text) = 0;
  // A failure: its description and the name of the operation that failed.
  virtual void error(const std::string& message, const std::string& title) = 0;
  // The same, the title named by its place (and the step within it).
  void error(const std::string& message, ErrorAt at) { error(message, errorTitle(at)); }
  void error(const std::string& message, ErrorAt at, const std::string& step) {
    error(message, errorTitle(at, step));
  }
  // The progress bar: shown or hidden, and its value 0..100.
  virtual void progressShown(bool shown) = 0;
  virtual void progress(double percent) = 0;
  // The busy pointer.
  virtual void busy(bool) {}
  // The figures of a running download, after every piece handed to the port.
  virtual void download(const DownloadProgress&) {}
};

}  // namespace osd

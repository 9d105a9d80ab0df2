// The steps of the safe writer that differ from system to system. Each system has its own
// file of them (file_steps_posix.cpp, file_steps_win.cpp), chosen by the build.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace osd {

// The file operations that replace a file through a temporary one, one call per step. The
// writer calls them in this order and stops at the first that fails:
//   open, write, keepAttributes (only when a file is replaced), flush, close, replace,
//   syncFolder (after a successful replace);
// discard (after a failure, once the temporary exists; close comes first when it was opened).
// Each platform has one implementation (fsync and rename with a folder sync on POSIX; a flush
// and a write-through replace on Windows, whose syncFolder does nothing). Tests pass their own
// to see the steps or to make one fail.
class FileSteps {
 public:
  virtual ~FileSteps() = default;
  // Makes and opens a new temporary file beside `file` and names it in `temp`.
  virtual bool open(const std::string& file, bool replacing, std::string& temp) = 0;
  virtual bool write(std::string_view content) = 0;
  // Gives the temporary the permissions and owner of `file`, which it is about to replace.
  virtual bool keepAttributes(const std::string& file) = 0;
  // The temporary's content reaches the disk.
  virtual bool flush() = 0;
  virtual bool close() = 0;
  // Puts the temporary in the place of `file` in one step.
  virtual bool replace(const std::string& temp, const std::string& file) = 0;
  // The folder's new entry reaches the disk.
  virtual void syncFolder(const std::string& file) = 0;
  virtual void discard(const std::string& temp) = 0;
  // Why the last step that failed failed, in a few words ("Permission denied").
  virtual std::string failure() const = 0;
};

// This system's file steps.
std::unique_ptr<FileSteps> systemFileSteps();

// The mark in the name of every temporary file the programs make.
constexpr const char* kTempMark = ".osdtmp-";

}  // namespace osd

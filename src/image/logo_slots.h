// The logo slots: which bitmap file each slot holds, the figures of the logo loaded last, the
// recent-file list and the store of logos read back from a logo generator.
//
//   LogoSlots slots(prefs);
//   SlotVerdict v = slots.load(1, "/logos/a.bmp", largeMemory);   // checks, then takes it
//   if (v.kind != SlotVerdict::Loaded) ... v.message
//   slots.encode(1, PixelFormat::Rgb, 255, pixels, reporter);     // node values of slot 1
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/reporter.h"
#include "image/encoder.h"

namespace osd {

class Preferences;

struct SlotVerdict {
  enum Kind { Loaded, BadName, Rejected, Unreadable };
  Kind kind = BadName;
  std::string file;     // the name as taken (blanks trimmed)
  std::string message;  // why not, for Rejected and Unreadable
  int width = 0, height = 0;
  long long imageBytes = 0;
};

class LogoSlots {
 public:
  static constexpr int kCount = 32;  // slots 0..31 (models 15 and 31 offer up to 31)
  static constexpr int kRecentCount = 8;
  static constexpr size_t kReadBackBytes = 8193;

  explicit LogoSlots(Preferences& prefs);

  // Checks the bitmap against the node's memory and, when it is accepted, makes it the
  // slot's file and the current logo. A file whose size was read sets the current figures
  // even when it is then rejected.
  SlotVerdict load(int slot, const std::string& fileName, bool largeMemory);

  // Node values of the slot's bitmap in `format` (none: nothing is encoded), transparency
  // `transparent`. Failures are reported (title "FetchLogo"); false when one was.
  bool encode(int slot, std::optional<PixelFormat> format, int transparent, std::vector<int>& out,
              Reporter& reporter, const std::function<void()>& onRow = {}) const;

  // ---- State ----
  int selected = 0;                      // the slot the operator works on
  std::array<std::string, kCount> file;  // the bitmap each slot holds
  std::array<std::string, kCount> path;  // the name each slot was last loaded from
  std::string current;                   // the file loaded last
  int width = 256, height = 64;          // figures of the logo loaded last
  long long imageBytes = 0;
  int logoHeight = 0;
  // The read-back store: one stream of 8193 bytes per slot.
  std::vector<std::vector<uint8_t>> readBack;

  // ---- Recent files, newest first ----
  const std::array<std::string, kRecentCount>& recent() const { return recent_; }
  void setRecent(int index, const std::string& name) {
    recent_.at(static_cast<size_t>(index)) = name;
  }
  // Moves `name` to the front, the others down; stores the moved entries ("FileSelectN").
  // Returns the indices whose text changed.
  std::vector<int> pushRecent(const std::string& name);

 private:
  Preferences& prefs_;
  std::array<std::string, kRecentCount> recent_{};
};

}  // namespace osd

// What the window and osdctl share: the operator's settings and the data files, loaded once
// at start-up in the same way, so the same settings and data folder give the same bytes on
// the line whichever program sends them.
//
//   Workbench bench(settingsBackend, dataDir);
//   bench.load();                 // the data files (created with the defaults when missing)
//   bench.prefs().pal(); bench.video().setupBlock(w, h); bench.logos().load(1, path, true);
#pragma once

#include <string>

#include "image/logo_slots.h"
#include "settings/preferences.h"
#include "transfer/screen_placement.h"
#include "transfer/video_store.h"

namespace osd {

class Workbench {
 public:
  // The logo size the data files' defaults are made for until a logo is loaded.
  static constexpr int kStartWidth = 256;
  static constexpr int kStartHeight = 64;

  Workbench(SettingsBackend& settings, const std::string& dataDir)
      : prefs_(settings), video_(dataDir + "/Images"), slots_(prefs_), placement_(video_) {}

  // The start-up load of the data files, their defaults made for a logo of the given size.
  // A file that cannot be read is kept beside itself (NAME.bad) before the defaults replace it;
  // `kept` then says so.
  VideoData::Loaded load(int width = kStartWidth, int height = kStartHeight) {
    const std::string kept = video::keepUnreadableFiles(video_.folder());
    VideoData::Loaded loaded = video_.load(width, height);
    loaded.kept = kept;
    return loaded;
  }

  Preferences& prefs() { return prefs_; }
  VideoData& video() { return video_; }
  LogoSlots& logos() { return slots_; }
  Placement& placement() { return placement_; }

 private:
  Preferences prefs_;
  VideoData video_;
  LogoSlots slots_;
  Placement placement_;
};

}  // namespace osd

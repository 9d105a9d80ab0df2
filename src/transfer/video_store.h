// The video-controller data the program works with: the three register tables, the
// image-control table and the setup block, kept in the four files of the "Images" folder.
//
//   VideoData video(dataDir + "/Images");
//   video.load(256, 64);              // the files, else the defaults (written to the folder)
//   video.params()[1] ...             // the image-control table
//   video.setupBlock(width, height);  // the 256 bytes that precede a logo download
#pragma once

#include <string>

#include "transfer/video_data.h"

namespace osd {

class VideoData {
 public:
  explicit VideoData(std::string imagesDir) : dir_(std::move(imagesDir)) {}

  const std::string& folder() const { return dir_; }

  // Reads the four files. On any failure nothing changes and the result is false.
  bool read();
  // Takes the defaults (the image-control table for a `width` x `height` logo) and writes
  // them to the folder; files that cannot be written are left as they are.
  void useDefaults(int width, int height);
  // The start-up load: read, else the defaults; then a start position of 0 becomes 240 across
  // and 50 down.
  struct Loaded {
    video::ImageParams asLoaded{};  // the image-control table before the start position
    std::string kept;               // the files kept beside themselves as unreadable, if any
  };
  Loaded load(int width, int height);
  // Writes one table to its file ("Video-ImageData"...). Throws std::runtime_error.
  void writeTable(const std::string& baseName, const int* table) const;

  video::ImageParams& params() { return params_; }
  const video::ImageParams& params() const { return params_; }
  video::RegisterTable& ntsc() { return ntsc_; }
  video::RegisterTable& palB() { return palB_; }
  video::RegisterTable& palM() { return palM_; }

  // Fills the setup block for a `width` x `height` logo from the image-control table.
  const video::SetupBlock& setupBlock(int width, int height);
  video::SetupBlock& block() { return block_; }

  // The start position in the image-control table: across, down.
  int startH() const { return params_[2] * 256 + params_[1]; }
  int startV() const { return params_[4] * 256 + params_[3]; }

 private:
  std::string dir_;
  video::RegisterTable ntsc_{};
  video::RegisterTable palB_{};
  video::RegisterTable palM_{};
  video::ImageParams params_{};
  video::SetupBlock block_{};
};

}  // namespace osd

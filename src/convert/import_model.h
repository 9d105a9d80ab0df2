// The state behind the "Import Picture" window: the picture read, the chosen size, placement,
// depth, and what the node will show for them; and the import itself, which writes the bitmap
// into the data folder's "Images" and loads it into the selected slot as "Open" does.
#pragma once

#include <QImage>
#include <QSize>
#include <functional>
#include <string>

#include "convert/picture_convert.h"

namespace osd::convert {

// What an import takes from the window: the node settings that decide what the node shows,
// where bitmaps go, the operator's answers on an existing file, and what it does with the
// bitmap written.
struct ImportWindow {
  PixelFormat format = PixelFormat::YCbCr;
  int transparent = 255;
  bool largeMemory = false;
  std::string imagesDir;  // the data folder's "Images"
  // The bitmap's file exists: whether to replace it; if not, another name from the file window
  // ("" when cancelled).
  std::function<bool(const std::string& file)> mayReplace;
  std::function<std::string(const std::string& offered)> otherName;
  std::function<void(const std::string& message)> failed;  // shown on the error panel
  // Loads the written bitmap into the selected slot; false when it did not (shown already).
  std::function<bool(const std::string& file)> load;
};

// Draws `picture` enlarged `scale` times over a grey checkerboard of `cell` pixels, so that
// its transparent pixels show the board.
QImage onCheckerboard(const QImage& picture, int scale, int cell = 8);

class ImportModel {
 public:
  explicit ImportModel(ImportWindow window);

  // Reads the picture; false with `error` (one line) when it cannot. The size becomes the
  // largest the rules allow.
  bool load(const std::string& path, std::string& error);
  bool loaded() const { return !source_.isNull(); }
  const std::string& sourcePath() const { return path_; }
  QSize sourceSize() const { return source_.size(); }

  void setSize(QSize size);
  void useLargestSize();
  void useLogoSize();  // 256 x 64
  void setPlacement(Placement p);
  void setDepth(int depth);
  const Target& target() const { return target_; }
  PixelFormat format() const { return format_; }

  // The conversion for the current choices (error set when the size breaks the rules).
  const Converted& result() const { return result_; }
  // What the node will show, transparent pixels with alpha 0; null while there is an error.
  const QImage& nodeView() const { return view_; }
  // One line: the size, depth and transparent pixel count, or why nothing can be imported.
  std::string summary() const;

  // The bitmap's file name offered: the picture's name with ".bmp", in the data folder's
  // "Images".
  std::string offeredName() const;
  // Writes the bitmap (asking before it replaces a file; another name can be chosen) and
  // loads it into the selected slot. False when nothing was imported (cancelled, or an error
  // that was shown on the window's error panel).
  bool importIntoSlot();

 private:
  void refresh();

  ImportWindow window_;
  std::string path_;
  QImage source_;
  Target target_;
  PixelFormat format_ = PixelFormat::YCbCr;
  Converted result_;
  QImage view_;
};

}  // namespace osd::convert

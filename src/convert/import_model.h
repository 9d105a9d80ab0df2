// The state behind the "Import Picture" window: the picture read, the chosen size, placement,
// depth, and what the node will show for them; and the import itself, which writes the bitmap
// into the data folder's "Images" and loads it into the selected slot as "Open" does.
#pragma once

#include <QImage>
#include <QSize>
#include <string>

#include "convert/picture_convert.h"

namespace osd {
class App;
}

namespace osd::convert {

// Draws `picture` enlarged `scale` times over a grey checkerboard of `cell` pixels, so that
// its transparent pixels show the board.
QImage onCheckerboard(const QImage& picture, int scale, int cell = 8);

class ImportModel {
 public:
  // The node's settings that decide what it shows: taken from the window.
  explicit ImportModel(App& app);

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

  App& app_;
  std::string path_;
  QImage source_;
  Target target_;
  PixelFormat format_ = PixelFormat::YCbCr;
  Converted result_;
  QImage view_;
};

}  // namespace osd::convert

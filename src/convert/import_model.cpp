#include "convert/import_model.h"

#include <QPainter>
#include <filesystem>

#include "image/bmp_writer.h"

namespace osd::convert {

namespace {

bool endsWithBmp(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".bmp";
}

}  // namespace

QImage onCheckerboard(const QImage& picture, int scale, int cell) {
  if (picture.isNull() || scale < 1) return {};
  QImage out(picture.size() * scale, QImage::Format_RGB32);
  QPainter p(&out);
  for (int y = 0; y < out.height(); y += cell)
    for (int x = 0; x < out.width(); x += cell)
      p.fillRect(x, y, cell, cell, ((x / cell + y / cell) % 2) ? QColor(204, 204, 204) : Qt::white);
  p.drawImage(out.rect(), picture);
  return out;
}

ImportModel::ImportModel(ImportWindow window) : window_(std::move(window)) {
  format_ = window_.format;
  target_.transparent = window_.transparent;
  target_.largeMemory = window_.largeMemory;
}

bool ImportModel::load(const std::string& path, std::string& error) {
  QImage img = loadPicture(path, error);
  if (img.isNull()) return false;
  path_ = path;
  source_ = std::move(img);
  useLargestSize();
  return true;
}

void ImportModel::setSize(QSize size) {
  target_.size = size;
  refresh();
}

void ImportModel::useLargestSize() {
  setSize(largestSize(source_.size(), target_.largeMemory));
}

void ImportModel::useLogoSize() {
  setSize(QSize(256, 64));
}

void ImportModel::setPlacement(Placement p) {
  target_.placement = p;
  refresh();
}

void ImportModel::setDepth(int depth) {
  target_.depth = depth == 8 ? 8 : 24;
  refresh();
}

void ImportModel::refresh() {
  if (source_.isNull()) return;
  result_ = convertPicture(source_, target_);
  view_ = result_.error.empty() ? nodePreview(result_.bmp, format_, target_.transparent) : QImage();
}

std::string ImportModel::summary() const {
  if (source_.isNull()) return "No picture read.";
  if (!result_.error.empty()) return result_.error;
  long long clear = 0;
  for (int y = 0; y < view_.height(); ++y)
    for (int x = 0; x < view_.width(); ++x) clear += qAlpha(view_.pixel(x, y)) == 0;
  return std::to_string(view_.width()) + " x " + std::to_string(view_.height()) + ", " +
         std::to_string(target_.depth) + " bits, " + std::to_string(clear) +
         " transparent pixels (" + (format_ == PixelFormat::Rgb ? "RGB" : "YCbCr") +
         ", transparent value " + std::to_string(target_.transparent) + ")";
}

std::string ImportModel::offeredName() const {
  std::string stem = std::filesystem::path(path_).stem().string();
  if (stem.empty()) stem = "picture";
  return window_.imagesDir + "/" + stem + ".bmp";
}

bool ImportModel::importIntoSlot() {
  if (source_.isNull() || !result_.error.empty()) return false;
  std::string name = offeredName();
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(name).parent_path(), ec);
  if (std::filesystem::exists(name, ec) && !window_.mayReplace(name)) {
    name = window_.otherName(name);  // the file window asks before replacing
    if (name.empty()) return false;
    if (!endsWithBmp(name)) name += ".bmp";
  }
  std::string error;
  if (!replaceFile(name, result_.bmp, error)) {
    window_.failed(error);
    return false;
  }
  return window_.load(name);  // into the selected slot, as "Open" loads a file
}

}  // namespace osd::convert

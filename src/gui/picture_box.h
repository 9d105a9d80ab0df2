// Picture controls of the windows: a picture box that draws an image file (or an image
// given directly) scaled to its own size, and a small round lamp.
#pragma once

#include <QColor>
#include <QImage>
#include <QLabel>
#include <QString>
#include <QWidget>
#include <functional>

namespace osd::gui {

class PictureBox : public QWidget {
  Q_OBJECT
 public:
  explicit PictureBox(QWidget* parent = nullptr);

  // Shows the picture in `file` ("" clears it). A file that cannot be read shows nothing.
  void setImageFile(const QString& file);
  // Shows `image` directly (a drawn picture rather than a file).
  void setImage(const QImage& image);
  const QImage& image() const { return image_; }
  const QString& imageFile() const { return file_; }
  // Keeps the picture's proportions inside the box (centred) instead of filling it.
  void setKeepAspect(bool keep) {
    keepAspect_ = keep;
    update();
  }
  // Draws a checkerboard where the picture is transparent.
  void setCheckerboard(bool on) {
    checkerboard_ = on;
    update();
  }
  // Draws without smoothing, so single pixels stay sharp when enlarged.
  void setSharpPixels(bool on) {
    sharp_ = on;
    update();
  }

  // Mouse events in the box's own pixel coordinates (kind: 0 press, 1 move, 2 release).
  std::function<void(int kind, QPointF pos)> onMouse;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage image_;
  QString file_;
  bool keepAspect_ = false;
  bool checkerboard_ = false;
  bool sharp_ = false;
};

// A round indicator lamp; its colour is the palette's window colour (set by the binder from
// the control's back colour).
class Lamp : public QWidget {
  Q_OBJECT
 public:
  explicit Lamp(QWidget* parent = nullptr);
  QSize sizeHint() const override { return {14, 14}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// A label that shortens a long text ("/home/…/LOGO.BMP", "SendCom: \xFF\xFF…") instead of
// growing the window: it asks for at most kMaxHintWidth pixels and each of its lines is
// elided to the width it gets. The whole text is its tool tip when something is cut.
class ElidedLabel : public QLabel {
  Q_OBJECT
 public:
  static constexpr int kMaxHintWidth = 260;
  explicit ElidedLabel(QWidget* parent = nullptr, Qt::TextElideMode mode = Qt::ElideMiddle);
  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Qt::TextElideMode mode_;
};

}  // namespace osd::gui

#include "gui/picture_box.h"

#include <QMouseEvent>
#include <QPainter>

namespace osd::gui {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void PictureBox::setImageFile(const QString& file) {
  file_ = file;
  image_ = file.isEmpty() ? QImage() : QImage(file);
  update();
}

void PictureBox::setImage(const QImage& image) {
  file_.clear();
  image_ = image;
  update();
}

void PictureBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (autoFillBackground()) p.fillRect(rect(), palette().color(backgroundRole()));
  if (image_.isNull()) return;
  QRectF target = rect();
  if (keepAspect_) {
    QSizeF size = QSizeF(image_.size()).scaled(target.size(), Qt::KeepAspectRatio);
    target = QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
  }
  if (checkerboard_) {
    const int cell = 8;
    p.save();
    p.setClipRect(target);
    for (int y = 0; y * cell < height(); ++y) {
      for (int x = 0; x * cell < width(); ++x) {
        p.fillRect(x * cell, y * cell, cell, cell,
                   (x + y) % 2 ? QColor(0xCC, 0xCC, 0xCC) : QColor(0xFF, 0xFF, 0xFF));
      }
    }
    p.restore();
  }
  p.setRenderHint(QPainter::SmoothPixmapTransform, !sharp_);
  p.drawImage(target, image_);
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
  if (onMouse) onMouse(0, event->position());
}
void PictureBox::mouseMoveEvent(QMouseEvent* event) {
  if (onMouse) onMouse(1, event->position());
}
void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
  if (onMouse) onMouse(2, event->position());
}

Lamp::Lamp(QWidget* parent) : QWidget(parent) {
  // The binder must not fill the rectangle: only the round lamp takes the colour.
  setProperty("osdNoFill", true);
  setMinimumSize(12, 12);
}

void Lamp::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  qreal d = qMin(width(), height()) - 2;
  QRectF r((width() - d) / 2, (height() - d) / 2, d, d);
  p.setPen(QPen(palette().color(QPalette::Mid), 1));
  p.setBrush(palette().color(QPalette::Window));
  p.drawEllipse(r);
}

ElidedLabel::ElidedLabel(QWidget* parent, Qt::TextElideMode mode) : QLabel(parent), mode_(mode) {
  setTextFormat(Qt::PlainText);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

// An empty name takes no room, so the rows of a slot list stay together.
QSize ElidedLabel::minimumSizeHint() const {
  if (text().isEmpty()) return {40, 0};
  return {40, fontMetrics().height() * static_cast<int>(text().count(QChar('\n')) + 1)};
}

QSize ElidedLabel::sizeHint() const {
  if (text().isEmpty()) return {40, 0};
  return {qMin(QLabel::sizeHint().width(), kMaxHintWidth), minimumSizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect area = contentsRect();
  const QStringList lines = text().split(QChar('\n'));
  QStringList shown;
  for (const QString& line : lines) {
    shown << fontMetrics().elidedText(line, mode_, area.width());
  }
  const QString all = shown.join(QChar('\n'));
  const QString tip = all == text() ? QString() : text();
  if (toolTip() != tip) setToolTip(tip);
  p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
  p.drawText(area, int(alignment() | Qt::AlignVCenter), all);
}

}  // namespace osd::gui

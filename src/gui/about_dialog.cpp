#include "gui/about_dialog.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QVBoxLayout>

#include "gui/picture_box.h"
#include "gui/widget_mirror.h"
#include "shell/about.h"

namespace osd::gui {

QImage drawProgramIcon(int size) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  // Monitor.
  p.setPen(QPen(QColor(0x26, 0x32, 0x38), 3));
  p.setBrush(QColor(0x37, 0x47, 0x4f));
  p.drawRoundedRect(QRectF(4, 8, 56, 40), 4, 4);
  p.setPen(Qt::NoPen);
  p.fillRect(QRectF(24, 50, 16, 4), QColor(0x26, 0x32, 0x38));
  p.drawRoundedRect(QRectF(16, 54, 32, 5), 2, 2);
  p.setBrush(QColor(0x26, 0x32, 0x38));
  p.drawRoundedRect(QRectF(16, 54, 32, 5), 2, 2);
  // Picture: colour bars.
  const QColor bars[] = {QColor(191, 191, 191), QColor(191, 191, 0), QColor(0, 191, 191),
                         QColor(0, 191, 0),     QColor(191, 0, 191), QColor(191, 0, 0),
                         QColor(0, 0, 191)};
  for (int i = 0; i < 7; ++i) p.fillRect(QRectF(8 + i * 48.0 / 7, 12, 48.0 / 7 + 0.3, 32), bars[i]);
  // The keyed logo in the upper right corner.
  p.setBrush(QColor(255, 255, 255, 235));
  p.setPen(QPen(QColor(0xe5, 0x39, 0x35), 1.5));
  p.drawRoundedRect(QRectF(34, 15, 19, 10), 2, 2);
  p.setPen(QColor(0xe5, 0x39, 0x35));
  QFont f;
  f.setPixelSize(7);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRectF(34, 15, 19, 10), Qt::AlignCenter, QStringLiteral("OSD"));
  return img;
}

namespace {
QLabel* namedLabel(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromUtf8(name));
  label->setTextFormat(Qt::PlainText);
  return label;
}
}  // namespace

AboutDialog::AboutDialog(AboutWindow& about, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), about_(about) {
  setObjectName(QStringLiteral("frmAbout"));
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* frame = new QFrame(this);
  frame->setObjectName(QStringLiteral("Frame1"));
  frame->setFrameShape(QFrame::Box);
  frame->setLineWidth(1);
  outer->addWidget(frame);

  auto* row = new QHBoxLayout(frame);
  row->setContentsMargins(18, 18, 18, 18);
  row->setSpacing(18);
  auto* icon = new PictureBox(frame);
  icon->setObjectName(QStringLiteral("picIcon"));
  icon->setProperty("osdDrawn", true);
  icon->setImage(drawProgramIcon(128));
  icon->setKeepAspect(true);
  icon->setFixedSize(96, 96);
  row->addWidget(icon, 0, Qt::AlignTop);

  auto* text = new QVBoxLayout;
  text->setSpacing(6);
  row->addLayout(text, 1);
  buildLabels(frame, text);

  about_.onChange([this] { showView(); });
  showView();
  // The window has no title of its own; keep a sensible one for the desktop.
  setWindowTitle(QStringLiteral("RA7-Ziro"));
  // Every label, the frame and the picture take the mouse.
  for (QWidget* w :
       {static_cast<QWidget*>(frame), static_cast<QWidget*>(icon), static_cast<QWidget*>(version_),
        static_cast<QWidget*>(productName_), static_cast<QWidget*>(company_),
        static_cast<QWidget*>(product_), static_cast<QWidget*>(credit_),
        static_cast<QWidget*>(mail_), static_cast<QWidget*>(web_)}) {
    w->installEventFilter(this);
  }
  QPointer<AboutDialog> self(this);
  about_.setWindowActions({.closed = [self]() {
    if (self && !self->closing_) {
      self->closing_ = true;
      self->done(QDialog::Accepted);
    }
  }});
}

// The texts beside the picture: product, version, maker, the credits and the two links.
void AboutDialog::buildLabels(QFrame* frame, QVBoxLayout* text) {
  productName_ = namedLabel("lblProductName", frame);
  QFont big = productName_->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  productName_->setFont(big);
  text->addWidget(productName_);
  product_ = namedLabel("lblProduct", frame);
  QFont bold = product_->font();
  bold.setBold(true);
  product_->setFont(bold);
  text->addWidget(product_);
  version_ = namedLabel("lblVersion", frame);
  text->addWidget(version_);
  text->addSpacing(6);
  company_ = namedLabel("lblCompany", frame);
  text->addWidget(company_);
  text->addSpacing(6);
  credit_ = namedLabel("lblCredit", frame);
  // The credits come and go; the window keeps their room so nothing jumps.
  QSizePolicy keep = credit_->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  credit_->setSizePolicy(keep);
  text->addWidget(credit_);
  text->addSpacing(6);
  mail_ = namedLabel("lblMail", frame);
  web_ = namedLabel("lblWeb", frame);
  for (QLabel* l : {mail_, web_}) {
    QFont lf = l->font();
    lf.setUnderline(true);
    l->setFont(lf);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, pal.color(QPalette::Link));
    l->setPalette(pal);
    l->setCursor(Qt::PointingHandCursor);
    text->addWidget(l);
  }
  text->addStretch(1);
}

AboutDialog::~AboutDialog() {
  about_.setWindowActions({});
  about_.onChange(nullptr);
}

void AboutDialog::showView() {
  const AboutView& v = about_.view();
  showText(version_, v.version);
  showText(productName_, v.productName);
  showText(company_, v.company);
  showText(product_, v.product);
  showText(credit_, v.credit);
  credit_->setVisible(v.creditShown);
  showText(mail_, v.mail);
  showText(web_, v.web);
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      about_.press();
      return true;
    case QEvent::MouseMove:
      if (static_cast<QMouseEvent*>(event)->buttons() != Qt::NoButton) about_.move();
      return true;
    case QEvent::MouseButtonRelease: {
      about_.release();
      auto* w = qobject_cast<QWidget*>(watched);
      auto* me = static_cast<QMouseEvent*>(event);
      const AboutTarget target = watched == mail_  ? AboutTarget::Mail
                                 : watched == web_ ? AboutTarget::Web
                                                   : AboutTarget::Window;
      if (w && w->rect().contains(me->position().toPoint())) about_.click(target);
      return true;
    }
    default:
      break;
  }
  return QDialog::eventFilter(watched, event);
}

void AboutDialog::keyPressEvent(QKeyEvent*) {
  about_.keyPress();
}

void AboutDialog::closeEvent(QCloseEvent* event) {
  // Closed by the desktop: the logic closes too (stops its timer).
  if (!closing_) {
    closing_ = true;
    about_.setWindowActions({});
    about_.close();
  }
  event->accept();
}

}  // namespace osd::gui

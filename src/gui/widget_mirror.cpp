#include "gui/widget_mirror.h"

#include <QApplication>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <cmath>

#include "common/textnum.h"

namespace osd::gui {

QString toQt(const std::string& text) {
  QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  if (s.contains(QChar::ReplacementCharacter)) {
    s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  }
  return s;
}

std::string fromQt(const QString& text) {
  return text.toStdString();
}

QString displayText(const std::string& text) {
  QString s = toQt(escapeUnprintable(text));
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar('\n'));
  return s;
}

namespace {

QColor colourOf(Color c, const QPalette& system) {
  switch (c) {
    case kSysButtonFace:
      return system.color(QPalette::Button);
    case kSysWindow:
      return system.color(QPalette::Base);
    case kSysWindowText:
      return system.color(QPalette::WindowText);
    case kSysHighlightText:
      return system.color(QPalette::HighlightedText);
    default:
      break;
  }
  if (c < 0) return {};
  return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

int dpiOf(const QWidget* widget, bool vertical) {
  int dpi = 96;
  if (widget) dpi = vertical ? widget->logicalDpiY() : widget->logicalDpiX();
  return dpi > 0 ? dpi : 96;
}

}  // namespace

void paintColours(QWidget* w, Color foreColour, Color backColour) {
  // A palette set again, even an equal one, makes the widget polish and repaint itself: the
  // colours a widget shows are remembered and only a change reaches it. They are kept here
  // rather than as properties of the widget: the mirrors ask on every poll answer.
  struct Shown {
    qlonglong colours = 0;
    bool coloured = false;
  };
  static QHash<const QWidget*, Shown> shownOn;
  const qlonglong wanted = (static_cast<qlonglong>(foreColour) << 32) ^ (backColour & 0xFFFFFFFF);
  auto at = shownOn.find(w);
  if (at == shownOn.end()) {
    at = shownOn.insert(w, Shown{~wanted, false});
    QObject::connect(w, &QObject::destroyed, [w] { shownOn.remove(w); });
  }
  Shown& shown = at.value();
  if (shown.colours == wanted) return;
  shown.colours = wanted;
  const QPalette system = QApplication::palette(w);
  const QColor fore = colourOf(foreColour, system);
  const QColor back = colourOf(backColour, system);
  if (!fore.isValid() && !back.isValid()) {
    if (shown.coloured) {
      w->setPalette(QPalette());
      if (!w->property("osdNoFill").toBool()) w->setAutoFillBackground(false);
      shown.coloured = false;
    }
    return;
  }
  QPalette pal;
  if (fore.isValid()) {
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
      pal.setColor(role, fore);
    }
  }
  if (back.isValid()) {
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
      pal.setColor(role, back);
    }
  }
  w->setPalette(pal);
  shown.coloured = true;
  if (!w->property("osdNoFill").toBool()) w->setAutoFillBackground(back.isValid());
}

QLabel* NamedLabels::operator()(const char* name) {
  QLabel*& label = found_[QString::fromUtf8(name)];
  if (!label) label = window_->findChild<QLabel*>(QString::fromUtf8(name));
  return label;
}

void showText(QLabel* label, const std::string& text) {
  const QString shown = displayText(text);
  if (label->text() != shown) label->setText(shown);
}

void showText(QLineEdit* edit, const std::string& text) {
  const QString shown = toQt(text);
  if (edit->text() != shown) edit->setText(shown);
}

int toPixels(const QWidget* widget, int twips, bool vertical) {
  return static_cast<int>(
      std::lround(static_cast<double>(twips) * dpiOf(widget, vertical) / 1440.0));
}

double toTwips(const QWidget* widget, double pixels, bool vertical) {
  return pixels * 1440.0 / dpiOf(widget, vertical);
}

}  // namespace osd::gui

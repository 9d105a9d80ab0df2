// Small helpers that put a view state's values on widgets: texts as the operator reads them,
// the view's colours on a widget's palette, and twips as pixels.
#pragma once

#include <QHash>
#include <QString>
#include <string>

#include "shell/view_state.h"

class QWidget;
class QLabel;
class QLineEdit;

namespace osd::gui {

// Text (bytes; UTF-8 when valid, else one character per byte) to a QString and back.
QString toQt(const std::string& text);
std::string fromQt(const QString& text);
// What a label shows: bytes that are no characters as "\xFF" escapes, CR LF as line breaks.
QString displayText(const std::string& text);

// The fore and back colours on the widget's palette; the default colour leaves the
// desktop's own.
void paintColours(QWidget* widget, Color fore, Color back);
void showText(QLabel* label, const std::string& text);
// A field keeps its text (and the cursor in it) unless the view says something else.
void showText(QLineEdit* edit, const std::string& text);

// The labels of a window by object name, each looked up once: the mirrors run on every clock
// second and every poll answer.
class NamedLabels {
 public:
  explicit NamedLabels(QWidget* window) : window_(window) {}
  QLabel* operator()(const char* name);

 private:
  QWidget* window_;
  QHash<QString, QLabel*> found_;
};

// Twips to pixels of the widget's screen (logical DPI) and back.
int toPixels(const QWidget* widget, int twips, bool vertical = false);
double toTwips(const QWidget* widget, double pixels, bool vertical = false);

}  // namespace osd::gui

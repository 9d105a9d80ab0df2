#include "gui/gui_dialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/widget_mirror.h"

namespace osd::gui {

QString toQtFilter(const std::string& filter) {
  const QStringList parts = toQt(filter).split(QChar('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    QString pattern = parts[i + 1].trimmed();
    pattern.replace(QChar(';'), QChar(' '));
    if (description.contains(QChar('(') + pattern + QChar(')'))) {
      out << description;
    } else {
      out << description + QStringLiteral(" (") + pattern + QChar(')');
    }
  }
  if (parts.size() % 2 == 1 && !parts.back().trimmed().isEmpty()) out << parts.back().trimmed();
  return out.join(QStringLiteral(";;"));
}

InputWindow::InputWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmEnterData"));
  setWindowTitle(QStringLiteral("Additional Data Needed"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  question_ = new QLabel(this);
  question_->setObjectName(QStringLiteral("LblQuestion"));
  question_->setTextFormat(Qt::PlainText);
  question_->setWordWrap(true);
  question_->setMinimumWidth(320);
  input_ = new QLineEdit(this);
  input_->setObjectName(QStringLiteral("txtInput"));
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons_->setObjectName(QStringLiteral("inputButtons"));
  layout->addWidget(question_);
  layout->addWidget(input_);
  layout->addWidget(buttons_);
  // OK (also Enter) gives the text; Cancel, Escape and closing the window give nothing.
  connect(buttons_, &QDialogButtonBox::accepted, this, [this]() {
    entered_ = true;
    accept();
  });
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::optional<std::string> InputWindow::ask(const std::string& prompt) {
  entered_ = false;
  input_->clear();
  QString text = toQt(prompt);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  question_->setText(text);
  input_->setFocus();
  if (auto* ok = buttons_->button(QDialogButtonBox::Ok)) ok->setDefault(true);
  exec();
  if (!entered_) return std::nullopt;
  return fromQt(input_->text());
}

bool GuiDialogs::confirm(const std::string& title, const std::string& text, Preset preset,
                         const std::function<std::string()>& liveText) {
  const auto shown = [](const std::string& t) {
    QString body = toQt(t);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return body;
  };
  QMessageBox box(QMessageBox::Question, toQt(title), shown(text),
                  QMessageBox::Ok | QMessageBox::Cancel, parent_);
  box.setDefaultButton(preset == Preset::Ok ? QMessageBox::Ok : QMessageBox::Cancel);
  box.setEscapeButton(QMessageBox::Cancel);
  QTimer follow;
  if (liveText) {
    QObject::connect(&follow, &QTimer::timeout, &box, [&box, &liveText, &shown] {
      const QString now = shown(liveText());
      if (box.text() != now) box.setText(now);
    });
    follow.start(250);
  }
  return box.exec() == QMessageBox::Ok;
}

std::optional<std::string> GuiDialogs::askValue(const std::string& prompt) {
  InputWindow window(parent_);
  return window.ask(prompt);
}

std::string GuiDialogs::openFileName(const std::string& startPath, const std::string& filter) {
  QString file =
      QFileDialog::getOpenFileName(parent_, QString(), toQt(startPath), toQtFilter(filter));
  return fromQt(file);
}

std::string GuiDialogs::saveFileName(const std::string& startPath, const std::string& filter) {
  QString file =
      QFileDialog::getSaveFileName(parent_, QString(), toQt(startPath), toQtFilter(filter));
  return fromQt(file);
}

void GuiDialogs::message(const std::string& title, const std::string& text) {
  QString body = toQt(text);
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox::information(parent_, toQt(title), body);
}

void GuiDialogs::beep() {
  QApplication::beep();
}

}  // namespace osd::gui

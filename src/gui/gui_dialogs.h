// The Dialogs seam with Qt widgets: OK/Cancel boxes, the input window "Additional Data
// Needed", the open and save file dialogs, message boxes and the beep.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

#include "platform/seams.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace osd::gui {

// "BMP Files (*.bmp)|*.bmp|All Files (*.*)|*.*" -> "BMP Files (*.bmp);;All Files (*.*)":
// description/pattern pairs become Qt's name filters; a description that does not name its
// pattern in parentheses gets it appended.
QString toQtFilter(const std::string& filter);

// The modal input window frmEnterData: the prompt in LblQuestion, the answer typed in
// txtInput, OK and Cancel below. OK or Enter closes it with the text; Cancel or any other
// way of closing gives nothing.
class InputWindow : public QDialog {
  Q_OBJECT
 public:
  explicit InputWindow(QWidget* parent = nullptr);
  // Clears the field, shows `prompt`, runs modally.
  std::optional<std::string> ask(const std::string& prompt);
  QLabel* question() const { return question_; }
  QLineEdit* input() const { return input_; }
  QDialogButtonBox* buttons() const { return buttons_; }

 private:
  QLabel* question_;
  QLineEdit* input_;
  QDialogButtonBox* buttons_;
  bool entered_ = false;
};

class GuiDialogs : public Dialogs {
 public:
  // Dialogs open over `parent` once it is set (the main window).
  void setParent(QWidget* parent) { parent_ = parent; }

  bool confirm(const std::string& title, const std::string& text, Preset preset,
               const std::function<std::string()>& liveText) override;
  std::optional<std::string> askValue(const std::string& prompt) override;
  std::string openFileName(const std::string& startPath, const std::string& filter) override;
  std::string saveFileName(const std::string& startPath, const std::string& filter) override;
  void message(const std::string& title, const std::string& text) override;
  void beep() override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace osd::gui

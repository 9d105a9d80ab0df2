// The about window (also the start-up splash) over the AboutWindow logic: its labels follow
// the logic's view, mouse and keys are handed to it. The window's one-second timer runs in the
// App's event loop.
#pragma once

#include <QDialog>
#include <QHash>
#include <QImage>

class QFrame;
class QLabel;
class QVBoxLayout;

namespace osd {
class AboutWindow;
}

namespace osd::gui {

// The program's picture: a monitor with a logo keyed into its corner.
QImage drawProgramIcon(int size);

class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(AboutWindow& about, QWidget* parent = nullptr);
  ~AboutDialog() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showView();
  void buildLabels(QFrame* frame, QVBoxLayout* text);
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  AboutWindow& about_;
  QLabel* version_ = nullptr;
  QLabel* productName_ = nullptr;
  QLabel* company_ = nullptr;
  QLabel* product_ = nullptr;
  QLabel* credit_ = nullptr;
  QLabel* mail_ = nullptr;
  QLabel* web_ = nullptr;
  bool closing_ = false;
};

}  // namespace osd::gui

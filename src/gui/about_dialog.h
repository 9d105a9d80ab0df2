// The about window (also the start-up splash) over the AboutWindow logic: labels bound by
// name, mouse and keys forwarded. The window's one-second timer runs in the App's event loop.
#pragma once

#include <QDialog>
#include <QImage>

namespace osd {
class AboutWindow;
}

namespace osd::gui {

class ModelBinder;

// The program's picture: a monitor with a logo keyed into its corner.
QImage drawProgramIcon(int size);

class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(AboutWindow& about, QWidget* parent = nullptr);
  ~AboutDialog() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  AboutWindow& about_;
  ModelBinder* binder_ = nullptr;
  bool closing_ = false;
};

}  // namespace osd::gui

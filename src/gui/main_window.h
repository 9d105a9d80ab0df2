// The main window as the operator sees it. It creates one widget or menu entry per control of
// the App's window model (objectName = control name), mirrors the model through the
// ModelBinder and forwards every user event to the App: clicks by name, key releases in the
// text fields, mouse events on the slot previews (in twips). It holds no rules of its own.
#pragma once

#include <QHash>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <array>
#include <string>

#include "gui/model_binder.h"

class QBoxLayout;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;

namespace osd {
class App;
class AboutWindow;
}  // namespace osd

namespace osd::gui {

class PictureBox;
class AboutDialog;

// The 75 % colour-bar test pattern with its lower castellations and PLUGE strip.
QImage drawColourBars(QSize size);

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(App& app, QWidget* parent = nullptr);
  ~MainWindow() override;

  App& app() { return app_; }
  ModelBinder& binder() { return *binder_; }

  // Forwards a click on the control `name` to the App (what a user click does).
  void forward(const std::string& name);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenus();
  void buildCentral();
  void buildScreen(QBoxLayout* column);
  void addSlotPreviews();
  void buildFigures(QBoxLayout* column);
  void buildSlotChoice(QBoxLayout* column);
  void buildModeBoxes(QBoxLayout* column);
  void buildPositionBox(QBoxLayout* column);
  void buildNodeBox(QBoxLayout* column);
  void buildBottomStrip(QBoxLayout* outer);
  void buildReplyArea(QBoxLayout* outer);
  void buildStatusLine();
  void buildErrorPanel(QWidget* central);
  QMenu* addMenu(const char* name);
  void addEntry(QMenu* menu, const std::string& name);
  void controlChanged(const std::string& name);
  // The areas whose presenters have a typed view: their widgets follow it.
  void bindStatus();
  void showStatus();
  void bindPort();
  void showPort();
  void placeScreenLayers();
  void sizePreview(const std::string& name);
  void scheduleLargeView();
  void updateLargeView();
  void fitErrorPanel();
  void showAbout(AboutWindow& about, bool modal);

  App& app_;
  ModelBinder* binder_ = nullptr;
  QGroupBox* logoFrame_ = nullptr;
  QFrame* screen_ = nullptr;
  PictureBox* smpte_ = nullptr;
  PictureBox* largeView_ = nullptr;
  QGroupBox* errorPanel_ = nullptr;
  QFrame* replyArea_ = nullptr;
  QLabel* errorText_ = nullptr;
  QWidget* errorOk_ = nullptr;
  QLabel* statusText_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QAction* portSearch_ = nullptr;
  std::array<QAction*, 12> portEntries_{};
  int statusPaints_ = 0;
  QPointer<AboutDialog> about_;
  QHash<QObject*, QSet<int>> keysDown_;  // keys pressed in each text field, not yet released
  bool largeViewPending_ = false;
  bool closing_ = false;
  bool modalAbout_ = false;
  bool closeAfterAbout_ = false;
};

}  // namespace osd::gui

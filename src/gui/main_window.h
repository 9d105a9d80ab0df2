// The main window as the operator sees it. It builds the widgets with their captions and
// layout (the menus from tables), connects each widget's signal to an operation of the area
// presenter it belongs to, and mirrors the area presenters' view states onto the widgets.
// It holds no rules of its own.
#pragma once

#include <QHash>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <array>
#include <string>

#include "gui/widget_mirror.h"
#include "shell/logo_presenter.h"

class QAction;
class QBoxLayout;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QRadioButton;

namespace osd {
class App;
class AboutWindow;
}  // namespace osd

namespace osd::gui {

class PictureBox;
class AboutDialog;
class Lamp;

// The 75 % colour-bar test pattern with its lower castellations and PLUGE strip.
QImage drawColourBars(QSize size);

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(App& app, QWidget* parent = nullptr);
  ~MainWindow() override;

  App& app() { return app_; }
  // The menu entry or widget of that object name (tests and scripts).
  QAction* action(const std::string& name) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  struct SlotWidgets {
    QRadioButton* option = nullptr;
    Lamp* lamp = nullptr;
    QLabel* name = nullptr;
    PictureBox* preview = nullptr;
    int reloads = -1;
  };

  QMenu* addMenu(const char* name, const char* caption);
  QAction* addEntry(QMenu* menu, const std::string& name, const QString& caption);
  void buildMenus();
  void buildFileMenu();
  void buildOptionMenus();
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

  void bindAreas();
  void showStatus();
  void showPort();
  void showLogos();
  void showSlot(int i);
  void slotTabStop();
  bool slotArrow(QObject* watched, int key);
  void showMenus();
  void showVideo();
  void showPlacement();
  void showSchedule();
  void placeScreenLayers();
  void scheduleLargeView();
  void updateLargeView();
  void fitErrorPanel();
  void showAbout(AboutWindow& about, bool modal);
  void setEntry(const std::string& name, bool shown, bool enabled);
  void setChecked(const std::string& name, bool checked);

  App& app_;
  QHash<QString, QAction*> actions_;
  NamedLabels label{this};
  QGroupBox* logoFrame_ = nullptr;
  QFrame* screen_ = nullptr;
  PictureBox* smpte_ = nullptr;
  PictureBox* largeView_ = nullptr;
  QGroupBox* errorPanel_ = nullptr;
  QLabel* errorText_ = nullptr;
  QWidget* errorOk_ = nullptr;
  QLabel* statusText_ = nullptr;
  QLabel* awake_ = nullptr;  // the operator's wake choice
  QProgressBar* progress_ = nullptr;
  QFrame* replyArea_ = nullptr;
  QAction* portSearch_ = nullptr;
  std::array<QAction*, 12> portEntries_{};
  std::array<SlotWidgets, LogoView::kSlots> slots_{};
  std::array<QRadioButton*, 2> standard_{};
  std::array<QRadioButton*, 2> format_{};
  QLineEdit* hpos_ = nullptr;
  QLineEdit* vpos_ = nullptr;
  QLineEdit* node_ = nullptr;
  QLineEdit* com_ = nullptr;
  QLabel* running_ = nullptr;
  QPointer<AboutDialog> about_;
  QHash<QObject*, QSet<int>> keysDown_;  // keys pressed in each text field, not yet released
  int statusPaints_ = 0;
  int largeReloads_ = -1;
  bool largeViewPending_ = false;
  bool closing_ = false;
  bool modalAbout_ = false;
  bool closeAfterAbout_ = false;
};

}  // namespace osd::gui

// Binds a WindowModel to the widgets and menu actions of a window by objectName: every change
// of a control in the model is mirrored on the object of the same name, and user actions on
// the objects are forwarded by name.
//
// What is mirrored:
//   text      QAction (with & access keys), QLabel, QLineEdit, QAbstractButton, QGroupBox
//             (title); CR/LF line breaks become plain line breaks, and in labels, buttons and
//             titles bytes that are no characters show as "\xFF" escapes
//   visible, enabled, checked (QAction, QAbstractButton)
//   colours   fore -> text roles, back -> window/base/button roles; the negative system
//             colours map to the palette roles of the desktop
//   value     QProgressBar, QSlider, QAbstractSpinBox-free sliders
//   geometry  twips -> pixels (px = twips x logical dpi / 1440). Widgets marked with the
//             property "osdTwips" are placed by left/top/width/height; other widgets live in
//             layouts and take a width/height set by the model as their minimum size
//   image     PictureBox (file drawn scaled), QLabel (pixmap)
//   window    title, busy cursor, enabled (the rest goes to onWindowChanged)
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "gui/widget_mirror.h"
#include "shell/window_model.h"

class QWidget;
class QAction;

namespace osd::gui {

class ModelBinder : public QObject {
  Q_OBJECT
 public:
  // `window` receives the window-level properties (title, busy cursor, enabled).
  ModelBinder(WindowModel& model, QWidget* window, QObject* parent = nullptr);
  ~ModelBinder() override;

  // Registers every object under `root` (widgets and actions) whose objectName is a control
  // of the model, then mirrors them all.
  void bindTree(QObject* root);
  // Registers one object under its objectName.
  void bind(QObject* object);
  QObject* object(const std::string& name) const;
  // Names of the model's controls that have no object bound.
  std::vector<std::string> unboundNames() const;

  // Mirrors one control (all of its properties) / every bound control / the window.
  void apply(const std::string& name);
  void applyAll();
  void applyWindow();

  // Connects the user actions of every bound object to `click` (QAction triggered,
  // QAbstractButton clicked). Before the call the user's new state is written into the model
  // (option buttons of one family: the clicked one checked, its siblings unchecked; check
  // boxes; sliders), and after it the object is mirrored again, so the screen always shows
  // what the model says.
  void forwardClicks(std::function<void(const std::string& name)> click);
  // The same for one object (bound later than forwardClicks was called).
  void forwardClick(QObject* object);

  // Called after the window-level properties changed (height and the like).
  std::function<void()> onWindowChanged;
  // Called after a control was mirrored (for views that draw from the model).
  std::function<void(const std::string& name)> onControlChanged;

 private:
  void applyTo(QObject* object, const Control& c);
  void applyColours(QWidget* w, const Control& c);
  void applyGeometry(QWidget* w, const Control& c);
  void captureUserState(QObject* object);

  WindowModel& model_;
  QPointer<QWidget> window_;
  std::map<std::string, QPointer<QObject>> objects_;
  std::function<void(const std::string&)> click_;
  bool applying_ = false;
};

}  // namespace osd::gui

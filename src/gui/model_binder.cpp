#include "gui/model_binder.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QWidget>
#include <cmath>

#include "common/textnum.h"
#include "gui/picture_box.h"
#include "gui/widget_mirror.h"

namespace osd::gui {

namespace {

// "optLOGO(3)" -> "optLOGO"; names without an index give themselves.
std::string familyOf(const std::string& name) {
  size_t open = name.find('(');
  return open == std::string::npos ? name : name.substr(0, open);
}

}  // namespace

ModelBinder::ModelBinder(WindowModel& model, QWidget* window, QObject* parent)
    : QObject(parent), model_(model), window_(window) {
  model_.onChange = [this](const std::string& name) {
    if (name.empty()) {
      applyWindow();
    } else {
      apply(name);
    }
  };
  model_.onRepaint = [this](const std::string& name) {
    auto it = objects_.find(name);
    if (it == objects_.end() || !it->second) return;
    // A picture is read again: the file may have been rewritten under the same name.
    if (auto* pic = qobject_cast<PictureBox*>(it->second.data())) {
      if (!pic->property("osdDrawn").toBool()) pic->setImageFile(toQt(model_.get(name).image));
    }
    if (onControlChanged) onControlChanged(name);
    if (auto* w = qobject_cast<QWidget*>(it->second.data())) {
      if (w->isVisible()) w->repaint();
    }
  };
}

ModelBinder::~ModelBinder() {
  model_.onChange = nullptr;
  model_.onRepaint = nullptr;
}

void ModelBinder::bindTree(QObject* root) {
  if (!root) return;
  bind(root);
  const auto children = root->findChildren<QObject*>();
  for (QObject* o : children) bind(o);
  applyAll();
}

void ModelBinder::bind(QObject* object) {
  if (!object) return;
  std::string name = fromQt(object->objectName());
  if (name.empty() || !model_.has(name)) return;
  objects_[name] = object;
}

QObject* ModelBinder::object(const std::string& name) const {
  auto it = objects_.find(name);
  return it == objects_.end() ? nullptr : it->second.data();
}

std::vector<std::string> ModelBinder::unboundNames() const {
  std::vector<std::string> out;
  for (const auto& [name, control] : model_.controls()) {
    (void)control;
    if (!object(name)) out.push_back(name);
  }
  return out;
}

void ModelBinder::apply(const std::string& name) {
  QObject* o = object(name);
  if (o) applyTo(o, model_.get(name));
  if (onControlChanged) onControlChanged(name);
}

void ModelBinder::applyAll() {
  std::vector<std::string> names;
  for (const auto& [name, ptr] : objects_) {
    if (ptr) names.push_back(name);
  }
  for (const std::string& name : names) apply(name);
  applyWindow();
}

void ModelBinder::applyWindow() {
  if (window_) {
    window_->setWindowTitle(toQt(model_.title()));
  }
  if (onWindowChanged) onWindowChanged();
}

void ModelBinder::applyTo(QObject* object, const Control& c) {
  bool wasApplying = applying_;
  applying_ = true;
  QSignalBlocker block(object);
  if (auto* a = qobject_cast<QAction*>(object)) {
    a->setText(toQt(c.text));
    a->setVisible(c.visible);
    a->setEnabled(c.enabled);
    if (!a->menu()) {
      a->setCheckable(c.checked);
      a->setChecked(c.checked);
    }
    applying_ = wasApplying;
    return;
  }
  auto* w = qobject_cast<QWidget*>(object);
  if (!w) {
    applying_ = wasApplying;
    return;
  }
  if (auto* gb = qobject_cast<QGroupBox*>(w)) {
    gb->setTitle(displayText(c.text));
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    if (!c.image.empty()) {
      label->setScaledContents(true);
      label->setPixmap(QPixmap(toQt(c.image)));
    } else {
      label->setText(displayText(c.text));
    }
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    QString t = toQt(c.text);
    if (edit->text() != t) edit->setText(t);
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(displayText(c.text));
    if (qobject_cast<QRadioButton*>(w) || qobject_cast<QCheckBox*>(w) || button->isCheckable()) {
      button->setChecked(c.checked);
    }
  } else if (auto* bar = qobject_cast<QProgressBar*>(w)) {
    bar->setValue(static_cast<int>(std::lround(c.value)));
  } else if (auto* slider = qobject_cast<QSlider*>(w)) {
    slider->setValue(static_cast<int>(std::lround(c.value)));
  } else if (auto* pic = qobject_cast<PictureBox*>(w)) {
    // Pictures the window draws itself ("osdDrawn") are not loaded from a file.
    QString file = toQt(c.image);
    if (!pic->property("osdDrawn").toBool() && file != pic->imageFile()) pic->setImageFile(file);
  }
  w->setEnabled(c.enabled);
  applyColours(w, c);
  applyGeometry(w, c);
  // A widget whose parent is hidden is not shown by setVisible; mirror the flag itself.
  w->setVisible(c.visible);
  applying_ = wasApplying;
}

void ModelBinder::applyColours(QWidget* w, const Control& c) {
  paintColours(w, c.foreColor, c.backColor);
}

void ModelBinder::applyGeometry(QWidget* w, const Control& c) {
  if (w->property("osdTwips").toBool()) {
    QRect g = w->geometry();
    int x = c.left != 0 ? toPixels(w, c.left) : g.x();
    int y = c.top != 0 ? toPixels(w, c.top, true) : g.y();
    int width = c.width > 0 ? toPixels(w, c.width) : g.width();
    int height = c.height > 0 ? toPixels(w, c.height, true) : g.height();
    w->setGeometry(x, y, width, height);
    return;
  }
  if (c.width > 0) w->setMinimumWidth(toPixels(w, c.width));
  if (c.height > 0) w->setMinimumHeight(toPixels(w, c.height, true));
}

void ModelBinder::captureUserState(QObject* object) {
  std::string name = fromQt(object->objectName());
  if (!model_.has(name)) return;
  if (auto* radio = qobject_cast<QRadioButton*>(object)) {
    (void)radio;
    // An option button chosen by the operator is on and the others of its family are off.
    std::string family = familyOf(name);
    if (family != name) {
      for (const auto& [other, control] : model_.controls()) {
        (void)control;
        if (other != name && familyOf(other) == family) model_.setChecked(other, false);
      }
    }
    model_.setChecked(name, true);
  } else if (auto* box = qobject_cast<QCheckBox*>(object)) {
    model_.setChecked(name, box->isChecked());
  } else if (auto* slider = qobject_cast<QSlider*>(object)) {
    model_.setValue(name, slider->value());
  }
}

void ModelBinder::forwardClicks(std::function<void(const std::string& name)> click) {
  click_ = std::move(click);
  for (const auto& [name, ptr] : objects_) {
    if (ptr) forwardClick(ptr.data());
  }
}

void ModelBinder::forwardClick(QObject* object) {
  if (!object || object->property("osdForwarded").toBool()) return;
  object->setProperty("osdForwarded", true);
  QPointer<QObject> guard(object);
  auto fire = [this, guard]() {
    if (!guard || applying_ || !click_) return;
    std::string name = fromQt(guard->objectName());
    captureUserState(guard.data());
    click_(name);
    if (guard) apply(name);
  };
  if (auto* a = qobject_cast<QAction*>(object)) {
    if (a->menu()) return;  // opening a menu is no click
    connect(a, &QAction::triggered, this, fire);
  } else if (auto* slider = qobject_cast<QSlider*>(object)) {
    connect(slider, &QSlider::valueChanged, this, fire);
  } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
    connect(button, &QAbstractButton::clicked, this, fire);
  }
}

}  // namespace osd::gui

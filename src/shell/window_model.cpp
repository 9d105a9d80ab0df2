#include "shell/window_model.h"

namespace osd {

std::string indexed(const std::string& base, int index) {
  return base + "(" + std::to_string(index) + ")";
}

const Control& WindowModel::get(const std::string& name) const {
  static const Control kAbsent{};
  auto it = controls_.find(name);
  return it == controls_.end() ? kAbsent : it->second;
}

Control& WindowModel::mut(const std::string& name) {
  return controls_[name];
}

void WindowModel::define(const std::string& name, const Control& initial) {
  controls_[name] = initial;
}

template <typename T>
void WindowModel::assign(const std::string& name, T Control::*field, const T& value) {
  Control& c = mut(name);
  if (c.*field == value) return;
  c.*field = value;
  if (onChange) onChange(name);
}

void WindowModel::setText(const std::string& n, const std::string& v) {
  assign(n, &Control::text, v);
}
void WindowModel::setVisible(const std::string& n, bool v) {
  assign(n, &Control::visible, v);
}
void WindowModel::setEnabled(const std::string& n, bool v) {
  assign(n, &Control::enabled, v);
}
void WindowModel::setChecked(const std::string& n, bool v) {
  assign(n, &Control::checked, v);
}
void WindowModel::setForeColor(const std::string& n, Color v) {
  assign(n, &Control::foreColor, v);
}
void WindowModel::setBackColor(const std::string& n, Color v) {
  assign(n, &Control::backColor, v);
}
void WindowModel::setValue(const std::string& n, double v) {
  assign(n, &Control::value, v);
}
void WindowModel::setLeft(const std::string& n, int v) {
  assign(n, &Control::left, v);
}
void WindowModel::setTop(const std::string& n, int v) {
  assign(n, &Control::top, v);
}
void WindowModel::setWidth(const std::string& n, int v) {
  assign(n, &Control::width, v);
}
void WindowModel::setHeight(const std::string& n, int v) {
  assign(n, &Control::height, v);
}
void WindowModel::setTag(const std::string& n, const std::string& v) {
  assign(n, &Control::tag, v);
}
void WindowModel::setImage(const std::string& n, const std::string& v) {
  assign(n, &Control::image, v);
}

void WindowModel::repaint(const std::string& name) {
  if (onRepaint) onRepaint(name);
}

void WindowModel::setTitle(const std::string& title) {
  if (title_ == title) return;
  title_ = title;
  if (onChange) onChange("");
}

}  // namespace osd

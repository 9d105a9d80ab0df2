// A plain data model of a window's named controls. The logic writes it; the Qt window binds
// its widgets by the same names (objectName) and mirrors every change. Tests assert on it.
//
// Names are the control names of the window layout, with the index in parentheses for
// control arrays: "txtCom", "optLOGO(3)", "mnuDiagSub(23)", "picPicture2(1)".
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "shell/view_state.h"

namespace osd {

struct Control {
  std::string text;  // caption or text
  bool visible = true;
  bool enabled = true;
  bool checked = false;  // check mark, selected option, checked box
  Color foreColor = kColorDefault;
  Color backColor = kColorDefault;
  double value = 0;                              // progress bar, slider
  int left = 0, top = 0, width = 0, height = 0;  // twips; 0 means "as laid out"
  std::string tag;
  std::string image;  // picture boxes: the file shown
};

class WindowModel {
 public:
  // Called with the control's name after any of its properties changed ("" = window itself).
  std::function<void(const std::string& name)> onChange;
  // Called when the logic asks for an immediate repaint of a control.
  std::function<void(const std::string& name)> onRepaint;

  const Control& get(const std::string& name) const;
  bool has(const std::string& name) const { return controls_.count(name) != 0; }

  void setText(const std::string& name, const std::string& text);
  void setVisible(const std::string& name, bool visible);
  void setEnabled(const std::string& name, bool enabled);
  void setChecked(const std::string& name, bool checked);
  void setForeColor(const std::string& name, Color color);
  void setBackColor(const std::string& name, Color color);
  void setValue(const std::string& name, double value);
  void setLeft(const std::string& name, int twips);
  void setTop(const std::string& name, int twips);
  void setWidth(const std::string& name, int twips);
  void setHeight(const std::string& name, int twips);
  void setTag(const std::string& name, const std::string& tag);
  void setImage(const std::string& name, const std::string& file);
  void repaint(const std::string& name);

  // Convenience accessors.
  const std::string& text(const std::string& name) const { return get(name).text; }
  bool visible(const std::string& name) const { return get(name).visible; }
  bool enabled(const std::string& name) const { return get(name).enabled; }
  bool checked(const std::string& name) const { return get(name).checked; }

  // The window itself.
  const std::string& title() const { return title_; }
  void setTitle(const std::string& title);

  // Every control known so far, by name.
  const std::map<std::string, Control>& controls() const { return controls_; }
  // Creates a control with its laid-out state (no change notification).
  void define(const std::string& name, const Control& initial);

 private:
  Control& mut(const std::string& name);
  template <typename T>
  void assign(const std::string& name, T Control::*field, const T& value);

  std::map<std::string, Control> controls_;
  std::string title_;
};

// "optLOGO" + 3 -> "optLOGO(3)"
std::string indexed(const std::string& base, int index);

}  // namespace osd

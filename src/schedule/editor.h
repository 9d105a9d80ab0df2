// The schedule editor window's logic ("SX-1 and  SX-4 Take Scheduler").
#pragma once

#include "shell/window_model.h"

namespace osd {

class App;

class ScheduleEditor {
 public:
  explicit ScheduleEditor(App& app) : app_(app) {}
  WindowModel& ui() { return ui_; }

 private:
  App& app_;
  WindowModel ui_;
};

}  // namespace osd

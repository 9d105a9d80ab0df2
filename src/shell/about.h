// The about window's logic (also the start-up splash).
#pragma once

#include "shell/window_model.h"

namespace osd {

class AboutWindow {
 public:
  WindowModel& ui() { return ui_; }

 private:
  WindowModel ui_;
};

}  // namespace osd

// The schedule editor window's logic ("SX-1 and  SX-4 Take Scheduler") and the texts of its
// help window ("Schedule Help"). The editor works on the program's live schedule table, so
// the runner follows every edit at its next tick; only SAVE writes the settings.
#pragma once

#include <functional>
#include <string>

#include "platform/seams.h"
#include "settings/node_choices.h"
#include "settings/preferences.h"
#include "shell/window_model.h"

namespace osd {

class SchedulePresenter;

constexpr const char* kEditorCaption = "SX-1 and  SX-4 Take Scheduler";
constexpr const char* kHelpCaption = "Schedule Help";
constexpr int kNoSequence = 20;  // Option1(20): hidden, no row selected

// Slider limits: VScroll1(0) Start, (1) T-ON, (2) Repeat, (3) End.
struct SliderRange {
  int min, max, smallStep, largeStep;
};
SliderRange sliderRange(int k);

// The help window: eight tabs, their captions and texts (lines end in CR LF).
constexpr int kHelpTabCount = 8;
const char* helpTabCaption(int tab);
const char* helpText(int tab);

class ScheduleEditor {
 public:
  ScheduleEditor(SchedulePresenter& schedule, Preferences& prefs, NodeChoices& choices,
                 EventLoop& loop);
  WindowModel& ui() { return ui_; }

  // Opening: fills the grid, selects no row, marks the editor open and starts its timer.
  void open();
  // Closing (EXIT, "E&xit" or the window closed): the editor is no longer open, its timer
  // stops. Nothing is saved.
  void close();
  bool isOpen() const { return open_; }

  // Events from the window, by control name ("Option1(3)", "Command1(12)", "txtLogo(2)",
  // "cmdButtons(1)", "cmdScan", "chkAutoScan", "mnuExit", "mnuHelp2", "mnuAbout", and a
  // click on any of a row's four time boxes). Clicks on disabled controls are ignored.
  void click(const std::string& name);
  // The window moved slider k (0..3) to `value` (drag, arrow or page step).
  void sliderMoved(int k, int value);
  // Timer1, every 500 ms while the editor is open.
  void timerTick();

  // The runner marks the time of a row that applies now.
  enum class RowTime { None, On, Off };
  void colourRow(int i, RowTime time);

  // The operations.
  void fillScheduleGrid();
  void selectSequence(int i);
  void applySlider(int k);
  void toggleDay(int n);
  void cycleLogo(int i);
  void autoScanClick();
  void scanConflicts();
  void saveSchedule();

  int currentSequence() const { return current_; }
  bool loading() const { return loading_; }
  int autoScanTicks() const { return autoScanTicks_; }

  // Set by the window: close the editor window; open the help window.
  std::function<void()> onClose;
  std::function<void()> onShowHelp;

 private:
  void defineControls();
  // Moves slider k the way the program does; a change of value runs applySlider(k).
  void moveSlider(int k, int value);
  int slider(int k) const;

  SchedulePresenter& schedule_;
  Preferences& prefs_;
  NodeChoices& choices_;
  EventLoop& loop_;
  WindowModel ui_;
  bool open_ = false;
  int current_ = kNoSequence;
  bool loading_ = false;
  int autoScanTicks_ = 0;
  bool scanBusy_ = false;
  bool logoBusy_ = false;
  // The status line (lblStatus) is cleared after this many ticks of Timer1 (5 s).
  static constexpr int kStatusTicks = 10;
  int statusTicks_ = 0;
};

}  // namespace osd

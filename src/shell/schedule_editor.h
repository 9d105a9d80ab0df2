// The schedule editor window's logic ("SX-1 and  SX-4 Take Scheduler") and the texts of its
// help window ("Schedule Help"). The editor works on the program's live schedule table, so
// the runner follows every edit at its next tick; only SAVE writes the settings.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "platform/seams.h"
#include "schedule/schedule_model.h"
#include "settings/node_choices.h"
#include "settings/preferences.h"
#include "shell/view_state.h"

namespace osd {

class SchedulePresenter;

constexpr const char* kEditorCaption = "SX-1 and  SX-4 Take Scheduler";
constexpr const char* kHelpCaption = "Schedule Help";
constexpr int kNoSequence = kSequenceCount;  // no row selected

// The limits of slider k: 0 Start, 1 T-ON, 2 Repeat, 3 End.
struct SliderRange {
  int min, max, smallStep, largeStep;
};
SliderRange sliderRange(int k);

// The help window: eight tabs, their captions and texts (lines end in CR LF).
constexpr int kHelpTabCount = 8;
const char* helpTabCaption(int tab);
const char* helpText(int tab);

// One row of the grid as the operator sees it.
struct EditorRow {
  std::array<std::string, 4> times;  // Start, T-ON, Repeat, End as shown ("8:00:15 ", "Off     ")
  std::string logo;                  // "Off" or the logo's number
  std::array<bool, 7> days{};        // Sunday first: the day's button shows "x"
  bool enabled = true;               // false while the schedule is locked
  Color logoInk = kColorDefault;     // red: the row has a conflict
  std::array<Color, 7> dayGround;    // light red: a day in conflict
  Color onGround = kColorDefault;    // yellow: T-ON applies now
  Color offGround = kColorDefault;   // yellow: the repeat's off time applies now
  EditorRow() { dayGround.fill(kColorDefault); }
  bool operator==(const EditorRow&) const = default;
};

struct EditorView {
  std::array<EditorRow, kSequenceCount> rows;
  int selected = kNoSequence;    // the row the sliders edit; kNoSequence: none
  std::array<int, 4> sliders{};  // Start, T-ON, Repeat, End in quarter minutes
  bool slidersEnabled = true;
  bool saveEnabled = true;
  bool scanEnabled = true;   // off while auto scan runs or the schedule is locked
  bool lockedShown = false;  // the "locked" notice under the sliders
  bool autoScan = false;
  Color autoScanInk = kWhite;  // green while a scan runs: the window repaints it at once
  std::string status;          // "Changes not saved" while so; a message for 5 s after SAVE
  std::string clock;
};

class ScheduleEditor : public ViewState<EditorView> {
 public:
  ScheduleEditor(SchedulePresenter& schedule, Preferences& prefs, NodeChoices& choices,
                 EventLoop& loop, Dialogs& dialogs);

  // Opening: fills the grid, selects no row, marks the editor open and starts its timer.
  void open();
  // The editor is no longer open, its timer stops. Nothing is saved.
  void close();
  bool isOpen() const { return open_; }

  // The operator's actions. Actions on controls the view shows disabled are ignored.
  void selectRow(int i);  // a row's option button; kNoSequence selects none
  void clickTime(int i);  // a click on one of the row's four time boxes selects it
  void toggleDay(int i, int day);
  void cycleLogo(int i);
  // EXIT, "E&xit", Escape and the close box: with edits not yet stored, asks whether to
  // save them (OK saves as SAVE does; Cancel keeps them live, unsaved); then closes.
  void exit();
  // The schedule differs from what the settings hold.
  bool unsaved() const;
  void save();
  void scan();  // "Scan for Conflicts"
  void toggleAutoScan();
  void showHelp();
  void showAbout();
  // The window moved slider k (0..3) to `value` (drag, arrow or page step).
  void sliderMoved(int k, int value);
  // Every 500 ms while the editor is open.
  void timerTick();

  // The runner marks the time of a row that applies now.
  enum class RowTime { None, On, Off };
  void colourRow(int i, RowTime time);

  int currentSequence() const { return view().selected; }

  // What only the editor's window can do, given by it (and taken back with {} when it goes).
  struct WindowActions {
    std::function<void()> close;     // the editor window closes
    std::function<void()> showHelp;  // the help window opens
  };
  void setWindowActions(WindowActions actions) { window_ = std::move(actions); }

 private:
  void fillScheduleGrid();
  void selectSequence(int i);
  void applySlider(int k);
  void scanConflicts();
  bool rowEnabled(int i) const;
  // Moves slider k the way the program does; a change of value runs applySlider(k).
  void moveSlider(int k, int value);

  SchedulePresenter& schedule_;
  Preferences& prefs_;
  NodeChoices& choices_;
  EventLoop& loop_;
  Dialogs& dialogs_;
  WindowActions window_;
  // The six lists as the settings hold them (read on opening and after saving), in load order.
  std::array<std::array<int, kSequenceCount>, 6> stored_{};
  void readStored();
  // After an edit: the status line tells whether the schedule is stored as shown.
  void edited();
  // The status line's standing text: the unsaved mark, or nothing.
  std::string restingStatus() const;
  bool open_ = false;
  bool loading_ = false;
  int autoScanTicks_ = 0;
  bool scanBusy_ = false;
  // The status line is cleared after this many ticks (5 s).
  static constexpr int kStatusTicks = 10;
  int statusTicks_ = 0;
};

}  // namespace osd

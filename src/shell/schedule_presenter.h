// The schedule runner: the schedule loaded from the settings, twice a second the sequences
// evaluated against the clock (a sequence's logo is selected shortly before it comes on), the
// lamps of the logos that are on, the "Schedule Running" label, the on/off and lock commands,
// and the editor window opened over it.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "link/dispatcher.h"
#include "platform/seams.h"
#include "schedule/schedule_model.h"
#include "settings/node_choices.h"
#include "settings/preferences.h"
#include "shell/logo_presenter.h"
#include "shell/status_presenter.h"
#include "shell/view_state.h"

namespace osd {

class ScheduleEditor;

// The schedule's six stored lists in load order, and the kind of each.
struct StoredList {
  SettingKey key;
  ListKind kind;
};
constexpr std::array<StoredList, 6> kStoredLists = {{{SettingKey::StartList, ListKind::Start},
                                                     {SettingKey::EndList, ListKind::End},
                                                     {SettingKey::OnTimeList, ListKind::OnTime},
                                                     {SettingKey::RepeatList, ListKind::Repeat},
                                                     {SettingKey::LogoList, ListKind::Logo},
                                                     {SettingKey::DaysList, ListKind::Days}}};

struct ScheduleView {
  bool on = false;      // the runner runs: "Scheduler O&N/OFF" checked, the label shown
  bool locked = false;  // "Schedule &Lock"
  Color runningColour = kColorDefault;  // the label blinks yellow and blue
  struct Lamp {
    bool shown = false;
    Color colour = kColorDefault;
  };
  std::array<Lamp, LogoView::kSlots> lamps;           // a logo of a sequence that is on
  std::array<Color, LogoView::kSlots> optionColours;  // green: the logo the runner selected
  ScheduleView() { optionColours.fill(kColorDefault); }
};

class SchedulePresenter : public ViewState<ScheduleView> {
 public:
  // What the runner and its editor need of the others.
  struct Links {
    std::function<void(int slot)> checkSlot;   // the logo menu's mark (0: none)
    std::function<void(int slot)> chooseSlot;  // the slot option, as the operator's choice
    std::function<void()> openAbout;           // the editor's Help menu: the about window
  };

  SchedulePresenter(Dispatcher& dispatcher, EventLoop& loop, Preferences& prefs,
                    NodeChoices& choices, StatusPresenter& status, Dialogs& dialogs, Links links);
  ~SchedulePresenter();

  ScheduleTable& table() { return table_; }
  const ScheduleTable& table() const { return table_; }
  // The six lists from the settings; a list missing or unusable gets its default (stored).
  void load();
  // Start-up: the runner and the lock as stored.
  void restore();
  void toggleOn();
  void toggleLock();
  // One tick of the runner (every 500 ms while it is on).
  void tick();
  void scan();

  // "Schedule &View": the editor over the live table; `show` runs it modally.
  void openEditor(const std::function<void(ScheduleEditor&)>& show);
  ScheduleEditor* editor() { return editor_.get(); }
  void editorTick();
  bool editorOpen() const;
  // The editor tells when it opens and closes: its timer runs while it is open.
  void setEditorOpen(bool open);
  void closeEditor();
  // The editor's Help menu opens the about window over it.
  void openAbout() {
    if (links_.openAbout) links_.openAbout();
  }

 private:
  void lookAheadFor(int logo);
  void sequenceChanged(int i, bool on, int logo);
  void colourEditorRow(int i, bool on, int logo);

  Dispatcher& dispatcher_;
  EventLoop& loop_;
  Preferences& prefs_;
  NodeChoices& choices_;
  StatusPresenter& status_;
  Dialogs& dialogs_;
  Links links_;
  ScheduleTable table_;
  std::unique_ptr<ScheduleEditor> editor_;
  bool lookAhead_ = false;
  int currentLogo_ = 0;
  std::array<bool, kSequenceCount> sequenceOn_{};
  std::string step_;  // where the scan is, for failure reports
};

}  // namespace osd

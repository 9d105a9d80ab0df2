#include "shell/schedule_presenter.h"

#include <exception>

#include "common/textnum.h"
#include "settings/setting_keys.h"
#include "shell/schedule_editor.h"

namespace osd {

namespace {
// Logos with a lamp, an option button and a menu entry in the main window.
bool hasLogoControls(int logo) {
  return logo >= 1 && logo < LogoView::kSlots;
}

void checkLogoNumber(int logo) {
  if (logo < 1 || logo > kLogoMax) {
    throw Failure("Logo number " + std::to_string(logo) + " is out of range");
  }
}
}  // namespace

SchedulePresenter::SchedulePresenter(Dispatcher& dispatcher, EventLoop& loop, Preferences& prefs,
                                     NodeChoices& choices, StatusPresenter& status,
                                     Dialogs& dialogs, Links links)
    : dispatcher_(dispatcher),
      loop_(loop),
      prefs_(prefs),
      choices_(choices),
      status_(status),
      dialogs_(dialogs),
      links_(std::move(links)) {}

SchedulePresenter::~SchedulePresenter() = default;

void SchedulePresenter::load() {
  ScheduleTable& s = table_;
  for (int i = 0; i < kSequenceCount; ++i) {
    s.start[i] = s.end[i] = s.on[i] = s.off[i] = s.logo[i] = s.days[i] = -1;
  }
  sequenceOn_.fill(false);
  for (const auto& [key, kind] : kStoredLists) {
    try {
      std::string text = prefs_.read(key);
      if (listNeedsDefault(text)) {
        text = defaultScheduleList(kind);
        prefs_.write(key, text);
      }
      const ParsedList parsed = parseScheduleList(text, kind);
      auto* target = kind == ListKind::Start    ? &s.start
                     : kind == ListKind::End    ? &s.end
                     : kind == ListKind::OnTime ? &s.on
                     : kind == ListKind::Repeat ? &s.off
                     : kind == ListKind::Logo   ? &s.logo
                                                : &s.days;
      for (int i = 0; i < kSequenceCount; ++i) (*target)[i] = parsed.values[i];
      if (kind == ListKind::Days) {
        for (int i = 0; i < kSequenceCount; ++i) {
          for (int d = 0; d < 7; ++d) {
            if (parsed.values[i] & (1 << d)) s.dayFlags[i][d] = true;
          }
        }
      }
      if (!parsed.problem.empty()) {
        status_.error("Setting " + Setting(key).name() + ": " + parsed.problem, ErrorAt::FormSetUp);
      }
    } catch (const std::exception& e) {
      status_.error(e.what(), ErrorAt::FormSetUp);
    }
  }
}

void SchedulePresenter::restore() {
  const bool on = prefs_.flag(SettingKey::ScheduleOn);
  loop_.setTimerEnabled(TimerId::Schedule, on);
  update()->on = on;
  update()->locked = prefs_.flag(SettingKey::ScheduleLocked);
}

void SchedulePresenter::toggleOn() {
  const bool on = !view().on;
  prefs_.write(SettingKey::ScheduleOn, truthText(on));
  loop_.setTimerEnabled(TimerId::Schedule, on);
  auto v = update();
  v->on = on;
  for (int i = 1; i <= 4; ++i) {
    v->optionColours[static_cast<size_t>(i)] = kColorDefault;  // the desktop's own text colour
    v->lamps[static_cast<size_t>(i)].shown = false;
  }
}

void SchedulePresenter::toggleLock() {
  const bool locked = !view().locked;
  update()->locked = locked;
  prefs_.write(SettingKey::ScheduleLocked, truthText(locked));
}

void SchedulePresenter::tick() {
  lookAhead_ = !lookAhead_;
  scan();
  update()->runningColour = view().runningColour == kYellow ? kBlue : kYellow;
}

void SchedulePresenter::scan() {
  try {
    const LocalTime now = loop_.now();
    const ScheduleInstant at = scheduleInstant(now.weekday, now.secondsSinceMidnight, lookAhead_);
    for (int i = 0; i < kSequenceCount; ++i) {
      step_ = "x0";
      bool on = false;
      if (sequenceActive(table_, i, at.day)) {
        step_ = "x2";
        if (at.t < 15LL * table_.start[i] || at.t >= 15LL * table_.end[i]) step_ = "x3";
        on = sequenceOnAt(table_, i, at.day, at.t);
      }
      step_ = "x4";
      const int logo = table_.logo[i];
      if (lookAhead_) {
        if (on && logo != currentLogo_) lookAheadFor(logo);
        continue;
      }
      sequenceChanged(i, on, logo);
      colourEditorRow(i, on, logo);
    }
  } catch (const std::exception& e) {
    status_.error(e.what(), ErrorAt::ScheduleScan, step_);
  }
}

// Shortly before a sequence comes on, its logo is selected on the node and in the window.
void SchedulePresenter::lookAheadFor(int logo) {
  step_ = "x5a";
  checkLogoNumber(logo);
  if (currentLogo_ == 0) currentLogo_ = 1;
  {
    auto v = update();
    if (hasLogoControls(currentLogo_)) {
      v->optionColours[static_cast<size_t>(currentLogo_)] = kColorDefault;
    }
    if (hasLogoControls(logo)) v->optionColours[static_cast<size_t>(logo)] = kGreen;
  }
  dispatcher_.selectLogo(logo);
  if (hasLogoControls(currentLogo_)) links_.checkSlot(0);
  currentLogo_ = logo;
  if (hasLogoControls(currentLogo_)) {
    links_.checkSlot(currentLogo_);
    links_.chooseSlot(currentLogo_);
  }
}

// A sequence that comes on lights its logo's lamp and takes the logo on; one that goes off
// puts the lamp out and takes it off.
void SchedulePresenter::sequenceChanged(int i, bool on, int logo) {
  if (on == sequenceOn_[static_cast<size_t>(i)]) return;
  step_ = on ? "x5a" : "x7";
  checkLogoNumber(logo);
  if (hasLogoControls(logo)) {
    auto v = update();
    v->lamps[static_cast<size_t>(logo)] = {on, on ? kRed : kSysButtonFace};
  }
  sequenceOn_[static_cast<size_t>(i)] = on;
  if (on) {
    step_ = "x5d";
    dispatcher_.takeOn();
  } else {
    dispatcher_.takeOff();
  }
}

// The editor's rows while it is open: yellow for the time that applies now.
void SchedulePresenter::colourEditorRow(int i, bool on, int logo) {
  step_ = on ? "x6" : "x8";
  if (!editorOpen()) return;
  if (on) {
    editor_->colourRow(i, ScheduleEditor::RowTime::On);
  } else if (logo < 1 || table_.start[i] < 0) {
    step_ = "x9";
    editor_->colourRow(i, ScheduleEditor::RowTime::None);
  } else {
    editor_->colourRow(i, ScheduleEditor::RowTime::Off);
  }
}

void SchedulePresenter::openEditor(const std::function<void(ScheduleEditor&)>& show) {
  status_.busy(true);
  if (editor_) editor_->close();
  editor_ = std::make_unique<ScheduleEditor>(*this, prefs_, choices_, loop_, dialogs_);
  editor_->open();
  if (show) {
    // Modal: returns when the editor window has closed; the editor is then discarded.
    show(*editor_);
    closeEditor();
  }
  status_.busy(false);
}

void SchedulePresenter::closeEditor() {
  if (!editor_) return;
  editor_->close();
  editor_.reset();
}

bool SchedulePresenter::editorOpen() const {
  return editor_ && editor_->isOpen();
}

void SchedulePresenter::setEditorOpen(bool open) {
  loop_.setTimerEnabled(TimerId::Editor, open);
}

void SchedulePresenter::editorTick() {
  if (editorOpen()) editor_->timerTick();
}

}  // namespace osd

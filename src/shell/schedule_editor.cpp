#include "shell/schedule_editor.h"

#include <cmath>
#include <utility>

#include "common/textnum.h"
#include "schedule/schedule_model.h"
#include "shell/schedule_presenter.h"

namespace osd {

namespace {

std::string logoText(int logo) {
  return logo == 0 ? "Off" : std::to_string(logo);
}

const char* const kHelpCaptions[kHelpTabCount] = {
    "Start", "End", "T-ON", "Repeat", "Logo", "Day-Of-Week", "SAVE ", "Scan Conflicts"};

const char* const kHelpTexts[kHelpTabCount] = {
    // Start
    "START TIME:"
    "\r\n"
    "The Start time is the time of day that the logo is to begin for "
    "the first time. "
    "The start time is based on the 24-hour clock and "
    "can be set to any time from Midnight (00:00:00) to 11:59:45 PM "
    "(23:59:45). "
    "A start time of 8:00:15 will start a logo sequence "
    "15 seconds after eight o'clock in the morning. "
    "\r\n"
    "The Start Time Slider:"
    "\r\n"
    "The slider allows "
    "one to precisely choose a start time. It has three operating modes. "
    "\r\n"
    "1) Drag the slider to the desired time. "
    "\r\n"
    "2) Click on the space between the slider and the arrow to "
    "advance or go back exactly one hour. "
    "\r\n"
    "3) Click on the end arrows to advance or go back in 15-second "
    "steps until the desired time is reached."
    "\r\n"
    "Note: Click and hold for auto repeat. "
    "\r\n"
    "Move the slider all the way to the top to disable the sequence. ",
    // End
    "END TIME:"
    "\r\n"
    "The End Time determines when the logo sequence is to end for the day."
    "An End time of 12:00:00 will cancel a running logo "
    "sequence at Noon."
    "\r\n"
    "The End Time Slider:"
    "\r\n"
    "The slider allows "
    "one to precisely choose a stop time. It has three operating modes. "
    "\r\n"
    "1) Drag the slider to the desired time. "
    "\r\n"
    "2) Click on the space between the slider and the arrow to "
    "advance or go back exactly one hour. "
    "\r\n"
    "3) Click on the end arrows to advance or go back in 15-second "
    "steps until the desired time is reached."
    "\r\n"
    "Note: Click and hold for auto repeat. ",
    // T-ON
    "T-ON TIME:"
    "\r\n"
    "T-ON is the amount of time the logo is to appear on the screen each repeat period. "
    "A T-ON value of 00:00:15 will display the logo for 15 seconds begining at the start time and "
    "for 15 seconds at the begining of each repeat period. "
    "\r\n"
    "The T-ON Time Slider:"
    "\r\n"
    "The slider allows "
    "one to precisely choose a logo ON time. It has three operating modes. "
    "\r\n"
    "1) Drag the slider to the desired time. "
    "\r\n"
    "2) Click on the space between the slider and the arrow to "
    "advance or go back exactly 5 minutes. "
    "\r\n"
    "3) Click on the end arrows to advance or go back in 15-second "
    "steps until the desired time is reached. "
    "\r\n"
    "Note: Click and hold for auto repeat. "
    "\r\n"
    "The maximum ON time permitted is 2 hours. ",
    // Repeat
    "REPEAT TIME:"
    "\r\n"
    "Repeat time determines how often the Logo is to reappear on the screen. "
    "A value of 00:10:00 will cause the logo to reappear every ten minutes. "
    "\r\n"
    "The Repeat Time Slider:"
    "\r\n"
    "The slider allows "
    "one to precisely choose a logo repeat period. It has three operating modes. "
    "\r\n"
    "1) Drag the slider to the desired time. "
    "\r\n"
    "2) Click on the space between the slider and the arrow to "
    "advance or go back exactly 5 minutes. "
    "\r\n"
    "3) Click on the end arrows to advance or go back in 15-second "
    "steps until the desired time is reached. "
    "\r\n"
    "Note: Click and hold for auto repeat. "
    "\r\n"
    "The maximum REPEAT time permitted is 2 hours. ",
    // Logo
    "LOGO SELECT:"
    "\r\n"
    "Logo Select permits selecting the logo to be used for the sequence period. "
    "Select a logo to be used for the timing sequence or select OFF. "
    "OFF will disable the timing sequence. "
    "\r\n"
    "Note: Only LOGO 1 will be displayed regardless of Logo selected on an SX-1 logo generator. ",
    // Day-Of-Week
    "DAY-OF-WEEK Select:"
    "\r\n"
    "Select the days of the week that the sequence will be valid. "
    "If no days are selected, the sequence will be disabled. ",
    // SAVE
    "SAVE YOUR WORK:"
    "\r\n"
    "Save will store the sequence changes into the registry. "
    "The programmed sequences are active immediately even if they are not saved. "
    "If the settings are not saved, however, the settings will be lost "
    "when the program is stopped or reset. The last saved program sequence will be "
    "restored the next time the program is run. ",
    // Scan Conflicts
    "CONFLICT TESTING:"
    "\r\n"
    "It is possible to schedule more than one logo to be on "
    "at the same time. "
    "If this is done, unpredictable results may occur even "
    "if the conflicting logo sequences are calling for the same logo. "
    "\r\n"
    "Always make sure there are no conflicts. Click on the "
    " Scan For Conflicts button to highlight the conflicts that may exist. "
    "\r\n"
    "Auto-Scan may be used to automatically scan every "
    "2 seconds. "
    "This feature may interfere with programming the sequences "
    "and may be turned OFF and ON of as desired. "
    " ",
};

}  // namespace

SliderRange sliderRange(int k) {
  switch (k) {
    case 0:
      return {kStartMin, kStartMax, 1, 240};
    case 1:
    case 2:
      return {kOnMin, kOnMax, 1, 20};
    default:
      return {kEndMin, kEndMax, 1, 240};
  }
}

const char* helpTabCaption(int tab) {
  return tab >= 0 && tab < kHelpTabCount ? kHelpCaptions[tab] : "";
}

const char* helpText(int tab) {
  return tab >= 0 && tab < kHelpTabCount ? kHelpTexts[tab] : "";
}

ScheduleEditor::ScheduleEditor(SchedulePresenter& schedule, Preferences& prefs,
                               NodeChoices& choices, EventLoop& loop, Dialogs& dialogs)
    : schedule_(schedule), prefs_(prefs), choices_(choices), loop_(loop), dialogs_(dialogs) {}

void ScheduleEditor::open() {
  loading_ = true;
  fillScheduleGrid();
  selectSequence(kNoSequence);
  readStored();
  quietly().status = restingStatus();
  open_ = true;
  schedule_.setEditorOpen(true);
  changed();
}

void ScheduleEditor::close() {
  if (!open_) return;
  open_ = false;
  schedule_.setEditorOpen(false);
}

bool ScheduleEditor::rowEnabled(int i) const {
  return i >= 0 && i < kSequenceCount && view().rows[static_cast<size_t>(i)].enabled;
}

void ScheduleEditor::moveSlider(int k, int value) {
  const SliderRange r = sliderRange(k);
  value = clampInt(value, r.min, r.max);
  int& slider = quietly().sliders[static_cast<size_t>(k)];
  if (slider == value) return;
  slider = value;
  applySlider(k);
}

void ScheduleEditor::sliderMoved(int k, int value) {
  if (k < 0 || k > 3 || !view().slidersEnabled) return;
  const SliderRange r = sliderRange(k);
  quietly().sliders[static_cast<size_t>(k)] = clampInt(value, r.min, r.max);
  applySlider(k);
  edited();
}

void ScheduleEditor::fillScheduleGrid() {
  loading_ = true;
  const ScheduleTable& s = schedule_.table();
  EditorView& v = quietly();
  const bool locked = schedule_.view().locked;
  for (size_t i = 0; i < kSequenceCount; ++i) {
    EditorRow& row = v.rows[i];
    row.times = {formatScheduleTime(s.start[i]), formatScheduleTime(s.on[i]),
                 formatScheduleTime(s.off[i]), formatScheduleTime(s.end[i])};
    row.logo = logoText(s.logo[i]);
    for (size_t d = 0; d < 7; ++d) row.days[d] = s.dayFlags[i][d];
    row.enabled = !locked;
  }
  v.saveEnabled = !locked;
  v.slidersEnabled = !locked;
  v.lockedShown = locked;
  if (locked) {
    v.scanEnabled = false;
  } else {
    v.autoScan = trimBlanks(prefs_.read(SettingKey::AutoScan)) == "1";
    v.scanEnabled = !v.autoScan;
  }
  scanConflicts();
  loading_ = false;
}

void ScheduleEditor::selectSequence(int i) {
  if (i < 0 || i > kNoSequence) return;
  quietly().selected = i;
  const ScheduleTable& s = schedule_.table();
  moveSlider(0, s.start[i]);
  moveSlider(1, s.on[i]);
  moveSlider(2, s.off[i]);
  moveSlider(3, s.end[i]);
}

void ScheduleEditor::applySlider(int k) {
  autoScanTicks_ = 0;
  const int i = view().selected;
  if (i < 0 || i >= kNoSequence) return;
  const int v = view().sliders[static_cast<size_t>(k)];
  ScheduleTable& s = schedule_.table();
  std::array<std::string, 4>& times = quietly().rows[static_cast<size_t>(i)].times;
  switch (k) {
    case 0:
      s.start[i] = v;
      times[0] = formatScheduleTime(v);
      if (v >= 0 && s.start[i] >= s.end[i]) moveSlider(3, v + 1);
      break;
    case 1:
      s.on[i] = v;
      times[1] = formatScheduleTime(v);
      if (s.off[i] < s.on[i]) moveSlider(2, v);
      break;
    case 2:
      s.off[i] = v;
      times[2] = formatScheduleTime(v);
      if (s.off[i] < s.on[i]) moveSlider(1, v);
      break;
    case 3:
      s.end[i] = v;
      if (v >= 0) {
        times[3] = formatScheduleTime(v);
        if (s.start[i] >= s.end[i]) moveSlider(0, v - 1);
      } else {
        times[3] = "";
        moveSlider(0, -1);
      }
      break;
    default:
      break;
  }
}

void ScheduleEditor::selectRow(int i) {
  if (i != kNoSequence && !rowEnabled(i)) return;
  selectSequence(i);
  changed();
}

void ScheduleEditor::clickTime(int i) {
  if (rowEnabled(i)) selectRow(i);
}

void ScheduleEditor::toggleDay(int i, int day) {
  if (loading_ || !rowEnabled(i) || day < 0 || day >= 7) return;
  bool& shown = quietly().rows[static_cast<size_t>(i)].days[static_cast<size_t>(day)];
  shown = !shown;
  schedule_.table().dayFlags[static_cast<size_t>(i)][static_cast<size_t>(day)] = shown;
  edited();
}

void ScheduleEditor::cycleLogo(int i) {
  if (!rowEnabled(i)) return;
  std::string& shown = quietly().rows[static_cast<size_t>(i)].logo;
  long long next = shown == "Off" ? 1 : static_cast<long long>(leadingInt(shown)) + 1;
  if (next > choices_.model() || next < 0) next = 0;
  schedule_.table().logo[i] = static_cast<int>(next);
  shown = logoText(static_cast<int>(next));
  selectSequence(i);
  edited();
}

void ScheduleEditor::readStored() {
  for (size_t k = 0; k < stored_.size(); ++k) {
    const auto& [key, kind] = kStoredLists[k];
    stored_[k] = parseScheduleList(prefs_.read(key), kind).values;
  }
}

bool ScheduleEditor::unsaved() const {
  const ScheduleTable& s = schedule_.table();
  const std::array<const std::array<int, 25>*, 5> lists = {&s.start, &s.end, &s.on, &s.off,
                                                           &s.logo};
  for (size_t i = 0; i < kSequenceCount; ++i) {
    for (size_t k = 0; k < lists.size(); ++k) {
      if ((*lists[k])[i] != stored_[k][i]) return true;
    }
    if (dayBits(s.dayFlags[i]) != stored_[5][i]) return true;
  }
  return false;
}

std::string ScheduleEditor::restingStatus() const {
  return unsaved() ? "Changes not saved" : "";
}

void ScheduleEditor::edited() {
  statusTicks_ = 0;
  quietly().status = restingStatus();
  changed();
}

void ScheduleEditor::exit() {
  if (view().saveEnabled && unsaved() &&
      dialogs_.confirm(kEditorCaption, "Save the changes to the schedule?")) {
    save();
  }
  close();
  if (window_.close) window_.close();
}

void ScheduleEditor::scan() {
  if (!view().scanEnabled) return;
  scanConflicts();
  changed();
}

void ScheduleEditor::toggleAutoScan() {
  if (loading_) return;
  EditorView& v = quietly();
  v.autoScan = !v.autoScan;
  v.scanEnabled = !v.autoScan;
  prefs_.write(SettingKey::AutoScan, v.autoScan ? "1" : "0");
  changed();
}

void ScheduleEditor::showHelp() {
  if (window_.showHelp) window_.showHelp();
}

void ScheduleEditor::showAbout() {
  schedule_.openAbout();  // modal over the editor
}

void ScheduleEditor::timerTick() {
  if (!open_) return;
  EditorView& v = quietly();
  v.clock = clockText(loop_.now().secondsSinceMidnight);
  if (statusTicks_ > 0 && --statusTicks_ == 0) v.status = restingStatus();
  if (v.autoScan) {
    if (autoScanTicks_ >= 4) {
      autoScanTicks_ = 0;
      scanConflicts();
    } else {
      ++autoScanTicks_;
    }
  }
  changed();
}

void ScheduleEditor::colourRow(int i, RowTime time) {
  if (i < 0 || i >= kSequenceCount) return;
  auto change = update();
  EditorRow& row = change->rows[static_cast<size_t>(i)];
  row.onGround = time == RowTime::On ? kYellow : kSysWindow;
  row.offGround = time == RowTime::Off ? kYellow : kSysWindow;
}

void ScheduleEditor::scanConflicts() {
  if (scanBusy_) return;
  scanBusy_ = true;
  update()->autoScanInk = kGreen;  // shown at once: the scan is visible while it runs
  const ConflictMap map = scanScheduleConflicts(schedule_.table());
  EditorView& v = quietly();
  for (size_t i = 0; i < kSequenceCount; ++i) {
    EditorRow& row = v.rows[i];
    row.logoInk = kSysWindowText;
    for (size_t d = 0; d < 7; ++d) {
      row.dayGround[d] = map.day[i][d] ? kLightRed : kSysHighlightText;
      if (map.day[i][d]) row.logoInk = kRed;
    }
  }
  v.autoScanInk = kWhite;
  scanBusy_ = false;
}

void ScheduleEditor::save() {
  if (!view().saveEnabled) return;
  const ScheduleTable& s = schedule_.table();
  std::array<int, 25> days{};
  for (int i = 0; i < kSequenceCount; ++i) days[i] = dayBits(s.dayFlags[i]);
  const std::pair<SettingKey, std::string> lists[] = {
      {SettingKey::StartList, formatScheduleList(s.start)},
      {SettingKey::EndList, formatScheduleList(s.end)},
      {SettingKey::OnTimeList, formatScheduleList(s.on)},
      {SettingKey::RepeatList, formatScheduleList(s.off)},
      {SettingKey::LogoList, formatScheduleList(s.logo)},
      {SettingKey::DaysList, formatScheduleList(days)}};
  for (const auto& [key, value] : lists) prefs_.write(key, value);
  // The store does not report a failed write; what it reads back tells.
  bool saved = true;
  for (const auto& [key, value] : lists) saved = saved && prefs_.read(key) == value;
  readStored();
  update()->status =
      saved ? "Schedule saved" : "The schedule could not be saved: the settings cannot be written.";
  statusTicks_ = kStatusTicks;
}

}  // namespace osd

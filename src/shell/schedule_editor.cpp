#include "shell/schedule_editor.h"

#include <cmath>
#include <utility>

#include "common/textnum.h"
#include "schedule/schedule_model.h"
#include "shell/app.h"

namespace osd {

namespace {

constexpr const char* kTimeBoxes[4] = {"txtStart", "txtTON", "txtOFF", "txtEnd"};
constexpr const char* kHeaderGrid = "START     T-ON     REPEAT     END     LOGO  S M T W T F S";
constexpr const char* kHeaderSliders = "Start  T-ON  Repeat  End";
constexpr Color kAutoScanGround = 0x404040;

// "name(3)" -> {"name", 3}; no index -> {"name", -1}.
std::pair<std::string, int> splitIndexed(const std::string& name) {
  size_t open = name.find('(');
  if (open == std::string::npos || name.back() != ')') return {name, -1};
  std::string digits = name.substr(open + 1, name.size() - open - 2);
  if (digits.empty() || digits.size() > 4) return {name.substr(0, open), -1};
  for (char c : digits) {
    if (c < '0' || c > '9') return {name.substr(0, open), -1};
  }
  return {name.substr(0, open), std::stoi(digits)};
}

Control labelled(const std::string& text, bool visible = true) {
  Control c;
  c.text = text;
  c.visible = visible;
  return c;
}

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

ScheduleEditor::ScheduleEditor(App& app) : app_(app) {
  defineControls();
}

void ScheduleEditor::defineControls() {
  WindowModel& m = ui_;
  m.setTitle(kEditorCaption);
  m.define("mnuFile", labelled("&File"));
  m.define("mnuExit", labelled("E&xit"));
  m.define("mnuHelp", labelled("&Help"));
  m.define("mnuHelp2", labelled("&Help"));
  m.define("mnuAbout", labelled("&About"));
  for (int i = 0; i <= kNoSequence; ++i) {
    m.define(indexed("Option1", i), labelled("", i < kNoSequence));
  }
  for (int i = 0; i < kSequenceCount; ++i) {
    for (const char* box : kTimeBoxes) m.define(indexed(box, i), labelled("00:00:00"));
    m.define(indexed("txtLogo", i), labelled(""));
    for (int d = 0; d < 7; ++d) m.define(indexed("Command1", i * 7 + d), labelled(""));
  }
  for (int k = 0; k < 4; ++k) m.define(indexed("VScroll1", k), labelled(""));
  m.define(indexed("cmdButtons", 0), labelled("EXIT"));
  m.define(indexed("cmdButtons", 1), labelled("SAVE"));
  m.define("cmdScan", labelled("Scan for Conflicts"));
  // The scan shows itself by the box's text turning green and back to white, so the box
  // sits on a dark ground.
  Control autoScan = labelled("Auto Scan");
  autoScan.foreColor = kWhite;
  autoScan.backColor = kAutoScanGround;
  m.define("chkAutoScan", autoScan);
  m.define("lblLocked", labelled("LOCKED", false));
  m.define("lblStatus", labelled(""));
  m.define("lblCurrentTime", labelled(""));
  m.define("lblTimeCaption", labelled("Current Time"));
  m.define(indexed("lblHeader", 0), labelled(kHeaderGrid));
  m.define(indexed("lblHeader", 1), labelled(kHeaderSliders));
}

void ScheduleEditor::open() {
  loading_ = true;
  fillScheduleGrid();
  selectSequence(kNoSequence);
  open_ = true;
  app_.editorOpen = true;
  app_.platform().loop.setTimerEnabled(TimerId::Editor, true);
}

void ScheduleEditor::close() {
  if (!open_) return;
  open_ = false;
  app_.editorOpen = false;
  app_.platform().loop.setTimerEnabled(TimerId::Editor, false);
}

int ScheduleEditor::slider(int k) const {
  return static_cast<int>(std::lround(ui_.get(indexed("VScroll1", k)).value));
}

void ScheduleEditor::moveSlider(int k, int value) {
  const SliderRange r = sliderRange(k);
  value = clampInt(value, r.min, r.max);
  if (slider(k) == value) return;
  ui_.setValue(indexed("VScroll1", k), value);
  applySlider(k);
}

void ScheduleEditor::sliderMoved(int k, int value) {
  if (k < 0 || k > 3 || !ui_.enabled(indexed("VScroll1", k))) return;
  const SliderRange r = sliderRange(k);
  ui_.setValue(indexed("VScroll1", k), clampInt(value, r.min, r.max));
  applySlider(k);
}

void ScheduleEditor::fillScheduleGrid() {
  loading_ = true;
  ScheduleTable& s = *app_.schedule;
  const bool locked = app_.locked;
  for (int i = 0; i < kSequenceCount; ++i) {
    ui_.setText(indexed("txtStart", i), formatScheduleTime(s.start[i]));
    ui_.setText(indexed("txtTON", i), formatScheduleTime(s.on[i]));
    ui_.setText(indexed("txtOFF", i), formatScheduleTime(s.off[i]));
    ui_.setText(indexed("txtEnd", i), formatScheduleTime(s.end[i]));
    ui_.setText(indexed("txtLogo", i), logoText(s.logo[i]));
    for (int d = 0; d < 7; ++d) {
      ui_.setText(indexed("Command1", i * 7 + d), s.dayFlags[i][d] ? "x" : "");
    }
    for (const char* box : kTimeBoxes) ui_.setEnabled(indexed(box, i), !locked);
    ui_.setEnabled(indexed("txtLogo", i), !locked);
    ui_.setEnabled(indexed("Option1", i), !locked);
    for (int d = 0; d < 7; ++d) ui_.setEnabled(indexed("Command1", i * 7 + d), !locked);
  }
  if (locked) {
    ui_.setEnabled(indexed("cmdButtons", 1), false);
    for (int k = 0; k < 4; ++k) ui_.setEnabled(indexed("VScroll1", k), false);
    ui_.setEnabled("cmdScan", false);
    ui_.setVisible("lblLocked", true);
  } else {
    ui_.setEnabled(indexed("cmdButtons", 1), true);
    for (int k = 0; k < 4; ++k) ui_.setEnabled(indexed("VScroll1", k), true);
    ui_.setVisible("lblLocked", false);
    const bool autoScan = trimBlanks(app_.readSetting("AutoScan")) == "1";
    ui_.setChecked("chkAutoScan", autoScan);
    ui_.setEnabled("cmdScan", !autoScan);
  }
  scanConflicts();
  loading_ = false;
}

void ScheduleEditor::selectSequence(int i) {
  if (i < 0 || i > kNoSequence) return;
  current_ = i;
  for (int r = 0; r <= kNoSequence; ++r) ui_.setChecked(indexed("Option1", r), r == i);
  const ScheduleTable& s = *app_.schedule;
  moveSlider(0, s.start[i]);
  moveSlider(1, s.on[i]);
  moveSlider(2, s.off[i]);
  moveSlider(3, s.end[i]);
}

void ScheduleEditor::applySlider(int k) {
  autoScanTicks_ = 0;
  if (current_ < 0 || current_ >= kNoSequence) return;
  const int i = current_;
  const int v = slider(k);
  ScheduleTable& s = *app_.schedule;
  switch (k) {
    case 0:
      s.start[i] = v;
      if (v >= 0) {
        ui_.setText(indexed("txtStart", i), formatScheduleTime(v));
        if (s.start[i] >= s.end[i]) moveSlider(3, v + 1);
      } else {
        ui_.setText(indexed("txtStart", i), formatScheduleTime(-1));
      }
      break;
    case 1:
      s.on[i] = v;
      ui_.setText(indexed("txtTON", i), formatScheduleTime(v));
      if (s.off[i] < s.on[i]) moveSlider(2, v);
      break;
    case 2:
      s.off[i] = v;
      ui_.setText(indexed("txtOFF", i), formatScheduleTime(v));
      if (s.off[i] < s.on[i]) moveSlider(1, v);
      break;
    case 3:
      s.end[i] = v;
      if (v >= 0) {
        ui_.setText(indexed("txtEnd", i), formatScheduleTime(v));
        if (s.start[i] >= s.end[i]) moveSlider(0, v - 1);
      } else {
        ui_.setText(indexed("txtEnd", i), "");
        moveSlider(0, -1);
      }
      break;
    default:
      break;
  }
}

void ScheduleEditor::toggleDay(int n) {
  if (loading_ || n < 0 || n >= kSequenceCount * 7) return;
  const int d = n % 7;
  const int i = n / 7;
  const std::string name = indexed("Command1", n);
  const bool set = ui_.text(name).empty();
  ui_.setText(name, set ? "x" : "");
  app_.schedule->dayFlags[i][d] = set;
}

void ScheduleEditor::cycleLogo(int i) {
  if (i < 0 || i >= kSequenceCount || logoBusy_) return;
  logoBusy_ = true;
  struct Release {
    bool& flag;
    ~Release() { flag = false; }
  } release{logoBusy_};
  const std::string name = indexed("txtLogo", i);
  const std::string shown = ui_.text(name);
  long long next = shown == "Off" ? 1 : static_cast<long long>(leadingInt(shown)) + 1;
  if (next > app_.choices().model() || next < 0) next = 0;
  app_.schedule->logo[i] = static_cast<int>(next);
  ui_.setText(name, logoText(static_cast<int>(next)));
  selectSequence(i);
  ui_.repaint(name);
}

void ScheduleEditor::autoScanClick() {
  if (loading_) return;
  const bool on = ui_.checked("chkAutoScan");
  ui_.setEnabled("cmdScan", !on);
  app_.writeSetting("AutoScan", on ? "1" : "0");
}

void ScheduleEditor::timerTick() {
  if (!open_) return;
  const LocalTime now = app_.platform().loop.now();
  ui_.setText("lblCurrentTime", clockText(now.secondsSinceMidnight));
  if (statusTicks_ > 0 && --statusTicks_ == 0) ui_.setText("lblStatus", "");
  if (ui_.checked("chkAutoScan")) {
    if (autoScanTicks_ >= 4) {
      autoScanTicks_ = 0;
      scanConflicts();
    } else {
      ++autoScanTicks_;
    }
  }
}

void ScheduleEditor::scanConflicts() {
  if (scanBusy_) return;
  scanBusy_ = true;
  ui_.setForeColor("chkAutoScan", kGreen);
  ui_.repaint("chkAutoScan");
  for (int n = 0; n < kSequenceCount * 7; ++n) {
    ui_.setBackColor(indexed("Command1", n), kSysHighlightText);
  }
  for (int i = 0; i < kSequenceCount; ++i) ui_.setForeColor(indexed("txtLogo", i), kSysWindowText);
  const ConflictMap map = scanScheduleConflicts(*app_.schedule);
  for (int i = 0; i < kSequenceCount; ++i) {
    for (int d = 0; d < 7; ++d) {
      if (!map.day[i][d]) continue;
      ui_.setBackColor(indexed("Command1", i * 7 + d), kLightRed);
      ui_.setForeColor(indexed("txtLogo", i), kRed);
    }
  }
  ui_.setForeColor("chkAutoScan", kWhite);
  scanBusy_ = false;
}

void ScheduleEditor::saveSchedule() {
  const ScheduleTable& s = *app_.schedule;
  std::array<int, 25> days{};
  for (int i = 0; i < kSequenceCount; ++i) days[i] = dayBits(s.dayFlags[i]);
  const std::pair<const char*, std::string> lists[] = {
      {"S_Start", formatScheduleList(s.start)}, {"S_End", formatScheduleList(s.end)},
      {"S_ON", formatScheduleList(s.on)},       {"S_OFF", formatScheduleList(s.off)},
      {"S_Logo", formatScheduleList(s.logo)},   {"S_Days", formatScheduleList(days)}};
  for (const auto& [key, value] : lists) app_.writeSetting(key, value);
  // The store does not report a failed write; what it reads back tells.
  bool saved = true;
  for (const auto& [key, value] : lists) saved = saved && app_.readSetting(key) == value;
  ui_.setText("lblStatus", saved ? "Schedule saved"
                                 : "The schedule could not be saved: the settings cannot be "
                                   "written.");
  statusTicks_ = kStatusTicks;
}

void ScheduleEditor::click(const std::string& name) {
  if (ui_.has(name) && !ui_.enabled(name)) return;
  auto [base, index] = splitIndexed(name);
  if (base == "Option1" && index >= 0 && index <= kNoSequence) {
    selectSequence(index);
  } else if ((base == "txtStart" || base == "txtTON" || base == "txtOFF" || base == "txtEnd") &&
             index >= 0 && index < kSequenceCount) {
    if (ui_.enabled(indexed("Option1", index))) selectSequence(index);
  } else if (base == "Command1" && index >= 0) {
    toggleDay(index);
  } else if (base == "txtLogo" && index >= 0) {
    cycleLogo(index);
  } else if ((base == "cmdButtons" && index == 0) || base == "mnuExit") {
    close();
    if (onClose) onClose();
  } else if (base == "cmdButtons" && index == 1) {
    saveSchedule();
  } else if (base == "cmdScan") {
    scanConflicts();
  } else if (base == "chkAutoScan") {
    if (loading_) return;
    ui_.setChecked("chkAutoScan", !ui_.checked("chkAutoScan"));
    autoScanClick();
  } else if (base == "mnuHelp2") {
    if (onShowHelp) onShowHelp();
  } else if (base == "mnuAbout") {
    app_.openAbout(true, true);  // modal over the editor
  }
}

}  // namespace osd

// Loading the schedule at start-up and the schedule runner: twice a second the sequences are
// evaluated against the clock, a sequence's logo is selected shortly before it comes on, the
// per-logo lamps follow, and the editor's rows are coloured while it is open.
#include <cmath>
#include <exception>

#include "common/textnum.h"
#include "schedule/schedule_model.h"
#include "shell/app.h"
#include "shell/schedule_editor.h"

namespace osd {

namespace {
// Logos with a lamp, an option button and a menu entry in the main window.
bool hasLogoControls(int logo) {
  return logo >= 1 && logo <= 15;
}

void checkLogoNumber(int logo) {
  if (logo < 1 || logo > kLogoMax) {
    throw Failure("Logo number " + std::to_string(logo) + " is out of range");
  }
}
}  // namespace

void App::loadSchedule() {
  ScheduleTable& s = *schedule;
  for (int i = 0; i < kSequenceCount; ++i) {
    s.start[i] = s.end[i] = s.on[i] = s.off[i] = s.logo[i] = s.days[i] = -1;
  }
  sequenceOn.fill(false);
  for (const char* key : kScheduleLoadOrder) {
    try {
      const ListKind kind = listKindOf(key);
      std::string text = readSetting(key);
      if (listNeedsDefault(text)) {
        text = defaultScheduleList(kind);
        writeSetting(key, text);
      }
      const ParsedList parsed = parseScheduleList(text, kind);
      std::array<int, 25>* target = kind == ListKind::Start    ? &s.start
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
        status_.error(std::string("Setting ") + key + ": " + parsed.problem, "Form_SetUp");
      }
    } catch (const std::exception& e) {
      status_.error(e.what(), "Form_SetUp");
    }
  }
}

void App::scheduleTick() {
  lookAhead = !lookAhead;
  scanSchedule();
  const bool yellow = ui_.get("lblRunning").foreColor == kYellow;
  ui_.setForeColor("lblRunning", yellow ? kBlue : kYellow);
}

void App::scanSchedule() {
  const ScheduleTable& s = *schedule;
  try {
    const LocalTime now = pf_.loop.now();
    const ScheduleInstant at = scheduleInstant(now.weekday, now.secondsSinceMidnight, lookAhead);
    WindowModel* editorUi = editorOpen && editor_ ? &editor_->ui() : nullptr;
    for (int i = 0; i < kSequenceCount; ++i) {
      scheduleStep = "x0";
      bool on = false;
      if (sequenceActive(s, i, at.day)) {
        scheduleStep = "x2";
        if (at.t < 15LL * s.start[i] || at.t >= 15LL * s.end[i]) scheduleStep = "x3";
        on = sequenceOnAt(s, i, at.day, at.t);
      }
      scheduleStep = "x4";
      const int logo = s.logo[i];
      if (lookAhead) {
        if (!on || logo == currentLogo) continue;
        scheduleStep = "x5a";
        checkLogoNumber(logo);
        if (currentLogo == 0) currentLogo = 1;
        if (hasLogoControls(currentLogo)) ui_.setForeColor(indexed("optLOGO", currentLogo), kWhite);
        if (hasLogoControls(logo)) ui_.setForeColor(indexed("optLOGO", logo), kGreen);
        dispatcher_.selectLogo(logo);
        if (hasLogoControls(currentLogo)) ui_.setChecked(indexed("mnuLogoSel", currentLogo), false);
        currentLogo = logo;
        if (hasLogoControls(currentLogo)) {
          ui_.setChecked(indexed("mnuLogoSel", currentLogo), true);
          optLogoClick(currentLogo);
        }
        continue;
      }
      if (on) {
        scheduleStep = "x5";
        if (!sequenceOn[i]) {
          scheduleStep = "x5a";
          checkLogoNumber(logo);
          if (hasLogoControls(logo)) ui_.setBackColor(indexed("Shape1", logo), kRed);
          scheduleStep = "x5b";
          if (hasLogoControls(logo)) ui_.setVisible(indexed("Shape1", logo), true);
          scheduleStep = "x5c";
          sequenceOn[i] = true;
          scheduleStep = "x5d";
          dispatcher_.takeOn();
        }
        scheduleStep = "x6";
        if (editorUi) {
          editorUi->setBackColor(indexed("txtTON", i), kYellow);
          editorUi->setBackColor(indexed("txtOFF", i), kSysWindow);
        }
      } else {
        if (sequenceOn[i]) {
          scheduleStep = "x7";
          checkLogoNumber(logo);
          if (hasLogoControls(logo)) {
            ui_.setBackColor(indexed("Shape1", logo), kSysButtonFace);
            ui_.setVisible(indexed("Shape1", logo), false);
          }
          sequenceOn[i] = false;
          dispatcher_.takeOff();
        }
        scheduleStep = "x8";
        if (editorUi) {
          if (logo < 1 || s.start[i] < 0) {
            scheduleStep = "x9";
            editorUi->setBackColor(indexed("txtOFF", i), kSysWindow);
            editorUi->setBackColor(indexed("txtTON", i), kSysWindow);
          } else {
            editorUi->setBackColor(indexed("txtOFF", i), kYellow);
            editorUi->setBackColor(indexed("txtTON", i), kSysWindow);
          }
        }
      }
    }
  } catch (const std::exception& e) {
    status_.error(e.what(), "Scan_Schedule " + scheduleStep);
  }
}

void App::editorTimerTick() {
  if (editor_ && editor_->isOpen()) editor_->timerTick();
}

}  // namespace osd

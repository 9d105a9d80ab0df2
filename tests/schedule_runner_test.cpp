// The schedule runner on the virtual clock: logo selection ahead of time, take-on and
// take-off with the lamps, the look-ahead across midnight, editor colouring, failures.
#include <gtest/gtest.h>

#include "schedule/schedule_model.h"
#include "shell/schedule_editor.h"
#include "support/fakes.h"

namespace osd::test {
namespace {

constexpr int kSunday = 1, kMonday = 2, kSaturday = 7;  // clock weekdays

struct Sent {
  double second;  // clock seconds since the start of the first day
  std::string text;
};

class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h.openPort(3);
    // The model stays unknown so the logo option click adds no selections of its own; the
    // tests below see the runner's own traffic only (one test turns the model on).
    app.choices().setModel(0);
    for (int i = 0; i < 20; ++i) set(i, -1, 0, 0, 0, 0, 0);
    h.port.onWrite = [this](const std::string& bytes) {
      sent.push_back({startSecond + h.loop.ms() / 1000.0, bytes.substr(0, 4)});
    };
  }

  void set(int i, int start, int end, int on, int off, int logo, int dayBits) {
    ScheduleTable& s = app.schedule().table();
    s.start[i] = start, s.end[i] = end, s.on[i] = on, s.off[i] = off, s.logo[i] = logo;
    for (int d = 0; d < 7; ++d) s.dayFlags[i][d] = (dayBits >> d) & 1;
  }

  // Starts the runner at `seconds` on `weekday`.
  void startAt(int weekday, double seconds) {
    startSecond = seconds - h.loop.ms() / 1000.0;
    h.loop.setClock(weekday, seconds);
    h.loop.setTimerEnabled(TimerId::Schedule, true);
  }
  // Runs the clock until `seconds` (since the start of the first day).
  void runUntil(double seconds) {
    const double now = startSecond + h.loop.ms() / 1000.0;
    h.loop.advance(static_cast<int64_t>((seconds - now) * 1000.0 + 0.5));
  }

  std::vector<double> timesOf(const std::string& text) const {
    std::vector<double> out;
    for (const Sent& s : sent)
      if (s.text.rfind(text, 0) == 0) out.push_back(s.second);
    return out;
  }
  bool lampLit(int logo) {
    const ScheduleView::Lamp& lamp = app.schedule().view().lamps.at(static_cast<size_t>(logo));
    return lamp.shown && lamp.colour == kRed;
  }

  Harness h;
  App& app = *h.app;
  std::vector<Sent> sent;
  double startSecond = 0;
};

// The beat sets the clock's new second itself, so that it is painted with the blink.
TEST_F(RunnerTest, TheBeatBringsTheClocksNewSecond) {
  h.loop.setTimerEnabled(TimerId::Delay, false);  // no main tick: only the beat sets the clock
  startAt(kMonday, 8 * 3600);                     // beats every half second from here
  for (const double second : {8 * 3600 + 1.01, 8 * 3600 + 59.01}) {
    runUntil(second);
    EXPECT_EQ(app.port().view().clock, clockText(second));
  }
}

TEST_F(RunnerTest, TenMinuteRepeatOnMondayMorning) {
  set(0, 1920, 2160, 1, 40, 1, 1 << 1);  // 08:00:00-09:00:00, 15 s on every 10 min, Mondays
  startAt(kMonday, 7 * 3600 + 59 * 60 + 45);

  runUntil(28799.9);
  std::vector<double> selects = timesOf("AJ01");
  ASSERT_EQ(selects.size(), 1u);
  EXPECT_NEAR(selects[0], 28792, 0.5);  // about 07:59:52
  EXPECT_TRUE(!lampLit(1) && app.logos().view().menuChecked == 1);
  EXPECT_EQ(app.schedule().view().optionColours[1], kGreen);

  std::vector<bool> lit;
  for (const double second : {28800.2, 28814.9}) runUntil(second), lit.push_back(lampLit(1));
  EXPECT_EQ(lit, (std::vector<bool>{true, true}));
  runUntil(28815.2);
  EXPECT_FALSE(app.schedule().view().lamps[1].shown);
  EXPECT_EQ(app.schedule().view().lamps[1].colour, kSysButtonFace);

  // The open editor marks the time that runs, on or off.
  app.schedule().openEditor({});
  const auto row = [&] { return app.schedule().editor()->view().rows[0]; };
  for (const auto& [second, on] : {std::pair{29400.5, true}, std::pair{29415.5, false}}) {
    runUntil(second);
    EXPECT_EQ(row().onGround, on ? kYellow : kSysWindow) << second;
    EXPECT_EQ(row().offGround, on ? kSysWindow : kYellow) << second;
  }
  runUntil(32500);
  std::vector<double> ons, offs;
  for (int k = 0; k < 6; ++k) ons.push_back(28800 + 600 * k), offs.push_back(28815 + 600 * k);
  EXPECT_EQ(std::pair(timesOf("AT1"), timesOf("AT0")), std::pair(ons, offs));
  EXPECT_EQ(timesOf("AJ").size(), 1u);  // the logo stays selected
  EXPECT_FALSE(app.statusLine().view().errorShown);

  app.schedule().table().end[0] = 2400;  // an hour longer: on again at 09:10:00
  runUntil(33000.5);
  EXPECT_EQ(row().onGround, kYellow);
  app.schedule().table().start[0] = -1;  // cleared in the editor: no time marked
  runUntil(33002);
  EXPECT_EQ(std::pair(row().onGround, row().offGround), std::pair(kSysWindow, kSysWindow));
  // Off: the logo buttons' text is the desktop's own again (not white on a light button).
  for (int i = app.schedule().view().on ? 1 : 2; i > 0; --i) app.schedule().toggleOn();
  EXPECT_EQ(app.schedule().view().optionColours, ScheduleView().optionColours);
}

// A logo above the window's fifteen slots runs on the node with no lamp or slot of its own.
TEST_F(RunnerTest, LogoAboveTheSlotsRunsWithoutControlsOfItsOwn) {
  app.choices().setModel(31);
  set(0, 1920, 2160, 1, 40, 20, 1 << 1);
  const int checked = app.logos().view().menuChecked;
  startAt(kMonday, 28790);
  runUntil(28801);
  EXPECT_TRUE(timesOf("AT1").size() == 1u && app.logos().view().menuChecked == checked);
  for (int k = 0; k < LogoView::kSlots; ++k) EXPECT_FALSE(lampLit(k)) << k;
}

}  // namespace
}  // namespace osd::test

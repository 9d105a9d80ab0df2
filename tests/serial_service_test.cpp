// The serial port service: port search, opening with once-per-error reporting, automatic
// re-opening, the wake-up after an open, port selection and port events.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

std::string entry(int i) {
  return indexed("mnuCOMsel", i);
}

int wakeUps(const FakePort& port) {
  return static_cast<int>(std::count(port.writes.begin(), port.writes.end(), "WK,00"));
}

// Runs `n` ticks of tmrComInit (100 ms) with nothing else enabled.
void comInitTicks(Harness& h, int n) {
  h.loop.advance(static_cast<int64_t>(n) * 100);
}

}  // namespace

// ---------------- Port search ----------------

TEST(PortSearchTest, ListsTheTwelveLowestOpenablePortsAndProbesNoFurther) {
  Harness h;
  const int ports[] = {2, 4, 5, 9, 10, 11, 17, 30, 31, 64, 100, 120, 121, 200, 255};
  for (int p : ports) h.port.openable.insert(p);
  h.app->determineValidPorts();

  for (int i = 1; i <= 12; ++i) {
    const int n = ports[i - 1];
    EXPECT_TRUE(h.app->ui().visible(entry(i))) << i;
    EXPECT_EQ(h.app->ui().text(entry(i)), "COM&" + std::to_string(n));
    EXPECT_EQ(h.app->ui().get(entry(i)).tag, std::to_string(n));
    EXPECT_EQ(h.app->ui().text(indexed("mnuCOMdev", i)), "/dev/fake" + std::to_string(n));
  }
  // The twelfth openable port is 120: 121, 200 and 255 are never tried.
  ASSERT_FALSE(h.port.openedNumbers.empty());
  EXPECT_EQ(*std::max_element(h.port.openedNumbers.begin(), h.port.openedNumbers.end()), 120);
  EXPECT_EQ(h.port.openedNumbers.size(), 120u);
  EXPECT_FALSE(h.port.isOpen());  // no port selected: nothing stays open
  EXPECT_TRUE(h.port.writes.empty());
}

TEST(PortSearchTest, SkipPortIsNeitherProbedNorListed) {
  Harness h;
  h.port.openable = {1, 3, 6};
  h.app->skipPort = 3;
  h.app->determineValidPorts();
  EXPECT_EQ(std::count(h.port.openedNumbers.begin(), h.port.openedNumbers.end(), 3), 0);
  EXPECT_EQ(h.app->ui().get(entry(1)).tag, "1");
  EXPECT_EQ(h.app->ui().get(entry(2)).tag, "6");
  EXPECT_FALSE(h.app->ui().visible(entry(3)));
  EXPECT_TRUE(h.app->ui().visible(entry(0)));
}

TEST(PortSearchTest, HidesStaleEntriesAndReopensTheSelectedPort) {
  Harness h;
  h.port.openable = {1, 2, 3, 4};
  h.app->determineValidPorts();
  EXPECT_TRUE(h.app->ui().visible(entry(4)));

  h.port.openable = {2, 4};
  h.openPort(4);
  h.app->ui().setChecked(entry(4), true);  // port 4 was the fourth entry
  h.app->determineValidPorts();
  EXPECT_TRUE(h.app->ui().visible(entry(2)));
  EXPECT_FALSE(h.app->ui().visible(entry(3)));
  EXPECT_FALSE(h.app->ui().visible(entry(4)));
  EXPECT_FALSE(h.app->ui().visible(indexed("mnuCOMdev", 3)));
  // The check mark follows the selected port to its new entry.
  EXPECT_TRUE(h.app->ui().checked(entry(2)));
  EXPECT_FALSE(h.app->ui().checked(entry(4)));
  EXPECT_TRUE(h.port.isOpen());
  EXPECT_EQ(h.port.currentNumber, 4);
}

// ---------------- Opening ----------------

TEST(StartComTest, NoSelectedPortChangesNothing) {
  Harness h;
  h.port.openable = {1};
  h.app->startCom();
  h.app->sendCom("QXS");
  EXPECT_TRUE(h.port.openedNumbers.empty());
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_FALSE(h.loop.timerEnabled(TimerId::ComInit));
}

TEST(StartComTest, SuccessfulOpenIsCyanRaisesModemLinesAndArmsTheWakeUp) {
  Harness h;
  h.port.openable = {5};
  h.app->comPort = 5;
  h.app->startCom();
  EXPECT_TRUE(h.port.isOpen());
  EXPECT_EQ(h.port.currentNumber, 5);
  EXPECT_TRUE(h.port.dtr);
  EXPECT_TRUE(h.port.rts);
  EXPECT_EQ(h.app->ui().get("txtCom").backColor, kCyan);
  EXPECT_TRUE(h.loop.timerEnabled(TimerId::ComInit));
  EXPECT_FALSE(h.app->portValid);  // only the wake-up timer makes it usable
}

TEST(StartComTest, InUseIsReportedOnceAndRetriedAboutEverySecond) {
  Harness h;
  h.app->comPort = 7;
  h.port.failWith[7] = kErrPortInUse;
  h.app->ui().setChecked(entry(2), true);
  h.app->startCom();
  EXPECT_EQ(h.app->ui().text("lblErrTxt"),
            "Port Already Open - Port in use - 7 can't be used as a device interface.");
  EXPECT_EQ(h.app->ui().text("frameError"), "StartCom 02");
  EXPECT_FALSE(h.app->ui().checked(entry(2)));
  EXPECT_EQ(h.app->ui().get("txtCom").backColor, kRed);
  EXPECT_FALSE(h.app->portValid);
  EXPECT_EQ(h.app->lastOpenError, kErrPortInUse);
  EXPECT_EQ(h.dialogs.beeps, 1);

  // The reconnect tick: a re-open every 41 ticks, never reported again.
  h.port.openedNumbers.clear();
  std::vector<int> attemptsAt;
  for (int tick = 1; tick <= 41 * 3; ++tick) {
    const size_t before = h.port.openedNumbers.size();
    h.app->reconnectTick();
    if (h.port.openedNumbers.size() != before) attemptsAt.push_back(tick);
  }
  EXPECT_EQ(attemptsAt, (std::vector<int>{41, 82, 123}));
  EXPECT_EQ(h.dialogs.beeps, 1);

  // The other program lets go: the next retry opens, and 2.1 s after the open all nodes wake.
  h.port.failWith.clear();
  h.port.openable.insert(7);
  for (int tick = 1; tick <= 41; ++tick) h.app->reconnectTick();
  EXPECT_TRUE(h.port.isOpen());
  EXPECT_EQ(h.app->ui().get("txtCom").backColor, kCyan);
  h.app->comInitArmed = true;  // as after an earlier successful open
  comInitTicks(h, 20);
  EXPECT_EQ(wakeUps(h.port), 0);
  comInitTicks(h, 1);
  EXPECT_EQ(wakeUps(h.port), 1);
  EXPECT_TRUE(h.app->portValid);
}

TEST(StartComTest, TheReconnectTickRunsOnTheMainTickWhileThePortIsUnusable) {
  Harness h;
  h.app->sendGuard = true;  // keep the node poll off the port
  h.app->comPort = 4;
  h.app->startCom();  // port 4 does not exist
  h.port.openedNumbers.clear();
  h.loop.setTimerEnabled(TimerId::Delay, true);
  h.ticks(41 * 4 - 1);
  EXPECT_EQ(h.port.openedNumbers.size(), 3u);
  h.ticks(1);
  EXPECT_EQ(h.port.openedNumbers.size(), 4u);
  EXPECT_EQ(h.dialogs.beeps, 1);  // "Invalid Port Number" only once
}

TEST(StartComTest, DifferentErrorsAreEachReportedTheSameOneOnce) {
  Harness h;
  h.app->comPort = 9;
  h.app->startCom();  // no such port
  EXPECT_EQ(h.app->ui().text("lblErrTxt"),
            "Invalid Port Number - 9 Port not available for use as a device interface.");
  h.app->dismissError();
  h.app->startCom();
  EXPECT_FALSE(h.app->ui().visible("frameError"));

  h.port.failWith[9] = 13;
  h.app->startCom();
  EXPECT_EQ(h.app->ui().text("lblErrTxt"),
            "Error #  13: In DetermineValidPorts\rOpen failed with error 13");
  EXPECT_EQ(h.app->lastOpenError, 13);
  h.app->dismissError();

  h.port.failWith[9] = -5;
  h.app->startCom();
  EXPECT_EQ(h.app->ui().text("lblErrTxt"),
            "Error # -5: In DetermineValidPorts\rOpen failed with error -5");
  h.app->dismissError();

  h.port.failWith.erase(9);
  h.app->startCom();  // 8002 again, but it was not the last one reported
  EXPECT_TRUE(h.app->ui().visible("frameError"));
  EXPECT_EQ(h.dialogs.beeps, 4);
}

// ---------------- Wake-up after an open ----------------

TEST(ComInitTest, WakeUp22TicksAfterTheFirstOpenAnd21AfterLaterOnes) {
  Harness h;
  h.port.openable = {3};
  h.app->comPort = 3;
  h.app->startCom();
  comInitTicks(h, 21);
  EXPECT_EQ(wakeUps(h.port), 0);
  EXPECT_FALSE(h.app->portValid);
  comInitTicks(h, 1);
  EXPECT_EQ(wakeUps(h.port), 1);
  EXPECT_TRUE(h.app->portValid);
  EXPECT_FALSE(h.loop.timerEnabled(TimerId::ComInit));
  comInitTicks(h, 50);
  EXPECT_EQ(wakeUps(h.port), 1);

  h.app->startCom();  // a later open
  comInitTicks(h, 20);
  EXPECT_EQ(wakeUps(h.port), 1);
  comInitTicks(h, 1);
  EXPECT_EQ(wakeUps(h.port), 2);
}

TEST(ComInitTest, ClearsTheBusyMarkAndWaitsDuringADownload) {
  Harness h;
  h.port.openable = {3};
  h.app->comPort = 3;
  h.app->startCom();
  h.app->downloading = true;
  comInitTicks(h, 40);
  EXPECT_EQ(h.app->comInitCount, 0);
  EXPECT_FALSE(h.app->comInitArmed);
  h.app->downloading = false;
  h.app->cmdBusy = true;  // a stuck command must not block the wake-up
  comInitTicks(h, 22);
  EXPECT_EQ(wakeUps(h.port), 1);
  EXPECT_FALSE(h.app->cmdBusy);
}

// ---------------- Port menu ----------------

TEST(ComMenuTest, SelectingAPortSleepsBothSidesAndStoresIt) {
  Harness h;
  h.port.openable = {1, 3};
  h.app->determineValidPorts();
  h.openPort(1);
  h.app->click("mnuCOMsel(2)");
  ASSERT_EQ(h.port.writes.size(), 2u);
  EXPECT_EQ(h.port.writes[0], "SP");
  EXPECT_EQ(h.port.writes[1], "SP");
  EXPECT_EQ(h.port.writeNumbers, (std::vector<int>{1, 3}));
  EXPECT_EQ(h.app->comPort, 3);
  EXPECT_EQ(h.settings.get("ComPort"), std::optional<std::string>(" 3"));
  EXPECT_EQ(h.app->ui().text("txtCom"), "3");
  EXPECT_TRUE(h.app->ui().checked(entry(2)));
  EXPECT_FALSE(h.app->ui().checked(entry(1)));
}

TEST(ComMenuTest, EntryZeroSearchesAndClearsTheStatusLine) {
  Harness h;
  h.port.openable = {8};
  h.app->showStatus("something");
  h.app->click("mnuCOMsel(0)");
  EXPECT_EQ(h.app->ui().text("lblCopyright"), "");
  EXPECT_EQ(h.app->ui().get(entry(1)).tag, "8");
  EXPECT_FALSE(h.settings.get("ComPort").has_value());
}

// ---------------- Port events ----------------

TEST(PortEventTest, LostConnectionIsReportedAndClosesThePort) {
  Harness h;
  h.openPort(3);
  ASSERT_TRUE(h.port.onEvent);
  h.port.onEvent(kEvTxFull);
  EXPECT_EQ(h.app->ui().text("lblErrTxt"), "Lost USB/Serial Connection ");
  EXPECT_EQ(h.app->ui().text("frameError"), "COMM Status");
  EXPECT_FALSE(h.port.isOpen());
  EXPECT_TRUE(h.app->portValid);  // the next send re-opens it, not the reconnect tick
  h.port.openedNumbers.clear();
  for (int i = 0; i < 100; ++i) h.app->reconnectTick();
  EXPECT_TRUE(h.port.openedNumbers.empty());
  h.app->sendCom("ARS");
  EXPECT_TRUE(h.port.isOpen());
  EXPECT_EQ(h.port.writes, (std::vector<std::string>{"ARS"}));
}

TEST(PortEventTest, OtherLineEventsOnlyNoteTheirText) {
  Harness h;
  h.openPort(3);
  h.port.onEvent(kEvFrame);
  EXPECT_EQ(h.app->eventText, "Framing Error");
  h.port.onEvent(kEvDcb);
  EXPECT_EQ(h.app->eventText, "Error retrieving DCB");
  h.port.onEvent(4242);
  EXPECT_EQ(h.app->eventText, "Unknown error or event");
  EXPECT_FALSE(h.app->ui().visible("frameError"));
  EXPECT_TRUE(h.port.isOpen());
  EXPECT_EQ(h.dialogs.beeps, 0);
}

TEST(PortEventTest, ReceivedDataGoesToTheReception) {
  Harness h;
  h.openPort(3);
  h.port.receive("QX64K\r\nABCDE");  // 12 bytes: raises event 2
  EXPECT_EQ(h.app->recvBuffer, "QX64K\r\nABCDE");
  EXPECT_GT(h.app->readPolls, 0);
}

// ---------------- Time-outs and exit ----------------

TEST(SerialServiceTest, ReadTimeoutsAndCloseAtExit) {
  Harness h;
  h.openPort(3);
  h.app->applyCommTimeouts();
  EXPECT_EQ(h.port.timeouts[0], 2u);
  EXPECT_EQ(h.port.timeouts[1], 1u);
  EXPECT_EQ(h.port.timeouts[2], 1000u);
  h.app->closeAtExit();
  EXPECT_FALSE(h.port.isOpen());
  EXPECT_FALSE(h.port.dtr);
  EXPECT_FALSE(h.port.rts);
  h.app->closeAtExit();  // closed already: nothing happens
  EXPECT_FALSE(h.port.isOpen());
}

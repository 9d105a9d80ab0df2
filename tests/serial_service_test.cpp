// The link service: port search, opening with once-per-error reports, re-opening, the
// wake-up after an open, port selection and port events.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

int wakeUps(const FakePort& port, const char* wake = "WK,00") {
  return static_cast<int>(std::count(port.writes.begin(), port.writes.end(), wake));
}

}  // namespace

TEST(PortSearchTest, ListsTheTwelveLowestOpenablePortsLeavingOutTheSkippedOneForTheMenu) {
  // clang-format off
  struct Case {
    std::set<int> openable; int skip; std::vector<int> listed; int highestProbed;
  } cases[] = {
      {{2, 4, 5, 9, 10, 11, 17, 30, 31, 64, 100, 120, 121, 200, 255}, -1, {2, 4, 5, 9, 10, 11, 17, 30, 31, 64, 100, 120}, 120},
      {{1, 3, 6}, 3, {1, 6}, 255}};
  // clang-format on
  for (const auto& c : cases) {
    Harness h;
    h.port.openable = c.openable;
    h.app->link().setSkipPort(c.skip);
    std::vector<int> listed;
    for (const FoundPort& p : h.app->link().search(12)) listed.push_back(p.number);
    const auto& opened = h.port.openedNumbers;
    EXPECT_EQ(std::tuple(listed, *std::max_element(opened.begin(), opened.end()),
                         std::count(opened.begin(), opened.end(), c.skip), h.port.isOpen()),
              std::tuple(c.listed, c.highestProbed, 0, false));
  }
  // The menu shows the found ports; selecting one sleeps both sides and stores it.
  Harness h;
  h.port.openable = {1, 2, 3, 4};
  h.app->port().searchPorts();
  EXPECT_EQ(h.app->port().view().ports.size(), 4u);
  h.port.openable = {2, 4};
  h.openPort(4);
  h.app->port().searchPorts();
  const PortView& v = h.app->port().view();
  ASSERT_EQ(v.ports.size(), 2u);
  EXPECT_EQ(std::to_string(v.ports[1].number) + " " + v.ports[1].device, "4 /dev/fake4");
  // The mark stays with the port; the selected port is open again.
  EXPECT_TRUE(v.ports[1].checked && !v.ports[0].checked && h.port.isOpen() &&
              h.port.currentNumber == 4);
  h.port.writes.clear();
  h.app->statusLine().status("old");
  h.app->port().selectPort(2);
  EXPECT_EQ(
      std::tuple(h.port.writes, h.port.writeNumbers, h.settings.get("ComPort"),
                 h.app->link().port(), v.port, h.app->statusLine().view().status),
      std::tuple(std::vector<std::string>{"SP", "SP"}, std::vector<int>{4, 2}, " 2", 2, 2, ""));
  EXPECT_TRUE(v.ports[0].checked && !v.ports[1].checked);
}

TEST(OpenTest, EachNewOpenErrorIsReportedOnceAndALostConnectionClosesThePortUntilTheNextSend) {
  Harness h;
  LinkService& link = h.app->link();
  link.open();  // no port selected: nothing happens
  EXPECT_TRUE(h.port.openedNumbers.empty());
  h.port.openable = {2};
  link.select(2);
  h.app->port().searchPorts();
  ASSERT_TRUE(h.app->port().view().ports.at(0).checked);
  h.loop.setTimerEnabled(TimerId::ComInit, false);  // that open's wake-up is not wanted here
  h.port.openable.clear();
  link.select(9);
  // clang-format off
  struct Case { int failWith; const char* message; } cases[] = {
      {0, "Invalid Port Number - 9 Port not available for use as a device interface."}, {0, ""},
      {kErrPortInUse, "Port Already Open - Port in use - 9 can't be used as a device interface."},
      {13, "Error #  13: In DetermineValidPorts\rOpen failed with error 13"},
      {-5, "Error # -5: In DetermineValidPorts\rOpen failed with error -5"}, {-5, ""},
      {0, "Invalid Port Number - 9 Port not available for use as a device interface."}};
  // clang-format on
  for (const auto& c : cases) {
    h.app->statusLine().dismissError();
    h.port.failWith.clear();
    if (c.failWith != 0) h.port.failWith[9] = c.failWith;
    link.open();
    EXPECT_EQ(h.app->statusLine().view().errorShown, *c.message != '\0') << c.message;
    if (*c.message == '\0') continue;
    EXPECT_EQ(h.error(), std::string("StartCom 02: ") + c.message);
    EXPECT_FALSE(h.app->port().view().ports.at(0).checked);  // a failed open unchecks
  }
  EXPECT_EQ(h.app->port().view().portColour, kRed);
  EXPECT_FALSE(link.valid() || h.loop.timerEnabled(TimerId::ComInit));
  // Line events note their text; a lost connection closes the port until the next send.
  h.app->statusLine().dismissError();
  h.openPort(3);
  // clang-format off
  const std::pair<int, const char*> events[] = {{kEvFrame, "Framing Error"},
      {kEvDcb, "Error retrieving DCB"}, {kEvRing, "The Phone is Ringing"},
      {4242, "Unknown error or event"}};
  // clang-format on
  for (auto [code, text] : events) {
    h.port.onEvent(code);
    EXPECT_EQ(h.app->link().eventText(), text);
  }
  EXPECT_TRUE(h.port.isOpen() && !h.app->statusLine().view().errorShown);
  h.port.onEvent(kEvTxFull);
  EXPECT_TRUE(h.error() == "COMM Status: Lost USB/Serial Connection " && !h.port.isOpen())
      << h.error();
  h.port.openedNumbers.clear();
  for (int i = 0; i < 100; ++i) h.app->link().reconnectTick();
  EXPECT_TRUE(h.port.openedNumbers.empty());  // still valid: no automatic re-open
  h.app->dispatcher().send("ARS");
  EXPECT_EQ(h.port.writes, (std::vector<std::string>{"ARS"}));
}

TEST(OpenTest, APortInUseIsRetriedEvery41TicksAndAllNodesAreWokenAfterItOpens) {
  Harness h;
  h.app->dispatcher().setGuard(true);  // keeps the node poll from opening the port itself
  h.app->link().select(7);
  h.port.failWith[7] = kErrPortInUse;
  h.app->link().open();
  h.port.openedNumbers.clear();
  h.loop.setTimerEnabled(TimerId::Delay, true);
  h.ticks(123);
  EXPECT_EQ(h.port.openedNumbers, (std::vector<int>{7, 7, 7}));
  h.ticks(40);
  h.port.failWith.clear();
  h.port.openable.insert(7);
  h.ticks(1);  // the fourth retry opens it; the error was reported once
  EXPECT_TRUE(h.port.isOpen() && h.port.dtr && h.port.rts && h.dialogs.beeps == 1);
  // Cyan, and usable only once all nodes were woken.
  EXPECT_EQ(std::tuple(h.app->port().view().portColour, h.app->link().valid()),
            std::tuple(kCyan, false));
  h.app->dispatcher().setGuard(false);
  const int64_t opened = h.loop.ms();
  while (wakeUps(h.port) == 0 && h.loop.ms() < opened + 5000) h.loop.advance(100);
  EXPECT_TRUE(h.loop.ms() - opened == 2200 && h.app->link().valid());  // armed, then 21 ticks
  // A later open puts the line back into the operator's choice, 21 ticks after it, not
  // counting those of a download.
  h.app->dispatcher().wake(7);
  h.port.writes.clear();
  h.app->link().open();
  h.app->download().holdLine(true);
  h.loop.advance(4000);
  h.app->download().holdLine(false);
  h.loop.advance(2000);
  EXPECT_EQ(wakeUps(h.port, "WK,07"), 0);
  h.loop.advance(100);
  EXPECT_EQ(wakeUps(h.port, "WK,07") + wakeUps(h.port), 1);
  EXPECT_EQ(h.app->statusLine().view().awake, "Awake: node 7");
  h.app->link().applyTimeouts();
  EXPECT_EQ(std::vector<uint32_t>(h.port.timeouts, h.port.timeouts + 3),
            (std::vector<uint32_t>{2, 1, 1000}));
  h.app->link().closeAtExit();
  EXPECT_FALSE(h.port.isOpen() || h.port.dtr || h.port.rts);
}

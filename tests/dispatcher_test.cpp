// The dispatcher: the exact bytes of every command, refusals, the erase and its question, the
// wait after "ASI", the send counter and the operator's wake choice.
#include <gtest/gtest.h>

#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

struct DispatcherTest : ::testing::Test {
  Harness h;
  App& app = *h.app;
  Dispatcher& d = app.dispatcher();
  void SetUp() override { h.lineReady(); }
  std::vector<std::string> run(Command c, const std::string& arg = "") {
    h.port.writes.clear();
    d.run(c, arg);
    return h.port.writes;
  }
};

using W = std::vector<std::string>;
using C = Command;
std::string byte(int v) {
  return std::string(1, static_cast<char>(v));
}

}  // namespace

TEST_F(DispatcherTest, EveryCommandWritesItsExactBytes) {
  for (int i = 0; i < 21; ++i) app.bench().video().params()[static_cast<size_t>(i)] = i * 10 + 1;
  app.bench().video().params()[15] = 255;
  std::string packet = byte(130) + byte(138) + "1" + byte(16);
  for (int i = 0; i < 16; ++i) packet.push_back(static_cast<char>(app.bench().video().params()[i]));
  packet.push_back(3);
  // clang-format off
  struct Case { Command command; std::string arg; W wire; } cases[] = {
      {C::HorizontalPosition, "5A", {"AHP5A"}}, {C::VerticalPosition, "04", {"AVP04"}},
      {C::LoadLogo, "", {"ALD"}}, {C::Blink, "", {"ACI"}}, {C::Sleep, "", {"SP"}},
      {C::TakeOnTime, "\x04", {"APA\x04"}}, {C::TakeOffTime, "\xff", {"API\xff"}},
      {C::SizeQuery, "", {"QXS"}}, {C::ReadBack, "", {"ARM"}}, {C::SetModel, "04", {"ACT04"}},
      {C::Password, "pw", {"AEPWpw"}}, {C::Chroma, "\x10", {"ACH\x10"}}, {C::Raw, "RAW,1", {"RAW,1"}},
      {C::TakeOff, "", {"AT0"}}, {C::TakeOn, "", {"AT1"}}, {C::FadeRate, "\x05", {"AFR\x05"}},
      {C::ChangeId, "7", {"ANI,01"}}, {C::SelectLogo, "03", {"AJ03" + std::string(3, '\0')}},
      {C::CopyrightQuery, "", {"ARC", byte(136)}}, {C::SaveSettings, "", {byte(128), packet}},
      {C::MixLevel, "\x01", {}}, {C::IreLevel, "\x01", {}}, {C::ShowDialog, "", {}},
      {C::ReadConfiguration, "", {}}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(run(c.command, c.arg), c.wire) << int(c.command);
  EXPECT_EQ(app.video().view().imageSettings, "Control: 0FF");
  EXPECT_NE(app.statusLine().view().status.find("nothing sent"), std::string::npos);
  EXPECT_TRUE(app.statusLine().statusTicksLeft() == 200 && !d.busy());  // copyright: 5 s
}

TEST_F(DispatcherTest, TakeToggleStartsWithOnAndFollowsTheLastTake) {
  for (Command c : {C::TakeToggle, C::TakeToggle, C::TakeOn, C::TakeToggle}) d.run(c);
  EXPECT_EQ(h.port.writes, (W{"AT1", "AT0", "AT1", "AT0"}));
}

TEST_F(DispatcherTest, ChangeIdPadsTheCallersArgumentAndWakeChoosesItsNode) {
  std::string arg = "7";
  d.run(C::ChangeId, arg);
  EXPECT_EQ(arg, "01");
  // A wake-up of one node puts the others to sleep first; each is the operator's wake choice,
  // and so is a sleep. "SP" of a port change and raw text change nothing.
  // clang-format off
  struct Case { int model; const char *field, *arg; W wire; const char* awake; } cases[] = {
      {1, "26", "", {"SP", "WK,1A"}, "Awake: node 26"}, {1, "300", "", {"SP", "WK,2C"}, "Awake: node 44"},
      {4, "26", "", {"WK,00"}, "Awake: all nodes"}, {1, "26", "00", {"WK,00"}, "Awake: all nodes"},
      {1, "26", "05", {"SP", "WK,05"}, "Awake: node 5"}};
  // clang-format on
  for (const auto& c : cases) {
    app.choices().setModel(c.model);
    app.port().setNodeId(c.field);
    h.port.writes.clear();
    *c.arg ? d.run(C::Wake, c.arg) : app.port().wakeNode();  // the Node menu's "Wake-Up Node"
    EXPECT_EQ(h.port.writes, c.wire) << c.field << "/" << c.model;
    EXPECT_EQ(app.statusLine().view().awake, c.awake);
  }
  h.port.writes.clear();
  d.wake(255);
  d.sleepLine();
  d.run(C::Raw, "WK,03");
  EXPECT_EQ(app.statusLine().view().awake, "Awake: node 255");
  app.port().sleepNodes();
  EXPECT_EQ(app.statusLine().view().awake, "Awake: none");
  app.port().wakeAllNodes();
  EXPECT_EQ(app.statusLine().view().awake, "Awake: all nodes");
  app.port().askCopyright();
  EXPECT_EQ(h.port.writes, (W{"SP", "WK,FF", "SP", "WK,03", "SP", "WK,00", "ARC", byte(136)}));
}

TEST_F(DispatcherTest, RefusalsAndTheErase) {
  d.setGuard(true);
  EXPECT_EQ(run(C::SizeQuery), W{});
  EXPECT_FALSE(d.send("X"));
  d.setGuard(false);
  app.download().holdLine(true);
  EXPECT_EQ(run(C::SizeQuery), W{});
  EXPECT_TRUE(d.send("RAW"));
  app.download().holdLine(false);
  EXPECT_FALSE(h.loop.timerEnabled(TimerId::TenSec));
  EXPECT_EQ(run(C::FactoryReset), (W{"QXE", "ACM"}));  // the dispatcher itself asks nothing
  EXPECT_TRUE(h.loop.timerEnabled(TimerId::TenSec) && app.download().view().erasing &&
              !app.menus().view().toEeprom.enabled);
  EXPECT_EQ(run(C::Erase), W{"QXE"});
  EXPECT_TRUE(h.dialogs.confirmTitles.empty());
}

// "Erase Image in EEPROM" asks first; the line is held while the operator decides.
TEST_F(DispatcherTest, TheEraseQuestionHoldsTheLineAndItsCancelSendsNothing) {
  const auto erase = [&](bool yes) {
    h.port.writes.clear();
    h.dialogs.confirmAnswers = {yes};
    app.download().eraseImage();
    return h.port.writes;
  };
  h.dialogs.whileAsked = [&] { d.sizeQuery(); };
  EXPECT_EQ(erase(false), W{});
  EXPECT_FALSE(h.loop.timerEnabled(TimerId::TenSec) || d.busy());
  EXPECT_EQ(erase(true), (W{"QXE", "ACM"}));
  EXPECT_EQ(h.dialogs.confirmTitles, std::vector<std::string>(2, "EEPROM ERASE: Notice!"));
  EXPECT_EQ(h.dialogs.presets, std::vector(2, Dialogs::Preset::Cancel));  // Enter: Cancel
  app.download().holdLine(true);
  EXPECT_EQ(erase(true), W{});  // refused: not even asked
  EXPECT_EQ(h.dialogs.confirmTitles.size(), 2u);
}

TEST_F(DispatcherTest, SaveLogoWaitsItsTicksAndRefusesCommandsMeanwhile) {
  h.loop.setTimerEnabled(TimerId::Delay, true);
  for (auto [colour, ticks] : {std::pair{false, 32}, std::pair{true, 128}}) {
    app.choices().setColourNode(colour);
    size_t writesMeanwhile = 99;
    h.loop.at(100, [&] { d.sizeQuery(), writesMeanwhile = h.port.writes.size(); });
    const int64_t start = h.loop.ms();
    EXPECT_EQ(run(C::SaveLogo), W{"ASI"});
    EXPECT_EQ((h.loop.ms() - start + 24) / 25, ticks) << colour;
    EXPECT_EQ(writesMeanwhile, 1u);  // "ASI" alone: the poll's query was refused
    EXPECT_FALSE(app.statusLine().view().progressShown || d.busy());
  }
}

TEST_F(DispatcherTest, SendCounterLastSentTextAndFailedSends) {
  d.setSendCount(9998);
  d.send("A");
  EXPECT_EQ(app.port().view().sentCount, "9999");
  d.send("B");
  EXPECT_EQ(app.port().view().sentCount + " " + app.port().view().sent, "0 SendCom: B");
  h.port.close();
  app.link().select(0);
  EXPECT_FALSE(d.send("QXS"));  // no port selected: nothing at all, not even counted
  EXPECT_EQ(d.sendCount(), 0);
  app.link().select(3);
  h.port.failWrites = true;
  EXPECT_FALSE(d.send("QXS"));  // re-opened, but the write fails
  EXPECT_EQ(app.statusLine().view().errorTitle, "SendCom");
  EXPECT_EQ(h.port.writes, (W{"A", "B"}));
}

// The diagnostic menu: every entry's question, limits, rounding and encoding, and the entries
// that act in the window.
#include "shell/diag_menu.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

using W = std::vector<std::string>;
using E = DiagEntry;

struct DiagTest : ::testing::Test {
  Harness h;
  App& app = *h.app;
  void SetUp() override { h.lineReady(); }
  // Runs `entry` with `answer` typed into the input window; the writes it made.
  W run(E entry, std::optional<std::string> answer = std::nullopt) {
    h.port.writes.clear();
    h.dialogs.answers.push_back(answer);
    app.diag().run(entry);
    h.dialogs.answers.clear();
    return h.port.writes;
  }
};

std::string withByte(const std::string& text, int b) {
  return text + std::string(1, static_cast<char>(b));
}
const std::string kZeros(3, '\0');

}  // namespace

TEST_F(DiagTest, AnswersAreLimitedScaledAndEncoded) {
  // clang-format off
  // prompt: checked where given
  struct Case { E entry; const char* answer; int model; W wire; const char* prompt; } cases[] = {
      {E::HorizPosn, "0", 4, {"AHP22"}, "Enter a Horizontal Position Percent (0-99)"},
      {E::HorizPosn, "50", 4, {"AHP5F"}, ""}, {E::HorizPosn, "99", 4, {"AHP9A"}, ""},
      {E::HorizPosn, "150", 4, {"AHP9A"}, ""}, {E::HorizPosn, "-7", 4, {"AHP22"}, ""},
      {E::HorizPosn, "abc", 4, {"AHP22"}, ""}, {E::HorizPosn, "  50 %", 4, {"AHP5F"}, ""},
      {E::VertPosn, "0", 4, {"AVP04"}, "Enter a Vertical Position Percent (0-99)"},
      {E::VertPosn, "99", 4, {"AVP37"}, ""}, {E::VertPosn, "50", 4, {"AVP1E"}, ""},
      {E::VertPosn, "1.5", 4, {"AVP05"}, ""},
      {E::SetTimeOn, "60", 4, {withByte("APA", 4)}, "Enter Take ON Time (15-3825)Seconds"},
      {E::SetTimeOn, "3825", 4, {withByte("APA", 255)}, ""},
      {E::SetTimeOn, "10", 4, {withByte("APA", 1)}, ""},
      {E::SetTimeOff, "99999", 4, {withByte("API", 255)}, "Enter Take OFF Time (15-3825)Seconds"},
      {E::ChangeIdNum, "26", 4, {"ANI,1A"}, "Enter an ID Number (1-255)"},
      {E::ChangeIdNum, "300", 4, {"ANI,FF"}, ""}, {E::ChangeIdNum, "0", 4, {"ANI,01"}, ""},
      {E::WakeupNode, "0", 4, {"SP", "WK,00"}, "Enter Node to Wake-up (1-255) 0=All."},
      {E::WakeupNode, "999", 4, {"SP", "WK,FF"}, ""},
      {E::SelectLogo, "9", 4, {"AJ04" + kZeros}, "Enter a Logo number (1-4)"},
      {E::SelectLogo, "0", 4, {"AJ01" + kZeros}, ""},
      {E::SelectLogo, "15", 31, {"AJ15" + kZeros}, "Enter a Logo number (1-31)"},
      {E::SelectLogo, "5", 0, {"AJ01" + kZeros}, "Enter a Logo number (1-1)"},
      {E::FadeRate, "20", 4, {withByte("AFR", 79)}, "Enter a Fade Rate (0-99)"},
      {E::FadeRate, "500", 4, {withByte("AFR", 0)}, ""},
      {E::MixLevel, "10", 4, {}, "Enter a Mix Percent (0-99)"},
      {E::IreLevel, "10", 4, {}, "Enter an Intensity Percent (0-99)"},
      {E::Chroma, "-1", 4, {withByte("ACH", 0)}, "Enter a Chroma Percent (0-99)"},
      {E::EnterPassword, "Secret 1", 4, {"AEPWSecret 1"}, "Enter a Password"},
      {E::Misc, "QXS,x 1", 4, {"QXS,x 1"}, "Enter Command"},
      {E::SetModel, "1", 4, {"ACT01"}, "Enter a Model number (01,04,07,15,31)"},
      {E::SetModel, "7", 4, {"ACT07"}, ""}, {E::SetModel, "15", 4, {"ACT15"}, ""},
      {E::SetModel, "31", 4, {"ACT31"}, ""}, {E::SetModel, "01", 4, {"ACT01"}, ""},
      {E::SetModel, " 07 ", 4, {"ACT07"}, ""}, {E::SetModel, "m", 4, {"ACTM"}, ""},
      {E::SetModel, "C", 4, {"ACTC"}, ""}, {E::SetModel, "2", 4, {"ACT04"}, ""},
      {E::SetModel, "16", 4, {"ACT04"}, ""}, {E::SetModel, "x", 4, {"ACT04"}, ""}};
  // clang-format on
  for (const auto& c : cases) {
    app.choices().setModel(c.model);
    EXPECT_EQ(run(c.entry, c.answer), c.wire) << diagPlace(c.entry) << " " << c.answer;
    EXPECT_EQ(*c.prompt ? h.dialogs.prompts.back() : "", c.prompt);
  }
  app.choices().setColourNode(true);
  EXPECT_EQ(run(E::SetModel, "2"), W{"ACT2"});
  run(E::EnterPassword, "pw");
  EXPECT_EQ(app.port().view().sent, "");  // the password does not stay on screen
}

TEST_F(DiagTest, EmptyOrAbandonedAnswersSendNothing) {
  int asking = 0;
  for (const E entry : diagEntries()) {
    if (diagRow(entry).value == DiagValue::None) continue;
    ++asking;
    EXPECT_EQ(run(entry, ""), W{}) << diagPlace(entry);
    EXPECT_EQ(run(entry), W{}) << diagPlace(entry);
  }
  EXPECT_EQ(std::pair(asking, h.dialogs.prompts.size()), std::pair(14, size_t{28}));
}

TEST_F(DiagTest, EntriesWithoutAQuestion) {
  app.statusLine().status("old");
  EXPECT_EQ(run(E::RetreiveCopyright), (W{"ARC", "\x88"}));
  EXPECT_EQ(app.statusLine().view().status, "");
  h.dialogs.confirmAnswers = {false};
  EXPECT_EQ(run(E::FactoryReset), W{});  // the erase question's Cancel
  EXPECT_EQ(run(E::FactoryReset), (W{"QXE", "ACM"}));
  EXPECT_EQ(h.dialogs.confirmTitles.back(), "EEPROM ERASE: Notice!");
  EXPECT_FALSE(app.session().readBackPending());  // no read-back follows an erase
  EXPECT_EQ(run(E::RetreiveLogo), W{"ARM"});
  EXPECT_TRUE(app.session().readBackPending() && app.session().polls() == 500);
  EXPECT_EQ(app.statusLine().view().status, "Waiting for Reply");
  app.session().cancelReadBack();
  app.download().holdLine(true);  // a refused request must not leave the reception waiting
  EXPECT_EQ(run(E::RetreiveLogo), W{});
  EXPECT_FALSE(app.session().readBackPending());
  app.download().holdLine(false);
  for (const auto& w : run(E::SendLogo)) EXPECT_NE(w, "ALD");  // the whole download, not "ALD"
  EXPECT_TRUE(h.dialogs.prompts.empty());
  // The entries above carry the captions of their commands.
  std::string captions;
  for (const E entry : {E::RetreiveCopyright, E::FactoryReset, E::RetreiveLogo, E::SendLogo})
    captions += diagRow(entry).caption + std::string("|");
  EXPECT_EQ(captions, "Retreive Copyright|Factory Reset|Retreive Logo|Send Logo|");
}

TEST_F(DiagTest, WindowEntries) {
  for (const bool shown : {true, false}) {
    run(E::ShowDialog);
    EXPECT_EQ(app.port().view().replyShown, shown);
    EXPECT_EQ(h.settings.get("ShowReply"), shown ? "True" : "False");
  }
  app.formLoad("SKIPCOM5");
  app.link().setSkipPort(-1);
  for (const bool downloading : {true, false}) {
    app.download().holdLine(downloading);
    run(E::ReadConfiguration);
    EXPECT_EQ(app.link().skipPort(), downloading ? -1 : 5);  // not while a download runs
  }
  EXPECT_FALSE(app.dispatcher().guarded());
}

TEST(DiagFailureTest, AFailureIsReportedUnderTheMenuTitleAndSendsNothing) {
  struct BrokenDialogs : ScriptedDialogs {
    std::optional<std::string> askValue(const std::string&) override { throw Failure("gone"); }
  } dialogs;
  Harness h;
  h.lineReady();
  Platform p{h.port, h.loop, h.settings, dialogs, h.launcher, h.dir, h.dir};
  App app(p);
  app.diag().run(E::HorizPosn);
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_EQ(app.statusLine().view().errorTitle + ": " + app.statusLine().view().errorText,
            "mnuLogoSel_Click: gone");
}

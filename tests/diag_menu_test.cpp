// The diagnostic menu: every entry's question, limits, rounding and encoding, and the entries
// that act in the window.
#include <gtest/gtest.h>

#include "link/diag_table.h"
#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

using W = std::vector<std::string>;

struct DiagTest : ::testing::Test {
  Harness h;
  App& app = *h.app;
  void SetUp() override { h.lineReady(); }
  // Runs entry `index` with `answer` typed into the input window; the writes it made.
  W run(int index, std::optional<std::string> answer = std::nullopt) {
    h.port.writes.clear();
    h.dialogs.answers.push_back(answer);
    app.diag().run(index);
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
  struct Case { int index; const char* answer; int model; W wire; const char* prompt; } cases[] = {
      {6, "0", 4, {"AHP22"}, "Enter a Horizontal Position Percent (0-99)"}, {6, "50", 4, {"AHP5F"}, ""},
      {6, "99", 4, {"AHP9A"}, ""}, {6, "150", 4, {"AHP9A"}, ""}, {6, "-7", 4, {"AHP22"}, ""},
      {6, "abc", 4, {"AHP22"}, ""}, {6, "  50 %", 4, {"AHP5F"}, ""},
      {7, "0", 4, {"AVP04"}, "Enter a Vertical Position Percent (0-99)"}, {7, "99", 4, {"AVP37"}, ""},
      {7, "50", 4, {"AVP1E"}, ""}, {7, "1.5", 4, {"AVP05"}, ""},
      {13, "60", 4, {withByte("APA", 4)}, "Enter Take ON Time (15-3825)Seconds"},
      {13, "3825", 4, {withByte("APA", 255)}, ""}, {13, "10", 4, {withByte("APA", 1)}, ""},
      {14, "99999", 4, {withByte("API", 255)}, "Enter Take OFF Time (15-3825)Seconds"},
      {12, "26", 4, {"ANI,1A"}, "Enter an ID Number (1-255)"}, {12, "300", 4, {"ANI,FF"}, ""},
      {12, "0", 4, {"ANI,01"}, ""}, {15, "0", 4, {"SP", "WK,00"}, "Enter Node to Wake-up (1-255) 0=All."},
      {15, "999", 4, {"SP", "WK,FF"}, ""}, {18, "9", 4, {"AJ04" + kZeros}, "Enter a Logo number (1-4)"},
      {18, "0", 4, {"AJ01" + kZeros}, ""}, {18, "15", 31, {"AJ15" + kZeros}, "Enter a Logo number (1-31)"},
      {18, "5", 0, {"AJ01" + kZeros}, "Enter a Logo number (1-1)"},
      {3, "20", 4, {withByte("AFR", 79)}, "Enter a Fade Rate (0-99)"},
      {3, "500", 4, {withByte("AFR", 0)}, ""}, {4, "10", 4, {}, "Enter a Mix Percent (0-99)"},
      {5, "10", 4, {}, "Enter an Intensity Percent (0-99)"},
      {26, "-1", 4, {withByte("ACH", 0)}, "Enter a Chroma Percent (0-99)"},
      {25, "Secret 1", 4, {"AEPWSecret 1"}, "Enter a Password"},
      {27, "QXS,x 1", 4, {"QXS,x 1"}, "Enter Command"},
      {21, "1", 4, {"ACT01"}, "Enter a Model number (01,04,07,15,31)"}, {21, "7", 4, {"ACT07"}, ""},
      {21, "15", 4, {"ACT15"}, ""}, {21, "31", 4, {"ACT31"}, ""}, {21, "01", 4, {"ACT01"}, ""},
      {21, " 07 ", 4, {"ACT07"}, ""}, {21, "m", 4, {"ACTM"}, ""}, {21, "C", 4, {"ACTC"}, ""},
      {21, "2", 4, {"ACT04"}, ""}, {21, "16", 4, {"ACT04"}, ""}, {21, "x", 4, {"ACT04"}, ""}};
  // clang-format on
  for (const auto& c : cases) {
    app.choices().setModel(c.model);
    EXPECT_EQ(run(c.index, c.answer), c.wire) << c.index << " " << c.answer;
    EXPECT_EQ(*c.prompt ? h.dialogs.prompts.back() : "", c.prompt);
  }
  app.choices().setColourNode(true);
  EXPECT_EQ(run(21, "2"), W{"ACT2"});
  run(25, "pw");
  EXPECT_EQ(app.port().view().sent, "");  // the password does not stay on screen
}

TEST_F(DiagTest, EmptyOrAbandonedAnswersSendNothing) {
  for (int index : {3, 6, 7, 12, 13, 14, 15, 18, 21, 25, 26, 27}) {
    EXPECT_EQ(run(index, ""), W{}) << index;
    EXPECT_EQ(run(index), W{}) << index;
  }
  for (int index : {-1, 28, 1000}) EXPECT_EQ(run(index, "5"), W{});
  EXPECT_EQ(h.dialogs.prompts.size(), 24u);
}

TEST_F(DiagTest, EntriesWithoutAQuestion) {
  app.statusLine().status("old");
  EXPECT_EQ(run(22), (W{"ARC", "\x88"}));
  EXPECT_EQ(app.statusLine().view().status, "");
  h.dialogs.confirmAnswers = {false};
  EXPECT_EQ(run(20), W{});  // the erase question's Cancel
  EXPECT_EQ(run(20), (W{"QXE", "ACM"}));
  EXPECT_EQ(h.dialogs.confirmTitles.back(), "EEPROM ERASE: Notice!");
  EXPECT_FALSE(app.session().readBackPending());  // no read-back follows an erase
  EXPECT_EQ(run(19), W{"ARM"});
  EXPECT_TRUE(app.session().readBackPending());
  EXPECT_EQ(app.session().polls(), 500);
  EXPECT_EQ(app.statusLine().view().status, "Waiting for Reply");
  app.session().cancelReadBack();
  app.download().holdLine(true);  // a refused request must not leave the reception waiting
  EXPECT_EQ(run(19), W{});
  EXPECT_FALSE(app.session().readBackPending());
  app.download().holdLine(false);
  for (const auto& w : run(8)) EXPECT_NE(w, "ALD");  // the whole download, not "ALD"
  EXPECT_TRUE(h.dialogs.prompts.empty());
  // The entries above carry the captions of their commands.
  std::string captions;
  for (const int index : {22, 20, 19, 8}) captions += diagEntry(index)->caption + std::string("|");
  EXPECT_EQ(captions, "Retreive Copyright|Factory Reset|Retreive Logo|Send Logo|");
}

TEST_F(DiagTest, WindowEntries) {
  for (const bool shown : {true, false}) {
    run(23);
    EXPECT_EQ(app.port().view().replyShown, shown);
    EXPECT_EQ(h.settings.get("ShowReply"), shown ? "True" : "False");
  }
  app.formLoad("SKIPCOM5");
  app.link().setSkipPort(-1);
  for (const bool downloading : {true, false}) {
    app.download().holdLine(downloading);
    run(24);
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
  app.diag().run(6);
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_EQ(app.statusLine().view().errorTitle + ": " + app.statusLine().view().errorText,
            "mnuLogoSel_Click: gone");
}

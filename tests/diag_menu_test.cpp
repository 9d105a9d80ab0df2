// The diagnostic menu: prompts, limits, rounding and encodings of every entry, and the
// entries that act in the window.
#include <gtest/gtest.h>

#include <stdexcept>

#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

struct DiagTest : ::testing::Test {
  Harness h;
  App& app = *h.app;
  void SetUp() override {
    // The line open and usable, as after start-up.
    h.lineReady();
  }
  // Runs entry `index` with `answer` typed into the input window; the bytes written.
  std::vector<std::string> run(int index, const std::string& answer) {
    h.port.writes.clear();
    h.dialogs.answers.push_back(answer);
    app.diagClick(index);
    return h.port.writes;
  }
  std::string one(int index, const std::string& answer) {
    auto w = run(index, answer);
    return w.size() == 1 ? w[0] : "<" + std::to_string(w.size()) + " writes>";
  }
  std::string lastPrompt() const {
    return h.dialogs.prompts.empty() ? "" : h.dialogs.prompts.back();
  }
};

std::string withByte(const std::string& text, int b) {
  return text + std::string(1, static_cast<char>(b));
}

}  // namespace

// ---- Positions ----

TEST_F(DiagTest, HorizontalPositionMapsPercentOntoTheNodeRange) {
  EXPECT_EQ(one(6, "0"), "AHP22");
  EXPECT_EQ(one(6, "50"), "AHP5F");  // 94.61 rounds to 95
  EXPECT_EQ(one(6, "99"), "AHP9A");
  EXPECT_EQ(one(6, "150"), "AHP9A");  // clamped to 99
  EXPECT_EQ(one(6, "-7"), "AHP22");   // clamped to 0
  EXPECT_EQ(one(6, "abc"), "AHP22");  // no number reads as 0
  EXPECT_EQ(one(6, "  50 %"), "AHP5F");
  EXPECT_EQ(lastPrompt(), "Enter a Horizontal Position Percent (0-99)");
}

TEST_F(DiagTest, VerticalPositionMapsPercentOntoTheNodeRange) {
  EXPECT_EQ(one(7, "0"), "AVP04");
  EXPECT_EQ(one(7, "99"), "AVP37");
  EXPECT_EQ(one(7, "50"), "AVP1E");   // 29.76 rounds to 30
  EXPECT_EQ(one(7, "0.5"), "AVP04");  // the typed half goes to the even 0
  EXPECT_EQ(one(7, "1.5"), "AVP05");  // and 1.5 to 2: 4 + 1.03 = 5.03
  EXPECT_EQ(lastPrompt(), "Enter a Vertical Position Percent (0-99)");
}

// ---- Times, IDs, logos ----

TEST_F(DiagTest, TakeTimesAreCountedInFifteenSecondUnits) {
  EXPECT_EQ(one(13, "60"), withByte("APA", 4));
  EXPECT_EQ(one(13, "3825"), withByte("APA", 255));
  EXPECT_EQ(one(13, "10"), withByte("APA", 1));
  EXPECT_EQ(one(13, "99999"), withByte("APA", 255));
  EXPECT_EQ(lastPrompt(), "Enter Take ON Time (15-3825)Seconds");
  EXPECT_EQ(one(14, "60"), withByte("API", 4));
  EXPECT_EQ(one(14, "10"), withByte("API", 1));
  EXPECT_EQ(lastPrompt(), "Enter Take OFF Time (15-3825)Seconds");
}

TEST_F(DiagTest, NodeIdIsSentAsTwoHexDigitsWithinTheIdRange) {
  EXPECT_EQ(one(12, "26"), "ANI,1A");
  EXPECT_EQ(one(12, "300"), "ANI,FF");
  EXPECT_EQ(one(12, "255"), "ANI,FF");
  EXPECT_EQ(one(12, "0"), "ANI,01");  // 0 is no node ID
  EXPECT_EQ(lastPrompt(), "Enter an ID Number (1-255)");
}

TEST_F(DiagTest, NodeFieldClickRunsTheIdEntry) {
  h.dialogs.answers.push_back("26");
  app.click("txtNODE");
  ASSERT_EQ(h.port.writes.size(), 1u);
  EXPECT_EQ(h.port.writes[0], "ANI,1A");
}

TEST_F(DiagTest, WakeUpPutsTheAwakeNodesToSleepFirst) {
  EXPECT_EQ(run(15, "0"), (std::vector<std::string>{"SP", "WK,00"}));
  EXPECT_EQ(run(15, "26"), (std::vector<std::string>{"SP", "WK,1A"}));
  EXPECT_EQ(run(15, "999"), (std::vector<std::string>{"SP", "WK,FF"}));
  EXPECT_EQ(lastPrompt(), "Enter Node to Wake-up (1-255) 0=All.");
}

TEST_F(DiagTest, LogoNumberIsLimitedToTheModel) {
  app.sxModel = 4;
  EXPECT_EQ(one(18, "9"), std::string("AJ04") + std::string(3, '\0'));
  EXPECT_EQ(lastPrompt(), "Enter a Logo number (1-4)");
  EXPECT_EQ(one(18, "2"), std::string("AJ02") + std::string(3, '\0'));
  EXPECT_EQ(one(18, "0"), std::string("AJ01") + std::string(3, '\0'));
  app.sxModel = 31;
  EXPECT_EQ(one(18, "15"), std::string("AJ15") + std::string(3, '\0'));
  EXPECT_EQ(lastPrompt(), "Enter a Logo number (1-31)");
}

TEST_F(DiagTest, LogoNumberWithoutAKnownModelOffersLogoOne) {
  app.sxModel = 0;
  EXPECT_EQ(one(18, "5"), std::string("AJ01") + std::string(3, '\0'));
  EXPECT_EQ(lastPrompt(), "Enter a Logo number (1-1)");
}

// ---- One-byte values ----

TEST_F(DiagTest, FadeChromaAndLevelsAreOneByteValues) {
  EXPECT_EQ(one(3, "20"), withByte("AFR", 79));  // 99 - 20
  EXPECT_EQ(one(3, "500"), withByte("AFR", 0));
  EXPECT_EQ(lastPrompt(), "Enter a Fade Rate (0-99)");
  EXPECT_EQ(one(26, "50"), withByte("ACH", 50));
  EXPECT_EQ(one(26, "-1"), withByte("ACH", 0));
  EXPECT_EQ(lastPrompt(), "Enter a Chroma Percent (0-99)");
  run(4, "10");
  EXPECT_EQ(lastPrompt(), "Enter a Mix Percent (0-99)");
  run(5, "10");
  EXPECT_EQ(lastPrompt(), "Enter an Intensity Percent (0-99)");
}

// ---- Model ----

TEST_F(DiagTest, ModelNumberReadsTheWholeNumber) {
  struct Case {
    const char* answer;
    const char* wire;
  } cases[] = {{"1", "ACT01"},  {"4", "ACT04"},  {"7", "ACT07"},    {"15", "ACT15"},
               {"31", "ACT31"}, {"01", "ACT01"}, {" 07 ", "ACT07"}, {"m", "ACTM"},
               {"C", "ACTC"},   {"2", "ACT04"},  {"3", "ACT04"},    {"x", "ACT04"},
               {"16", "ACT04"}, {"0", "ACT04"}};
  for (const auto& c : cases) EXPECT_EQ(one(21, c.answer), c.wire) << c.answer;
  EXPECT_EQ(lastPrompt(), "Enter a Model number (01,04,07,15,31)");
  app.colorNode = true;
  EXPECT_EQ(one(21, "2"), "ACT2");
}

// ---- Free text ----

TEST_F(DiagTest, PasswordIsSentAndThenWipedFromTheLastSentLabel) {
  EXPECT_EQ(one(25, "Secret 1"), "AEPWSecret 1");
  EXPECT_EQ(app.ui().text("lblDiagSend"), "");
  EXPECT_EQ(lastPrompt(), "Enter a Password");
}

TEST_F(DiagTest, MiscWritesTheCommandAsTyped) {
  EXPECT_EQ(one(27, "QXS,x 1"), "QXS,x 1");
  EXPECT_EQ(lastPrompt(), "Enter Command");
}

TEST_F(DiagTest, EmptyOrAbandonedAnswerSendsNothing) {
  for (int index : {3, 4, 5, 6, 7, 12, 13, 14, 15, 18, 21, 25, 26, 27}) {
    EXPECT_TRUE(run(index, "").empty()) << index;
    h.port.writes.clear();
    app.diagClick(index);  // input window closed without Enter
    EXPECT_TRUE(h.port.writes.empty()) << index;
  }
  EXPECT_EQ(h.dialogs.prompts.size(), 28u);
}

// ---- Entries without a value ----

TEST_F(DiagTest, PlainEntriesIssueTheirCodes) {
  struct Case {
    int index;
    std::vector<std::string> wire;
  } cases[] = {{11, {"ACI"}}, {16, {"SP"}}, {17, {"QXS"}}, {22, {"ARC", "\x88"}}};
  for (const auto& c : cases) {
    h.port.writes.clear();
    app.diagClick(c.index);
    EXPECT_EQ(h.port.writes, c.wire) << c.index;
  }
  h.port.writes.clear();
  app.diagClick(9);
  ASSERT_EQ(h.port.writes.size(), 2u);
  EXPECT_EQ(h.port.writes[0], "\x80");
  EXPECT_EQ(h.port.writes[1].size(), 21u);
  EXPECT_TRUE(h.dialogs.prompts.empty());
}

TEST_F(DiagTest, SaveLogoWaitsForTheNode) {
  h.loop.setTimerEnabled(TimerId::Delay, true);
  const int64_t start = h.loop.ms();
  app.diagClick(10);
  ASSERT_EQ(h.port.writes.size(), 1u);
  EXPECT_EQ(h.port.writes[0], "ASI");
  EXPECT_GE(h.loop.ms() - start, 32 * 25);
}

TEST_F(DiagTest, CopyrightRequestClearsTheStatusLineFirst) {
  app.showStatus("something old");
  app.diagClick(22);
  EXPECT_EQ(app.ui().text("lblCopyright"), "");
}

TEST_F(DiagTest, RetrieveLogoAwaitsTheReadBack) {
  app.diagClick(19);
  EXPECT_EQ(h.port.writes, (std::vector<std::string>{"ARM"}));
  EXPECT_TRUE(app.uploadPending);
  EXPECT_EQ(app.readPolls, 500);
  EXPECT_EQ(app.ui().text("lblCopyright"), "Waiting for Reply");
}

TEST_F(DiagTest, RefusedRetrieveLogoLeavesTheReceptionAlone) {
  app.downloading = true;
  app.diagClick(19);
  app.downloading = false;
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_FALSE(app.uploadPending);
  EXPECT_EQ(app.readPolls, 0);
}

TEST_F(DiagTest, FactoryResetErasesAfterConfirmationWithoutAwaitingAReadBack) {
  app.diagClick(20);
  EXPECT_EQ(h.port.writes, (std::vector<std::string>{"QXE", "ACM"}));
  EXPECT_FALSE(app.uploadPending);
  h.port.writes.clear();
  h.dialogs.confirmAnswers.push_back(false);
  app.diagClick(20);
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_FALSE(app.uploadPending);
}

TEST_F(DiagTest, SendLogoRunsTheDownloadNotTheBareCommand) {
  app.showStatus("old");
  app.diagClick(8);
  EXPECT_EQ(app.ui().text("lblCopyright").find("old"), std::string::npos);
  for (const auto& w : h.port.writes) EXPECT_NE(w, "ALD");
}

TEST_F(DiagTest, OtherIndicesDoNothing) {
  for (int index : {-1, 28, 1000}) app.diagClick(index);
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_TRUE(h.dialogs.prompts.empty());
}

// ---- Window entries ----

TEST_F(DiagTest, ShowDialogTogglesTheReplyArea) {
  app.diagClick(23);
  EXPECT_TRUE(app.ui().checked("mnuDiagSub(23)"));
  EXPECT_EQ(h.settings.get("ShowReply"), "True");
  EXPECT_EQ(app.ui().heightTwips(), 6125);
  app.diagClick(23);
  EXPECT_FALSE(app.ui().checked("mnuDiagSub(23)"));
  EXPECT_EQ(h.settings.get("ShowReply"), "False");
  EXPECT_EQ(app.ui().heightTwips(), 5650);
  app.ui().setHeightTwips(7000);
  app.diagClick(23);
  EXPECT_EQ(app.ui().heightTwips(), 7000);
  EXPECT_TRUE(h.port.writes.empty());
}

TEST_F(DiagTest, ReadConfigurationRunsTheStartUpAgain) {
  app.formLoad("SKIPCOM5");
  app.skipPort = -1;
  app.ui().setText("lblDiag", "answer");
  app.diagClick(24);
  EXPECT_EQ(app.ui().text("lblDiag"), "No Reply");
  EXPECT_EQ(app.skipPort, 5);
  EXPECT_FALSE(app.sendGuard);
}

TEST_F(DiagTest, ReadConfigurationWaitsUntilNoDownloadRuns) {
  app.ui().setText("lblDiag", "answer");
  app.downloading = true;
  app.diagClick(24);
  EXPECT_EQ(app.ui().text("lblDiag"), "answer");
  EXPECT_TRUE(h.port.isOpen());
  EXPECT_FALSE(app.sendGuard);
}

// ---- Failures ----

namespace {
struct BrokenDialogs : ScriptedDialogs {
  std::optional<std::string> askValue(const std::string&) override {
    throw std::runtime_error("input window failed");
  }
};
}  // namespace

TEST(DiagFailureTest, AFailureIsReportedUnderTheMenuTitleAndSendsNothing) {
  Harness h;
  BrokenDialogs dialogs;
  Platform p{h.port, h.loop, h.settings, dialogs, h.launcher, h.dir, h.dir};
  h.app.reset();
  App app(p);
  h.port.openable.insert(3);
  PortOpenError err;
  h.port.open(3, err);
  app.comPort = 3;
  app.diagClick(6);
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_TRUE(app.ui().visible("frameError"));
  EXPECT_EQ(app.ui().text("frameError"), "mnuLogoSel_Click");
  EXPECT_EQ(app.ui().text("lblErrTxt"), "input window failed");
}

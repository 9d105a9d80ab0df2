// Download progress on the 9600-baud line, its texts, the escaping of bytes in labels, and
// the schedule editor's word on SAVE.
#include "transfer/line_progress.h"

#include <gtest/gtest.h>

#include "common/textnum.h"
#include "schedule/editor.h"
#include "support/fakes.h"

namespace osd {
namespace {

TEST(LineProgress, LeftThePortButNeverFasterThanTheLine) {
  struct Step {
    int64_t written, held;
    double now;
    int64_t sent;
  };
  // A stream of 65667 bytes that began at t = 100 s.
  const Step steps[] = {
      {20480, 0, 101.0, 960},       // a pseudo-terminal took 20 KB and holds "none"
      {20480, 0, 110.5, 10080},     // the line bound again
      {24000, 20000, 111.0, 4000},  // a real port's queue: the port bound, but never backwards
      {24000, 1000, 130.0, 23000},  // the port bound
      {65667, 0, 500.0, 65667},     // never more than the stream
  };
  LineProgress p(65667, 100.0);
  int64_t before = 0;
  for (const Step& s : steps) {
    p.update(s.written, s.held, s.now);
    EXPECT_EQ(p.sent(), std::max(s.sent, before)) << "at " << s.now;
    before = p.sent();
  }
  EXPECT_TRUE(p.complete());
  EXPECT_DOUBLE_EQ(p.secondsLeft(), 0.0);
}

TEST(LineProgress, Texts) {
  LineProgress p(65667, 0.0);
  p.update(20000, 0, 40.0);  // 20,000 bytes in 40 s: 500 B/s, 45,667 bytes (47.6 s) left
  const std::pair<std::string, std::string> rows[] = {
      {sentOfTotal(p), "sent 20000 of 65667 bytes"},
      {phaseStatus("Sending Filler", p), "Sending Filler: 20,000 of 65,667 bytes, 48 s left"},
      {progressBarLine(p, 60), "[####----------]  20,000 of 65,667 bytes  500 B/s  48 s left"},
      {progressBarLine(p, 30), "20,000 of 65,667 bytes  500 B/s  48 s left"},
      {downloadedText(1, 65667, 78.4), "Logo 1 downloaded: 65,667 bytes in 1 min 18 s"},
      {durationText(7530), "2 h 5 min"},
      {groupedNumber(1234567), "1,234,567"},
      {groupedNumber(999), "999"},
  };
  for (const auto& [got, want] : rows) EXPECT_EQ(got, want);
}

TEST(EscapeUnprintable, BytesThatAreNoCharacters) {
  const std::pair<std::string, std::string> rows[] = {
      {"SendCom: \xFF\xFF", "SendCom: \\xFF\\xFF"},
      {"QXW\x01\x7F", "QXW\\x01\\x7F"},
      {"Gr\xC3\xB6\xC3\x9F"
       "e 24\xC2\xB0",
       "Gr\xC3\xB6\xC3\x9F"
       "e 24\xC2\xB0"},                     // UTF-8 stays
      {"\xC0\x80", "\\xC0\\x80"},           // over-long
      {"\xE2\x82", "\\xE2\\x82"},           // cut short
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},  // surrogate
      {"a\tb\r\nc", "a\tb\r\nc"},
  };
  for (const auto& [in, want] : rows) EXPECT_EQ(escapeUnprintable(in), want) << in;
}

class RefusingSettings : public test::MemorySettings {
 public:
  bool write(const std::string&, const std::string&) override { return false; }
};

TEST(ScheduleEditorSave, SaysWhetherTheScheduleWasSaved) {
  test::Harness h;
  ScheduleEditor editor(*h.app);
  editor.click("cmdButtons(1)");
  EXPECT_EQ(editor.ui().text("lblStatus"), "Schedule saved");

  RefusingSettings refusing;
  Platform pf{h.port, h.loop, refusing, h.dialogs, h.launcher, h.dir, h.dir};
  App app(pf);
  ScheduleEditor broken(app);
  broken.click("cmdButtons(1)");
  EXPECT_NE(broken.ui().text("lblStatus").find("could not be saved"), std::string::npos);
}

}  // namespace
}  // namespace osd

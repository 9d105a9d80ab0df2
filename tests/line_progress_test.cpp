#include "transfer/line_progress.h"

#include <gtest/gtest.h>

#include "common/textnum.h"

namespace osd {
namespace {

TEST(LineProgress, LeftThePortButNeverFasterThanTheLineNorBackwards) {
  // {written, held, seconds since the start, sent} for a stream of 65667 bytes.
  const double steps[][4] = {{20480, 0, 1, 960},        // a pseudo-terminal holds "none" of 20 KB
                             {24000, 23500, 11, 960},   // never backwards
                             {24000, 1000, 30, 23000},  // a real port's queue
                             {70000, 0, 500, 65667}};
  LineProgress p(65667, 100.0);
  for (const auto& s : steps) {
    p.update(static_cast<int64_t>(s[0]), static_cast<int64_t>(s[1]), 100.0 + s[2]);
    EXPECT_EQ(p.sent(), static_cast<int64_t>(s[3])) << "at " << s[2];
  }
}

TEST(LineProgress, Texts) {
  LineProgress p(65667, 0.0);
  p.update(20000, 0, 40.0);
  const std::pair<std::string, std::string> rows[] = {
      {sentOfTotal(p), "sent 20000 of 65667 bytes"},
      {phaseStatus("Sending Filler", p), "Sending Filler: 20,000 of 65,667 bytes, 48 s left"},
      {progressBarLine(p, 60), "[####----------]  20,000 of 65,667 bytes  500 B/s  48 s left"},
      {downloadedText(1, 65667, 78.4), "Logo 1 downloaded: 65,667 bytes in 1 min 18 s"},
      {durationText(7530), "2 h 5 min"}};
  for (const auto& [got, want] : rows) EXPECT_EQ(got, want);
}

TEST(EscapeUnprintable, BytesThatAreNoCharacters) {
  const std::pair<std::string, std::string> rows[] = {{"Com: \xFF\x01\x7F", "Com: \\xFF\\x01\\x7F"},
                                                      {"Gr\xC3\xB6\xC3\x9F", "Gr\xC3\xB6\xC3\x9F"},
                                                      {"\xC0\x80\xE2\x82", "\\xC0\\x80\\xE2\\x82"},
                                                      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},
                                                      {"5 \xE2\x82\xAC", "5 \xE2\x82\xAC"},
                                                      {"\xE2\x82\x41", "\\xE2\\x82A"},
                                                      {"a\tb\r\nc", "a\tb\r\nc"}};
  for (const auto& [in, want] : rows) EXPECT_EQ(escapeUnprintable(in), want) << in;
}

}  // namespace
}  // namespace osd

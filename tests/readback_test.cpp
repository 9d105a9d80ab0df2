// Read-back reconstruction: the marker, the two fields put back into rows, short streams.
#include "image/readback.h"

#include <gtest/gtest.h>

using namespace osd;

namespace {

// `before` bytes, the marker, then `count` image bytes where byte k has code k mod 256.
std::string stream(const std::string& before, const char* marker, size_t count) {
  std::string s = before + marker;
  for (size_t k = 0; k < count; ++k) s.push_back(static_cast<char>(k % 256));
  return s;
}

}  // namespace

TEST(ReadBackMarker, FirstOccurrenceCounts) {
  EXPECT_EQ(findImageStart("xxSDabcSD", false), 4u);
  EXPECT_EQ(findImageStart("SCSD", true), 2u);
  EXPECT_FALSE(findImageStart("xxSCxx", false).has_value());
  EXPECT_FALSE(findImageStart("", true).has_value());
  EXPECT_EQ(readBackGeometry(false).minStream, 2051u);
  EXPECT_EQ(readBackGeometry(true).minStream, 8195u);
}

TEST(ReadBackMerge, MonochromeFieldsGoToEvenThenOddRows) {
  const std::string s = stream("ab", "SD", 2048);
  const auto start = findImageStart(s, false);
  ASSERT_TRUE(start);
  std::vector<double> progress;
  const MergedImage m = mergeFields(std::string_view(s).substr(*start), false,
                                    [&](int, double p) { progress.push_back(p); });
  ASSERT_EQ(m.picture.size(), 2048u);
  EXPECT_TRUE(m.missing.empty());
  EXPECT_EQ(m.picture[62 * 32], 0);  // first byte of the stream
  EXPECT_EQ(m.picture[62 * 32 + 1], 1);
  EXPECT_EQ(m.picture[60 * 32], 32);  // the second row of the first field
  EXPECT_EQ(m.picture[0 * 32], 31 * 32 % 256);
  EXPECT_EQ(m.picture[63 * 32], 0);  // byte 1024: the second field begins
  EXPECT_EQ(m.picture[63 * 32 + 5], 5);
  EXPECT_EQ(m.picture[1 * 32 + 31], 2047 % 256);
  ASSERT_EQ(progress.size(), 64u);
  EXPECT_DOUBLE_EQ(progress[0], 0.0);
  EXPECT_DOUBLE_EQ(progress[31], 33.0);
  EXPECT_DOUBLE_EQ(progress[32], 33.0 - 33.0 / 62);
  EXPECT_DOUBLE_EQ(progress[63], 33.0 + 33.0 * 61 / 62);
}

TEST(ReadBackMerge, ColourRowsAre128Bytes) {
  const std::string s = stream("", "SC", 8192);
  const MergedImage m = mergeFields(std::string_view(s).substr(2), true);
  ASSERT_EQ(m.picture.size(), 8192u);
  EXPECT_TRUE(m.missing.empty());
  EXPECT_EQ(m.picture[62 * 128 + 127], 127);
  EXPECT_EQ(m.picture[63 * 128], 4096 % 256);
  EXPECT_EQ(m.picture[1 * 128 + 127], 8191 % 256);
}

TEST(ReadBackMerge, ShortStreamLeavesMissingBytesZero) {
  // 2060 characters whose marker starts at character 20: 2039 image bytes, the last 9 of
  // row 1 are missing.
  std::string s = stream(std::string(19, 'z'), "SD", 2060 - 21);
  ASSERT_EQ(s.size(), 2060u);
  const auto start = findImageStart(s, false);
  ASSERT_EQ(start, 21u);
  const MergedImage m = mergeFields(std::string_view(s).substr(*start), false);
  ASSERT_EQ(m.missing.size(), 9u);
  EXPECT_EQ(m.missing.front(), 1u * 32 + 23);
  EXPECT_EQ(m.missing.back(), 1u * 32 + 31);
  EXPECT_EQ(m.picture[1 * 32 + 23], 0);
  EXPECT_EQ(m.picture[1 * 32 + 22], 2038 % 256);
}

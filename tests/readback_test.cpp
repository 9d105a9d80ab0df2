// Read-back reconstruction: the marker, the two fields put back into rows, short streams.
#include "image/readback.h"

#include <gtest/gtest.h>

using namespace osd;

TEST(ReadBack, MarkerFirstOccurrenceCounts) {
  using Found = std::vector<std::optional<size_t>>;
  EXPECT_EQ((Found{findImageStart("xxSDabcSD", false), findImageStart("SCSD", true),
                   findImageStart("xxSCxx", false), findImageStart("", true)}),
            (Found{4u, 2u, std::nullopt, std::nullopt}));
  EXPECT_EQ(std::pair(readBackGeometry(false).minStream, readBackGeometry(true).minStream),
            std::pair(size_t{2051}, size_t{8195}));
}

// Image byte k of the stream has code k mod 256. The first field holds rows 62, 60 .. 0, the
// second 63, 61 .. 1 (0 = bottom); a short stream leaves the bytes it lacks zero and listed.
TEST(ReadBack, FieldsGoToEvenThenOddRows) {
  using Places = std::vector<std::pair<size_t, size_t>>;  // picture index, stream index
  const Places mono = {{62 * 32, 0},    {62 * 32 + 1, 1},    {60 * 32, 32},      {0, 31 * 32},
                       {63 * 32, 1024}, {63 * 32 + 5, 1029}, {1 * 32 + 31, 2047}};
  // clang-format off
  const struct { bool colour; size_t count; Places at; size_t missingFrom, missing; } cases[] = {
      {false, 2048, mono, 0, 0},
      {true, 8192, {{62 * 128 + 127, 127}, {63 * 128, 4096}, {1 * 128 + 127, 8191}}, 0, 0},
      {false, 2039, {{1 * 32 + 22, 2038}}, 1 * 32 + 23, 9}};  // the last 9 of row 1 missing
  // clang-format on
  for (const auto& c : cases) {
    std::string s;
    for (size_t k = 0; k < c.count; ++k) s.push_back(static_cast<char>(k % 256));
    std::vector<double> progress;
    const MergedImage m = mergeFields(s, c.colour, [&](int, double p) { progress.push_back(p); });
    ASSERT_EQ(m.picture.size(), c.colour ? 8192u : 2048u);
    for (const auto& [index, k] : c.at) EXPECT_EQ(m.picture[index], k % 256) << index;
    ASSERT_EQ(m.missing.size(), c.missing);
    for (size_t k = 0; k < c.missing; ++k)
      EXPECT_TRUE(m.missing[k] == c.missingFrom + k && m.picture[c.missingFrom + k] == 0) << k;
    ASSERT_EQ(progress.size(), 64u);
    EXPECT_EQ((std::vector<double>{progress[31], progress[32], progress[63]}),
              (std::vector<double>{33.0, 33.0 - 33.0 / 62, 33.0 + 33.0 * 61 / 62}));
  }
}

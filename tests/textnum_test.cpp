// The shared number rules: halves to even, the lenient leading number, fixed-width forms.
#include "common/textnum.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace osd;

TEST(TextNum, RoundingSendsHalvesToTheEvenNeighbour) {
  const std::pair<double, long long> cases[] = {{0.5, 0},   {1.5, 2},    {2.5, 2},   {-2.5, -2},
                                                {-3.5, -4}, {94.61, 95}, {4.4999, 4}};
  for (const auto& [v, want] : cases) EXPECT_EQ(roundHalfEven(v), want) << v;
  EXPECT_EQ(roundHalfEven(1e300), roundHalfEven(1e301));  // saturates, no overflow
}

TEST(TextNum, LeadingNumberReadsWhatAnOperatorTypes) {
  // Blanks inside are skipped; "1e999999" is no finite number.
  const std::pair<const char*, double> cases[] = {
      {"  31 word", 31}, {"4.5", 4.5}, {"&H1F", 31}, {"&o17", 15}, {"1 2 3", 123}, {"-5x", -5},
      {"1.5e2", 150},    {"2e", 2},    {"abc", 0},   {"", 0},      {"-", 0},       {"1e999999", 0}};
  for (const auto& [text, want] : cases) EXPECT_EQ(leadingNumber(text), want) << text;
  EXPECT_EQ(std::pair(leadingInt("5.5"), leadingInt("99999999999")), std::pair(6, 2147483647));
}

TEST(TextNum, FixedWidthForms) {
  using Texts = std::vector<std::string>;
  EXPECT_EQ((Texts{hex2(5), hex2(308), hex2(255), hexUpper(255), hexUpper(0), dec2(3), dec2(31)}),
            (Texts{"05", "34", "FF", "FF", "0", "03", "31"}));
  EXPECT_EQ(
      (Texts{rightAlign("4", 4), rightAlign("12345", 4), trimBlanks("  a b  "), toUpper(" true ")}),
      (Texts{"   4", "2345", "a b", " TRUE "}));
}

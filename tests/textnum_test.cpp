// The shared number rules: halves to even, the lenient leading number, fixed-width forms.
#include "common/textnum.h"

#include <gtest/gtest.h>

using namespace osd;

TEST(TextNum, RoundingSendsHalvesToTheEvenNeighbour) {
  EXPECT_EQ(roundHalfEven(0.5), 0);
  EXPECT_EQ(roundHalfEven(1.5), 2);
  EXPECT_EQ(roundHalfEven(2.5), 2);
  EXPECT_EQ(roundHalfEven(-2.5), -2);
  EXPECT_EQ(roundHalfEven(-3.5), -4);
  EXPECT_EQ(roundHalfEven(94.61), 95);
  EXPECT_EQ(roundHalfEven(4.4999), 4);
  EXPECT_EQ(roundHalfEven(1e300), roundHalfEven(1e301));  // saturates, no overflow
}

TEST(TextNum, LeadingNumberReadsWhatAnOperatorTypes) {
  EXPECT_EQ(leadingNumber("  31 word"), 31);
  EXPECT_EQ(leadingNumber("4.5"), 4.5);
  EXPECT_EQ(leadingNumber("&H1F"), 31);
  EXPECT_EQ(leadingNumber("&o17"), 15);
  EXPECT_EQ(leadingNumber("1 2 3"), 123);  // blanks inside are skipped
  EXPECT_EQ(leadingNumber("-5x"), -5);
  EXPECT_EQ(leadingNumber("1.5e2"), 150);
  EXPECT_EQ(leadingNumber("2e"), 2);
  EXPECT_EQ(leadingNumber("abc"), 0);
  EXPECT_EQ(leadingNumber(""), 0);
  EXPECT_EQ(leadingNumber("-"), 0);
  EXPECT_EQ(leadingNumber("1e999999"), 0);  // not a finite number
  EXPECT_EQ(leadingInt("5.5"), 6);
  EXPECT_EQ(leadingInt("99999999999"), 2147483647);
}

TEST(TextNum, FixedWidthForms) {
  EXPECT_EQ(hex2(5), "05");
  EXPECT_EQ(hex2(308), "34");
  EXPECT_EQ(hex2(255), "FF");
  EXPECT_EQ(hexUpper(255), "FF");
  EXPECT_EQ(hexUpper(0), "0");
  EXPECT_EQ(dec2(3), "03");
  EXPECT_EQ(dec2(31), "31");
  EXPECT_EQ(rightAlign("4", 4), "   4");
  EXPECT_EQ(rightAlign("12345", 4), "2345");
  EXPECT_EQ(trimBlanks("  a b  "), "a b");
  EXPECT_EQ(toUpper(" true "), " TRUE ");
}

// Node pixel values back to colours: what the node shows for what it received.
#include "image/node_view.h"

#include <gtest/gtest.h>

using namespace osd;

TEST(NodeView, RgbLevelsAndTransparency) {
  const auto px =
      decodeNodeValues({0, 191, 128, 128 + 3, 128 + 12, 128 + 48, 155}, PixelFormat::Rgb);
  ASSERT_EQ(px.size(), 7u);
  EXPECT_TRUE(px[0].transparent);
  EXPECT_EQ(px[1], (Rgb8{255, 255, 255, false}));
  EXPECT_EQ(px[2], (Rgb8{0, 0, 0, false}));
  EXPECT_EQ(px[3], (Rgb8{255, 0, 0, false}));
  EXPECT_EQ(px[4], (Rgb8{0, 255, 0, false}));
  EXPECT_EQ(px[5], (Rgb8{0, 0, 255, false}));
  // 155 = 128 + 3 + 4*2 + 16*1
  EXPECT_EQ(px[6], (Rgb8{255, 170, 85, false}));
}

TEST(NodeView, YCbCrNeutralPairsAreGrey) {
  // 216 = brightness nibble 13 with neutral colour (8) on both members of the pair.
  const auto px = decodeNodeValues({216, 216, 8, 8, 248}, PixelFormat::YCbCr);
  ASSERT_EQ(px.size(), 5u);
  EXPECT_FALSE(px[0].transparent);
  EXPECT_EQ(px[0].r, px[0].g);
  EXPECT_EQ(px[0].g, px[0].b);
  EXPECT_EQ(px[0].r, 255);  // white (Y 219) comes back white
  EXPECT_EQ(px[0], px[1]);
  EXPECT_EQ(px[2], (Rgb8{0, 0, 0, false}));  // black, still opaque
  EXPECT_FALSE(px[2].transparent);
  // A lone last value (no partner) is shown without colour; 248 is the 1-bit white.
  EXPECT_EQ(px[4], (Rgb8{255, 255, 255, false}));
}

TEST(NodeView, YCbCrPairsShareTheirColour) {
  // Red: Y = 63 (nibble 3), Cb = 90 (nibble 5), Cr = 239 (nibble 14).
  const int even = (3 << 4) + 5, odd = (3 << 4) + 14;
  const auto px = decodeNodeValues({even, odd, 0, odd}, PixelFormat::YCbCr);
  EXPECT_EQ(px[0], px[1]);
  EXPECT_GT(px[0].r, 180);
  EXPECT_LT(px[0].g, 60);
  EXPECT_LT(px[0].b, 60);
  EXPECT_TRUE(px[2].transparent);
  // Partner transparent: the odd pixel keeps its Cr, its Cb is neutral.
  EXPECT_FALSE(px[3].transparent);
  EXPECT_NE(px[3], px[1]);
}

// Bitmap writer: the read-back logo file byte by byte and the 24-bit picture.
#include "image/bmp_writer.h"

#include <gtest/gtest.h>

#include "image/bmp.h"

using namespace osd;

namespace {

uint32_t at32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

}  // namespace

TEST(LogoBitmap, MonochromeInvertsAndColourKeepsTheStoreBytes) {
  struct Case {
    bool colour;
    size_t size, offBits, pixels;
    int bpp;
  };
  std::vector<uint8_t> store(8193);
  for (size_t i = 0; i < store.size(); ++i) store[i] = static_cast<uint8_t>(i * 7);
  for (const Case& c : {Case{false, 2110, 62, 2048, 1}, Case{true, 8310, 118, 8192, 4}}) {
    int calls = 0;
    const std::vector<uint8_t> f = buildLogoBitmap(store, c.colour, [&](double) { ++calls; });
    ASSERT_EQ(f.size(), c.size);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 2), "BM");
    // File size, pixel offset, colour table: black, white.
    EXPECT_EQ((std::vector<size_t>{at32(f, 2), at32(f, 10), at32(f, 54), at32(f, 58)}),
              (std::vector<size_t>{c.size, c.offBits, 0, 0x00FFFFFF}));
    EXPECT_EQ(calls, static_cast<int>(c.pixels / 16));
    for (size_t i = 0; i < c.pixels; ++i)
      ASSERT_EQ(f[c.offBits + i], c.colour ? store[i] : store[i] ^ 0xFF) << i;
    std::string err;
    const auto img = decodeBmp(f, err);
    ASSERT_TRUE(img) << err;
    EXPECT_EQ((std::vector<int>{img->layout.width, img->layout.height, img->layout.bpp}),
              (std::vector<int>{256, 64, c.bpp}));
  }
  EXPECT_THROW(buildLogoBitmap(std::vector<uint8_t>(100, 0), false), std::out_of_range);
}
// Bitmap writer: the read-back logo file byte by byte, the 24-bit picture, and the file
// replaced whole only when writing succeeded.
#include "image/bmp_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "image/bmp.h"
#include "image/encoder.h"
#include "support/fakes.h"

using namespace osd;
using namespace osd::test;

namespace {

uint32_t at32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint32_t at16(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8);
}

}  // namespace

TEST(LogoBitmap, MonochromeHeaderAndInvertedPixels) {
  std::vector<uint8_t> store(8193, 255);
  store[0] = 0x0F;
  store[2047] = 0x00;
  const std::vector<uint8_t> f = buildLogoBitmap(store, false);
  ASSERT_EQ(f.size(), 2110u);
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(at32(f, 2), 2110u);
  EXPECT_EQ(at32(f, 6), 0u);
  EXPECT_EQ(at32(f, 10), 62u);
  EXPECT_EQ(at32(f, 14), 40u);
  EXPECT_EQ(at32(f, 18), 256u);
  EXPECT_EQ(at32(f, 22), 64u);
  EXPECT_EQ(at16(f, 26), 1u);
  EXPECT_EQ(at16(f, 28), 1u);
  for (size_t k = 30; k < 54; k += 4) EXPECT_EQ(at32(f, k), 0u) << k;
  EXPECT_EQ(at32(f, 54), 0u);           // black
  EXPECT_EQ(at32(f, 58), 0x00FFFFFFu);  // white
  EXPECT_EQ(f[62], 0xF0);
  EXPECT_EQ(f[63], 0x00);
  EXPECT_EQ(f[62 + 2047], 0xFF);
}

TEST(LogoBitmap, ColourFileKeepsStoreBytesWithAFullColourTable) {
  std::vector<uint8_t> store(8193, 0);
  for (size_t i = 0; i < store.size(); ++i) store[i] = static_cast<uint8_t>(i * 7);
  double last = -1;
  int calls = 0;
  const std::vector<uint8_t> f = buildLogoBitmap(store, true, [&](double p) {
    EXPECT_GE(p, last);
    last = p;
    ++calls;
  });
  ASSERT_EQ(f.size(), 54u + 64u + 8192u);
  EXPECT_EQ(at32(f, 2), f.size());
  EXPECT_EQ(at32(f, 10), 118u);
  EXPECT_EQ(at16(f, 28), 4u);
  EXPECT_EQ(at32(f, 54), 0u);
  EXPECT_EQ(at32(f, 58), 0x00FFFFFFu);
  for (size_t i = 0; i < 8192; ++i) ASSERT_EQ(f[118 + i], store[i]) << i;
  EXPECT_EQ(calls, 512);
  EXPECT_DOUBLE_EQ(last, 5.0 + 95.0 * 8176 / 8192);
  // The file reads back as a proper 4-bit bitmap of the same layout.
  std::string err;
  auto img = decodeBmp(f, err);
  ASSERT_TRUE(img) << err;
  EXPECT_EQ(img->layout.width, 256);
  EXPECT_EQ(img->layout.height, 64);
  EXPECT_EQ(img->layout.rowBytes, 128u);
  EXPECT_EQ(img->palette[1][2], 255);
}

TEST(LogoBitmap, TooSmallStoreIsRefused) {
  EXPECT_THROW(buildLogoBitmap(std::vector<uint8_t>(100, 0), false), std::out_of_range);
}

TEST(Bitmap24, ColoursBottomRowFirstWithPadding) {
  std::vector<Rgb8> px(4 * 2);
  px[0] = {1, 2, 3, false};
  px[4] = {9, 9, 9, true};
  px[7] = {200, 100, 50, false};
  const auto f = buildBitmap24(4, 2, px, Rgb8{7, 7, 7, false});
  ASSERT_EQ(f.size(), 54u + 2 * 12);
  EXPECT_EQ(at16(f, 28), 24u);
  EXPECT_EQ(f[54], 3);  // blue, green, red
  EXPECT_EQ(f[56], 1);
  EXPECT_EQ(f[54 + 12], 7);  // transparent drawn in the given colour
  EXPECT_EQ(f[54 + 12 + 9], 50);
  EXPECT_EQ(f[54 + 12 + 11], 200);
  EXPECT_THROW(buildBitmap24(0, 2, px), std::invalid_argument);
}

TEST(ReplaceFile, ReplacesWholeAndLeavesNoTail) {
  Harness h;
  const std::string path = h.dir + "/old.bmp";
  writeFile(path, std::string(10000, 'x'));
  std::string err;
  ASSERT_TRUE(replaceFile(path, std::vector<uint8_t>(2110, 1), err)) << err;
  EXPECT_EQ(readFileBytes(path), std::string(2110, '\1'));
  // No temporary file is left beside it.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(h.dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST(ReplaceFile, FailureKeepsTheOldFile) {
  Harness h;
  // The target is a folder: the rename fails, nothing is lost or left behind.
  const std::string folder = h.dir + "/taken.bmp";
  std::filesystem::create_directories(folder + "/inner");
  std::string err;
  EXPECT_FALSE(replaceFile(folder, std::vector<uint8_t>(10, 1), err));
  EXPECT_FALSE(err.empty());
  EXPECT_TRUE(std::filesystem::is_directory(folder + "/inner"));
  // A folder that does not exist.
  EXPECT_FALSE(replaceFile(h.dir + "/missing/x.bmp", std::vector<uint8_t>(10, 1), err));
  EXPECT_FALSE(std::filesystem::exists(h.dir + "/missing"));
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(h.dir)) entries += e.exists();
  EXPECT_EQ(entries, 2);  // Images and taken.bmp
  EXPECT_FALSE(replaceFile("", {}, err));
}

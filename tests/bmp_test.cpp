// Bitmap reader: the name test, the node's size rules and their messages, and the files that
// cannot be converted (cut short, compressed, odd depths, bad headers).
#include "image/bmp.h"

#include <gtest/gtest.h>

#include "support/bmp_builder.h"

using namespace osd;
using namespace osd::test;

namespace {

BmpVerdict verdictOf(const std::string& file, bool large) {
  return checkBmp(reinterpret_cast<const uint8_t*>(file.data()), file.size(), file.size(), large);
}

const std::string kSmall256 =
    "Image Max 65280 bytes, Max Width=720W; Max Height=616H\r\n"
    "Width divisible by 4 && height by 2.\r\nActual 256 by 256";

}  // namespace

TEST(BmpRules, NameSizeBordersAndImageBytes) {
  for (const char* name : {"LOGO.bmp", "c:\\x\\logo.BmP", "bmp"}) EXPECT_TRUE(hasBmpName(name));
  for (const char* name : {"logo.txt", "", "mp"}) EXPECT_FALSE(hasBmpName(name));
  // 256 x 255 and 680 x 96: exactly 65280 pixels.
  // clang-format off
  const struct { long long w, h; bool large; std::string message; } sizes[] = {  // "?": any refusal
      {256, 255, false, ""}, {256, 255, true, ""}, {256, 256, false, kSmall256},
      {256, 256, true, ""}, {720, 616, true, ""}, {720, 616, false, "?"},
      {724, 616, true,
       "Max Width=720 Wide; Max Height=616 High\r\nWidth divisible by 4 && height by 2.\r\n"
       "Actual 724 by 616"},
      {720, 618, true, "?"}, {722, 100, true, "?"}, {2, 2, true, "?"}, {4, 2, false, ""},
      {4, 3, true, "?"}, {4, 0, true, "?"}, {-4, 2, true, "?"}, {680, 96, false, ""},
      {680, 98, false, "?"}};
  // clang-format on
  for (const auto& s : sizes) {
    const std::string got = sizeRuleMessage(s.w, s.h, s.large);
    EXPECT_TRUE(s.message == "?" ? !got.empty() : got == s.message) << s.w << " x " << s.h << got;
  }
  // Image bytes: halves to even.
  const long long bytes[][4] = {{256, 64, 8, 16384}, {720, 616, 24, 1330560},
                                {4, 2, 1, 1},        {1, 1, 4, 0},
                                {3, 1, 4, 2},        {5, 1, 4, 2}};
  for (const auto& b : bytes) EXPECT_EQ(imageByteCount(b[0], b[1], static_cast<int>(b[2])), b[3]);
}

TEST(BmpCheck, FiguresOfAcceptedAndSizeRefusedFiles) {
  EXPECT_EQ(verdictOf(plainBmp(256, 64, 8), false).layout.pixelOffset, 1078u);
  const BmpVerdict big = verdictOf(plainBmp(256, 256, 1), false);
  EXPECT_TRUE(!big.accepted && big.sizeRead && big.height == 256 && big.message == kSmall256);
  EXPECT_TRUE(verdictOf(plainBmp(256, 256, 1), true).accepted);
  BmpPlan b = planOf(8, 4, 24);
  b.topDown = true;
  const BmpVerdict top = verdictOf(makeBmp(b), false);
  EXPECT_TRUE(top.accepted && top.layout.topDown && top.height == 4) << top.message;
}

// Each refused file gives its reason, on one line.
TEST(BmpCheck, RefusedFilesSayWhy) {
  const std::string good = plainBmp(16, 8, 24);
  auto with = [](BmpPlan b, auto change) {
    change(b);
    return makeBmp(b);
  };
  std::string hostile = makeBmp(planOf(8, 4, 24));
  put(hostile, 18, 0x7FFFFFFF, 4);
  put(hostile, 22, 0x80000000u, 4);  // the most negative height
  // clang-format off
  const std::pair<std::string, const char*> cases[] = {
      {"", "too short"}, {good.substr(0, 1), "too short"}, {good.substr(0, 13), "too short"},
      {good.substr(0, 53), "too short"}, {std::string(200, 'x'), "\"BM\""},
      {plainBmp(16, 8, 8).substr(0, 154), "colour table"},
      {with(planOf(8, 4, 8), [](BmpPlan& b) { b.compression = 1; }), "compressed"},
      {makeBmp(planOf(8, 4, 16)), "16 bits per pixel"}, {makeBmp(planOf(8, 4, 32)), ""},
      {with(planOf(8, 4, 24), [](BmpPlan& b) { b.infoSize = 12; }), "info header"},
      {with(planOf(8, 2, 1), [](BmpPlan& b) { b.clrUsed = 3, b.palette.resize(3); }), ""}, {hostile, ""}};
  // clang-format on
  for (const auto& [file, why] : cases) {
    const BmpVerdict v = verdictOf(file, true);
    EXPECT_FALSE(v.accepted) << why;
    EXPECT_NE(v.message.find(why), std::string::npos) << v.message;
    EXPECT_TRUE(!*why || v.message.find('\n') == std::string::npos) << v.message;  // one line
  }
  // Without the size rules the decoder still refuses to read beyond the file.
  std::string err;
  EXPECT_FALSE(decodeBmp(std::vector<uint8_t>(hostile.begin(), hostile.end()), err));
  EXPECT_NE(err.find("cut short"), std::string::npos);
}

TEST(BmpDecode, PaddedRowsAndTopDownGiveTheSamePicture) {
  BmpPlan b = planOf(12, 2, 4);  // 6 bytes a row, stored as 8
  b.rows = {{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB}, {0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67}};
  const std::string bottomUp = makeBmp(b);
  b.topDown = true;
  const std::string topDown = makeBmp(b);
  std::string err;
  auto a = decodeBmp(std::vector<uint8_t>(bottomUp.begin(), bottomUp.end()), err);
  auto t = decodeBmp(std::vector<uint8_t>(topDown.begin(), topDown.end()), err);
  ASSERT_TRUE(a && t) << err;
  EXPECT_EQ(std::tuple(a->layout.rowStride, a->rows), std::tuple(8u, t->rows));
  EXPECT_EQ(a->rows[6], 0xCD);  // second row starts right after the first's six bytes
}

// The pixel data must reach the last byte of the last row's pixels; only that row may lack its
// padding, and a file one byte shorter is refused with the length it needs.
TEST(BmpCheck, PixelDataReachTheLastRowsLastPixel) {
  const struct {
    int w, bpp, padding;  // of each row
  } cases[] = {{16, 24, 0}, {4, 8, 0}, {8, 4, 0}, {12, 4, 2}, {8, 1, 3}, {4, 24, 0}, {8, 24, 0}};
  for (const auto& c : cases) {
    const std::string full = plainBmp(c.w, 2, c.bpp);
    const std::string exact = full.substr(0, full.size() - static_cast<size_t>(c.padding));
    EXPECT_TRUE(verdictOf(exact, true).accepted) << c.w << " x " << c.bpp;
    const std::string needs = "needs " + std::to_string(exact.size()) + ")";
    EXPECT_NE(verdictOf(exact.substr(0, exact.size() - 1), true).message.find(needs),
              std::string::npos)
        << c.w << " x " << c.bpp;
  }
}

// Bitmap reader: the name test, the node's size rules and their messages, and the files that
// cannot be converted (cut short, compressed, odd depths, bad headers).
#include "image/bmp.h"

#include <gtest/gtest.h>

#include "image/encoder.h"
#include "support/bmp_builder.h"

using namespace osd;
using namespace osd::test;

namespace {

BmpVerdict verdictOf(const std::string& file, bool large) {
  return checkBmp(reinterpret_cast<const uint8_t*>(file.data()), file.size(), file.size(), large);
}

const char* const kSmallMsg256 =
    "Image Max 65280 bytes, Max Width=720W; Max Height=616H\r\n"
    "Width divisible by 4 && height by 2.\r\n"
    "Actual 256 by 256";

}  // namespace

TEST(BmpName, LastThreeCharactersMustBeBmp) {
  EXPECT_TRUE(hasBmpName("LOGO.bmp"));
  EXPECT_TRUE(hasBmpName("c:\\x\\logo.BmP"));
  EXPECT_TRUE(hasBmpName("bmp"));
  EXPECT_FALSE(hasBmpName("logo.txt"));
  EXPECT_FALSE(hasBmpName(""));
  EXPECT_FALSE(hasBmpName("mp"));
}

TEST(BmpSizeRules, Borders) {
  EXPECT_EQ(sizeRuleMessage(256, 255, false), "");  // odd height, exactly 65280 pixels
  EXPECT_EQ(sizeRuleMessage(256, 255, true), "");
  EXPECT_EQ(sizeRuleMessage(256, 256, false), kSmallMsg256);
  EXPECT_EQ(sizeRuleMessage(256, 256, true), "");
  EXPECT_EQ(sizeRuleMessage(720, 616, true), "");
  EXPECT_NE(sizeRuleMessage(720, 616, false), "");
  EXPECT_EQ(sizeRuleMessage(724, 616, true),
            "Max Width=720 Wide; Max Height=616 High\r\n"
            "Width divisible by 4 && height by 2.\r\n"
            "Actual 724 by 616");
  EXPECT_NE(sizeRuleMessage(720, 618, true), "");
  EXPECT_NE(sizeRuleMessage(722, 100, true), "");
  EXPECT_NE(sizeRuleMessage(722, 100, false), "");
  EXPECT_NE(sizeRuleMessage(2, 2, true), "");
  EXPECT_EQ(sizeRuleMessage(4, 2, false), "");
  EXPECT_NE(sizeRuleMessage(4, 3, true), "");
  EXPECT_EQ(sizeRuleMessage(4, 0, true).substr(0, 10), "Max Width=");
  EXPECT_NE(sizeRuleMessage(-4, 2, true), "");
  // 65280 pixels in another shape is fine on a 64 K node, one row more is not.
  EXPECT_EQ(sizeRuleMessage(680, 96, false), "");
  EXPECT_NE(sizeRuleMessage(680, 98, false), "");
}

TEST(BmpSizeRules, ImageBytesRoundHalvesToEven) {
  EXPECT_EQ(imageByteCount(256, 64, 8), 16384);
  EXPECT_EQ(imageByteCount(720, 616, 24), 1330560);
  EXPECT_EQ(imageByteCount(4, 2, 1), 1);
  EXPECT_EQ(imageByteCount(1, 1, 4), 0);  // 0.5 goes to 0
  EXPECT_EQ(imageByteCount(3, 1, 4), 2);  // 1.5 goes to 2
  EXPECT_EQ(imageByteCount(5, 1, 4), 2);  // 2.5 goes to 2
}

TEST(BmpCheck, AcceptedFileGivesFigures) {
  const BmpVerdict v = verdictOf(plainBmp(256, 64, 8), false);
  ASSERT_TRUE(v.accepted) << v.message;
  EXPECT_EQ(v.width, 256);
  EXPECT_EQ(v.height, 64);
  EXPECT_EQ(v.bpp, 8);
  EXPECT_EQ(v.imageBytes, 16384);
  EXPECT_EQ(v.layout.pixelOffset, 1078u);
  EXPECT_EQ(v.layout.paletteEntries, 256);
}

TEST(BmpCheck, SizeRejectionKeepsTheFigures) {
  const BmpVerdict v = verdictOf(plainBmp(256, 256, 1), false);
  EXPECT_FALSE(v.accepted);
  EXPECT_TRUE(v.sizeRead);
  EXPECT_EQ(v.width, 256);
  EXPECT_EQ(v.height, 256);
  EXPECT_EQ(v.message, kSmallMsg256);
  EXPECT_TRUE(verdictOf(plainBmp(256, 256, 1), true).accepted);
  EXPECT_TRUE(verdictOf(plainBmp(256, 255, 24), false).accepted);
}

TEST(BmpCheck, TopDownHeightIsAccepted) {
  BmpPlan b;
  b.width = 8;
  b.height = 4;
  b.topDown = true;
  const BmpVerdict v = verdictOf(makeBmp(b), false);
  ASSERT_TRUE(v.accepted) << v.message;
  EXPECT_EQ(v.height, 4);
  EXPECT_TRUE(v.layout.topDown);
}

TEST(BmpCheck, TruncatedAndGarbageFilesAreRefusedWithAReason) {
  const std::string good = plainBmp(16, 8, 24);
  // Empty, a few bytes, headers cut short.
  for (size_t len : {size_t{0}, size_t{1}, size_t{13}, size_t{53}}) {
    const BmpVerdict v = verdictOf(good.substr(0, len), true);
    EXPECT_FALSE(v.accepted);
    EXPECT_FALSE(v.sizeRead);
    EXPECT_NE(v.message.find("too short"), std::string::npos) << len;
  }
  // Pixel rows cut short.
  const BmpVerdict cut = verdictOf(good.substr(0, good.size() - 1), true);
  EXPECT_FALSE(cut.accepted);
  EXPECT_NE(cut.message.find("cut short"), std::string::npos);
  // Not a bitmap at all.
  std::string garbage(200, 'x');
  EXPECT_NE(verdictOf(garbage, true).message.find("\"BM\""), std::string::npos);
  // Colour table cut short.
  const std::string pal = plainBmp(16, 8, 8);
  const BmpVerdict noTable = verdictOf(pal.substr(0, 54 + 100), true);
  EXPECT_FALSE(noTable.accepted);
  EXPECT_NE(noTable.message.find("colour table"), std::string::npos);
  // None of these messages runs over more than one line.
  EXPECT_EQ(cut.message.find('\n'), std::string::npos);
}

TEST(BmpCheck, FilesThatCannotBeConvertedAreRefused) {
  BmpPlan b;
  b.width = 8;
  b.height = 4;
  b.compression = 1;
  b.bpp = 8;
  b.palette.assign(256, {0, 0, 0, 0});
  EXPECT_NE(verdictOf(makeBmp(b), true).message.find("compressed"), std::string::npos);
  b.compression = 0;
  b.bpp = 16;
  b.palette.clear();
  EXPECT_NE(verdictOf(makeBmp(b), true).message.find("16 bits per pixel"), std::string::npos);
  b.bpp = 32;
  EXPECT_FALSE(verdictOf(makeBmp(b), true).accepted);
  b.bpp = 24;
  b.infoSize = 12;
  EXPECT_NE(verdictOf(makeBmp(b), true).message.find("info header"), std::string::npos);
  // More colour-table entries than the depth allows.
  BmpPlan c;
  c.width = 8;
  c.height = 2;
  c.bpp = 1;
  c.clrUsed = 3;
  c.palette.assign(3, {0, 0, 0, 0});
  EXPECT_FALSE(verdictOf(makeBmp(c), true).accepted);
}

TEST(BmpCheck, HostileDimensionsNeverOverflow) {
  BmpPlan b;
  b.width = 8;
  b.height = 4;
  std::string f = makeBmp(b);
  put(f, 18, 0x7FFFFFFF, 4);
  put(f, 22, 0x80000000u, 4);  // the most negative height
  EXPECT_FALSE(verdictOf(f, true).accepted);
  // Without the size rules the decoder still refuses to read beyond the file.
  std::string err;
  std::vector<uint8_t> bytes(f.begin(), f.end());
  EXPECT_FALSE(decodeBmp(bytes, err).has_value());
  EXPECT_NE(err.find("cut short"), std::string::npos);
}

TEST(BmpDecode, PaddedRowsAndTopDownGiveTheSamePicture) {
  BmpPlan b;
  b.width = 12;  // 4 bits: 6 bytes a row, stored as 8
  b.height = 2;
  b.bpp = 4;
  b.palette.assign(16, {0, 0, 0, 0});
  b.rows = {{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB}, {0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67}};
  const std::string bottomUp = makeBmp(b);
  b.topDown = true;
  const std::string topDown = makeBmp(b);
  std::string err;
  auto a = decodeBmp(std::vector<uint8_t>(bottomUp.begin(), bottomUp.end()), err);
  auto t = decodeBmp(std::vector<uint8_t>(topDown.begin(), topDown.end()), err);
  ASSERT_TRUE(a && t) << err;
  EXPECT_EQ(a->layout.rowStride, 8u);
  EXPECT_EQ(a->rows, t->rows);
  EXPECT_EQ(a->rows[6], 0xCD);  // second row starts right after the first's six bytes
}

TEST(BmpDecode, MangledHeadersAreRefusedOrDecodedWithinTheFile) {
  // Every header byte set to a few telling values, one at a time, at every length.
  const std::string base = plainBmp(8, 2, 4);
  int accepted = 0;
  for (size_t at = 0; at < 54 + 64; ++at) {
    for (uint8_t v : {uint8_t{0}, uint8_t{1}, uint8_t{0x7F}, uint8_t{0x80}, uint8_t{0xFF}}) {
      std::string f = base;
      f[at] = static_cast<char>(v);
      for (size_t len : {f.size(), f.size() - 1, size_t{60}}) {
        std::vector<uint8_t> bytes(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(len));
        std::string err;
        const auto img = decodeBmp(bytes, err);
        if (!img) {
          EXPECT_FALSE(err.empty());
          continue;
        }
        ++accepted;
        EXPECT_LE(img->layout.requiredSize, len);
        EXPECT_EQ(img->rows.size(), img->layout.rowBytes * static_cast<size_t>(img->layout.height));
        const size_t pixels =
            static_cast<size_t>(img->layout.width) * static_cast<size_t>(img->layout.height);
        EXPECT_EQ(encodeImage(*img, EncodeOptions{}).size(), pixels);
      }
    }
  }
  EXPECT_GT(accepted, 0);
}

// Windows bitmap (BMP) reading: the two header records, the logo size rules of the graphics
// node, and the decoding of the colour table and pixel rows for the encoder.
//
// Only uncompressed bitmaps of 1, 4, 8 or 24 bits per pixel with a 40-byte or larger info
// header are accepted. A negative height marks a top-down file; it is read like its bottom-up
// twin. Every offset is checked against the file's length before it is used.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace osd {

constexpr size_t kBmpFileHeaderSize = 14;
constexpr size_t kBmpInfoHeaderSize = 40;
constexpr size_t kBmpHeadersSize = kBmpFileHeaderSize + kBmpInfoHeaderSize;  // 54
constexpr long long kSmallMemoryPixels = 65280;  // 64 K node: 65536 - 256 setup bytes

// The two header records as stored (little-endian), fields the program looks at.
struct BmpHeaders {
  uint16_t type = 0;  // "BM"
  uint32_t fileSize = 0;
  uint32_t offBits = 0;
  uint32_t infoSize = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t planes = 0;
  int16_t bitCount = 0;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  uint32_t clrUsed = 0;
};

// Reads the file header and the info header from the first 54 bytes; nothing when shorter.
std::optional<BmpHeaders> parseBmpHeaders(const uint8_t* data, size_t size);

// The logo file name test: not empty, and its last three characters are "BMP" in any case.
bool hasBmpName(std::string_view trimmedName);

// The node's size rules. "" when w by h is accepted, else the rejection text (three lines
// separated by "\r\n").
std::string sizeRuleMessage(long long w, long long h, bool largeMemory);

// Byte count of a w by h image at `bpp` bits per pixel: w * h * bpp / 8, rounded (halves to
// even).
long long imageByteCount(long long w, long long h, int bpp);

// Where things lie in an accepted file.
struct BmpLayout {
  int width = 0;
  int height = 0;  // always positive
  bool topDown = false;
  int bpp = 0;
  size_t paletteOffset = 0;  // right after the info header
  int paletteEntries = 0;    // entries stored in the file (0 above 8 bits)
  size_t pixelOffset = 0;    // bfOffBits
  size_t rowStride = 0;      // bytes per stored row, padding included
  size_t rowBytes = 0;       // bytes per row that hold pixels
  size_t requiredSize = 0;   // the file must be at least this long
};

// The reader's verdict on a file, from its first bytes and its total length.
struct BmpVerdict {
  bool accepted = false;
  bool sizeRead = false;  // width and height were read (also set when then rejected)
  int width = 0;          // after the top-down rule
  int height = 0;
  int bpp = 0;
  long long imageBytes = 0;
  BmpLayout layout;
  std::string message;  // why it was rejected
};

// `head` holds the file's first bytes (at least 54 when the file is that long); `fileSize`
// is the whole file's length. Checks the headers, the size rules and that the file can be
// converted (depth, compression, colour table and pixel rows within the file).
BmpVerdict checkBmp(const uint8_t* head, size_t headSize, uint64_t fileSize, bool largeMemory);

// A decoded bitmap: rows bottom row first, padding removed, `layout.rowBytes` bytes each.
struct BmpImage {
  BmpLayout layout;
  // Colour-table entries as stored (blue, green, red, reserved); 2^bpp entries for palette
  // depths, entries missing from the file are black.
  std::vector<std::array<uint8_t, 4>> palette;
  std::vector<uint8_t> rows;
  const uint8_t* row(int bottomUpIndex) const {
    return rows.data() + static_cast<size_t>(bottomUpIndex) * layout.rowBytes;
  }
};

// Decodes a whole file held in memory (the size rules are not applied here: `checkBmp` with
// large memory decides what can be converted). Nothing, with `error` set, when it cannot.
std::optional<BmpImage> decodeBmp(const std::vector<uint8_t>& file, std::string& error);

// Reads the headers of the file at `path` and its length, and gives the reader's verdict.
// Nothing, with `error` set, when the file cannot be opened or read.
std::optional<BmpVerdict> checkBmpFile(const std::string& path, bool largeMemory,
                                       std::string& error);

// Reads the file at `path` and decodes it (reading no more than the image needs). Images
// wider than 720 or higher than 616 pixels are refused.
std::optional<BmpImage> loadBmpFile(const std::string& path, std::string& error);

}  // namespace osd

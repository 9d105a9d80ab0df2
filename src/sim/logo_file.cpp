#include "sim/logo_file.h"

#include <fstream>

namespace osd::sim {

namespace {

uint32_t le(const std::string& b, size_t at, int n) {
  uint32_t v = 0;
  for (int k = n - 1; k >= 0; --k) v = v << 8 | static_cast<uint8_t>(b[at + k]);
  return v;
}

}  // namespace

bool parseLogoBitmap(const std::string& b, std::vector<uint8_t>& rows, std::string& error) {
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') {
    error = "not a BMP file";
    return false;
  }
  const uint32_t offset = le(b, 10, 4);
  const uint32_t infoSize = le(b, 14, 4);
  if (infoSize < 40) {
    error = "unsupported BMP header";
    return false;
  }
  const int32_t width = static_cast<int32_t>(le(b, 18, 4));
  const int32_t height = static_cast<int32_t>(le(b, 22, 4));
  const uint32_t bits = le(b, 28, 2);
  const uint32_t compression = le(b, 30, 4);
  if (width != 256 || (height != 64 && height != -64)) {
    error = "the logo must be 256 x 64 pixels";
    return false;
  }
  if (bits != 1 || compression != 0) {
    error = "the logo must be an uncompressed bitmap of 1 bit per pixel";
    return false;
  }
  const size_t stride = 32;  // 256 bits, already a multiple of four bytes
  if (offset > b.size() || b.size() - offset < stride * 64) {
    error = "the bitmap file is too short";
    return false;
  }
  rows.assign(stride * 64, 0);
  for (size_t r = 0; r < 64; ++r) {
    const size_t fileRow = height > 0 ? r : 63 - r;
    for (size_t c = 0; c < stride; ++c)
      rows[r * stride + c] = static_cast<uint8_t>(b[offset + fileRow * stride + c]);
  }
  return true;
}

bool loadLogoBitmap(const std::string& path, std::vector<uint8_t>& rows, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  std::string bytes;
  // A 256 x 64 1-bit bitmap is about 4 KiB; anything far larger is not one.
  bytes.resize(1 << 20);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return parseLogoBitmap(bytes, rows, error);
}

}  // namespace osd::sim

// Reading the logo a simulated node holds from a bitmap file: a 256 x 64 Windows bitmap of
// 1 bit per pixel, uncompressed. Pixels of palette index 1 are set bits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace osd::sim {

// Fills `rows` with 64 rows of 32 bytes, bottom row first, leftmost pixel in bit 7 (the
// file's own order; a top-down file is turned round). False with a reason in `error` when
// the file is missing or is not such a bitmap.
bool loadLogoBitmap(const std::string& path, std::vector<uint8_t>& rows, std::string& error);

// The same from the file's bytes.
bool parseLogoBitmap(const std::string& bytes, std::vector<uint8_t>& rows, std::string& error);

}  // namespace osd::sim

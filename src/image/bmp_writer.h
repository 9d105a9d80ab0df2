// Writing bitmap files: the 256 x 64 read-back logo (1 bit per pixel for a monochrome logo
// generator, 4 bits for the colour one), the headers any bitmap starts with, and the
// replace-on-success file write.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace osd {

constexpr int kLogoWidth = 256;
constexpr int kLogoHeight = 64;
constexpr size_t kMonoLogoBytes = 2048;    // 32 bytes a row
constexpr size_t kColourLogoBytes = 8192;  // 128 bytes a row

// Colour-table entries (blue, green, red, reserved) of the colour logo file: black and white
// first, then the remaining colours of the common 16-colour set.
extern const uint8_t kColourLogoPalette[16][4];

// The complete logo file. `store` holds at least 2048 (monochrome) or 8192 (colour) bytes, the
// bottom row first. Monochrome: 2110 bytes, pixels at 62, each store byte exclusive-or 255.
// Colour: a full 16-entry colour table, so common viewers read it; pixels at 118, unchanged.
// `progress`, when given, is called with 5 + 95 * i / N at every 16th pixel byte.
std::vector<uint8_t> buildLogoBitmap(const std::vector<uint8_t>& store, bool colour,
                                     const std::function<void(double)>& progress = {});

// The 54-byte file and info headers of a bottom-up `w` x `h` bitmap of `bpp` bits with
// `paletteEntries` colour-table entries (72 dots an inch); the caller appends the colour table
// and the rows (each padded to 4 bytes).
std::vector<uint8_t> bitmapFileHeaders(int w, int h, int bpp, int paletteEntries);

// Writes `bytes` as the complete new content of `path` by the rules of safeReplace (a regular
// file replaced atomically, a device or FIFO written in place, "-" standard output, folders
// and read-only files refused). False with `error` set; a file is then left as it was.
bool replaceFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

}  // namespace osd

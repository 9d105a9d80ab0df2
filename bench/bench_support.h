// Test pictures and scratch files the benchmarks share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace osd::bench {

// A bottom-up bitmap file of `w` by `h` pixels at `bpp` bits (1, 8 or 24) with varied content:
// gradients, a pseudo-random texture and some pixels of the transparent value 255, so no
// branch of the encoder is favoured. Palette depths get a full colour table.
std::vector<uint8_t> makeBitmap(int w, int h, int bpp, uint32_t seed = 1);

// A folder for this run's files, removed when the program ends.
const std::string& scratchDir();

// Writes `bytes` to `name` inside the scratch folder and returns the path.
std::string writeScratch(const std::string& name, const std::vector<uint8_t>& bytes);
std::string writeScratch(const std::string& name, const std::string& text);

// The whole file, read the plainest way (what the encoder's figure is compared with).
std::vector<uint8_t> readAll(const std::string& path);

}  // namespace osd::bench

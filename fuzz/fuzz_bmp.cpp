// The bitmap reader and the logo encoder on arbitrary files. The input is the whole file; the
// encoder's format and transparency come from the file header's two reserved words (bytes
// 6-9), which the reader ignores, so every input carries its own options.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "image/bmp.h"
#include "image/encoder.h"

using namespace osd;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> file(data, data + size);

  // The verdict from the first bytes only, as the window gives it before reading the rest.
  const size_t headSize = size < 4096 ? size : 4096;
  const BmpVerdict small = checkBmp(data, headSize, size, false);
  const BmpVerdict large = checkBmp(data, headSize, size, true);
  // Whatever the 64 K node takes, the 512 K node takes too.
  if (small.accepted) FUZZ_CHECK(large.accepted);

  std::string error;
  const std::optional<BmpImage> image = decodeBmp(file, error);
  if (!image) {
    FUZZ_CHECK(!error.empty());
    // A file the reader accepted must also decode.
    FUZZ_CHECK(!large.accepted);
    return 0;
  }
  const BmpLayout& L = image->layout;
  FUZZ_CHECK(L.width > 0 && L.height > 0);
  FUZZ_CHECK(image->rows.size() >= L.rowBytes * static_cast<size_t>(L.height));
  if (L.bpp <= 8) FUZZ_CHECK(image->palette.size() == (size_t{1} << L.bpp));
  if (large.accepted) {
    FUZZ_CHECK(large.width == L.width && large.height == L.height && large.bpp == L.bpp);
  }
  // Only what the size rules let through is ever encoded; anything larger is not the
  // encoder's business (it would only take time).
  if (static_cast<long long>(L.width) * L.height > 600000) return 0;

  EncodeOptions options;
  options.format = size > 6 && (data[6] & 1) ? PixelFormat::Rgb : PixelFormat::YCbCr;
  options.transparent = size > 7 ? data[7] : 255;
  int rows = 0;
  options.onRow = [&rows] { ++rows; };
  const std::vector<int> values = encodeImage(*image, options);
  const size_t count = static_cast<size_t>(L.width) * static_cast<size_t>(L.height);
  FUZZ_CHECK(values.size() == count);
  for (int v : values) {
    FUZZ_CHECK(v >= 0 && v <= 255);
    if (options.format == PixelFormat::Rgb) FUZZ_CHECK(v == 0 || (v >= 128 && v <= 191));
  }
  if (L.bpp == 24 && options.format == PixelFormat::YCbCr) FUZZ_CHECK(rows == L.height);

  // Encoding into a longer buffer writes exactly w * h values from index 0.
  std::vector<int> reused(count + 3, -1);
  FUZZ_CHECK(encodeImage(*image, options, reused) == count);
  for (size_t k = 0; k < count; ++k) FUZZ_CHECK(reused[k] == values[k]);
  for (size_t k = count; k < reused.size(); ++k) FUZZ_CHECK(reused[k] == -1);
  return 0;
}

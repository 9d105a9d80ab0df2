// Read-back reconstruction on arbitrary streams: the marker search and the merge of the two
// fields, monochrome and colour.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "fuzz_check.h"
#include "image/readback.h"

using namespace osd;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view stream(reinterpret_cast<const char*>(data), size);
  for (bool colour : {false, true}) {
    const ReadBackGeometry g = readBackGeometry(colour);
    FUZZ_CHECK(g.imageBytes == g.rowBytes * 64);
    const std::optional<size_t> start = findImageStart(stream, colour);
    if (start) {
      FUZZ_CHECK(*start >= 2 && *start <= size);
      FUZZ_CHECK(stream.substr(*start - 2, 2) == g.marker);
    } else {
      FUZZ_CHECK(stream.find(g.marker) == std::string_view::npos);
    }
    const std::string_view body = start ? stream.substr(*start) : stream;

    double lastProgress = -1;
    int calls = 0;
    const MergedImage merged = mergeFields(body, colour, [&](int row, double progress) {
      FUZZ_CHECK(row >= 0 && row < 64);
      FUZZ_CHECK(progress >= 0 && progress <= 66.0 + 1e-9);
      FUZZ_CHECK(progress >= lastProgress - 33.0);
      lastProgress = progress;
      ++calls;
    });
    FUZZ_CHECK(calls <= 64);
    FUZZ_CHECK(merged.picture.size() == g.imageBytes);
    // Every byte of the picture comes from the data or is reported missing.
    const size_t present = std::min(body.size(), g.imageBytes);
    FUZZ_CHECK(merged.missing.size() == g.imageBytes - present);
    // The picture holds exactly the data bytes, rearranged.
    uint64_t sumIn = 0, sumOut = 0;
    for (size_t k = 0; k < present; ++k) sumIn += static_cast<uint8_t>(body[k]);
    for (uint8_t b : merged.picture) sumOut += b;
    FUZZ_CHECK(sumIn == sumOut);
    for (size_t m : merged.missing) {
      FUZZ_CHECK(m < g.imageBytes);
      FUZZ_CHECK(merged.picture[m] == 0);
    }
    if (body.size() >= g.imageBytes) FUZZ_CHECK(merged.missing.empty());
  }
  return 0;
}

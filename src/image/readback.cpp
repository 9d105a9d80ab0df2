#include "image/readback.h"

namespace osd {

ReadBackGeometry readBackGeometry(bool colour) {
  if (colour) return {8192, 128, 8195, "SC"};
  return {2048, 32, 2051, "SD"};
}

std::optional<size_t> findImageStart(std::string_view stream, bool colour) {
  const size_t at = stream.find(readBackGeometry(colour).marker);
  if (at == std::string_view::npos) return std::nullopt;
  return at + 2;
}

MergedImage mergeFields(std::string_view data, bool colour,
                        const std::function<void(int, double)>& afterRow) {
  const ReadBackGeometry g = readBackGeometry(colour);
  MergedImage m;
  m.picture.assign(g.imageBytes, 0);
  size_t next = 0;
  for (int field = 0; field < 2; ++field) {
    for (int r = field == 0 ? 62 : 63; r >= field; r -= 2) {
      for (size_t c = 0; c < g.rowBytes; ++c, ++next) {
        const size_t at = static_cast<size_t>(r) * g.rowBytes + c;
        if (next < data.size()) {
          m.picture[at] = static_cast<uint8_t>(data[next]);
        } else {
          m.missing.push_back(at);
        }
      }
      if (afterRow) afterRow(r, (field == 0 ? 0.0 : 33.0) + 33.0 * (62 - r) / 62.0);
    }
  }
  return m;
}

StoredReadBack storeReadBack(std::string_view stream, bool colour,
                             const std::function<std::vector<uint8_t>&()>& target,
                             const ReadBackSteps& steps) {
  StoredReadBack result;
  const ReadBackGeometry g = readBackGeometry(colour);
  if (stream.size() < g.minStream) return result;
  if (steps.started) steps.started();
  const std::optional<size_t> start = findImageStart(stream, colour);
  if (!start) {
    result.outcome = StoredReadBack::NoMarker;
    return result;
  }
  if (steps.merging) steps.merging();
  const MergedImage merged = mergeFields(stream.substr(*start), colour, steps.afterRow);
  result.outcome = StoredReadBack::Stored;
  result.missing = merged.missing;
  if (steps.merged) steps.merged(merged);
  std::vector<uint8_t>& store = target();
  const uint8_t flip = colour ? 0 : 255;
  for (size_t i = 0; i < g.imageBytes; ++i) {
    store.at(i) = static_cast<uint8_t>(merged.picture[i] ^ flip);
    if (i % 16 == 0 && steps.storing) {
      steps.storing(66.0 + 34.0 * static_cast<double>(i) / static_cast<double>(g.imageBytes - 1));
    }
  }
  return result;
}

}  // namespace osd

// Reconstruction of a logo read back from a logo generator. The node answers with any bytes,
// the marker "SD" (monochrome) or "SC" (colour), then the picture in field order: rows 62, 60,
// ..., 0 of the first field, then rows 63, 61, ..., 1 of the second, each row left to right.
// Rows are numbered bottom row 0 to top row 63, as a bitmap stores them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace osd {

struct ReadBackGeometry {
  size_t imageBytes;   // 2048 or 8192
  size_t rowBytes;     // 32 or 128
  size_t minStream;    // shorter answers are not looked at: 2051 or 8195
  const char* marker;  // "SD" or "SC"
};

ReadBackGeometry readBackGeometry(bool colour);

// Where the image data start: right after the first marker, or nothing when it is absent.
std::optional<size_t> findImageStart(std::string_view stream, bool colour);

struct MergedImage {
  std::vector<uint8_t> picture;  // imageBytes bytes in picture order (bottom row first)
  std::vector<size_t> missing;   // picture indices the data ended before (left 0)
};

// Puts the two fields back together. `afterRow(row, progress)` is called after each row with
// 33 * (62 - row) / 62 in the first field and 33 + 33 * (62 - row) / 62 in the second.
MergedImage mergeFields(std::string_view data, bool colour,
                        const std::function<void(int row, double progress)>& afterRow = {});

// What storeReadBack tells as it goes; every hook is optional.
struct ReadBackSteps {
  std::function<void()> started;  // the stream is long enough: the marker is looked for
  std::function<void()> merging;  // the marker was found: the fields are put back together
  std::function<void(int row, double progress)> afterRow;  // as for mergeFields
  std::function<void(const MergedImage&)> merged;          // before storing
  std::function<void(double progress)> storing;  // 66 + 34 * i / (N - 1) at every 16th byte i
};

struct StoredReadBack {
  enum Outcome {
    TooShort,  // shorter than the geometry's minStream: nothing looked at
    NoMarker,  // no marker: nothing stored
    Stored,    // the picture was stored; `missing` lists the bytes the stream lacked
  };
  Outcome outcome = TooShort;
  std::vector<size_t> missing;
};

// Turns a read-back stream into the logo as the logo store keeps it: the fields merged back
// into rows, bottom row first, and for a monochrome node every byte inverted. The bytes go to
// the first imageBytes entries of `target()`, which is asked for only once the picture is
// merged (a failure it throws ends the call). Bytes the stream lacked are stored as 0 before
// the inversion. Used by the window and osdctl alike, so both keep the same logo.
StoredReadBack storeReadBack(std::string_view stream, bool colour,
                             const std::function<std::vector<uint8_t>&()>& target,
                             const ReadBackSteps& steps = {});

}  // namespace osd

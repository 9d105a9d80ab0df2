// Where the logo sits on the screen, in percent of the screen, and what the node is told when
// it moves.
//
//   Placement place(video);
//   PlacementMove m = place.placeAt(slot, 50.0, 25.0, pal);
//   // tell the node: "Vert Posn" m.vCode, "Horiz Posn" m.hCode, then m.packet
#pragma once

#include <string>

#include "transfer/video_store.h"

namespace osd {

struct PlacementMove {
  int hPercent = 0, vPercent = 0;  // the position, whole percent
  int vCode = 0, hCode = 0;        // the node's position codes: 4..56 down, 34..154 across
  std::string packet;              // the position packet (0x80 0x89, V and H low/high)
  int startH = 0, startV = 0;      // the start position written to the image-control table
};

class Placement {
 public:
  // The screen is a grid of 5590 x 3840 positions (a position is reached in whole steps).
  static constexpr int kStepsAcross = 5600;
  static constexpr int kStepsDown = 3840;
  static constexpr int kLastAcross = 5590;

  explicit Placement(VideoData& video) : video_(video) {}

  // The node's position codes of a position in whole percent (0..100): 4..56 down, 34..154
  // across.
  static int verticalCode(long long percent);
  static int horizontalCode(long long percent);

  // Places the slot's logo at `x` percent across and `y` percent down (limited to the screen)
  // and stores its start position in the image-control table; `pal` scales the vertical
  // start position for the PAL line count.
  PlacementMove placeAt(int slot, double x, double y, bool pal);
  // The last slot placed (0: none yet).
  int slot() const { return slot_; }

 private:
  VideoData& video_;
  int slot_ = 0;
};

}  // namespace osd

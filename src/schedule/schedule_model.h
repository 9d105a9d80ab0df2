// The weekly schedule: twenty logo sequences in 15-second units.
#pragma once

#include <array>

namespace osd {

struct ScheduleTable {
  // Entries 0..19 are the sequences; 20..24 are never shown, saved or run.
  std::array<int, 25> start{}, end{}, on{}, off{}, logo{}, days{};
  // dayFlags[i][d]: sequence i runs on day d (0 = Sunday .. 6 = Saturday); column 7 unused.
  std::array<std::array<bool, 8>, 20> dayFlags{};
};

}  // namespace osd

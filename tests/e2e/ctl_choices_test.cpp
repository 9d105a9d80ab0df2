// Which stored settings each osdctl command honours: with every choice stored, each command
// takes what is given, else what it honours of the stored choices; with none stored, it
// reads (so creates) only those settings.
#include <gtest/gtest.h>

#include <tuple>

#include "ctl/choices.h"
#include "ctl/command_table.h"
#include "support/fakes.h"

namespace osd::test {
namespace {

using ctl::Choices;
using ctl::GivenChoices;
constexpr auto kRgb = PixelFormat::Rgb, kYCbCr = PixelFormat::YCbCr;

struct Row {
  const char* command;
  GivenChoices given;
  Choices expected;   // format, transparent, pal, node, model, colour
  const char* reads;  // the settings read, in the store's order
};

auto tie(const Choices& c) {
  return std::tuple(c.format == kRgb, c.transparent, c.pal, c.node, c.model, c.colour);
}

TEST(CtlChoicesTest, EachCommandTakesItsOwnStoredChoicesAndNoOthers) {
  const GivenChoices none, placed{.placed = true};
  const GivenChoices all{kRgb, 17, 9, 4, true, true};
  // clang-format off
  const Row rows[] = {
      {"encode", all, {kRgb, 17, false, 0, 0, false}, ""}, {"convert", none, {kYCbCr, 255, false, 0, 0, false}, ""},
      {"identify", all, {kYCbCr, 255, false, 9, 0, false}, ""}, {"download", none, {kYCbCr, 255, false, 0, 0, false}, ""},
      {"download", placed, {kYCbCr, 255, true, 0, 0, false}, "OPTNTSC"}, {"download", all, {kRgb, 17, true, 9, 0, false}, "OPTNTSC"},
      {"apply", placed, {kYCbCr, 255, true, 0, 0, false}, "OPTNTSC"}, {"upload", none, {kYCbCr, 255, false, 0, 7, true}, "Color SX_Model"},
      {"upload", all, {kYCbCr, 255, false, 9, 4, true}, ""}, {"upload", {.model = 2}, {kYCbCr, 255, false, 0, 2, true}, "Color"},
      {"select", all, {kYCbCr, 255, false, 9, 0, false}, ""}, {"send", all, {}, ""}, {"scan", all, {}, ""},
      {"check", all, {}, ""}, {"ports", all, {}, ""}};
  // clang-format on
  for (const Row& row : rows) {
    // The choices from a store holding every one of them.
    MemorySettings full;
    // clang-format off
    for (const auto& [key, value] : {std::pair{"optRGB", "True"}, {"Transparent", "17"}, {"OPTNTSC", "1"}, {"SX_Model", "7"}, {"Color", "True"}})
      // clang-format on
      full.set(key, value);
    Preferences stored(full);
    EXPECT_EQ(tie(ctl::resolveChoices(row.command, row.given, stored)), tie(row.expected))
        << row.command;
    // The settings read, created in an empty store.
    MemorySettings empty;
    Preferences blank(empty);
    ctl::resolveChoices(row.command, row.given, blank);
    std::string reads;
    for (const auto& [path, value] : empty.values)
      reads += (reads.empty() ? "" : " ") + path.substr(path.rfind('\\') + 1);
    EXPECT_EQ(reads, row.reads) << row.command;
  }
}

TEST(CtlChoicesTest, EveryCommandHasARow) {
  for (const ctl::Command& c : ctl::commandTable())
    EXPECT_STREQ(ctl::honoured(c.name).command, c.name);
}

}  // namespace
}  // namespace osd::test

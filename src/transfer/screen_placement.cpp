#include "transfer/screen_placement.h"

#include "common/textnum.h"

namespace osd {

namespace {
int lowByte(long long v) {
  return static_cast<int>(v & 0xFF);
}
int highByte(long long v) {
  return static_cast<int>((v & ~0xFFLL) / 256);
}
}  // namespace

int Placement::verticalCode(long long percent) {
  return clampInt(roundHalfEven(percent * 52 / 100.0 + 4), 4, 56);
}

int Placement::horizontalCode(long long percent) {
  return clampInt(percent * 120 / 100 + 34, 34, 154);
}

PlacementMove Placement::placeAt(int slot, double x, double y, bool pal) {
  slot_ = slot;
  // The grid steps of the position.
  const int across = clampInt(roundHalfEven(x * kStepsAcross / 100.0), 0, kLastAcross);
  const int down = clampInt(roundHalfEven(y * kStepsDown / 100.0), 0, kStepsDown);
  PlacementMove m;
  const long long hPercent = roundHalfEven(across * 100 / static_cast<double>(kStepsAcross));
  const long long vPercent = roundHalfEven(down * 100 / static_cast<double>(kStepsDown));
  m.hPercent = static_cast<int>(hPercent);
  m.vPercent = static_cast<int>(vPercent);
  m.vCode = verticalCode(vPercent);
  m.hCode = horizontalCode(hPercent);
  m.packet = byteChar(0x80) + byteChar(0x89) + byteChar(lowByte(m.vCode)) +
             byteChar(highByte(m.vCode)) + byteChar(lowByte(m.hCode)) + byteChar(highByte(m.hCode));

  // The start position counts half steps across and lines down (two above the grid's top).
  const long long h2 = roundHalfEven(across * 360 / static_cast<double>(kStepsAcross)) & ~1LL;
  const long long v2 = roundHalfEven((down + 2) * 242 / static_cast<double>(kStepsDown)) & ~1LL;
  const long long hHalf = roundHalfEven(h2 / 2.0);
  const long long vE = pal ? roundHalfEven(static_cast<double>(v2) * 1.18) : v2;
  video::ImageParams& p = video_.params();
  p[1] = lowByte(hHalf);
  p[2] = highByte(hHalf);
  p[3] = lowByte(vE + 18);
  p[4] = highByte(vE + 18);
  m.startH = static_cast<int>(2 * h2);
  m.startV = static_cast<int>(2 * v2);
  return m;
}

}  // namespace osd

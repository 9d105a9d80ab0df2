// The node view of the large picture: the selected slot's logo run through the encoder for the
// chosen pixel format and transparency value, and decoded back into the colours the node will
// key into the video. Transparent pixels are left clear so the view can show them as such.
#include <exception>

#include "image/bmp.h"
#include "image/encoder.h"
#include "image/node_view.h"
#include "shell/app.h"

namespace osd {

void App::nodeViewClick() {
  nodeView = !nodeView;
  ui_.setChecked("mnuNodeView", nodeView);
  // The node view is shown in the large view: switching it on opens the large view when the
  // preview it enlarges is shown.
  if (nodeView && !ui_.visible("picPicture1")) zoomOnClick();
  ui_.repaint("picPicture1");
}

App::NodeViewPicture App::nodeViewPicture() {
  NodeViewPicture picture;
  if (selectedSlot < 0 || selectedSlot >= kSlotCount) return picture;
  const std::string& file = slotFile[static_cast<size_t>(selectedSlot)];
  if (file.empty()) return picture;
  // Painting must not report, show progress or run the event loop: the file is read and
  // encoded here directly, and a file that cannot be read simply shows nothing.
  std::string error;
  const std::optional<BmpImage> image = loadBmpFile(file, error);
  if (!image) return picture;
  EncodeOptions options;
  options.format = chosenFormat();
  options.transparent = choices_.transparent();
  std::vector<int> values;
  try {
    values = encodeImage(*image, options);
  } catch (const std::exception&) {
    return picture;
  }
  const int w = image->layout.width;
  const int h = image->layout.height;
  if (w < 1 || h < 1 || static_cast<long long>(w) * h > static_cast<long long>(values.size())) {
    return picture;
  }
  values.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  const std::vector<Rgb8> colours = decodeNodeValues(values, options.format);
  picture.width = w;
  picture.height = h;
  picture.argb.assign(colours.size(), 0);
  // The encoder's order is bottom row first; the picture is top row first.
  for (int row = 0; row < h; ++row) {
    for (int col = 0; col < w; ++col) {
      const size_t from =
          static_cast<size_t>(row) * static_cast<size_t>(w) + static_cast<size_t>(col);
      const size_t to =
          static_cast<size_t>(h - 1 - row) * static_cast<size_t>(w) + static_cast<size_t>(col);
      if (from >= colours.size()) continue;
      const Rgb8& c = colours[from];
      picture.argb[to] =
          c.transparent ? 0u : 0xFF000000u | (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b;
    }
  }
  return picture;
}

}  // namespace osd

#include "image/logo_slots.h"

#include <exception>

#include "common/textnum.h"
#include "image/bmp.h"
#include "platform/seams.h"
#include "settings/preferences.h"

namespace osd {

namespace {
std::string slotText(int slot) {
  return "Logo slot " + std::to_string(slot);
}
}  // namespace

LogoSlots::LogoSlots(Preferences& prefs)
    : readBack(kCount, std::vector<uint8_t>(kReadBackBytes, 0)), prefs_(prefs) {}

SlotVerdict LogoSlots::load(int slot, const std::string& fileName, bool largeMemory) {
  SlotVerdict v;
  v.file = trimBlanks(fileName);
  if (!hasBmpName(v.file)) return v;
  v.kind = SlotVerdict::Unreadable;
  if (slot < 0 || slot >= kCount) {
    v.message = slotText(slot) + " is out of range.";
    return v;
  }
  std::string error;
  const std::optional<BmpVerdict> checked = checkBmpFile(v.file, largeMemory, error);
  if (!checked) {
    v.message = error;
    return v;
  }
  if (checked->sizeRead) {
    width = checked->width;
    height = checked->height;
  }
  v.width = checked->width;
  v.height = checked->height;
  if (!checked->accepted) {
    v.kind = SlotVerdict::Rejected;
    v.message = checked->message;
    return v;
  }
  v.kind = SlotVerdict::Loaded;
  v.imageBytes = checked->imageBytes;
  logoHeight = checked->height;
  imageBytes = checked->imageBytes;
  current = v.file;
  file[static_cast<size_t>(slot)] = v.file;
  return v;
}

bool LogoSlots::encode(int slot, std::optional<PixelFormat> format, int transparent,
                       std::vector<int>& out, Reporter& reporter,
                       const std::function<void()>& onRow) const {
  std::optional<BmpImage> image;
  std::string name;
  try {
    if (slot < 0 || slot >= kCount) throw Failure(slotText(slot) + " is out of range.");
    name = file[static_cast<size_t>(slot)];
    if (name.empty()) throw Failure("No logo file is loaded for " + slotText(slot) + ".");
    std::string error;
    image = loadBmpFile(name, error);
    if (!image) throw Failure(error);
  } catch (const std::exception& e) {
    reporter.error(e.what(), ErrorAt::FetchLogo);
  }
  reporter.progress(5);
  if (!image) return false;
  if (!format) return true;
  if (imageBytes <= 0) return true;  // nothing accepted yet
  const BmpLayout& layout = image->layout;
  if (imageByteCount(layout.width, layout.height, layout.bpp) != imageBytes) {
    reporter.error("The logo file " + name + " has changed since it was loaded (now " +
                       std::to_string(layout.width) + " by " + std::to_string(layout.height) +
                       ", " + std::to_string(layout.bpp) + " bits per pixel); load it again.",
                   ErrorAt::FetchLogo);
    return false;
  }
  try {
    EncodeOptions options;
    options.format = *format;
    options.transparent = transparent;
    options.onRow = onRow;
    encodeImage(*image, options, out);
  } catch (const std::exception& e) {
    reporter.error(e.what(), ErrorAt::FetchLogo);
    return false;
  }
  return true;
}

std::vector<int> LogoSlots::pushRecent(const std::string& name) {
  std::vector<int> changed;
  int k = kRecentCount - 1;
  for (int e = 0; e < kRecentCount; ++e) {
    if (recent_[static_cast<size_t>(e)] == name) {
      k = e;
      break;
    }
  }
  for (int j = k; j >= 1; --j) {
    const std::string above = recent_[static_cast<size_t>(j - 1)];
    if (above.empty()) continue;
    recent_[static_cast<size_t>(j)] = above;
    changed.push_back(j);
    prefs_.write({SettingKey::FileSelect, j + 1}, above);
  }
  recent_[0] = name;
  changed.push_back(0);
  prefs_.write({SettingKey::FileSelect, 1}, name);
  return changed;
}

}  // namespace osd

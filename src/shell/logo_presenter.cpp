#include "shell/logo_presenter.h"

#include <exception>
#include <optional>
#include <string>

#include "common/safe_file.h"
#include "common/textnum.h"
#include "image/bmp.h"
#include "image/bmp_writer.h"
#include "image/encoder.h"
#include "image/node_view.h"
#include "image/readback.h"

namespace osd {

namespace {

constexpr const char* kBmpFilter = "BMP Files (*.bmp)|*.bmp|All Files (*.*)|*.*";
constexpr int kHighestSlot = 15;

void requireSlot(int slot) {
  if (slot < 0 || slot >= LogoSlots::kCount) {
    throw Failure("Logo slot " + std::to_string(slot) + " is out of range.");
  }
}

// The file name without its folders: everything up to the last "\" is cut.
std::string withoutFolders(const std::string& name) {
  const size_t cut = name.find_last_of('\\');
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

bool hasControls(int slot) {
  return slot >= 0 && slot < LogoView::kSlots;
}

// The first slot of the bank of four that holds `slot`.
int bankOf(int slot) {
  return slot <= 4 ? 1 : slot <= 8 ? 5 : slot <= 12 ? 9 : 13;
}

}  // namespace

LogoPresenter::LogoPresenter(LogoSlots& logos, NodeChoices& choices, NodeSession& session,
                             Dispatcher& dispatcher, StatusPresenter& status, Preferences& prefs,
                             Dialogs& dialogs, Links links)
    : logos_(logos),
      choices_(choices),
      session_(session),
      dispatcher_(dispatcher),
      status_(status),
      prefs_(prefs),
      dialogs_(dialogs),
      links_(std::move(links)) {
  auto v = update();
  for (int i = 0; i < LogoView::kSlots; ++i) {
    // Slot 0 only holds the name of the last read-back file; it is never offered for choice.
    v->slot[static_cast<size_t>(i)].offered = i != 0;
  }
}

// ---------------------------------------------------------------- loading a bitmap

int LogoPresenter::readFile(std::string& fileName) {
  try {
    const SlotVerdict verdict = logos_.load(logos_.selected, fileName, session_.largeMemory());
    fileName = verdict.file;
    switch (verdict.kind) {
      case SlotVerdict::BadName:
        if (!fileName.empty())
          status_.error("Invalid File Name or Missing File!", ErrorAt::ReadFileMissing);
        return -1;
      case SlotVerdict::Unreadable:
        throw Failure(verdict.message);
      case SlotVerdict::Rejected:
        status_.error(verdict.message, ErrorAt::ReadFileRefused);
        return 1;
      case SlotVerdict::Loaded:
        break;
    }
    showLoadedLogo(verdict);
    showSlotPreview(verdict);
    if (!dispatcher_.guarded() && trimBlanks(logos_.recent()[0]) != logos_.current) {
      for (int e : logos_.pushRecent(logos_.current)) {
        showRecent(e, logos_.recent()[static_cast<size_t>(e)]);
      }
    }
    logos_.path[static_cast<size_t>(logos_.selected)] = fileName;
    prefs_.write({SettingKey::BmpPath, logos_.selected}, fileName);
    return 0;
  } catch (const std::exception& e) {
    // A file that cannot be read is reported whoever asked for it.
    status_.error(e.what(), ErrorAt::ReadFile);
    return -1;
  }
}

void LogoPresenter::showLoadedLogo(const SlotVerdict& verdict) {
  const int w = verdict.width;
  const int h = verdict.height;
  if (links_.imageShown) links_.imageShown(w, h);
  const int selected = logos_.selected;
  auto v = update();
  v->size = std::to_string(w) + " Wide X " + std::to_string(h) + " High\r\n" +
            std::to_string(static_cast<long long>(w) * h) + " Pixels";
  if (!hasControls(selected)) return;
  // One slot option is chosen: the one just loaded.
  for (int k = 0; k < LogoView::kSlots; ++k) v->slot[static_cast<size_t>(k)].chosen = k == selected;
  SlotView& slot = v->slot[static_cast<size_t>(selected)];
  slot.name = withoutFolders(verdict.file);
  slot.enabled = true;
  v->largeImage = verdict.file;
  ++v->reloads;
}

void LogoPresenter::showSlotPreview(const SlotVerdict& verdict) {
  const int selected = logos_.selected;
  if (!hasControls(selected)) return;
  auto v = update();
  SlotView& slot = v->slot[static_cast<size_t>(selected)];
  slot.width = 8 * verdict.width;
  slot.image = verdict.file;
  slot.previewShown = true;
  sizePreview(selected, slot, 8 * verdict.height);
  ++v->reloads;
}

// The preview's height in PAL is 84 % of its height, in whole pixels.
void LogoPresenter::sizePreview(int index, SlotView& slot, int height) {
  // The height to scale from: the one given, unless the preview still has the height set here.
  int base = height;
  const auto known = previewHeights_.find(index);
  if (known != previewHeights_.end() && known->second.first == height) base = known->second.second;
  long long heightPx = roundHalfEven(base / 15.0);
  if (choices_.pal()) heightPx = roundHalfEven(static_cast<double>(heightPx) * 0.84);
  slot.height = static_cast<int>(heightPx * 15);
  previewHeights_[index] = {slot.height, base};
}

void LogoPresenter::restoreSlotFile(int slot, const std::string& file) {
  if (!hasControls(slot)) return;
  auto v = update();
  SlotView& s = v->slot[static_cast<size_t>(slot)];
  sizePreview(slot, s, s.height);
  s.image = file;
  ++v->reloads;
}

// The slot stays as it is only for a logo generator with several slots while the operator is
// in charge; otherwise slot 1 is loaded.
void LogoPresenter::chooseMenuSlot() {
  if (dispatcher_.guarded() || !choices_.severalSlots()) logos_.selected = 1;
}

std::string LogoPresenter::selectedLogoPath() const {
  const int s = logos_.selected;
  return s >= 0 && s < LogoSlots::kCount ? logos_.path[static_cast<size_t>(s)] : std::string();
}

std::string LogoPresenter::askPicture(const std::string& filter) {
  return dialogs_.openFileName(selectedLogoPath(), filter);
}

PictureImport LogoPresenter::pictureImport() {
  return {
      choices_.format().value_or(PixelFormat::YCbCr), choices_.transparent(),
      session_.largeMemory(),
      [this](const std::string& file) {
        return dialogs_.confirm("Import Picture", file + " already exists.\r\nReplace it?");
      },
      [this](const std::string& offered) { return dialogs_.saveFileName(offered, kBmpFilter); }};
}

bool LogoPresenter::loadIntoMenuSlot(std::string file, ErrorAt at) {
  chooseMenuSlot();
  if (logos_.selected == 0) return false;
  file = trimBlanks(file);
  if (readFile(file) == 0) return true;
  status_.error("Read of image file failed.", at);
  return false;
}

void LogoPresenter::openLogo() {
  try {
    const std::string name = dialogs_.openFileName(selectedLogoPath(), kBmpFilter);
    if (trimBlanks(name).empty()) return;  // cancelled: nothing was asked of the reader
    loadIntoMenuSlot(name, ErrorAt::OpenLogo);
  } catch (const std::exception& e) {
    status_.error(e.what(), ErrorAt::OpenLogo);
  }
}

void LogoPresenter::openRecent(int index) {
  try {
    chooseMenuSlot();
    if (logos_.selected == 0) return;
    std::string name = prefs_.read({SettingKey::FileSelect, index + 1});
    if (readFile(name) < 0) status_.error("Read of image file failed.", ErrorAt::RecentFileRead);
  } catch (const std::exception& e) {
    status_.error(e.what(), ErrorAt::RecentFile);
  }
}

void LogoPresenter::restoreRecent(int index, const std::string& text) {
  // "0" is the placeholder of an entry never filled: kept, not offered.
  if (!text.empty()) logos_.setRecent(index, text);
  showRecent(index, text);
}

std::string LogoPresenter::checkedRecent() const {
  const int i = view().recentChecked;
  if (i < 0 || i >= LogoSlots::kRecentCount) return {};
  return view().recent[static_cast<size_t>(i)];
}

void LogoPresenter::showRecent(int index, const std::string& file) {
  // "0" is the placeholder of an entry never filled: it is not offered.
  update()->recent.at(static_cast<size_t>(index)) = file == "0" ? std::string() : file;
}

// ---------------------------------------------------------------- the slot choice

void LogoPresenter::chooseSlot(int slot) {
  const int model = choices_.model();
  if (slot == 0 || slot > model || slot == lastSlot_) return;
  try {
    applySlotChoice(slot);
  } catch (const std::exception& e) {
    status_.error(std::string(e.what()) + " #" + std::to_string(slot), ErrorAt::LogoOption);
  }
}

void LogoPresenter::applySlotChoice(int slot) {
  if (lastSlot_ == 0) lastSlot_ = 1;
  {
    auto v = update();
    v->menuChecked = slot;
    // The options form one group: choosing one clears the others.
    for (int k = 0; k < LogoView::kSlots; ++k) v->slot[static_cast<size_t>(k)].chosen = k == slot;
    if (hasControls(slot) && hasControls(lastSlot_)) {
      const bool shown = v->slot[static_cast<size_t>(lastSlot_)].previewShown;
      v->slot[static_cast<size_t>(lastSlot_)].previewShown = false;
      v->slot[static_cast<size_t>(slot)].previewShown = shown;
    }
  }
  lastSlot_ = slot;
  logos_.selected = slot;
  if (!dispatcher_.guarded()) {
    dispatcher_.selectLogo(slot);
    prefs_.write(SettingKey::LogoSelect, std::to_string(slot));
    std::string file = logos_.file[static_cast<size_t>(slot)];
    if (!file.empty()) {
      dispatcher_.setGuard(true);
      try {
        readFile(file);
      } catch (...) {
        dispatcher_.setGuard(false);
        throw;
      }
      dispatcher_.setGuard(false);
    }
  }
  {
    auto v = update();
    const int first = bankOf(slot);
    for (int k = 1; k < LogoView::kSlots; ++k) {
      v->slot[static_cast<size_t>(k)].nameShown =
          k >= first && k <= first + 3 && k <= choices_.model();
    }
  }
  showSlotOptions();
}

void LogoPresenter::chooseFromMenu(int slot) {
  try {
    chooseSlot(slot);
  } catch (const std::exception& e) {
    status_.error(e.what(), ErrorAt::LogoMenu);
  }
}

void LogoPresenter::restoreChoice(int slot) {
  if (slot >= 1) {
    chooseSlot(slot);
    logos_.selected = slot;
  }
  const int selected = logos_.selected;
  if (selected < 1 || selected > kHighestSlot) return;
  auto v = update();
  v->menuChecked = selected;
  v->slot[static_cast<size_t>(selected)].chosen = true;
}

void LogoPresenter::hideOptions(int first, int last) {
  auto v = update();
  for (int i = first; i <= last; ++i) v->slot.at(static_cast<size_t>(i)).offered = false;
}

void LogoPresenter::showSlotOptions() {
  const int offered = choices_.model() < 1 ? 1 : choices_.model();
  int slot = logos_.selected >= 1 && logos_.selected <= kHighestSlot ? logos_.selected : 1;
  if (slot > offered) slot = offered > kHighestSlot ? kHighestSlot : offered;
  const int first = bankOf(slot);
  auto v = update();
  for (int k = 1; k < LogoView::kSlots; ++k) {
    v->slot[static_cast<size_t>(k)].offered = k >= first && k <= first + 3 && k <= offered;
  }
}

void LogoPresenter::offerMenuSlots(int count) {
  update()->menuSlots = std::min(count, kHighestSlot);
}

void LogoPresenter::graphicsNode() {
  {
    auto v = update();
    v->menuChecked = 1;
    v->menuSlots = 1;
  }
  chooseFromMenu(1);
}

// ---------------------------------------------------------------- views

void LogoPresenter::zoomOff() {
  auto v = update();
  if (hasControls(logos_.selected))
    v->slot[static_cast<size_t>(logos_.selected)].previewShown = true;
  v->largeShown = false;
  v->zoomOn = false;
  v->zoomOff = true;
}

void LogoPresenter::zoomOn() {
  if (!hasControls(logos_.selected) ||
      !view().slot[static_cast<size_t>(logos_.selected)].previewShown) {
    return;
  }
  auto v = update();
  v->largeShown = true;
  v->zoomOff = false;
  v->zoomOn = true;
}

void LogoPresenter::toggleNodeView() {
  update()->nodeView = !view().nodeView;
  // The node view is shown in the large view: switching it on opens the large view when the
  // preview it enlarges is shown.
  if (view().nodeView && !view().largeShown) zoomOn();
}

void LogoPresenter::showPreview(int slot, bool shown) {
  if (hasControls(slot)) update()->slot[static_cast<size_t>(slot)].previewShown = shown;
}

void LogoPresenter::clearPictures() {
  auto v = update();
  for (SlotView& s : v->slot) s.image.clear();
  v->largeImage.clear();
}

NodeViewPicture LogoPresenter::nodeViewPicture() const {
  NodeViewPicture picture;
  const int selected = logos_.selected;
  if (selected < 0 || selected >= LogoSlots::kCount) return picture;
  const std::string& file = logos_.file[static_cast<size_t>(selected)];
  if (file.empty()) return picture;
  // Painting must not report, show progress or run the event loop: the file is read and
  // encoded here directly, and a file that cannot be read simply shows nothing.
  std::string error;
  const std::optional<BmpImage> image = loadBmpFile(file, error);
  if (!image) return picture;
  EncodeOptions options;
  options.format = choices_.format().value_or(PixelFormat::YCbCr);
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
  for (size_t from = 0; from < colours.size(); ++from) {
    const size_t row = from / static_cast<size_t>(w), col = from % static_cast<size_t>(w);
    const size_t to = (static_cast<size_t>(h) - 1 - row) * static_cast<size_t>(w) + col;
    const Rgb8& c = colours[from];
    picture.argb[to] =
        c.transparent ? 0u : 0xFF000000u | (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b;
  }
  return picture;
}

// ---------------------------------------------------------------- encoding and read-back

bool LogoPresenter::encodeLogo(int slot, std::vector<int>& out) {
  // Events run after each row; waiting for the next one there would cost up to 10 ms a row.
  Reporter& reporter = links_.reporter ? links_.reporter() : status_;
  return logos_.encode(slot, choices_.format(), choices_.transparent(), out, reporter,
                       links_.runPending);
}

void LogoPresenter::writeLogoBitmap(const std::string& fileName) {
  status_.status("");
  if (fileName.empty()) return;
  try {
    status_.progress(5);
    status_.progressShown(true);
    logos_.file[0] = fileName;
    requireSlot(logos_.selected);
    const std::vector<uint8_t> bytes =
        buildLogoBitmap(logos_.readBack.at(static_cast<size_t>(logos_.selected)),
                        choices_.colourNode(), [this](double value) { status_.progress(value); });
    std::string error;
    if (!replaceFile(fileName, bytes, error)) throw Failure(error);
  } catch (const std::exception& e) {
    status_.error(e.what(), ErrorAt::SaveLogoToDisk);
  }
  status_.progressShown(false);
  status_.status("");
}

void LogoPresenter::upload() {
  try {
    status_.status("");
    if (choices_.severalSlots()) {
      status_.status("Waiting for Reply");
      session_.awaitReadBack(NodeSession::kReadBackPolls);
      dispatcher_.readBack();
    } else {
      status_.error("SX-1 Cannot upload logos to this program", ErrorAt::UploadRefused);
    }
  } catch (const Failure& e) {
    status_.error(std::to_string(e.number()) + " " + e.what(), ErrorAt::Upload);
  } catch (const std::exception& e) {
    status_.error(std::string("0 ") + e.what(), ErrorAt::Upload);
  }
}

void LogoPresenter::savePicture(const std::string& stream) {
  std::string mark;  // how far the reconstruction got, for failure reports
  const auto fail = [&](const std::string& what) {
    status_.error(what + " " + mark, ErrorAt::SavePicture);
    status_.status("");
  };
  session_.cancelReadBack();
  const bool colour = choices_.colourNode();
  if (choices_.severalSlots()) {
    logos_.selected = clampInt(logos_.selected, 1, choices_.model());
    mark = "01";
  } else {
    logos_.selected = 1;
  }
  const size_t rowBytes = readBackGeometry(colour).rowBytes;
  ReadBackSteps steps;
  steps.started = [&] {
    status_.progress(0);
    status_.progressShown(true);
    mark = "02";
  };
  steps.merging = [&] { status_.status("Merging Image"); };
  steps.afterRow = [this](int, double progress) { status_.progress(progress); };
  steps.merged = [&](const MergedImage& merged) {
    for (size_t at : merged.missing) {
      // The row's codes merged so far, as the progress mark.
      mark.clear();
      const size_t rowStart = at - at % rowBytes;
      for (size_t k = rowStart; k < at; ++k) mark += " " + std::to_string(merged.picture[k]);
      fail("The read-back image ends before byte " + std::to_string(at) + " of the picture.");
    }
  };
  steps.storing = [this](double progress) { status_.progress(progress); };
  const auto slotStore = [&]() -> std::vector<uint8_t>& {
    status_.status("Inverting Image");
    requireSlot(logos_.selected);
    return logos_.readBack.at(static_cast<size_t>(logos_.selected));
  };
  try {
    switch (storeReadBack(stream, colour, slotStore, steps).outcome) {
      case StoredReadBack::TooShort:
        return;
      case StoredReadBack::NoMarker:
        status_.progressShown(false);
        return;
      case StoredReadBack::Stored:
        break;
    }
  } catch (const std::exception& e) {
    fail(e.what());
  }

  mark = "07";
  try {
    const std::string name = trimBlanks(dialogs_.saveFileName(selectedLogoPath(), kBmpFilter));
    status_.status("Saving Image");
    writeLogoBitmap(name);
  } catch (const std::exception& e) {
    fail(e.what());
  }
}

}  // namespace osd

// The logo images of the main window: loading a bitmap into a slot (with its previews and the
// recent-file list), encoding a slot's bitmap for the node, reading a logo back from a logo
// generator and writing it as a bitmap file.
#include <exception>
#include <optional>
#include <string>

#include "common/textnum.h"
#include "image/bmp.h"
#include "image/bmp_writer.h"
#include "image/encoder.h"
#include "image/readback.h"
#include "shell/app.h"

namespace osd {

namespace {

constexpr const char* kBmpFilter = "BMP Files (*.bmp)|*.bmp|All Files (*.*)|*.*";

void requireSlot(int slot) {
  if (slot < 0 || slot >= kSlotCount) {
    throw Failure("Logo slot " + std::to_string(slot) + " is out of range.");
  }
}

// The file name without its folders: everything up to the last "\" is cut.
std::string withoutFolders(const std::string& name) {
  const size_t cut = name.find_last_of('\\');
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

}  // namespace

// ---------------------------------------------------------------- loading a bitmap

int App::readFile(std::string& fileName) {
  try {
    const SlotVerdict verdict = bench_.logos().load(selectedSlot, fileName, session_.largeMemory());
    fileName = verdict.file;
    switch (verdict.kind) {
      case SlotVerdict::BadName:
        if (!fileName.empty()) status_.error("Invalid File Name or Missing File!", "Read_File-B");
        return -1;
      case SlotVerdict::Unreadable:
        throw Failure(verdict.message);
      case SlotVerdict::Rejected:
        status_.error(verdict.message, "Read_File-A");
        return 1;
      case SlotVerdict::Loaded:
        break;
    }
    showLoadedLogo(verdict);
    showSlotPreview(verdict);
    if (!dispatcher_.guarded() && trimBlanks(bench_.logos().recent()[0]) != currentFile) {
      for (int e : bench_.logos().pushRecent(currentFile)) {
        const std::string entry = indexed("mnuRecentFile", e);
        const std::string& file = bench_.logos().recent()[static_cast<size_t>(e)];
        ui_.setText(entry, file);
        ui_.setVisible(entry, file != "0");  // the placeholder of an entry never filled
        ui_.setEnabled(entry, file != "0");
      }
    }
    bmpPath[static_cast<size_t>(selectedSlot)] = fileName;
    writeSetting("BMPpath" + std::to_string(selectedSlot), fileName);
    return 0;
  } catch (const std::exception& e) {
    // A file that cannot be read is reported whoever asked for it.
    status_.error(e.what(), "Read_File");
    return -1;
  }
}

void App::showLoadedLogo(const SlotVerdict& verdict) {
  const int w = verdict.width;
  const int h = verdict.height;
  ui_.setText("lblImgSize", std::to_string(w) + " Wide X " + std::to_string(h) + " High\r\n" +
                                std::to_string(static_cast<long long>(w) * h) + " Pixels");
  const bool fullPage = w == 256 && h == 255;
  imageParams[5] = fullPage ? 0 : h / 2;
  imageParams[6] = fullPage ? 0 : w / 4;
  std::string settings = "Image Parameters:";
  for (int i = 0; i <= 15; ++i) settings += " " + hex2(imageParams[static_cast<size_t>(i)]);
  ui_.setText("lblImageSettings", settings);
  ui_.setText(indexed("lblLogoName", selectedSlot), withoutFolders(verdict.file));

  // One slot option is selected: the one just loaded.
  for (int k = 0; k <= 15; ++k) {
    if (k != selectedSlot) ui_.setChecked(indexed("optLOGO", k), false);
  }
  ui_.setChecked(indexed("optLOGO", selectedSlot), true);
  ui_.setEnabled(indexed("optLOGO", selectedSlot), true);

  // Large preview: white on dark blue.
  ui_.setForeColor("picPicture1", kWhite);
  ui_.setBackColor("picPicture1", 0x0000E0);
  ui_.setImage("picPicture1", "");
  loadImageFile("picPicture1", verdict.file);
}

void App::showSlotPreview(const SlotVerdict& verdict) {
  const std::string preview = indexed("picPicture2", selectedSlot);
  ui_.setImage(preview, "");
  ui_.setHeight(preview, 8 * verdict.height);
  ui_.setWidth(preview, 8 * verdict.width);
  loadImageFile(preview, verdict.file);
  ui_.setVisible(preview, true);
  ui_.repaint("picPicture1");
}

void App::loadImageFile(const std::string& pictureBox, const std::string& fileName) {
  try {
    const int current = ui_.get(pictureBox).height;
    // The height to scale from: the box's own, unless it still has the height set here.
    int base = current;
    const auto known = pictureHeights.find(pictureBox);
    if (known != pictureHeights.end() && known->second.first == current)
      base = known->second.second;
    long long heightPx = roundHalfEven(base / 15.0);
    if (choices_.pal()) {
      heightPx = roundHalfEven(static_cast<double>(heightPx) * 0.84);
    }
    const int height = static_cast<int>(heightPx * 15);
    ui_.setHeight(pictureBox, height);
    pictureHeights[pictureBox] = {height, base};
    ui_.setImage(pictureBox, fileName);
    ui_.repaint(pictureBox);
  } catch (const std::exception& e) {
    status_.error(e.what(), "LoadImageFile");
  }
}

// The slot stays as it is only for a logo generator with several slots while the operator is
// in charge; otherwise slot 1 is loaded.
void App::chooseMenuSlot() {
  if (dispatcher_.guarded() || choices_.model() <= 1) selectedSlot = 1;
}

std::string App::selectedLogoPath() const {
  return selectedSlot >= 0 && selectedSlot < kSlotCount ? bmpPath[static_cast<size_t>(selectedSlot)]
                                                        : std::string();
}

PixelFormat App::chosenFormat() const {
  return choices_.format().value_or(PixelFormat::YCbCr);
}

bool App::loadIntoMenuSlot(std::string file, const std::string& title) {
  chooseMenuSlot();
  if (selectedSlot == 0) return false;
  file = trimBlanks(file);
  if (readFile(file) == 0) return true;
  status_.error("Read of image file failed.", title);
  return false;
}

void App::openLogoFileClick() {
  try {
    const std::string name = pf_.dialogs.openFileName(selectedLogoPath(), kBmpFilter);
    if (trimBlanks(name).empty()) return;  // cancelled: nothing was asked of the reader
    loadIntoMenuSlot(name, "mnuOpenLogoFile");
  } catch (const std::exception& e) {
    status_.error(e.what(), "mnuOpenLogoFile");
  }
}

void App::recentFileClick(int index) {
  try {
    chooseMenuSlot();
    if (selectedSlot == 0) return;
    std::string name = readSetting("FileSelect" + std::to_string(index + 1));
    if (readFile(name) < 0) status_.error("Read of image file failed.", "MnuRecentFile");
  } catch (const std::exception& e) {
    status_.error(e.what(), "mnuRecentFile_Click");
  }
}

// ---------------------------------------------------------------- encoding for the node

bool App::encodeLogo(int slot, std::vector<int>& out) {
  // Events run after each row; waiting for the next one there would cost up to 10 ms a row.
  return bench_.logos().encode(slot, choices_.format(), choices_.transparent(), out, *this,
                               [this] { pf_.loop.runPending(); });
}

// ---------------------------------------------------------------- read-back logos

void App::writeLogoBitmap(const std::string& fileName) {
  status_.status("");
  if (fileName.empty()) {
    status_.status("");
    return;
  }
  try {
    status_.progress(5);
    status_.progressShown(true);
    slotFile[0] = fileName;
    requireSlot(selectedSlot);
    const std::vector<uint8_t> bytes =
        buildLogoBitmap(slotImage.at(static_cast<size_t>(selectedSlot)), choices_.colourNode(),
                        [this](double value) { status_.progress(value); });
    std::string error;
    if (!replaceFile(fileName, bytes, error)) throw Failure(error);
  } catch (const std::exception& e) {
    status_.error(e.what(), "mnuSaveLogoDisk");
  }
  status_.progressShown(false);
  status_.status("");
}

void App::upLoadLogoClick() {
  try {
    status_.status("");
    if (choices_.model() > 1) {
      status_.status("Waiting for Reply");
      session_.awaitReadBack(NodeSession::kReadBackPolls);
      dispatcher_.readBack();
    } else {
      status_.error("SX-1 Cannot upload logos to this program", "SX-1: No Can Do");
    }
  } catch (const Failure& e) {
    status_.error(std::to_string(e.number()) + " " + e.what(), "mnuUpLoadLogo");
  } catch (const std::exception& e) {
    status_.error(std::string("0 ") + e.what(), "mnuUpLoadLogo");
  }
}

void App::savePicture(const std::string& stream) {
  std::string mark;  // how far the reconstruction got, for failure reports
  const auto fail = [&](const std::string& what) {
    status_.error(what + " " + mark, "Save_Picture");
    status_.status("");
  };
  session_.cancelReadBack();
  if (choices_.model() > 1) {
    selectedSlot = clampInt(selectedSlot, 1, choices_.model());
    mark = "01";
  } else {
    selectedSlot = 1;
  }
  const size_t rowBytes = readBackGeometry(choices_.colourNode()).rowBytes;
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
    requireSlot(selectedSlot);
    return slotImage.at(static_cast<size_t>(selectedSlot));
  };
  try {
    switch (storeReadBack(stream, choices_.colourNode(), slotStore, steps).outcome) {
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
    const std::string startPath = selectedSlot >= 0 && selectedSlot < kSlotCount
                                      ? bmpPath[static_cast<size_t>(selectedSlot)]
                                      : std::string();
    const std::string name = trimBlanks(pf_.dialogs.saveFileName(startPath, kBmpFilter));
    status_.status("Saving Image");
    writeLogoBitmap(name);
  } catch (const std::exception& e) {
    fail(e.what());
  }
}

}  // namespace osd

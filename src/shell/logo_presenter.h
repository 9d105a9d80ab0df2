// Logo slots and previews: loading a bitmap into a slot (its option, name, preview and the
// large view), the recent-file list, the slot choice from the options and the logo menu, the
// two zoom commands and the node view, and reading a logo back from a logo generator into a
// bitmap file.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "image/logo_slots.h"
#include "link/dispatcher.h"
#include "link/node_session.h"
#include "settings/node_choices.h"
#include "shell/status_presenter.h"
#include "shell/view_state.h"

namespace osd {

struct SlotView {
  bool offered = false;       // the slot's option is shown
  bool enabled = true;        // and can be chosen
  bool chosen = false;        // the option is on
  bool nameShown = true;      // the file name beside the option
  std::string name;           // the file loaded, without its folders
  bool previewShown = false;  // the preview over the screen
  int width = 0, height = 0;  // the preview's size in twips; 0: as laid out
  std::string image;          // the file the preview shows
};

struct LogoView {
  static constexpr int kSlots = 16;  // slots 0..15 have an option and a preview
  std::array<SlotView, kSlots> slot;
  int menuSlots = 15;   // the logo menu offers slots 1..menuSlots
  int menuChecked = 0;  // the slot checked in the logo menu (0: none)
  std::string size;     // the loaded logo's figures
  std::array<std::string, LogoSlots::kRecentCount> recent;  // "": not offered
  int recentChecked = -1;   // the recent file marked for the paint program (-1: none)
  bool largeShown = false;  // the large view over the screen
  std::string largeImage;
  bool zoomOn = false, zoomOff = false, nodeView = false;  // the zoom menu's marks
  int reloads = 0;  // raised when the pictures must be read again (a file rewritten)
};

// The selected slot's logo as the node will show it: encoded for the chosen format and
// transparency and decoded back to colours.
struct NodeViewPicture {
  int width = 0, height = 0;
  std::vector<uint32_t> argb;  // top row first; 0x00000000 where the node shows video
};

// What "Import Picture" takes from the logo area: the node's settings that decide what the node
// shows, and the operator's answers when the bitmap's file exists.
struct PictureImport {
  PixelFormat format = PixelFormat::YCbCr;
  int transparent = 255;
  bool largeMemory = false;
  // Whether to replace the existing `file` (asked).
  std::function<bool(const std::string& file)> mayReplace;
  // Another name for the bitmap from the file window ("" when cancelled).
  std::function<std::string(const std::string& offered)> otherName;
};

class LogoPresenter : public ViewState<LogoView> {
 public:
  // What the logo area needs of the others.
  struct Links {
    std::function<void(int width, int height)> imageShown;  // a logo's figures were loaded
    std::function<void()> runPending;                       // events between encoded rows
    // What the encoding reports through (the download's, so inside a download the bar stays
    // the download's); none: the status line.
    std::function<Reporter&()> reporter;
  };

  LogoPresenter(LogoSlots& logos, NodeChoices& choices, NodeSession& session,
                Dispatcher& dispatcher, StatusPresenter& status, Preferences& prefs,
                Dialogs& dialogs, Links links);

  // ---- Loading ----
  // Reads `fileName` into the selected slot; 0 loaded, 1 refused, -1 failed.
  int readFile(std::string& fileName);
  // "Open": a file chosen in the file window.
  void openLogo();
  // Loads `file` as "Open" does: into slot 1 unless a logo generator with several slots is in
  // the operator's hands. False when nothing was loaded (a failure is shown under `title`).
  bool loadIntoMenuSlot(std::string file, ErrorAt at);
  // A recent file of the File menu (0 = the newest).
  void openRecent(int index);
  void restoreRecent(int index, const std::string& text);
  void checkRecent(int index) { update()->recentChecked = index; }
  // The recent file marked for the paint program; "" when none is.
  std::string checkedRecent() const;
  // Start-up: the slot's stored bitmap is shown in its preview.
  void restoreSlotFile(int slot, const std::string& file);
  std::string selectedLogoPath() const;
  // "Import Picture" (the window converts the picture, into the data folder's "Images"): the
  // picture asked for in the file window beside the selected logo ("" when none was chosen),
  // and what the import takes from this area. The bitmap written is loaded by
  // loadIntoMenuSlot.
  std::string askPicture(const std::string& filter);
  PictureImport pictureImport();

  // ---- The slot choice ----
  void chooseSlot(int slot);      // a slot option
  void chooseFromMenu(int slot);  // the logo menu
  // Start-up: the slot chosen last time (0: none stored) and the selected slot marked.
  void restoreChoice(int slot);
  void hideOptions(int first, int last);
  // Shows the slot options of the selected slot's bank of four that the model offers and
  // hides the others, so the operator always sees the slots that can be chosen.
  void showSlotOptions();
  void offerMenuSlots(int count);
  void checkMenuSlot(int slot) { update()->menuChecked = slot; }
  // A graphics node answered: it holds one logo.
  void graphicsNode();

  // ---- Views ----
  void zoomOff();
  void zoomOn();
  void toggleNodeView();
  NodeViewPicture nodeViewPicture() const;
  void showPreview(int slot, bool shown);
  void clearPictures();

  // ---- Encoding and read-back ----
  // Node values of the slot's logo in the chosen format; false when a failure was reported.
  // The encoding reports through the `reporter` link.
  bool encodeLogo(int slot, std::vector<int>& out);
  void upload();
  // A read-back stream: stored in the selected slot and written to a bitmap file.
  void savePicture(const std::string& stream);
  void writeLogoBitmap(const std::string& fileName);

 private:
  void showLoadedLogo(const SlotVerdict& verdict);
  void showSlotPreview(const SlotVerdict& verdict);
  void sizePreview(int index, SlotView& slot, int height);
  void showRecent(int index, const std::string& file);
  void chooseMenuSlot();
  void applySlotChoice(int slot);

  LogoSlots& logos_;
  NodeChoices& choices_;
  NodeSession& session_;
  Dispatcher& dispatcher_;
  StatusPresenter& status_;
  Preferences& prefs_;
  Dialogs& dialogs_;
  Links links_;
  int lastSlot_ = 0;
  // The height each preview was given and the height it started from, so repeated loads in
  // PAL do not shrink a preview again and again.
  std::map<int, std::pair<int, int>> previewHeights_;
};

}  // namespace osd

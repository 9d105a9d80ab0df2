// Menus and about: the File menu's commands that need a node, the show modes and the
// transparency value, the SMPTE background, the diagnostic tools, the front-panel lock, the
// logo-generator model, the manual, the paint program, exit, and the about window with the
// start-up splash.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/seams.h"
#include "settings/node_choices.h"
#include "shell/about.h"
#include "shell/status_presenter.h"
#include "shell/view_state.h"

namespace osd {

struct MenuEntry {
  bool shown = true;
  bool enabled = true;
};

struct MenusView {
  // The File menu. "Download Image to RAM" and "to EEPROM" are off while the line is in use
  // too (see LineUse).
  MenuEntry download, toEeprom, erase, saveSettings, saveLogo, sendSetup, saveToDisk, upload;
  bool sendLogo = true;    // the "Diag" menu's "Send Logo": off while the line is held
  bool portSearch = true;  // the Com menu's search: it would wake the nodes under a download
  bool showIntensity = false, showMix = false, showFade = false;
  std::string transparentCaption = "Tranparent Value";
  bool smpte = false;      // the colour bars behind the screen
  bool diagTools = false;  // the "Diag" menu is offered
  bool panelLock = false;
  int model = -1;  // the model menu's checked entry (0: "AutoSelect"; -1: none)
};

// How the line is in use, as the download area has it.
struct LineUse {
  bool held = false;      // a download or a scan of the line holds it
  bool starting = false;  // the erase before a download is on its way
  bool erasing = false;   // the node erases its image memory for a download
};

class MenusPresenter : public ViewState<MenusView> {
 public:
  // What the menus change in the other areas.
  struct Links {
    std::function<void(int count)> offerSlots;  // the logo menu offers slots 1..count
    std::function<void(int slot)> checkSlot;
    std::function<void()> fadeOff;  // "Show Fade" off: the preview comes back
    std::function<void(bool locked)> panelLocked;
    std::function<void(int model)> modelChosen;
    std::function<void()> slotsChanged;      // the slot options follow the model
    std::function<std::string()> paintFile;  // the file the paint program opens ("": none)
  };
  // What only the window itself can do, given by it (and taken back with {} when it goes).
  struct WindowActions {
    std::function<void()> exit;
    std::function<void(AboutWindow&, bool modal)> showAbout;
  };

  MenusPresenter(Preferences& prefs, NodeChoices& choices, StatusPresenter& status,
                 Launcher& launcher, EventLoop& loop, std::string programDir, Links links);
  ~MenusPresenter();

  void setWindowActions(WindowActions actions) { window_ = std::move(actions); }

  // Start-up: the node's commands off until one answers, then each menu as stored.
  void restoreCommands();
  void restoreShowModes();
  void restoreModel();
  void restoreDiagTools();
  void restorePanelLock();
  void restoreTransparent();
  void restoreSmpte();

  // The node answers again or falls silent: its commands follow.
  void nodeMenusEnabled(bool enabled);
  // A graphics node answered: it takes no settings or uploads, and can be erased.
  void graphicsNode();
  void eraseStarted(bool on);
  // The line's use changed: the entries that would start a download or a port search follow.
  void lineUse(LineUse use);

  // 0..2: the show modes; 3: the transparency value, asked for.
  void showMode(int index);
  void toggleSmpte();
  void toggleDiagTools();
  void togglePanelLock();
  // The model menu: 0 is "AutoSelect".
  void chooseModel(int model);

  void exit();
  void openManual();
  void openPaint();
  void about() { openAbout(true, false); }
  // Shows the about window: `aboutFlag` gives it the long countdown of the about entry (the
  // splash has the short one); `modal` returns only once it has closed.
  void openAbout(bool aboutFlag, bool modal);
  AboutWindow* aboutWindow() { return about_.get(); }
  void closeAbout() { about_.reset(); }
  // No splash window at start-up.
  void skipSplash() { splashShown_ = true; }
  void splashTick();
  void aboutTick();

 private:
  Preferences& prefs_;
  NodeChoices& choices_;
  StatusPresenter& status_;
  Launcher& launcher_;
  EventLoop& loop_;
  std::string programDir_;
  Links links_;
  // The entries' states from the line's use and what the node allows.
  void followLine(MenusView& v) const;

  WindowActions window_;
  bool nodeDownload_ = true;  // the node answers: a download may start
  bool nodeToEeprom_ = true;  // the node erases nothing
  LineUse line_;
  std::unique_ptr<AboutWindow> about_;
  bool splashShown_ = false;
};

}  // namespace osd

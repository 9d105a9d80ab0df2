// The main window's logic: program-wide state and the operations that act on the window's
// controls (through the WindowModel) and on the machine (through the seams). The Qt window
// only binds widgets to the model and forwards events to `click`, `textChanged`, the mouse
// entry points and so on.
//
// The presenter's operations live in src/shell, one file per area of the window:
//   link_presenter.cpp, startup.cpp              port menu, node answers, start-up
//   logo_presenter.cpp, node_view_presenter.cpp  slots, previews, recent files, read-back
//   download_presenter.cpp, download_feedback.cpp, placement_presenter.cpp, video_presenter.cpp
//   settings_presenter.cpp, form_setup.cpp       the settings store and restoring the window
//   schedule_presenter.cpp, window_scan.cpp      the running schedule, the scan of the line
//   reporting.cpp, menus.cpp, events.cpp, layout.cpp
// The state itself belongs to the components (link/, image/, transfer/, settings/, schedule/).
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/reporter.h"
#include "link/dispatcher.h"
#include "link/link_service.h"
#include "link/node_session.h"
#include "platform/seams.h"
#include "settings/node_choices.h"
#include "shell/link_presenter.h"
#include "shell/port_presenter.h"
#include "shell/status_presenter.h"
#include "shell/window_model.h"
#include "transfer/download_job.h"
#include "transfer/line_progress.h"
#include "transfer/workbench.h"

namespace osd {

class ScheduleEditor;
class AboutWindow;
class WindowScan;
struct ScheduleTable;

struct Platform {
  SerialPort& port;
  EventLoop& loop;
  SettingsBackend& settings;
  Dialogs& dialogs;
  Launcher& launcher;
  std::string programDir;              // where the manual lies
  std::string dataDir;                 // the folder that holds "Images"
  InstanceGuard* instances = nullptr;  // previous-instance handling; none: always alone
  // The settings and data files shared with other faces of the program; none: the window
  // keeps its own over `settings` and `dataDir`.
  Workbench* workbench = nullptr;
};

constexpr int kSlotCount = LogoSlots::kCount;

// The main window's presenter: it alone knows the controls. It reports on the status line,
// the error panel and the progress bar.
class App : public Reporter {
 private:
  Platform& pf_;
  std::unique_ptr<Workbench> ownBench_;
  Workbench& bench_;

 public:
  explicit App(Platform& platform);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  WindowModel& ui() { return ui_; }
  Platform& platform() { return pf_; }
  Workbench& bench() { return bench_; }

  // ---- Events forwarded by the window (shell/events.cpp) ----
  // A click on a control or menu entry, by name ("mnuDiagSub(12)", "optLOGO(2)", "cmdErrOK").
  void click(const std::string& name);
  // A key release in a text field: the field's new text (a position field sends it only when
  // committed, see commitPosition).
  void textEdited(const std::string& name, const std::string& text);
  // Mouse on a slot preview, in the preview's own coordinates (twips).
  void mouse(const std::string& name, int kind, double x,
             double y);  // kind: 0 press, 1 move, 2 release
  void timerFired(TimerId id);

  // ---- The areas of the window and the choices they share ----
  NodeChoices& choices() { return choices_; }
  StatusPresenter& statusLine() { return status_; }
  PortPresenter& port() { return port_; }

  // Held while a download or a scan of the line runs: nothing else goes on the line then
  // (no node poll, no watchdog calls, no command of the dispatcher).
  bool lineHeld() const { return downloading; }
  void holdLine(bool on) { downloading = on; }
  bool isLocked() const { return locked; }
  void setLocked(bool on) { locked = on; }
  bool editorShown() const { return editorOpen; }
  ScheduleTable& scheduleTable() { return *schedule; }

  // ---- Serial link (components in link/, their presenter in shell/link_presenter.cpp) ----
  LinkService& link() { return link_; }
  Dispatcher& dispatcher() { return dispatcher_; }
  NodeSession& session() { return session_; }
  void onPortEvent(int code);
  // The main tick (25 ms) and the erase wait (100 ms).
  void tickDelay();
  void tick10sec();
  // The wake-up timer after an open (100 ms).
  void comInitTick();
  // The five node menu entries of the reply handling.
  void setNodeMenusEnabled(bool enabled);
  // The "Diag" menu: entry `index` asks its question and issues its command.
  void diagClick(int index);

  // ---- Start-up (shell/startup.cpp) ----
  // A simulated node started with the program is on port `number`: for this run it stands in
  // for the saved "ComPort" setting, which stays as it is.
  void useSimulatedPort(int number) { port_.useSimulatedPort(number); }
  // No splash window at start-up.
  void skipSplash() { splashShown = true; }
  // Runs the start-up sequence. `commandLine` is the text the program was started with.
  void formLoad(const std::string& commandLine);

  // ---- Logo images (shell/logo_presenter.cpp) ----
  int readFile(std::string& fileName);
  void showLoadedLogo(const SlotVerdict& verdict);
  void showSlotPreview(const SlotVerdict& verdict);
  void loadImageFile(const std::string& pictureBox, const std::string& fileName);
  void openLogoFileClick();
  // The file of the selected slot, where a file dialog for it starts.
  std::string selectedLogoPath() const;
  // The pixel format chosen on the window ("optRGB").
  PixelFormat chosenFormat() const;
  // Loads `file` as "Open" does: into slot 1 unless a logo generator with several slots is in
  // the operator's hands. False when nothing was loaded (a failure is shown under `title`).
  bool loadIntoMenuSlot(std::string file, const std::string& title);
  void recentFileClick(int index);
  // Node values of the slot's logo in the chosen format; false when a failure was reported.
  bool encodeLogo(int slot, std::vector<int>& out);
  void writeLogoBitmap(const std::string& fileName);
  void upLoadLogoClick();
  void savePicture(const std::string& stream);

  // ---- Closing while the line is in use (shell/download_presenter.cpp) ----
  // Who asks the window to close.
  enum class CloseBy { Operator, Signal };
  // Whether the window may close now. An idle window may. While a download runs the operator
  // is asked whether to stop it; a termination signal stops it without asking. A download that is
  // stopped ends after the block being sent, the line is left to go quiet, and the window then
  // closes by itself (see exitNote). A scan of the line is cancelled and the window closes once it
  // has ended.
  bool closeRequested(CloseBy by);
  // What a later copy of the program is told when it asks this one to close.
  Handover handoverAnswer() const;
  // A line for standard error when the program ends ("" when there is none to say).
  const std::string& exitNote() const { return exitNote_; }
  // Another copy keeps the line: this one stopped its start-up before touching any port and
  // must end (exitNote says why).
  bool startRefused() const { return startRefused_; }

  // ---- Logo download (shell/download_presenter.cpp, download_feedback.cpp) ----
  void downloadToRamClick();  // also "Download OSD Image to EEPROM"
  void saveLogoInNvramClick();
  void runDownload();
  // The download job's waits and the erase wait, on this window's timers.
  DownloadHooks downloadHooks();
  // What the line has carried of the running download, told on the status line and the
  // progress bar. The figures come from the job's reports
  // and, between them, from the main tick; none outside a download.
  void download(const DownloadProgress& report) override;
  void followDownloadLine();
  // After the last byte was handed to the port: follows the line until the node can have it
  // all (or the port closed), then shows "Logo N downloaded: ..." for the usual status time.
  void finishDownloadLine(int slot);
  // The status line during the erase wait, with the seconds left.
  void showEraseWait();

  // ---- Video-controller data (shell/video_presenter.cpp) ----
  bool readVideoData();
  void writeDefaultVideoData();
  void writeVideoDataFile(const std::string& baseName, const int* table);
  void editVideoFileClick(const std::string& baseName);
  void saveCurrentSettingsClick();
  void sendVideoSetupClick();
  void optNtscClick(int index);
  void optRgbClick(int index);
  void showFormat();  // the data-type options follow the chosen pixel format
  void buildSetupBlock();
  std::string imagesDir() const;

  // ---- Placement and slot choice (shell/placement_presenter.cpp) ----
  void previewPress(int slot);
  void previewMove(int slot, double x, double y);
  void previewRelease(int slot);
  // A typed position goes to the node when the operator commits it: Enter, leaving the
  // field (`commitPosition`), or 700 ms after the last keystroke (the main tick). Keystrokes
  // only change the field.
  void positionKeyed(const std::string& field, const std::string& text);
  void commitPosition(const std::string& field);
  void positionRestTick();
  // Every text handed to the line: the position commands sent last are remembered.
  void positionSent(const std::string& text);
  void sendPosition(Command command, int code);
  void txtVposEdited();
  void txtHposEdited();
  void positionTyped(const char* field, const char* rangeMessage,
                     const std::function<void(int percent)>& apply);
  void optLogoClick(int slot);
  // Shows the slot options of the selected slot's bank of four that the model offers and
  // hides the others, so the operator always sees the slots that can be chosen.
  void showSlotOptions();
  void logoSelMenuClick(int slot);
  void zoomOffClick();
  void zoomOnClick();

  // ---- Node view (shell/node_view_presenter.cpp) ----
  // "&Node View" of the zoom menu: the large view shows the selected slot's logo as the node
  // will display it (encoded for the chosen format and transparency, decoded back to colours).
  struct NodeViewPicture {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;  // top row first; 0x00000000 where the node shows video
  };
  void nodeViewClick();
  bool nodeViewShown() const { return nodeView; }
  // The picture of the selected slot; empty when the slot has no logo file.
  NodeViewPicture nodeViewPicture();

  // ---- Settings store (shell/settings_presenter.cpp) ----
  std::string readSetting(const std::string& key);
  void writeSetting(const std::string& key, const std::string& value);

  // ---- Schedule (shell/schedule_presenter.cpp) ----
  void loadSchedule();
  void scheduleTick();
  void scanSchedule();
  ScheduleEditor* editor() { return editor_.get(); }

  // ---- Restoring the window from settings (shell/form_setup.cpp) ----
  void formSetUp();
  void showModeClick(int index);
  void smpteClick();
  void diagToolsClick();
  void panelLockClick();
  void scheduleViewClick();
  void scheduleLockClick();
  void scheduleOnOffClick();
  void setModelClick(int model);
  void shutdown();

  // ---- The reporter of the download job and the window's components ----
  // While the line is followed its figures are the status text, not the job's phase names.
  void status(const std::string& text) override {
    if (!downloadLine_) status_.status(text);
  }
  void error(const std::string& message, const std::string& title) override {
    status_.error(message, title);
  }
  // During a download command the bar is the download's own, from the erase to the last
  // byte: the job's per-phase values do not move it.
  void progressShown(bool shown) override {
    if (!downloadBar_) status_.progressShown(shown);
  }
  void progress(double percent) override {
    if (!downloadLine_ && !downloadBar_) status_.progress(percent);
  }
  void busy(bool on) override { status_.busy(on); }

  // ---- Menus, about window, outside tools (shell/menus.cpp) ----
  void exitClick();
  void manualClick();
  void paintClick();
  void aboutClick();
  void splashTick();
  void aboutTimerTick();
  // Shows the about window: `aboutFlag` gives it the long countdown of the about entry (the
  // splash has the short one); `modal` returns only once it has closed. Used by the Help
  // menus of the main window and of the schedule editor.
  void openAbout(bool aboutFlag, bool modal);
  void editorTimerTick();
  AboutWindow* about() { return about_.get(); }
  // What only the window itself can do, given by it (and taken back with {} when it goes).
  struct WindowActions {
    std::function<void()> exit;                       // close the program
    std::function<void(ScheduleEditor&)> showEditor;  // modal: returns once closed
    std::function<void(AboutWindow&, bool modal)> showAbout;
    std::function<void()> importPicture;  // File > Import Picture…
    std::function<void()> findNodes;      // Node > Find Nodes on the Line…
  };
  void setWindowActions(WindowActions actions) { window_ = std::move(actions); }

  // Lays out the controls with their design-time state (shell/layout.cpp).
  void defineControls();

 private:
  // The presenter's helpers for the link, the scan of the line and the schedule editor
  // window share its state.
  friend class LinkPresenter;
  friend class WindowScan;
  friend class ScheduleEditor;
  // Before a menu load: slot 1 unless a logo generator with several slots is in the
  // operator's hands.
  void chooseMenuSlot();
  // What a click on a control or menu entry runs: entries named `base` with an index in
  // [first, last] (no index counts as -1).
  struct ClickRoute {
    const char* base;
    int first, last;
    void (*handle)(App& app, int index);
  };
  static std::span<const ClickRoute> clickRoutes();
  // Restoring the window from the settings, in three parts; each step of them reports its own
  // failure and the start-up goes on with the next.
  void setUpMenus();
  void setUpRunningState();
  void setUpVideoAndSlots();
  void setUpStep(const std::function<void()>& body);
  // Runs one step of the start-up: a failure is shown under `title` and the next step goes on.
  void runStep(const char* title, const std::function<void()>& body);
  // Start-up steps: the logo slots and recent files, then the port.
  void loadSlotChoice();
  void openSavedPort(const std::string& commandLine);

  // ---- The presenter's own state ----
  // Bitmap reader: the logo slots' state, under the names the operations used before it had
  // an owner.
  int& selectedSlot = bench_.logos().selected;
  std::array<std::string, kSlotCount>& slotFile = bench_.logos().file;
  std::array<std::string, kSlotCount>& bmpPath = bench_.logos().path;
  std::string& currentFile = bench_.logos().current;
  int& imageWidth = bench_.logos().width;
  int& imageHeight = bench_.logos().height;
  long long& imageBytes = bench_.logos().imageBytes;
  int& logoHeight = bench_.logos().logoHeight;
  int logoWidth = 256;
  // Picture boxes drawn by loadImageFile: the height it set and the height it started from,
  // so repeated loads in PAL do not shrink a box again and again.
  std::map<std::string, std::pair<int, int>> pictureHeights;
  // Read-back store: slots 0..31, 8193 bytes each
  std::vector<std::vector<uint8_t>>& slotImage = bench_.logos().readBack;
  // Logo download
  bool downloading = false;
  bool downloadStarting = false;  // from the "Notice" answer through the erase wait
  // Closing during a download: stop after the block being sent, then close the window.
  bool downloadBar_ = false;  // the bar shows the download command's way through
  double eraseShare_ = 0;     // of the bar, the erase wait's (by line time)
  // The bar once the node has `carried` of the stream's `total` bytes.
  void showDownloadBar(double carried, double total);
  // The download itself, inside runDownload.
  void sendDownload();
  bool stopRequested_ = false;
  bool closeWhenStopped_ = false;
  bool startRefused_ = false;
  std::string exitNote_;
  WindowScan* activeScan_ = nullptr;  // a scan of the line running now
  // Once the line has gone quiet after a stopped download: says where it stopped.
  void reportStopped(int64_t written, int64_t total);
  // "Download stopped: port lost after 31,405 of 65,667 bytes" (or stopped by an error).
  std::string failedText(int64_t carried, int64_t total) const;
  // Yields until the port has nothing left to send (or it closed, or 15 s passed).
  void waitLineQuiet();
  static constexpr double kQuietLineSeconds = 15;
  // The length of the stream the selected logo would make now.
  int64_t plannedStream() const;
  // The window closes when a close was asked for while the line was in use.
  void closeIfAsked();
  // Video-controller data, owned by the video data component.
  video::ImageParams& imageParams = bench_.video().params();
  video::RegisterTable& ntscTable = bench_.video().ntsc();
  video::RegisterTable& palbTable = bench_.video().palB();
  video::RegisterTable& palmTable = bench_.video().palM();
  video::SetupBlock& setupBlock = bench_.video().block();
  // Placement and slot choice
  int previewLeft = 0, previewTop = 0;
  bool dragging = false, originCaptured = false, moveBusy = false;
  int lastX = 0, lastY = 0, pressX = 0, pressY = 0;
  int moveThrottle = 0;
  int lastSlot = 0;
  static constexpr int kPositionRestTicks = 28;  // 700 ms
  int positionRest_ = 0;
  std::array<bool, 2> positionPending_{};          // vertical, horizontal
  std::array<std::string, 2> lastPositionSent_{};  // "AVP1E", "AHP5E"
  // Schedule
  std::unique_ptr<ScheduleTable> schedule;
  bool editorOpen = false;
  bool lookAhead = false;
  int currentLogo = 0;
  std::array<bool, 25> sequenceOn{};
  std::string scheduleStep;
  // Restoring the window from settings
  bool showInt = false, showMix = false, showFade = false, showReply = false;
  bool scheduleOn = false;
  bool locked = false;
  // Menus, about window, outside tools
  bool splashShown = false;

  std::string commandLine;
  bool nodeView = false;
  WindowActions window_;
  std::optional<LineProgress> downloadLine_;
  int64_t downloadWritten_ = 0;  // bytes of the stream handed to the port
  int64_t downloadPicture_ = 0;  // bytes of its picture
  double downloadStarted_ = -1;  // when the download command began (erase included)
  WindowModel ui_;
  std::unique_ptr<ScheduleEditor> editor_;
  std::unique_ptr<AboutWindow> about_;
  NodeChoices choices_{bench_.prefs()};
  StatusPresenter status_{pf_.dialogs};
  // The serial link and its presenter (shell/link_presenter.cpp).
  DispatcherHooks dispatcherHooks();
  SessionHooks sessionHooks();
  LinkPresenter linkView_{*this};
  LinkService link_{pf_.port, pf_.loop, linkView_};
  Dispatcher dispatcher_{link_, pf_.loop, pf_.dialogs, linkView_, dispatcherHooks()};
  NodeSession session_{link_, dispatcher_, pf_.loop, linkView_, sessionHooks()};
  PortPresenter port_{link_, dispatcher_, choices_, status_, bench_.prefs()};
};

}  // namespace osd

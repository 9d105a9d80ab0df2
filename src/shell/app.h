// The main window's presenter. It owns the components the window works with and one
// presenter per area of the window, wires them to each other, and runs the start-up and the
// shut-down in their order. Every operation the operator can ask for is an operation of an
// area presenter; the Qt window binds its widgets to them and mirrors their view states.
//
//   port()       Com menu, the nodes' wake-up and sleep, port field, title, node field, reply
//                area, the copyright request, clock
//   logos()      slot options, previews, large view, recent files, read-back, picture import
//   placement()  dragging and typed positions
//   download()   erase, download, what the line carries
//   video()      video standard, pixel format, the video data files
//   schedule()   the schedule runner and its editor
//   menus()      option menus and which entries are on, model, outside programs, about
//                window and splash
//   diag()       the "Diag" menu
//   scan()       "Find Nodes on the Line" and its "Download to Checked Nodes"
//   statusLine() status line, error panel, progress bar, input window
//
// The wiring: a presenter takes the components it works on (link service, dispatcher, node
// session, data, choices, the status line, the platform's seams) as constructor references.
// Every call it makes into another area is a named field of its own `Links` struct, filled
// in app.cpp with designated initialisers (`{.offerSlots = ..., .checkSlot = ...}`); the
// dispatcher's and the node session's hooks are filled the same way.
#pragma once

#include <memory>
#include <string>

#include "link/dispatcher.h"
#include "link/link_service.h"
#include "link/node_session.h"
#include "platform/seams.h"
#include "settings/node_choices.h"
#include "shell/diag_presenter.h"
#include "shell/download_presenter.h"
#include "shell/link_events.h"
#include "shell/logo_presenter.h"
#include "shell/menus_presenter.h"
#include "shell/placement_presenter.h"
#include "shell/port_presenter.h"
#include "shell/scan_presenter.h"
#include "shell/schedule_presenter.h"
#include "shell/status_presenter.h"
#include "shell/video_presenter.h"
#include "transfer/workbench.h"

namespace osd {

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

class App {
 private:
  Platform& pf_;
  std::unique_ptr<Workbench> ownBench_;
  Workbench& bench_;

 public:
  explicit App(Platform& platform);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // The components, for the tests alone, which look into them. The window works on the area
  // presenters (the ctest check GuiIncludesOnlyPresentersAndSeams refuses these calls there).
  Platform& platform() { return pf_; }
  Workbench& bench() { return bench_; }
  LinkService& link() { return link_; }
  Dispatcher& dispatcher() { return dispatcher_; }
  NodeSession& session() { return session_; }
  // The run's node choices, for the tests.
  NodeChoices& choices() { return choices_; }

  StatusPresenter& statusLine() { return status_; }
  PortPresenter& port() { return port_; }
  LogoPresenter& logos() { return logo_; }
  PlacementPresenter& placement() { return placement_; }
  DownloadPresenter& download() { return download_; }
  VideoPresenter& video() { return video_; }
  SchedulePresenter& schedule() { return schedule_; }
  MenusPresenter& menus() { return menus_; }
  DiagPresenter& diag() { return diag_; }
  ScanPresenter& scan() { return scan_; }

  // Runs the start-up sequence. `commandLine` is the text the program was started with.
  void formLoad(const std::string& commandLine);
  // Restores the window from the settings (part of the start-up).
  void formSetUp();
  // The window closes: every timer stops, the pictures are let go, the port is closed.
  void shutdown();

 private:
  void timerFired(TimerId id);
  // The main tick (25 ms).
  void tickDelay();
  // How many coming main ticks may pass with nothing done in them but counting: the window's
  // loop sleeps through them when the line is idle.
  int quietTicks();
  DispatcherHooks dispatcherHooks();
  SessionHooks sessionHooks();
  // Runs one step of the start-up: a failure is shown under `title` and the next step goes on.
  void runStep(ErrorAt at, const std::function<void()>& body);
  // Start-up steps.
  void loadSlotChoice();
  void openSavedPort(const std::string& commandLine);
  void setUpMenus();
  void setUpVideoAndSlots();

  // Member order is construction order (pf_, ownBench_ and bench_ first, above): each member
  // is built on the members above it. A reference to one further down (`linkEvents_`'s) is
  // only kept, and a `Links` field or a hook that names one is called only once App stands.
  std::string commandLine_;
  NodeChoices choices_{bench_.prefs()};
  StatusPresenter status_{pf_.dialogs};
  LinkEvents linkEvents_{WindowAreas{.status = status_,
                                     .port = port_,
                                     .menus = menus_,
                                     .logo = logo_,
                                     .video = video_,
                                     .download = download_,
                                     .placement = placement_,
                                     .choices = choices_,
                                     .link = link_}};
  LinkService link_{pf_.port, pf_.loop, linkEvents_};
  Dispatcher dispatcher_{link_, pf_.loop, linkEvents_, dispatcherHooks()};
  NodeSession session_{link_, dispatcher_, pf_.loop, linkEvents_, sessionHooks()};
  PortPresenter port_{link_, dispatcher_, choices_, status_, bench_.prefs()};
  LogoPresenter logo_;
  VideoPresenter video_;
  DownloadPresenter download_;
  PlacementPresenter placement_;
  SchedulePresenter schedule_;
  MenusPresenter menus_;
  DiagPresenter diag_;
  ScanPresenter scan_;
};

}  // namespace osd

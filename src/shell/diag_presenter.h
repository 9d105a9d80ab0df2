// The "Diag" menu: each entry asks its question (when it has one) and runs its command on the
// node; a few do more than send ("Send Logo" downloads, "Retreive Logo" waits for a read-back
// stream, "Show Dialog" shows the reply area, "Read Configuration" starts over).
#pragma once

#include <functional>

#include "link/dispatcher.h"
#include "link/node_session.h"
#include "settings/node_choices.h"
#include "shell/diag_menu.h"
#include "shell/status_presenter.h"

namespace osd {

class DiagPresenter {
 public:
  struct Links {
    std::function<void()> download;           // "Send Logo": the whole download
    std::function<bool()> lineHeld;           // a download or a scan holds the line
    std::function<bool()> replyShown;         // the reply area is shown
    std::function<void(bool)> showReply;      // and shown or hidden
    std::function<void()> readConfiguration;  // the start-up again
    std::function<void()> eraseImage;         // "Factory Reset": the File menu's erase
    std::function<void()> clearSent;          // the last text sent leaves the screen
  };

  DiagPresenter(Dispatcher& dispatcher, NodeSession& session, NodeChoices& choices,
                StatusPresenter& status, Preferences& prefs, Links links);

  // An entry of the menu.
  void run(DiagEntry entry);

 private:
  Dispatcher& dispatcher_;
  NodeSession& session_;
  NodeChoices& choices_;
  StatusPresenter& status_;
  Preferences& prefs_;
  Links links_;
};

}  // namespace osd

#include "shell/diag_presenter.h"

#include <exception>
#include <string>

#include "settings/setting_keys.h"

namespace osd {

DiagPresenter::DiagPresenter(Dispatcher& dispatcher, NodeSession& session, NodeChoices& choices,
                             StatusPresenter& status, Preferences& prefs, Links links)
    : dispatcher_(dispatcher),
      session_(session),
      choices_(choices),
      status_(status),
      prefs_(prefs),
      links_(std::move(links)) {}

void DiagPresenter::run(DiagEntry entry) {
  const DiagRow& row = diagRow(entry);
  try {
    std::string answer;
    if (row.value != DiagValue::None) {
      // An empty answer (or a window closed without Enter) ends the click.
      answer = status_.ask(diagPrompt(row, choices_.model()));
      if (answer.empty()) return;
    }
    const std::string argument =
        diagArgument(row.value, answer, choices_.model(), choices_.colourNode());
    switch (row.extra) {
      case DiagExtra::SendLogo:  // the whole download, not the bare "ALD"
        status_.status("");
        links_.download();
        return;
      case DiagExtra::SleepFirst:
        // One node is woken alone by the wake-up itself; all nodes after a sleep.
        if (argument == "00") dispatcher_.sleepLine();
        break;
      case DiagExtra::ReadBack:
        // A request the dispatcher would refuse must not leave the reception waiting for a
        // stream that never comes (it would swallow the next answers as a read-back).
        if (dispatcher_.refusing()) return;
        status_.status("Waiting for Reply");
        session_.requestReadBack();
        return;
      case DiagExtra::ClearStatusFirst:
        status_.status("");
        break;
      case DiagExtra::ToggleReply: {
        const bool shown = !links_.replyShown();
        prefs_.write(SettingKey::ShowReply, truthText(shown));
        links_.showReply(shown);
        return;
      }
      case DiagExtra::ReadConfiguration:
        // Not in the middle of a download: the port search would close the port under it.
        if (!links_.lineHeld()) links_.readConfiguration();
        return;
      case DiagExtra::None:
      case DiagExtra::ClearLastSent:
        break;
    }
    if (row.command == Command::FactoryReset) {  // asked first, as from the File menu
      links_.eraseImage();
      return;
    }
    dispatcher_.run(row.command, argument);
    // Not while refusing: a refused entry leaves the screen as it was.
    if (row.extra == DiagExtra::ClearLastSent && !dispatcher_.refusing()) links_.clearSent();
  } catch (const std::exception& e) {
    status_.error(e.what(), ErrorAt::DiagEntry);
  }
}

}  // namespace osd

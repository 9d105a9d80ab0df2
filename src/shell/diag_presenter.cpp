#include "shell/diag_presenter.h"

#include <exception>
#include <optional>
#include <string>

#include "link/diag_table.h"
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

void DiagPresenter::run(int index) {
  const std::optional<DiagEntry> entry = diagEntry(index);
  if (!entry) return;
  try {
    std::string answer;
    if (entry->value != DiagValue::None) {
      // An empty answer (or a window closed without Enter) ends the click.
      answer = status_.ask(diagPrompt(*entry, choices_.model()));
      if (answer.empty()) return;
    }
    const std::string argument =
        diagArgument(entry->value, answer, choices_.model(), choices_.colourNode());
    switch (entry->extra) {
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
    dispatcher_.run(entry->command, argument);
    if (entry->extra == DiagExtra::ClearLastSent) dispatcher_.run(Command::ClearLastSent);
  } catch (const std::exception& e) {
    status_.error(e.what(), ErrorAt::DiagEntry);
  }
}

}  // namespace osd

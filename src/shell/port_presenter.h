// Port and node: the Com menu filled from the port search, the port field and its colour,
// the window title, the node field, the node's memory and the reply area (last answer, last
// command sent, their counters) with the clock.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/dispatcher.h"
#include "link/link_service.h"
#include "link/node_session.h"
#include "settings/node_choices.h"
#include "shell/status_presenter.h"
#include "shell/view_state.h"

namespace osd {

constexpr const char* kDesignTitle = "ZI7Dazi Zodororeve (No NodeDetected)";

struct PortEntry {
  int number = 0;      // the port number the entry selects
  std::string device;  // the device the number stands for ("/dev/ttyUSB0")
  bool checked = false;
};

struct PortView {
  std::vector<PortEntry> ports;  // the Com menu below "Search", at most kMenuPorts
  int port = 0;                  // the port field
  Color portColour = kColorDefault;
  std::string title = kDesignTitle;
  std::string nodeLabel = "Node";
  std::string nodeId = "1";        // the node field
  std::string memory = "0 Bytes";  // the node's image memory
  bool replyShown = false;         // the reply area below the window
  std::string answer;
  std::string answerCount = "00000";
  std::string sent;
  std::string sentCount = "00000";
  std::string clock;
};

// The port the command line asks the search to leave out ("SKIPCOM n"): 0 when the word has
// no digit after it, -1 when the word is not there.
int skipPortFrom(const std::string& commandLine);

class PortPresenter : public ViewState<PortView> {
 public:
  static constexpr int kMenuPorts = 12;

  PortPresenter(LinkService& link, Dispatcher& dispatcher, NodeChoices& choices,
                StatusPresenter& status, Preferences& prefs);

  // The Com menu's "Search": the entries are filled again, the check mark stays with the
  // selected port, and the port is opened.
  void searchPorts();
  // A port of the Com menu: the nodes on the old and new port go to sleep, the choice is
  // stored (but not a simulated node's port) and the title says which port is tried.
  void selectPort(int number);
  // Start-up: the port stored last time, checked, selected and opened.
  void openSavedPort();
  // A simulated node started with the program is on `number` for this run only.
  void useSimulatedPort(int number) { simulatedPort_ = number; }

  // The Node menu: "Wake-Up Node" (the node in the node field for a graphics node, else all),
  // "Wake-Up All Nodes" and "Put Node to Sleep"; each sets the operator's wake choice.
  void wakeNode() { dispatcher_.wakeCurrent(); }
  void wakeAllNodes() { dispatcher_.wakeAll(); }
  void sleepNodes() { dispatcher_.sleep(); }
  // "Sigilon Copyright": asks the node for its copyright text, shown as every answer is.
  void askCopyright() { dispatcher_.copyrightQuery(); }

  void setNodeId(const std::string& text);
  void useNode(int id) { setNodeId(std::to_string(id)); }
  void showReply(bool shown) { update()->replyShown = shown; }
  // A model chosen from the menu is named in the title; the node field is then the port's.
  void modelChosen(int model);
  // One main tick: the clock is set every sixth.
  // Reads the time of day (`secondsSinceMidnight`) only on the ticks that set the clock.
  void clockTick(const std::function<double()>& secondsSinceMidnight);
  // Sets the clock now: the schedule's beat, which falls on the second, brings the new second
  // with its blink, in one repaint.
  void showClock(double secondsSinceMidnight);
  // The node search after the start-up has opened the saved port: the status line says what
  // goes on until a node answers or, after 8 s (the wake-up and two size requests), that
  // none did.
  void startSearch();
  void searchTick();
  // How many coming ticks neither show a new second on the clock nor end the search.
  int quietTicks(double secondsSinceMidnight) const;

  // What the link reports, as this area shows it.
  void portState(PortState state);
  void openFailed();
  void sent(const std::string& text, int count);
  void clearSent() { update()->sent.clear(); }
  void clearAnswer() { update()->answer.clear(); }
  void noReply() { update()->answer = "No Reply"; }
  void showAnswer(int replyCount, const std::string& line);
  void nodeSilent() { showTrying(); }
  void nodeAnswered(const std::string& digits, int memorySize);

 private:
  void showTrying();
  void uncheckPorts();
  std::string searchText() const;
  static constexpr int kSearchTicks = 320;

  LinkService& link_;
  Dispatcher& dispatcher_;
  NodeChoices& choices_;
  StatusPresenter& status_;
  Preferences& prefs_;
  int simulatedPort_ = 0;
  int clockCountdown_ = 0;
  int searchTicks_ = 0;
};

}  // namespace osd

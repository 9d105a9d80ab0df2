// What happened on the link, taken to the areas of the window: here the window decides what
// each event shows (which menus a silent node turns off, how long a copyright answer stays on
// the status line, ...).
#pragma once

#include <string>

#include "link/link_listener.h"
#include "settings/node_choices.h"
#include "shell/download_presenter.h"
#include "shell/logo_presenter.h"
#include "shell/menus_presenter.h"
#include "shell/placement_presenter.h"
#include "shell/port_presenter.h"
#include "shell/status_presenter.h"
#include "shell/video_presenter.h"

namespace osd {

struct WindowAreas {
  StatusPresenter& status;
  PortPresenter& port;
  MenusPresenter& menus;
  LogoPresenter& logo;
  VideoPresenter& video;
  DownloadPresenter& download;
  PlacementPresenter& placement;
  NodeChoices& choices;
  LinkService& link;
};

class LinkEvents : public LinkListener {
 public:
  explicit LinkEvents(WindowAreas areas) : a_(areas) {}

  void error(const std::string& message, const std::string& title) override {
    a_.status.error(message, title);
  }
  void status(const std::string& text) override { a_.status.status(text); }
  // The copyright answer stays on the status line for 5 s.
  void copyrightAsked() override { a_.status.keepStatus(kCopyrightAnswerTicks); }
  // The erase wait of a download command counts toward the download's own bar.
  void progressShown(bool visible) override {
    if (!a_.download.barShown()) a_.status.progressShown(visible);
  }
  void progress(double percent) override {
    if (!a_.download.barShown()) a_.status.progress(percent);
  }
  void portState(PortState state) override {
    // A port opened again or lost, a node called again: what it was told last is not known.
    if (state != PortState::DataReceived) a_.placement.forgetSent();
    a_.port.portState(state);
  }
  void openFailed(const std::string& message, const std::string& title) override {
    a_.port.openFailed();
    a_.status.error(message, title);
  }
  // The node's commands wait for a node that answers again.
  void portLost() override { a_.menus.nodeMenusEnabled(false); }
  void awakeChanged(const Awake& awake) override { a_.status.showAwake(awakeText(awake)); }
  // The answer shown is out of date once the next send goes out.
  void aboutToSend() override { a_.port.clearAnswer(); }
  void sent(const std::string& text, int count) override {
    a_.placement.sent(text, a_.link.isOpen());
    a_.port.sent(text, count);
  }
  void settingsValue(int value) override { a_.video.showControl(value); }
  void eraseStarted() override { eraseBusy(true); }
  void eraseDone() override { eraseBusy(false); }
  // The node's commands follow whether a node answers.
  void nodeHeard() override { a_.menus.nodeMenusEnabled(true); }
  void nodeSilent(bool downloading) override {
    a_.menus.nodeMenusEnabled(false);
    if (!downloading) a_.port.nodeSilent();  // the node is being called again
  }
  void answerTaken(int replyCount, const std::string& line) override {
    a_.port.showAnswer(replyCount, line);
  }
  // A graphics node: its title and memory, one logo selected on it, YCbCr, and the menus of
  // a graphics node. Each step reports its own failure and the next one goes on.
  void sizeAnswered(const std::string& digits, int memorySize) override;
  void readBackWaiting(int polls) override;
  void readBackProgress(double percent, size_t length) override;
  void readBack(const std::string& stream) override { a_.logo.savePicture(stream); }

 private:
  static constexpr int kCopyrightAnswerTicks = 200;
  void eraseBusy(bool on) {
    a_.download.eraseStarted(on);
    a_.menus.eraseStarted(on);
  }
  WindowAreas a_;
};

}  // namespace osd

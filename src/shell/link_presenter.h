// The main window's side of the serial link: turns what the link components report into the
// window's controls (port field colour, reply and send labels, node menus, title, progress).
#pragma once

#include <string>

#include "link/link_listener.h"

namespace osd {

class App;

class LinkPresenter : public LinkListener {
 public:
  explicit LinkPresenter(App& app) : app_(app) {}

  void error(const std::string& message, const std::string& title) override;
  void status(const std::string& text) override;
  void statusHold(int ticks) override;
  void progressShown(bool visible) override;
  void progress(double percent) override;
  void portState(PortState state) override;
  void openFailed(const std::string& message, const std::string& title) override;
  void sent(const std::string& text, int count) override;
  void lastSentCleared() override;
  void answerCleared() override;
  void settingsValue(int value) override;
  void eraseStarted() override;
  void nodeMenusEnabled(bool enabled) override;
  void nodeSilent() override;
  void answerShown(int replyCount, const std::string& shown) override;
  void sizeAnswered(const std::string& digits, int memorySize) override;
  void eraseDone() override;
  void readBackWaiting(int polls) override;
  void readBackProgress(double percent, size_t length) override;
  void readBack(const std::string& stream) override;

 private:
  App& app_;
};

}  // namespace osd

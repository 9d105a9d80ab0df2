#include "shell/link_events.h"

#include <exception>
#include <functional>

namespace osd {

void LinkEvents::sizeAnswered(const std::string& digits, int memorySize) {
  const auto step = [this](const std::function<void()>& body) {
    try {
      body();
    } catch (const std::exception& e) {
      a_.status.error(std::string(e.what()) + ": 3", ErrorAt::ProcessData);
    }
  };
  step([&] { a_.port.nodeAnswered(digits, memorySize); });
  step([&] { a_.choices.setModel(1); });
  step([&] { a_.logo.graphicsNode(); });
  step([&] { a_.video.chooseFormat(PixelFormat::YCbCr); });
  step([&] {
    a_.menus.graphicsNode();
    a_.logo.hideOptions(2, 4);
    a_.logo.showSlotOptions();  // the one logo a graphics node offers stays choosable
  });
}

void LinkEvents::readBackWaiting(int polls) {
  a_.status.progressShown(polls > 1);
  a_.status.status(polls > 1 ? "Waiting for Reply " + std::to_string(polls) : "");
}

void LinkEvents::readBackProgress(double percent, size_t length) {
  a_.status.progress(percent);
  if (length > 10) a_.status.status("Reading Data " + std::to_string(length));
}

}  // namespace osd

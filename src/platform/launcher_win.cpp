// The outside programs the window starts, on Windows.
#include "platform/seams.h"

namespace osd {

std::vector<std::string> Launcher::paintPrograms() const {
  return {"C:\\winnt\\System32\\mspaint.exe", "C:\\windows\\System32\\mspaint.exe",
          "C:\\Windows\\Pbrush.exe"};
}

std::vector<std::vector<std::string>> Launcher::textEditors() const {
  return {{"Notepad.exe"}};
}

}  // namespace osd

// The machine osdctl runs on: the serial port and its numbers, the event loop, the dialogs
// that answer on their own, the program's folder. Where Qt is built they are Qt's
// (ctl_seams_qt.cpp); elsewhere the standard library's loop and the operating system's port
// (ctl_seams_std.cpp), so the link commands need no Qt.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/seams.h"

namespace osd::ctl {

class HostSeams {
 public:
  virtual ~HostSeams() = default;
  virtual SerialPort& port() = 0;
  virtual EventLoop& loop() = 0;
  virtual Dialogs& dialogs() = 0;
  virtual Launcher& launcher() = 0;
  // The port number for what was typed after --port (a number 1-255 or a device); 0 when it
  // is neither or no number is free for the device.
  virtual int resolvePort(const std::string& typed) = 0;
  // Why the last open of the port failed; "" when it did not or nobody said.
  virtual std::string openFailure() const = 0;
  // Whether it failed because another program holds the port (kErrPortInUse).
  virtual bool openFailureInUse() const = 0;
  // The folder of the running program.
  virtual std::string programDir() const = 0;
  // Runs `tick` every `periodMs` while the loop runs, until stopTicker() (one ticker at a time).
  virtual void startTicker(int periodMs, std::function<void()> tick) = 0;
  virtual void stopTicker() = 0;
  // The settings an earlier installation kept in the registry (Windows) for `section` of `appKey`;
  // none where there is no such store.
  virtual std::map<std::string, std::string> machineSettings(const std::string& appKey,
                                                             const std::string& section) {
    (void)appKey;
    (void)section;
    return {};
  }
};

// The seams of this build, with the port map of --port-map and OSDPROG_PORT_MAP. Throws
// std::invalid_argument with a one-line reason when a map is malformed.
std::unique_ptr<HostSeams> makeHostSeams(const std::string& portMap);

// One port of the machine as `osdctl ports` lists it.
struct PortListing {
  int number = 0;
  std::string device;
  bool mapped = false;  // named by the port map rather than found
};

// The machine's ports with the map's entries, in rising number. Throws std::invalid_argument
// with a one-line reason when a map is malformed.
std::vector<PortListing> listPorts(const std::string& portMap);

}  // namespace osd::ctl

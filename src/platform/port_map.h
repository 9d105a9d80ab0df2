// Port numbers 1-255 and the serial devices they stand for.
//
// Explicit entries come from --port-map and the environment variable OSDPROG_PORT_MAP
// ("N=DEVICE[,N=DEVICE...]"; an entry of the command line wins over the same number in the
// environment). Numbers that are not mapped explicitly get the machine's serial devices in a
// stable order (docs/ports.md): first the links under /dev/serial/by-id sorted by name, so a
// USB adapter keeps its number when it is plugged into another socket, then the remaining
// ttyUSB, ttyACM and ttyS devices, each kind in numeric order.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace osd::qt {

class PortMap {
 public:
  static constexpr int kMaxNumber = 255;
  static constexpr const char* kEnvironmentVariable = "OSDPROG_PORT_MAP";

  // An empty map: nothing explicit, no automatic devices.
  PortMap() = default;

  // The map the programs use: environment, then command line (`commandLineMap` may be empty),
  // then the automatic devices for the numbers left free. Throws std::invalid_argument with a
  // one-line reason when a map text is malformed.
  static PortMap fromSources(const std::string& commandLineMap);

  // Adds the explicit entries of a map text, replacing earlier entries for the same numbers.
  // Returns false and sets `error` (nothing added) when the text is malformed or gives one
  // number twice or one device two numbers (the error names both entries).
  bool addMapText(const std::string& text, std::string& error);
  // Maps `number` explicitly (replacing an automatic entry for that number or that device).
  void set(int number, const std::string& device);
  // Fills the numbers that are still free with `devices`, in order, skipping devices that are
  // already mapped.
  void addAutomatic(const std::vector<std::string>& devices);

  // The device of `number`, "" when the number is not mapped.
  std::string device(int number) const;
  // The number of `device` (compared as given and after resolving links), 0 when unmapped.
  int numberOf(const std::string& device) const;
  // Makes a device path usable as a port: its number if it is mapped, else it is mapped to the
  // lowest free number. 0 when no number is free.
  int useDevice(const std::string& device);
  // Resolves what the operator typed for a port: a number 1-255 or a device path. 0 when it is
  // neither (or no number is free for the path).
  int resolve(const std::string& numberOrPath);

  // Every mapped number with its device, in rising order.
  const std::map<int, std::string>& entries() const { return entries_; }
  bool isExplicit(int number) const;

  // The machine's serial devices in the automatic order, scanned from `devRoot` ("/dev").
  static std::vector<std::string> scanDevices(const std::string& devRoot = "/dev");

 private:
  std::map<int, std::string> entries_;
  std::map<int, bool> explicit_;
};

}  // namespace osd::qt

// The serial port seam on Win32: \\.\COMn (any n from 1 to 255), 9600 baud, 8 data bits, no
// parity, 1 stop bit, no flow control. Explicit entries of the port map (--port-map,
// OSDPROG_PORT_MAP) name other devices; every other number n is COMn.
//
// The device is opened for overlapped I/O and polled: poll() (the event loop calls it every
// kPollMs) takes what was received into the port's buffer and hands the next written bytes to
// the driver. Event waits are not used: some serial drivers (Wine's on a pseudo-terminal) do
// not report them. Events: 2 when new bytes came and 11 or more wait; 1010, once, when the
// device went away while open, after which the port is closed. DTR/RTS that a device cannot
// set are not a failure.
#pragma once

#include <cstdint>
#include <string>

#include "platform/port_map.h"
#include "platform/seams.h"

namespace osd::win {

class WinSerialPort : public SerialPort {
 public:
  static constexpr int kReceiveThreshold = 11;
  static constexpr int kPollMs = 5;
  // The most the port holds of received bytes nobody has read yet (68 s of the line); beyond it
  // they wait in the driver.
  static constexpr size_t kReadBufferLimit = 64 * 1024;

  explicit WinSerialPort(qt::PortMap map);
  ~WinSerialPort() override;
  WinSerialPort(const WinSerialPort&) = delete;
  WinSerialPort& operator=(const WinSerialPort&) = delete;

  bool open(int number, PortOpenError& error) override;
  void close() override;
  bool isOpen() const override;
  void setModemLines(bool dtr, bool rts) override;
  void write(const std::string& bytes) override;
  int64_t bytesToWrite() const override;
  // bytesToWrite() and what the driver still holds in its output queue.
  int64_t heldBytes() const override;
  int64_t bytesAvailable() const override;
  std::string read(int64_t maxBytes) override;
  void purge() override;
  void setReadTimeouts(uint32_t interval, uint32_t multiplier, uint32_t constant) override;
  std::string deviceName(int number) const override;

  // Moves bytes between the device and the port's buffers and raises the events.
  void poll();

  qt::PortMap& map() { return map_; }
  const PortOpenError& lastOpenError() const { return lastError_; }

  // The port number for what the operator typed: "7", "COM7" or "\\.\COM7" (any case) are 7;
  // another device name is mapped to a free number. 0 when there is none.
  int resolve(const std::string& typed);
  // The name CreateFile opens: "COM12" -> "\\.\COM12"; a name with that prefix as it is.
  static std::string win32Name(const std::string& device);
  // n for "COMn" or "\\.\COMn" (1-255, any case), else 0.
  static int comNumber(const std::string& device);

 private:
  bool pumpWrites();  // false when the device failed
  void lose();
  void finishWrite(bool cancel);

  qt::PortMap map_;
  void* handle_ = nullptr;  // HANDLE; null when closed
  void* readEvent_ = nullptr;
  void* writeEvent_ = nullptr;
  struct Overlapped;
  Overlapped* writeIo_ = nullptr;
  int number_ = 0;
  std::string device_;
  PortOpenError lastError_;
  std::string in_;        // received, not yet read
  std::string out_;       // written, not yet handed to the driver
  std::string inflight_;  // handed to the driver, write not yet complete
  bool writing_ = false;
  bool lost_ = false;  // the device went away; the loss is reported on the next poll
  bool inReceive_ = false;
  uint32_t timeouts_[3] = {0, 0, 0};
};

}  // namespace osd::win

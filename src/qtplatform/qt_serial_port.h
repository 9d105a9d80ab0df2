// The serial port seam on QSerialPort: 9600 baud, 8 data bits, no parity, 1 stop bit, no flow
// control. Port numbers are turned into devices by a PortMap.
//
// Events: 2 when 11 or more received bytes wait (shorter answers are picked up by the
// reception's polling on the tick); 1010, once, when the device went away while open, after
// which the port is closed. A transient "resource temporarily unavailable" is not a loss, and
// DTR/RTS that a device cannot set (pseudo-terminals) are not a failure.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <cstdint>
#include <string>

#include "platform/port_map.h"
#include "platform/seams.h"

namespace osd::qt {

class QtSerialPort : public QObject, public SerialPort {
  Q_OBJECT

 public:
  static constexpr int kReceiveThreshold = 11;  // event 2 from this many waiting bytes
  // Error number of an open that the operating system refused for lack of access rights.
  static constexpr int kErrPermission = 13;

  explicit QtSerialPort(PortMap map, QObject* parent = nullptr);
  ~QtSerialPort() override;

  bool open(int number, PortOpenError& error) override;
  void close() override;
  bool isOpen() const override;
  void setModemLines(bool dtr, bool rts) override;
  void write(const std::string& bytes) override;
  int64_t bytesToWrite() const override;
  // pendingOutput(): the port's count and the driver's queue.
  int64_t heldBytes() const override { return pendingOutput(); }
  int64_t bytesAvailable() const override;
  std::string read(int64_t maxBytes) override;
  void purge() override;
  void setReadTimeouts(uint32_t interval, uint32_t multiplier, uint32_t constant) override;
  std::string deviceName(int number) const override;

  PortMap& map() { return map_; }
  // The last open failure.
  const PortOpenError& lastOpenError() const { return lastError_; }
  // Bytes written by this program that the driver still holds (not yet on the line);
  // includes bytesToWrite(). 0 when closed.
  int64_t pendingOutput() const;

 private:
  void onReadyRead();
  void onError(QSerialPort::SerialPortError error);
  bool deviceLost() const;
  void reportLoss();

  PortMap map_;
  QSerialPort port_;
  int number_ = 0;
  std::string device_;
  PortOpenError lastError_;
  bool lost_ = false;           // the device went away; the loss is being reported
  bool inReceive_ = false;      // event 2 is being handled
  bool resumePending_ = false;  // reception resumes shortly after a transient error
  int burstCount_ = 0;          // errors within the current burst window
  int64_t burstStartMs_ = 0;    // start of that window (monotonic ms)
};

}  // namespace osd::qt

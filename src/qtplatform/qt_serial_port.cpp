#include "qtplatform/qt_serial_port.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QMetaObject>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <exception>

namespace osd::qt {

namespace {

// A burst of this many errors within kBurstWindowMs means the device is unusable even when
// the operating system does not say so plainly.
constexpr int kBurstLimit = 100;
constexpr int64_t kBurstWindowMs = 200;
// After a transient error, reception resumes this much later.
constexpr int kResumeDelayMs = 5;
// The most the port library holds of received bytes that nobody has read yet (68 s of a
// 9600-baud line). Beyond it the bytes wait in the terminal driver, which holds them back from
// the sender, so a node that babbles cannot make the program grow.
constexpr qint64 kReadBufferLimit = 64 * 1024;

int64_t monotonicMs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Open errors that are neither "no such port" nor "in use" carry the port library's error
// code above this base.
constexpr int kOtherErrorBase = 8100;

}  // namespace

QtSerialPort::QtSerialPort(PortMap map, QObject* parent) : QObject(parent), map_(std::move(map)) {
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialPort::onReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

QtSerialPort::~QtSerialPort() {
  onEvent = nullptr;
  port_.disconnect(this);
  if (port_.isOpen()) port_.close();
}

bool QtSerialPort::open(int number, PortOpenError& error) {
  lastError_ = {};
  if (port_.isOpen()) {
    if (!lost_) {
      error = {kErrPortInUse, "The port is already open."};
      lastError_ = error;
      return false;
    }
    close();  // the old device went away; start afresh
  }
  const std::string device = map_.device(number);
  auto fail = [&](int code, const std::string& text) {
    error = {code, text};
    lastError_ = error;
    return false;
  };
  if (device.empty()) {
    return fail(kErrNoSuchPort, "No serial device is mapped to port " + std::to_string(number) +
                                    " (see --port-map).");
  }
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      return fail(kErrNoSuchPort, "No such device: " + device);
    return fail(kErrPermission, device + ": " + std::strerror(errno));
  }
  if (::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
    return fail(kErrPermission, "Permission denied: " + device +
                                    ". You need read and write access to this device (on most "
                                    "systems: membership of the dialout group).");
  }

  port_.setPortName(QString::fromStdString(device));
  port_.setBaudRate(QSerialPort::Baud9600);
  port_.setDataBits(QSerialPort::Data8);
  port_.setParity(QSerialPort::NoParity);
  port_.setStopBits(QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  port_.setReadBufferSize(kReadBufferLimit);
  port_.clearError();
  if (!port_.open(QIODevice::ReadWrite)) {
    const QSerialPort::SerialPortError e = port_.error();
    const std::string why = device + ": " + port_.errorString().toStdString();
    port_.clearError();
    if (port_.isOpen()) port_.close();
    switch (e) {
      case QSerialPort::DeviceNotFoundError:
        return fail(kErrNoSuchPort, why);
      case QSerialPort::PermissionError:  // held by another program (lock or exclusive use)
      case QSerialPort::OpenError:
        return fail(kErrPortInUse, why);
      default:
        return fail(kOtherErrorBase + static_cast<int>(e), why);
    }
  }
  // Some settings only take effect on an open device; refusals of single settings by
  // pseudo-terminals are harmless.
  port_.setBaudRate(QSerialPort::Baud9600);
  port_.setDataBits(QSerialPort::Data8);
  port_.setParity(QSerialPort::NoParity);
  port_.setStopBits(QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  port_.clearError();
  number_ = number;
  device_ = device;
  lost_ = false;
  burstCount_ = 0;
  burstStartMs_ = monotonicMs();
  return true;
}

void QtSerialPort::close() {
  lost_ = false;
  if (port_.isOpen()) port_.close();
  port_.clearError();
  number_ = 0;
}

bool QtSerialPort::isOpen() const {
  return port_.isOpen() && !lost_;
}

void QtSerialPort::setModemLines(bool dtr, bool rts) {
  if (!isOpen()) return;
  // Pseudo-terminals and some adapters have no modem lines; a refusal is not a failure.
  port_.setDataTerminalReady(dtr);
  port_.setRequestToSend(rts);
  port_.clearError();
}

void QtSerialPort::write(const std::string& bytes) {
  if (!isOpen()) throw Failure("The serial port is not open.");
  if (bytes.empty()) return;
  const qint64 n = port_.write(bytes.data(), static_cast<qint64>(bytes.size()));
  if (n != static_cast<qint64>(bytes.size())) {
    const std::string why = port_.errorString().toStdString();
    port_.clearError();
    throw Failure("Writing to " + device_ + " failed: " + why);
  }
}

int64_t QtSerialPort::bytesToWrite() const {
  return isOpen() ? port_.bytesToWrite() : 0;
}

int64_t QtSerialPort::bytesAvailable() const {
  return isOpen() ? port_.bytesAvailable() : 0;
}

std::string QtSerialPort::read(int64_t maxBytes) {
  if (!isOpen()) throw Failure("The serial port is not open.");
  if (maxBytes <= 0) return {};
  const QByteArray data = port_.read(maxBytes);
  return std::string(data.constData(), static_cast<size_t>(data.size()));
}

void QtSerialPort::purge() {
  if (port_.isOpen()) port_.clear(QSerialPort::AllDirections);
  port_.clearError();
}

void QtSerialPort::setReadTimeouts(uint32_t, uint32_t, uint32_t) {
  // Reads are event driven here and never block: there is no time-out to set.
}

std::string QtSerialPort::deviceName(int number) const {
  return map_.device(number);
}

int64_t QtSerialPort::pendingOutput() const {
  if (!isOpen()) return 0;
  int64_t pending = port_.bytesToWrite();
  int queued = 0;
  const int fd = static_cast<int>(port_.handle());
  if (fd >= 0 && ::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0) pending += queued;
  return pending;
}

void QtSerialPort::onReadyRead() {
  if (lost_ || inReceive_ || !onEvent) return;
  if (port_.bytesAvailable() < kReceiveThreshold) return;
  inReceive_ = true;
  try {
    onEvent(kEvReceive);
  } catch (...) {
    // The receiver reports its own failures; nothing may escape into the event loop.
  }
  inReceive_ = false;
}

bool QtSerialPort::deviceLost() const {
  const int fd = static_cast<int>(port_.handle());
  if (fd < 0) return true;
  pollfd p{fd, POLLIN | POLLOUT, 0};
  if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return true;
  struct stat st {};
  if (!device_.empty() && ::stat(device_.c_str(), &st) != 0 && errno == ENOENT) return true;
  return false;
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
  if (error == QSerialPort::NoError) return;
  // Failures while opening are handled by open() itself.
  if (!port_.isOpen()) return;
  if (lost_) return;  // the loss is already being reported
  switch (error) {
    case QSerialPort::UnsupportedOperationError:  // e.g. DTR/RTS on a pseudo-terminal
    case QSerialPort::TimeoutError:
      port_.clearError();
      return;
    default:
      break;
  }
  const int64_t now = monotonicMs();
  if (now - burstStartMs_ > kBurstWindowMs) {
    burstStartMs_ = now;
    burstCount_ = 0;
  }
  ++burstCount_;
  if (deviceLost() || burstCount_ >= kBurstLimit) {
    reportLoss();
    return;
  }
  // Transient ("resource temporarily unavailable"): the port stays in use. The port library
  // stops watching for input after such an error; a read asks it to watch again. Done a
  // moment later, so that a device that keeps failing cannot keep the loop busy.
  port_.clearError();
  if (error == QSerialPort::ResourceError && !resumePending_) {
    resumePending_ = true;
    QTimer::singleShot(kResumeDelayMs, this, [this] {
      resumePending_ = false;
      if (isOpen()) port_.peek(port_.bytesAvailable() + 1);
    });
  }
}

void QtSerialPort::reportLoss() {
  lost_ = true;
  port_.clearError();
  // Closing from inside the port's own notification is unsafe; do it from the event loop.
  // Until then the port counts as closed and further errors are ignored.
  const int number = number_;
  QMetaObject::invokeMethod(
      this,
      [this, number] {
        if (!lost_ || number_ != number) return;
        try {
          if (onEvent) onEvent(kEvTxFull);
        } catch (...) {
        }
        if (lost_ && port_.isOpen()) {
          port_.close();
          port_.clearError();
        }
        lost_ = false;
        number_ = 0;
      },
      Qt::QueuedConnection);
}

}  // namespace osd::qt

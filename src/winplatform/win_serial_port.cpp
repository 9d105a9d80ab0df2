#include "winplatform/win_serial_port.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

#include "platform/win_text.h"

namespace osd::win {

struct WinSerialPort::Overlapped {
  OVERLAPPED ov{};
};

namespace {

// Bytes handed to the driver in one write.
constexpr size_t kWriteChunk = 4096;
// Bytes taken from the driver in one read.
constexpr DWORD kReadChunk = 4096;
// How long a read that the driver did not finish at once may take (reads return what is
// there, so this bounds a misbehaving driver only).
constexpr DWORD kReadWaitMs = 50;

HANDLE h(void* p) {
  return static_cast<HANDLE>(p);
}

// 9600 8N1 without flow control, reads that return at once with what has arrived, writes
// without a time limit (they are overlapped and never hold the program up). 0, or the error.
DWORD configure(HANDLE port) {
  ::SetupComm(port, 4096, 4096);  // a driver that keeps its own sizes is fine too
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  ::GetCommState(port, &dcb);
  dcb.BaudRate = CBR_9600;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fAbortOnError = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  if (!::SetCommState(port, &dcb)) {
    // A device without modem lines may refuse them; the line settings are what matters.
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    if (!::SetCommState(port, &dcb)) return ::GetLastError();
  }
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = MAXDWORD;
  if (!::SetCommTimeouts(port, &t)) return ::GetLastError();
  return 0;
}

}  // namespace

WinSerialPort::WinSerialPort(qt::PortMap map) : map_(std::move(map)), writeIo_(new Overlapped) {}

WinSerialPort::~WinSerialPort() {
  onEvent = nullptr;
  close();
  delete writeIo_;
}

int WinSerialPort::comNumber(const std::string& device) {
  std::string name = device;
  if (name.rfind("\\\\.\\", 0) == 0) name = name.substr(4);
  if (name.size() < 4 || name.size() > 6) return 0;
  for (size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
  }
  const std::string digits = name.substr(3);
  if (digits[0] == '0' || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  const int n = std::stoi(digits);
  return n >= 1 && n <= qt::PortMap::kMaxNumber ? n : 0;
}

std::string WinSerialPort::win32Name(const std::string& device) {
  return device.rfind("\\\\.\\", 0) == 0 ? device : "\\\\.\\" + device;
}

int WinSerialPort::resolve(const std::string& typed) {
  if (const int n = comNumber(typed)) return n;
  return map_.resolve(typed);
}

std::string WinSerialPort::deviceName(int number) const {
  if (number < 1 || number > qt::PortMap::kMaxNumber) return "";
  const std::string mapped = map_.device(number);
  return mapped.empty() ? "COM" + std::to_string(number) : mapped;
}

bool WinSerialPort::open(int number, PortOpenError& error) {
  lastError_ = {};
  auto fail = [&](int code, const std::string& text) {
    error = {code, text};
    lastError_ = error;
    return false;
  };
  if (handle_) {
    if (!lost_) return fail(kErrPortInUse, "The port is already open.");
    close();  // the old device went away; start afresh
  }
  const std::string device = deviceName(number);
  if (device.empty()) return fail(kErrNoSuchPort, "No such port: " + std::to_string(number));
  HANDLE port = ::CreateFileW(widen(win32Name(device)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    switch (code) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
      case ERROR_INVALID_NAME:
      case ERROR_BAD_UNIT:
        return fail(kErrNoSuchPort, "No such device: " + device);
      case ERROR_ACCESS_DENIED:
      case ERROR_SHARING_VIOLATION:
      case ERROR_BUSY:
        return fail(kErrPortInUse, device + ": the port is in use by another program");
      default:
        return fail(static_cast<int>(code), device + ": " + systemMessage(code));
    }
  }
  if (const DWORD code = configure(port)) {
    ::CloseHandle(port);
    return fail(static_cast<int>(code),
                device + ": the line cannot be set to 9600 8N1: " + systemMessage(code));
  }
  readEvent_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  writeEvent_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  handle_ = port;
  number_ = number;
  device_ = device;
  lost_ = false;
  writing_ = false;
  in_.clear();
  out_.clear();
  inflight_.clear();
  return true;
}

void WinSerialPort::finishWrite(bool cancel) {
  if (!writing_) return;
  if (cancel) ::CancelIoEx(h(handle_), &writeIo_->ov);
  DWORD n = 0;
  ::GetOverlappedResult(h(handle_), &writeIo_->ov, &n, TRUE);
  writing_ = false;
  inflight_.clear();
}

void WinSerialPort::close() {
  if (handle_) {
    finishWrite(true);
    ::CloseHandle(h(handle_));
  }
  if (readEvent_) ::CloseHandle(h(readEvent_));
  if (writeEvent_) ::CloseHandle(h(writeEvent_));
  handle_ = readEvent_ = writeEvent_ = nullptr;
  lost_ = false;
  number_ = 0;
  in_.clear();
  out_.clear();
}

bool WinSerialPort::isOpen() const {
  return handle_ != nullptr && !lost_;
}

void WinSerialPort::setModemLines(bool dtr, bool rts) {
  if (!isOpen()) return;
  // Devices without modem lines refuse; that is not a failure.
  ::EscapeCommFunction(h(handle_), dtr ? SETDTR : CLRDTR);
  ::EscapeCommFunction(h(handle_), rts ? SETRTS : CLRRTS);
}

void WinSerialPort::write(const std::string& bytes) {
  if (!isOpen()) throw Failure("The serial port is not open.");
  if (bytes.empty()) return;
  out_ += bytes;
  pumpWrites();  // a failure shows as the loss on the next poll
}

bool WinSerialPort::pumpWrites() {
  if (!handle_ || lost_) return false;
  for (int round = 0; round < 8; ++round) {
    if (writing_) {
      DWORD n = 0;
      if (::GetOverlappedResult(h(handle_), &writeIo_->ov, &n, FALSE)) {
        writing_ = false;
        if (n < inflight_.size()) out_.insert(0, inflight_.substr(n));
        inflight_.clear();
      } else if (::GetLastError() == ERROR_IO_INCOMPLETE) {
        return true;  // the driver is still sending
      } else if (::GetLastError() == ERROR_OPERATION_ABORTED) {
        writing_ = false;  // purged
        inflight_.clear();
      } else {
        lose();
        return false;
      }
    }
    if (out_.empty()) return true;
    inflight_ = out_.substr(0, std::min(out_.size(), kWriteChunk));
    out_.erase(0, inflight_.size());
    writeIo_->ov = OVERLAPPED{};
    writeIo_->ov.hEvent = h(writeEvent_);
    DWORD n = 0;
    if (::WriteFile(h(handle_), inflight_.data(), static_cast<DWORD>(inflight_.size()), &n,
                    &writeIo_->ov)) {
      if (n < inflight_.size()) out_.insert(0, inflight_.substr(n));
      inflight_.clear();
      continue;  // done at once: hand over the next bytes
    }
    if (::GetLastError() != ERROR_IO_PENDING) {
      inflight_.clear();
      lose();
      return false;
    }
    writing_ = true;
  }
  return true;
}

int64_t WinSerialPort::bytesToWrite() const {
  if (!isOpen()) return 0;
  return static_cast<int64_t>(out_.size() + (writing_ ? inflight_.size() : 0));
}

int64_t WinSerialPort::heldBytes() const {
  if (!isOpen()) return 0;
  DWORD errors = 0;
  COMSTAT status{};
  int64_t queued = 0;
  if (::ClearCommError(h(handle_), &errors, &status)) queued = status.cbOutQue;
  // A write the driver has not finished is part of its queue on a real port; a driver that
  // takes the bytes into a buffer at once reports them in the queue alone.
  const int64_t driver = std::max<int64_t>(queued, writing_ ? inflight_.size() : 0);
  return static_cast<int64_t>(out_.size()) + driver;
}

int64_t WinSerialPort::bytesAvailable() const {
  return isOpen() ? static_cast<int64_t>(in_.size()) : 0;
}

std::string WinSerialPort::read(int64_t maxBytes) {
  if (!isOpen()) throw Failure("The serial port is not open.");
  if (maxBytes <= 0) return {};
  const size_t n = std::min(in_.size(), static_cast<size_t>(maxBytes));
  std::string out = in_.substr(0, n);
  in_.erase(0, n);
  return out;
}

void WinSerialPort::purge() {
  if (!handle_) return;
  ::PurgeComm(h(handle_), PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
  finishWrite(true);
  in_.clear();
  out_.clear();
}

void WinSerialPort::setReadTimeouts(uint32_t interval, uint32_t multiplier, uint32_t constant) {
  // Reads are polled and never block here; the values are kept for the record.
  timeouts_[0] = interval;
  timeouts_[1] = multiplier;
  timeouts_[2] = constant;
}

void WinSerialPort::lose() {
  lost_ = true;
}

void WinSerialPort::poll() {
  if (!handle_) return;
  if (lost_) {
    // Reported from the loop, never from inside a write: the receiver may close the port.
    try {
      if (onEvent) onEvent(kEvTxFull);
    } catch (...) {
    }
    if (lost_) close();
    return;
  }
  DWORD errors = 0;
  COMSTAT status{};
  if (!::ClearCommError(h(handle_), &errors, &status)) {
    lose();
    return;
  }
  bool received = false;
  if (in_.size() < kReadBufferLimit) {
    char buffer[kReadChunk];
    const DWORD want =
        static_cast<DWORD>(std::min<size_t>(kReadChunk, kReadBufferLimit - in_.size()));
    OVERLAPPED ov{};
    ov.hEvent = h(readEvent_);
    ::ResetEvent(ov.hEvent);
    DWORD got = 0;
    bool ok = ::ReadFile(h(handle_), buffer, want, &got, &ov);
    if (!ok && ::GetLastError() == ERROR_IO_PENDING) {
      if (::WaitForSingleObject(ov.hEvent, kReadWaitMs) != WAIT_OBJECT_0) {
        ::CancelIoEx(h(handle_), &ov);
      }
      ok = ::GetOverlappedResult(h(handle_), &ov, &got, TRUE) ||
           ::GetLastError() == ERROR_OPERATION_ABORTED;
    }
    if (!ok) {
      lose();
      return;
    }
    if (got > 0) {
      in_.append(buffer, got);
      received = true;
    }
  }
  if (!pumpWrites()) return;
  if (received && !inReceive_ && onEvent && in_.size() >= kReceiveThreshold) {
    inReceive_ = true;
    try {
      onEvent(kEvReceive);
    } catch (...) {
      // The receiver reports its own failures; nothing may escape into the loop.
    }
    inReceive_ = false;
  }
}

}  // namespace osd::win

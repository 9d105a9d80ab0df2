// osdctl's seams on Qt: QSerialPort through the port map, Qt's event loop and timers.
#include <QCoreApplication>
#include <QTimer>

#include "ctl/ctl_seams.h"
#include "platform/port_map.h"
#include "qtplatform/headless.h"
#include "qtplatform/qt_event_loop.h"
#include "qtplatform/qt_serial_port.h"

namespace osd::ctl {

namespace {

int gArgc = 1;
char gProgramName[] = "osdctl";
char* gArgv[] = {gProgramName, nullptr};

class QtSeams : public HostSeams {
 public:
  explicit QtSeams(const std::string& portMap) {
    if (!QCoreApplication::instance()) {
      ownApp_ = std::make_unique<QCoreApplication>(gArgc, gArgv);
    }
    port_ = std::make_unique<qt::QtSerialPort>(qt::PortMap::fromSources(portMap));
    loop_ = std::make_unique<qt::QtEventLoop>();
  }

  SerialPort& port() override { return *port_; }
  EventLoop& loop() override { return *loop_; }
  Dialogs& dialogs() override { return dialogs_; }
  Launcher& launcher() override { return launcher_; }
  int resolvePort(const std::string& typed) override { return port_->map().resolve(typed); }
  std::string openFailure() const override { return port_->lastOpenError().description; }
  bool openFailureInUse() const override { return port_->lastOpenError().number == kErrPortInUse; }
  std::string programDir() const override {
    return QCoreApplication::applicationDirPath().toStdString();
  }
  void startTicker(int periodMs, std::function<void()> tick) override {
    ticker_ = std::make_unique<QTimer>();
    ticker_->setInterval(periodMs);
    QObject::connect(ticker_.get(), &QTimer::timeout, std::move(tick));
    ticker_->start();
  }
  void stopTicker() override { ticker_.reset(); }

 private:
  std::unique_ptr<QCoreApplication> ownApp_;  // when no application object exists yet
  std::unique_ptr<qt::QtSerialPort> port_;
  std::unique_ptr<qt::QtEventLoop> loop_;
  std::unique_ptr<QTimer> ticker_;
  qt::HeadlessDialogs dialogs_;
  qt::QtLauncher launcher_;
};

}  // namespace

std::unique_ptr<HostSeams> makeHostSeams(const std::string& portMap) {
  return std::make_unique<QtSeams>(portMap);
}

std::vector<PortListing> listPorts(const std::string& portMap) {
  const qt::PortMap map = qt::PortMap::fromSources(portMap);
  std::vector<PortListing> out;
  for (const auto& [number, device] : map.entries()) {
    out.push_back({number, device, map.isExplicit(number)});
  }
  return out;
}

}  // namespace osd::ctl

// osdsim itself: its first line, its exit on signals, the picture written when stopped.
#include <gtest/gtest.h>
#include <signal.h>

#include <QSerialPort>

#include "e2e_support.h"

using namespace osd::e2e;

namespace {

// Writes `bytes` to the terminal at `path` and collects `want` bytes of answer.
std::string talk(const std::string& path, const std::string& bytes, int want) {
  QSerialPort port;
  port.setPortName(QString::fromStdString(path));
  if (!port.open(QIODevice::ReadWrite)) return "cannot open " + path;
  port.write(bytes.data(), static_cast<qint64>(bytes.size()));
  port.waitForBytesWritten(2000);
  QByteArray got;
  waitFor([&] { return (got += port.readAll()).size() >= want; }, want > 0 ? 30000 : 200);
  return got.toStdString();
}

// Stops osdsim with `sig`; its exit status, -1 when it did not end in time.
int stop(Sim& sim, int sig) {
  ::kill(static_cast<pid_t>(sim.pid()), sig);
  if (!sim.process().waitForFinished(5000)) return -1;
  return sim.process().exitStatus() == QProcess::NormalExit ? sim.process().exitCode() : -1;
}

}  // namespace

TEST(OsdsimProgram, FirstLineIsTheTerminalAndSignalsEndItCleanly) {
  for (int sig : {SIGTERM, SIGINT}) {
    Sim sim({"--memory", "512", "--id", "26", "--baud", "0"});
    ASSERT_EQ(sim.pty().rfind("/dev/", 0), 0u) << sim.pty();
    EXPECT_EQ(talk(sim.pty(), "WK,1AQXS", 8), "QX512K\r\n");
    EXPECT_EQ(stop(sim, sig), 0) << "signal " << sig;
  }
}

TEST(OsdsimProgram, StoppedMidDownloadItStillWritesWhatItReceived) {
  TempDir t;
  const std::string image = t.path + "/got.bmp", record = t.path + "/rec.bin";
  Sim sim({"--baud", "0", "--image-out", image, "--format", "rgb", "--record", record});
  std::string setup(256, '\0');
  setup[8] = 1;   // 4 pixels wide
  setup[10] = 1;  // 2 lines
  const std::string sent = "WK,00QXW" + setup + std::string(4, static_cast<char>(128 + 3));
  talk(sim.pty(), sent, 0);
  // Stopped only once the node has taken every byte, however busy the machine is.
  ASSERT_TRUE(waitFor([&] { return slurp(record).size() >= sent.size(); }, 30000));
  EXPECT_EQ(stop(sim, SIGTERM), 0);
  const std::string bmp = slurp(image);
  // 4 x 2 pixels of 3 bytes, rows of 12 bytes: no padding.
  ASSERT_EQ(bmp.size(), 54u + 24);
  // The top line (received, red) is the file's last row; the bottom line never came (erased
  // memory, 0xFF, is opaque white in RGB values).
  EXPECT_EQ(bmp.substr(54, 3) + bmp.substr(54 + 12, 3), std::string("\xFF\xFF\xFF\0\0\xFF", 6));
}

// Copies of osdprog hand over to one another until one is left; a copy busy on the line keeps it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "e2e_support.h"
#include "gui/instance_guard.h"
#include "shell/app.h"

namespace {

TEST(InstanceGuardProgram, TenSimultaneousStartsLeaveExactlyOneCopy) {
  QTemporaryDir dir;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("OSDPROG_INSTANCE"),
             QStringLiteral("ten-%1").arg(QCoreApplication::applicationPid()));
  QProcess copies[10];
  for (QProcess& p : copies) {
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("OSD_BIN_DIR") + QStringLiteral("/osdprog"),
            {QStringLiteral("--settings"), dir.path() + QStringLiteral("/s.ini"),
             QStringLiteral("--data-dir"), dir.path()});
  }
  for (QProcess& p : copies) ASSERT_TRUE(p.waitForStarted(60000));
  const auto running = [&copies] {
    int n = 0;
    for (QProcess& p : copies) n += !p.waitForFinished(0) && p.state() == QProcess::Running;
    return n;
  };
  // Every copy runs before the count starts: once it is one, no copy is left that could still
  // hand over to it.
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 90000 && running() > 1) QThread::msleep(50);
  clock.restart();
  while (clock.elapsed() < 2000 && running() == 1) QThread::msleep(50);  // and it stays
  EXPECT_EQ(running(), 1);
  for (QProcess& p : copies) p.terminate(), p.waitForFinished(10000);
}

// A copy in the middle of a download keeps the line: a later copy touches no port, says why in
// one line and ends with status 1 (offscreen: no message box, which would never be answered).
TEST(InstanceGuardProgram, ALaterCopyLeavesABusyCopyAndItsLineAlone) {
  osd::e2e::TempDir dir;
  const std::string rec = dir.path + "/line.bin";
  osd::e2e::Sim sim({"--baud", "0", "--record", rec});
  qputenv("OSDPROG_INSTANCE", QByteArray("busy-") + QByteArray::number(getpid()));
  osd::gui::LocalInstanceGuard running(QString::fromUtf8(osd::kAppKey));
  ASSERT_TRUE(!running.otherInstanceRunning() && running.listen());
  running.onCloseRequested = [] { return osd::Handover::DownloadRunning; };
  osd::e2e::writeBytes(dir.path + "/s.ini", "[FormInit]\nComPort=3\n");
  // The running copy answers on this event loop while the later one waits for it.
  QProcess later;
  later.start(QString::fromStdString(osd::e2e::binDir() + "/osdprog"),
              {QStringLiteral("--settings"), QString::fromStdString(dir.path + "/s.ini"),
               QStringLiteral("--data-dir"), QString::fromStdString(dir.path),
               QStringLiteral("--port-map"), QString::fromStdString("3=" + sim.pty())});
  EXPECT_TRUE(osd::e2e::waitFor([&] { return later.state() == QProcess::NotRunning; }, 30000));
  qunsetenv("OSDPROG_INSTANCE");
  EXPECT_EQ(later.exitCode(), 1);
  // The program's own lines (Qt may add remarks about the environment).
  QStringList own;
  for (const QString& line : QString::fromUtf8(later.readAllStandardError()).split('\n'))
    if (line.startsWith(QStringLiteral("osdprog:"))) own << line;
  EXPECT_EQ(own, QStringList{QStringLiteral(
                     "osdprog: a download is running in the other window; this copy ends")});
  EXPECT_EQ(osd::e2e::lineHeard(sim, rec), "");  // the later copy wrote nothing
}

}  // namespace

// Copies of osdprog started at the same moment hand over to one another until one is left.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

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
  const auto running = [&copies] {
    int n = 0;
    for (QProcess& p : copies) n += !p.waitForFinished(0) && p.state() == QProcess::Running;
    return n;
  };
  // The hand-overs run one after the other; the count must reach one and stay there 5 s.
  QElapsedTimer clock, alone;
  clock.start();
  while (clock.elapsed() < 90000 && !(alone.isValid() && alone.elapsed() > 5000)) {
    if (running() != 1) alone.invalidate();
    if (running() == 1 && !alone.isValid()) alone.start();
    QThread::msleep(200);
  }
  EXPECT_EQ(running(), 1);
  for (QProcess& p : copies) p.terminate(), p.waitForFinished(10000);
}

}  // namespace

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

}  // namespace

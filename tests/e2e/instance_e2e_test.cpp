// Copies of osdprog started at the same moment hand over to one another until one is left.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <memory>
#include <vector>

namespace {

int running(const std::vector<std::unique_ptr<QProcess>>& copies) {
  int n = 0;
  for (const auto& p : copies) {
    p->waitForFinished(0);  // lets QProcess notice an exit
    if (p->state() == QProcess::Running) ++n;
  }
  return n;
}

TEST(InstanceGuardProgram, TenSimultaneousStartsLeaveExactlyOneCopy) {
  const QString bin = qEnvironmentVariable("OSD_BIN_DIR");
  ASSERT_FALSE(bin.isEmpty());
  QTemporaryDir dir;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("OSDPROG_INSTANCE"),
             QStringLiteral("ten-%1").arg(QCoreApplication::applicationPid()));
  const QStringList args = {QStringLiteral("--settings"), dir.path() + QStringLiteral("/s.ini"),
                            QStringLiteral("--data-dir"), dir.path()};
  std::vector<std::unique_ptr<QProcess>> copies;
  for (int i = 0; i < 10; ++i) {
    copies.push_back(std::make_unique<QProcess>());
    copies.back()->setProcessEnvironment(env);
    copies.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    copies.back()->start(bin + QStringLiteral("/osdprog"), args);
  }
  // The hand-overs run one after the other; the count must reach one and stay there.
  QElapsedTimer clock;
  clock.start();
  qint64 oneSince = -1;
  while (clock.elapsed() < 90000 && (oneSince < 0 || clock.elapsed() - oneSince < 5000)) {
    const int n = running(copies);
    if (n != 1) oneSince = -1;
    if (n == 1 && oneSince < 0) oneSince = clock.elapsed();
    QThread::msleep(200);
  }
  EXPECT_EQ(running(copies), 1);
  for (auto& p : copies) {
    p->terminate();
    p->waitForFinished(10000);
  }
}

}  // namespace

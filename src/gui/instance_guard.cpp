#include "gui/instance_guard.h"

#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <cstdio>

namespace osd::gui {

namespace {
constexpr int kConnectMs = 500;
constexpr int kWriteMs = 1000;
constexpr int kRetryMs = 100;
}  // namespace

QString LocalInstanceGuard::serverNameFor(const QString& key) {
  // Test runs keep apart from each other and from a copy the user runs.
  const QString separate = qEnvironmentVariable("OSDPROG_INSTANCE");
  QString user = qEnvironmentVariable("USER");
  if (user.isEmpty()) user = qEnvironmentVariable("LOGNAME");
  if (user.isEmpty()) user = QString::number(static_cast<qlonglong>(getuid()));
  QString name = key + QChar('-') + user;
  if (!separate.isEmpty()) name += QChar('-') + separate;
  for (QChar& c : name) {
    if (!c.isLetterOrNumber() && c != QChar('_') && c != QChar('-')) c = QChar('_');
  }
  return name;
}

LocalInstanceGuard::LocalInstanceGuard(const QString& key, int handoverMs, QObject* parent)
    : QObject(parent),
      name_(serverNameFor(key)),
      handoverMs_(handoverMs),
      // The socket of a local server lives in the temporary folder; the lock lies beside it.
      lock_(std::make_unique<QLockFile>(QDir::tempPath() + QChar('/') + name_ +
                                        QStringLiteral(".lock"))) {
  lock_->setStaleLockTime(0);  // a lock is stale only when its holder is gone
  connect(&server_, &QLocalServer::newConnection, this, [this]() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QPointer<QLocalSocket> guard(socket);
      connect(socket, &QLocalSocket::readyRead, this, [this, guard]() {
        while (guard && guard->canReadLine()) {
          const QByteArray reply = answer(guard->readLine().trimmed());
          if (!reply.isEmpty()) {
            guard->write(reply + '\n');
            guard->flush();
          }
        }
      });
    }
  });
}

LocalInstanceGuard::~LocalInstanceGuard() {
  server_.close();
  if (held_) lock_->unlock();
}

QByteArray LocalInstanceGuard::answer(const QByteArray& line) {
  if (line == "raise") {
    if (onRaiseRequested) onRaiseRequested();
  } else if (line == "close") {
    if (!onCloseRequested) {
      closePending_ = true;  // asked before the window was there: closed once it is
      return "ok";
    }
    switch (onCloseRequested()) {
      case Handover::DownloadRunning:
        return "busy download";
      case Handover::ScanRunning:
        return "busy scan";
      case Handover::Closed:
      case Handover::NoAnswer:
        return "ok";
    }
  }
  return {};
}

bool LocalInstanceGuard::takeLock() {
  if (held_) return true;
  if (!lock_->tryLock(0)) return false;
  held_ = true;
  // Only the holder listens: a socket left by a killed copy is nobody's and goes.
  QLocalServer::removeServer(name_);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  server_.listen(name_);
  return true;
}

QByteArray LocalInstanceGuard::send(const QByteArray& request) {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(kConnectMs)) return {};
  socket.write(request + '\n');
  if (!socket.waitForBytesWritten(kWriteMs)) return {};
  if (request == "close") {
    // The other copy answers before it closes.
    if (!socket.waitForReadyRead(kWriteMs)) return {};
    return socket.readLine().trimmed();
  }
  socket.disconnectFromServer();
  return "ok";
}

bool LocalInstanceGuard::otherInstanceRunning() {
  return !takeLock();
}

void LocalInstanceGuard::bringOtherToFront() {
  if (!held_) send("raise");
}

Handover LocalInstanceGuard::closeOther() {
  if (takeLock()) return Handover::Closed;
  bool confirmed = false;
  QElapsedTimer clock;
  clock.start();
  // Several copies may be waiting: each asks whoever holds the lock at the moment.
  while (!takeLock() && clock.elapsed() < handoverMs_) {
    const QByteArray reply = send("close");
    if (reply == "busy download") return Handover::DownloadRunning;
    if (reply == "busy scan") return Handover::ScanRunning;
    if (reply == "ok" && !confirmed) {
      confirmed = true;
      std::fprintf(stderr, "osdprog: the running copy closes; waiting up to %d s\n",
                   handoverMs_ / 1000);
    }
    QThread::msleep(kRetryMs);
  }
  if (!held_) {
    std::fprintf(stderr, "osdprog: the running copy did not close within %d s\n",
                 handoverMs_ / 1000);
  }
  return held_ || confirmed ? Handover::Closed : Handover::NoAnswer;
}

bool LocalInstanceGuard::listen() {
  if (!takeLock()) return false;
  if (!server_.isListening()) {
    QLocalServer::removeServer(name_);
    if (!server_.listen(name_)) return false;
  }
  if (closePending_ && onCloseRequested) {
    closePending_ = false;
    onCloseRequested();
  }
  return true;
}

}  // namespace osd::gui

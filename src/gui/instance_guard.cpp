#include "gui/instance_guard.h"

#include <unistd.h>

#include <QLocalSocket>
#include <QPointer>
#include <cstdlib>

namespace osd::gui {

namespace {
constexpr int kConnectMs = 500;
constexpr int kWriteMs = 1000;
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

LocalInstanceGuard::LocalInstanceGuard(const QString& key, QObject* parent)
    : QObject(parent), name_(serverNameFor(key)) {
  connect(&server_, &QLocalServer::newConnection, this, [this]() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QPointer<QLocalSocket> guard(socket);
      connect(socket, &QLocalSocket::readyRead, this, [this, guard]() {
        if (!guard) return;
        while (guard && guard->canReadLine()) {
          const QByteArray line = guard->readLine().trimmed();
          if (line == "raise") {
            if (onRaiseRequested) onRaiseRequested();
          } else if (line == "close") {
            guard->write("ok\n");
            guard->flush();
            if (onCloseRequested) onCloseRequested();
          }
        }
      });
    }
  });
}

LocalInstanceGuard::~LocalInstanceGuard() {
  server_.close();
}

bool LocalInstanceGuard::send(const QByteArray& request) {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(kConnectMs)) return false;
  socket.write(request + '\n');
  if (!socket.waitForBytesWritten(kWriteMs)) return false;
  if (request == "close") {
    // The other copy confirms before it closes.
    if (!socket.waitForReadyRead(kWriteMs)) return false;
    return socket.readLine().trimmed() == "ok";
  }
  socket.disconnectFromServer();
  return true;
}

bool LocalInstanceGuard::otherInstanceRunning() {
  QLocalSocket socket;
  socket.connectToServer(name_);
  const bool running = socket.waitForConnected(kConnectMs);
  if (running) socket.disconnectFromServer();
  return running;
}

void LocalInstanceGuard::bringOtherToFront() {
  send("raise");
}

bool LocalInstanceGuard::closeOther() {
  return send("close");
}

bool LocalInstanceGuard::listen() {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (server_.listen(name_)) return true;
  // A copy that was killed leaves its socket behind; nobody answers on it.
  if (otherInstanceRunning()) return false;
  QLocalServer::removeServer(name_);
  return server_.listen(name_);
}

}  // namespace osd::gui

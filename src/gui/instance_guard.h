// Previous-instance handling on a local socket: the running copy listens on a socket named
// after the application key and the user; a new copy connects to it and asks it to come to
// the front or to close.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>

#include "platform/seams.h"

namespace osd::gui {

class LocalInstanceGuard : public QObject, public InstanceGuard {
  Q_OBJECT
 public:
  // `key` is the application key ("RA7_Vud"); the user's name is added to it, and the value of
  // the environment variable OSDPROG_INSTANCE where it is set.
  explicit LocalInstanceGuard(const QString& key, QObject* parent = nullptr);
  ~LocalInstanceGuard() override;

  static QString serverNameFor(const QString& key);
  const QString& serverName() const { return name_; }

  bool otherInstanceRunning() override;
  void bringOtherToFront() override;
  bool closeOther() override;

  // Starts answering the requests of later copies. False when the name cannot be taken.
  bool listen();

  // What this copy does when a later one asks.
  std::function<void()> onRaiseRequested;
  std::function<void()> onCloseRequested;

 private:
  bool send(const QByteArray& request);
  QString name_;
  QLocalServer server_;
};

}  // namespace osd::gui

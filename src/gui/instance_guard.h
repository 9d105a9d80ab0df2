// Previous-instance handling on a local socket guarded by a lock file. The running copy holds
// the lock file beside its socket and listens on the socket (named after the application key
// and the user); a new copy that finds the lock taken connects and asks the holder to come to
// the front and to close, and takes over the lock once it is free. Only the holder of the
// lock listens, so copies started at the same moment hand over one after the other and a
// single copy is left.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "platform/seams.h"

namespace osd::gui {

class LocalInstanceGuard : public QObject, public InstanceGuard {
  Q_OBJECT
 public:
  // `key` is the application key ("RA7_Vud"); the user's name is added to it, and the value of
  // the environment variable OSDPROG_INSTANCE where it is set. `handoverMs` bounds the wait for
  // the other copy to close.
  explicit LocalInstanceGuard(const QString& key, int handoverMs = 30000,
                              QObject* parent = nullptr);
  ~LocalInstanceGuard() override;

  static QString serverNameFor(const QString& key);

  // True when another copy holds the lock. When none does, this copy takes it and listens.
  bool otherInstanceRunning() override;
  void bringOtherToFront() override;
  // Asks the holder to close and waits until this copy holds the lock. Closed when this copy
  // holds it, or when a copy confirmed that it closes; a copy that keeps the line says why;
  // NoAnswer when nobody answered at all.
  Handover closeOther() override;

  // Starts answering the requests of later copies; requests that came before the handlers
  // were set are answered now. False when this copy does not hold the lock.
  bool listen();

  // What this copy does when a later one asks.
  std::function<void()> onRaiseRequested;
  // Asked to close: Closed when this copy closes (it does so once the answer is out),
  // otherwise why it keeps the line.
  std::function<Handover()> onCloseRequested;

 private:
  // Sends a request; the answer to "close" ("ok", "busy download", "busy scan"), "" when
  // none came.
  QByteArray send(const QByteArray& request);
  bool takeLock();
  QByteArray answer(const QByteArray& line);
  QString name_;
  int handoverMs_;
  std::unique_ptr<QLockFile> lock_;
  bool held_ = false;
  bool closePending_ = false;
  QLocalServer server_;
};

}  // namespace osd::gui

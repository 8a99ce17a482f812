// One running window per user. The first start takes a lock file and listens
// on a local socket; a later start finds the lock taken, asks the first
// instance to restore its window if it is minimised, and ends silently. The
// lock decides, never the socket, so two simultaneous starts cannot both run.
// Lock and socket live in the user's runtime directory, which only the user
// can enter. The lock is the kernel's lock on the file, which ends with its
// process: a lock file left by a crashed instance is simply taken over.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include "app/WindowNames.h"


class CSingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit CSingleInstance(const QString& key = SINGLE_INSTANCE_KEY, QObject* parent = nullptr);
  ~CSingleInstance() override;  // releases

  // True when this is the only instance; it then serves later starts until
  // released. False when another instance holds the lock (Error() empty) or
  // when the lock cannot be made (Error() holds the system's text).
  bool Acquire();
  QString Error() const { return m_Error; }
  // Frees the lock and stops serving later starts.
  void Release();
  // Asks the instance holding the lock to restore its window; returns whether
  // the request was delivered. Never waits long.
  bool NotifyRunning() const;

  QString LockPath() const;
  QString ServerName() const;

 signals:
  void RestoreRequested();

 private:
  void OnNewConnection();

  QString m_Key;
  QString m_Error;
  int m_LockFd = -1;
  QLocalServer m_Server;
};

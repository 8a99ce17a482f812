// One running window per user. The first start takes a lock file and listens
// on a local socket; a later start finds the lock taken, asks the first
// instance to restore its window if it is minimised, and ends silently. The
// lock decides, never the socket, so two simultaneous starts cannot both run.
// Lock and socket live in the temporary directory.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

constexpr const char* SINGLE_INSTANCE_KEY = "5D2E9B14-7C3A-4e61-9F08-B3A6D1C47E25";

class CSingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit CSingleInstance(const QString& key = SINGLE_INSTANCE_KEY, QObject* parent = nullptr);
  ~CSingleInstance() override;

  // True when this is the only instance; it then serves later starts until
  // destroyed. False when another instance holds the lock.
  bool Acquire();
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
  QLockFile m_Lock;
  QLocalServer m_Server;
};

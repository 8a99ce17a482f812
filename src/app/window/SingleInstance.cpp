#include "app/window/SingleInstance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalSocket>

namespace {
const QByteArray RESTORE_REQUEST = "restore\n";
constexpr int NOTIFY_TIMEOUT_MS = 1000;

// Per user, so that two people on one machine do not exclude each other.
QString UserKey(const QString& key) { return key + "-" + QString::number(getuid()); }
}  // namespace

CSingleInstance::CSingleInstance(const QString& key, QObject* parent)
    : QObject(parent),
      m_Key(UserKey(key)),
      m_Lock(QDir(QDir::tempPath()).filePath(UserKey(key) + ".lock")) {
  // A lock is stale only when its owner is gone, however long it was held.
  m_Lock.setStaleLockTime(0);
  connect(&m_Server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
}

CSingleInstance::~CSingleInstance() {
  m_Server.close();
  m_Lock.unlock();
}

QString CSingleInstance::LockPath() const { return QDir(QDir::tempPath()).filePath(m_Key + ".lock"); }

QString CSingleInstance::ServerName() const { return QDir(QDir::tempPath()).filePath(m_Key + ".socket"); }

bool CSingleInstance::Acquire() {
  if (!m_Lock.tryLock(0)) return false;
  // We hold the lock, so a socket left behind by a crashed run is stale.
  QLocalServer::removeServer(ServerName());
  m_Server.listen(ServerName());
  return true;
}

bool CSingleInstance::NotifyRunning() const {
  QLocalSocket socket;
  socket.connectToServer(ServerName());
  if (!socket.waitForConnected(NOTIFY_TIMEOUT_MS)) return false;
  socket.write(RESTORE_REQUEST);
  const bool sent = socket.waitForBytesWritten(NOTIFY_TIMEOUT_MS);
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(NOTIFY_TIMEOUT_MS);
  return sent;
}

void CSingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = m_Server.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (socket->readAll().contains(RESTORE_REQUEST.trimmed())) emit RestoreRequested();
    });
  }
}

#include "window/qt/SingleInstance.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QStandardPaths>

#include "platform/SystemError.h"

namespace {
const QByteArray RESTORE_REQUEST = "restore\n";
constexpr int NOTIFY_TIMEOUT_MS = 1000;

QString ErrorText(int code) { return QString::fromStdString(SystemErrorText(code)).trimmed(); }
}  // namespace

CSingleInstance::CSingleInstance(const QString& key, QObject* parent) : QObject(parent), m_Key(key) {
  connect(&m_Server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
}

CSingleInstance::~CSingleInstance() { Release(); }

// Qt checks that the runtime directory is the user's own and closed to
// others, and makes it when it is missing.
QString CSingleInstance::LockPath() const {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)).filePath(m_Key + ".lock");
}

QString CSingleInstance::ServerName() const {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)).filePath(m_Key + ".socket");
}

bool CSingleInstance::Acquire() {
  m_Error.clear();
  errno = 0;  // Qt leaves the cause there when it cannot have the directory
  if (QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation).isEmpty()) {
    m_Error = ErrorText(errno ? errno : ENOENT);
    return false;
  }
  const int fd = open(QFile::encodeName(LockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    m_Error = ErrorText(errno);
    return false;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(fd);
    if (error != EWOULDBLOCK) m_Error = ErrorText(error);
    return false;
  }
  m_LockFd = fd;
  // We hold the lock, so a socket left behind by a crashed run is stale.
  QLocalServer::removeServer(ServerName());
  m_Server.listen(ServerName());
  return true;
}

void CSingleInstance::Release() {
  m_Server.close();
  // The file stays: removing it could let a start that opened it already
  // lock a file that no longer has a name while another start makes a new one.
  if (m_LockFd >= 0) close(m_LockFd);
  m_LockFd = -1;
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

#include "app/ui/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace terva::app {

namespace {
constexpr char kActivate[] = "activate\n";
constexpr int kTimeoutMs = 1000;
}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketNameFor(const std::filesystem::path& settingsFile) {
  const QString file = QFileInfo(QString::fromStdString(settingsFile.string())).absoluteFilePath();
  const QByteArray hash = QCryptographicHash::hash(file.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
  const QString base = QStringLiteral("terva-rfid-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
  // XDG_RUNTIME_DIR is the user's own; otherwise Qt's fallback (also per user)
  // or, failing that, the bare name in the temporary folder.
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (runtime.isEmpty() || !QDir(runtime).exists()) return base;
  return QDir(runtime).filePath(base + QStringLiteral(".sock"));
}

bool SingleInstance::askRunningCopy() {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(kTimeoutMs)) return false;
  socket.write(kActivate);
  socket.waitForBytesWritten(kTimeoutMs);
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kTimeoutMs);
  return true;
}

bool SingleInstance::claim() {
  if (server_) return true;
  if (askRunningCopy()) return false;
  auto* server = new QLocalServer(this);
  server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server->listen(name_)) {
    // A socket left by a copy that crashed: nobody answered on it, so it is stale.
    QLocalServer::removeServer(name_);
    if (!server->listen(name_)) {
      // Cannot listen (odd folder): run anyway, just without the hand-over.
      delete server;
      return true;
    }
  }
  server_ = server;
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* s = server_->nextPendingConnection()) {
      connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
      connect(s, &QLocalSocket::readyRead, this, [this, s] {
        if (s->readAll().contains("activate")) emit activationRequested();
      });
    }
  });
  return true;
}

}  // namespace terva::app

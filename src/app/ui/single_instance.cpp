#include "app/ui/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <unistd.h>

#include "app/ui/local_channel.h"

namespace terva::app {

namespace {
constexpr char kActivate[] = "activate\n";
// A caller sends one short request; more than this is not one of ours.
constexpr std::size_t kMaxRequest = 256;
}  // namespace

struct SingleInstance::Caller {
  std::unique_ptr<QSocketNotifier> notifier;
  std::string received;
};

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {
  const QString path = QDir::isAbsolutePath(name_) ? name_ : QDir::temp().filePath(name_);
  path_ = QFile::encodeName(path).toStdString();
}

SingleInstance::~SingleInstance() {
  for (auto& [fd, caller] : callers_) {
    caller->notifier.reset();
    local_channel::closeChannel(fd);
  }
  if (listening_ >= 0) {
    delete listenNotifier_;
    local_channel::closeChannel(listening_);
    local_channel::removeName(path_);
  }
}

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

bool SingleInstance::claim() {
  if (listening_ >= 0) return true;
  if (local_channel::send(path_, kActivate)) return false;
  const int fd = local_channel::listenAt(path_);
  if (fd < 0) {
    // Another copy may have started meanwhile; otherwise the name cannot be
    // used (odd folder): run anyway, just without the hand-over.
    return !local_channel::send(path_, kActivate);
  }
  listening_ = fd;
  listenNotifier_ = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
  connect(listenNotifier_, &QSocketNotifier::activated, this, &SingleInstance::acceptCallers);
  return true;
}

void SingleInstance::acceptCallers() {
  for (int fd; (fd = local_channel::acceptOne(listening_)) >= 0;) {
    auto caller = std::make_unique<Caller>();
    caller->notifier = std::make_unique<QSocketNotifier>(qintptr(fd), QSocketNotifier::Read);
    connect(caller->notifier.get(), &QSocketNotifier::activated, this, [this, fd] { readCaller(fd); });
    callers_[fd] = std::move(caller);
  }
}

void SingleInstance::readCaller(int fd) {
  const auto it = callers_.find(fd);
  if (it == callers_.end()) return;
  Caller& caller = *it->second;
  char buffer[128];
  long n;
  while ((n = local_channel::readSome(fd, buffer, sizeof buffer)) > 0) {
    caller.received.append(buffer, static_cast<std::size_t>(n));
    if (caller.received.size() > kMaxRequest) break;
  }
  if (n == -1 && caller.received.size() <= kMaxRequest) return;  // more to come
  // The caller has said all it will: act on it and let it go.
  const bool activate = caller.received.find("activate") != std::string::npos;
  caller.notifier->setEnabled(false);
  // The notifier is being signalled: it is deleted once control is back in the loop.
  caller.notifier.release()->deleteLater();
  callers_.erase(it);
  local_channel::closeChannel(fd);
  if (activate) emit activationRequested();
}

}  // namespace terva::app

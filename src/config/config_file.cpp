#include "config/config_file.h"

#include "protocol/hextext.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace terva::config {

namespace {
std::string md5Hex(const std::string& text) {
  const QByteArray digest =
      QCryptographicHash::hash(QByteArray(text.data(), static_cast<qsizetype>(text.size())), QCryptographicHash::Md5);
  return bytesToHex(std::string_view(digest.constData(), static_cast<std::size_t>(digest.size())));
}
}  // namespace

QByteArray buildConfigFile(std::string_view recordHex) {
  const std::string t = "01" + std::string(recordHex);
  const std::string bytes = hexToBytes(md5Hex(t) + t);
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

ConfigFileContents parseConfigFile(const QByteArray& bytes) {
  ConfigFileContents out;
  if (static_cast<std::size_t>(bytes.size()) < kMinConfigFileBytes) {
    out.error = std::string(kBadFileText);
    return out;
  }
  const std::string_view all(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  const std::string digest = bytesToHex(all.substr(0, 16));
  const std::string t = bytesToHex(all.substr(16));
  if (md5Hex(t) != digest) {
    out.error = std::string(kBadDigestText);
    return out;
  }
  if (t.compare(0, 2, "01") != 0) {
    out.error = std::string(kBadVersionText);
    return out;
  }
  out.recordHex = t.substr(2);
  return out;
}

ConfigFileContents readConfigFile(const QString& path) {
  const QFileInfo info(path);
  QFile file(path);
  if (info.exists() && (!info.isFile() || info.size() > kMaxConfigFileBytes)) return {std::string(kBadFileText), {}};
  // A file that cannot be opened is the system's business: its own words.
  if (!file.open(QIODevice::ReadOnly)) return {file.errorString().toStdString(), {}};
  // Read at most one byte past the limit, in case the file grew meanwhile.
  const QByteArray bytes = file.read(kMaxConfigFileBytes + 1);
  if (bytes.size() > kMaxConfigFileBytes || file.error() != QFileDevice::NoError) return {std::string(kBadFileText), {}};
  return parseConfigFile(bytes);
}

std::optional<std::string> writeConfigFile(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString().toStdString();
  if (file.write(bytes) != bytes.size()) {
    const std::string err = file.errorString().toStdString();
    file.cancelWriting();
    return err;
  }
  if (!file.commit()) return file.errorString().toStdString();
  return std::nullopt;
}

}  // namespace terva::config

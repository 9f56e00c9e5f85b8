#include "config/config_editor.h"
#include "config/config_file.h"
#include "config/config_record.h"
#include "protocol/hextext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace terva;
using namespace terva::config;

namespace {

QByteArray bytesOf(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

// A file whose digest is right for the text T given.
QByteArray fileWithT(const std::string& t) {
  const QByteArray d = QCryptographicHash::hash(bytesOf(t), QCryptographicHash::Md5);
  return d + bytesOf(hexToBytes(t));
}

void writeRaw(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

TEST(ConfigFile, LayoutAndSizesPerMode) {
  const QByteArray file = buildConfigFile(BuildConfigRecord(ReaderConfig{}));
  ASSERT_EQ(file.size(), 45);
  EXPECT_EQ(file[16], '\x01');
  EXPECT_EQ(file.left(16), QCryptographicHash::hash(QByteArray("01") + BuildConfigRecord(ReaderConfig{}).c_str(),
                                                    QCryptographicHash::Md5));
  for (auto [mode, size] : {std::pair{0, 45}, {1, 45}, {2, 73}, {3, 67}}) {
    ReaderConfig c;
    ASSERT_TRUE(ComboBox4Change(c, mode));
    EXPECT_EQ(buildConfigFile(BuildConfigRecord(c)).size(), size) << mode;
  }
}

TEST(ConfigFile, RefusalsWithTheirMessages) {
  const QByteArray good = buildConfigFile(BuildConfigRecord(ReaderConfig{}));
  EXPECT_FALSE(parseConfigFile(good).error);
  EXPECT_EQ(parseConfigFile(good).recordHex, BuildConfigRecord(ReaderConfig{}));

  EXPECT_EQ(parseConfigFile(good.left(19)).error, std::string(kBadFileText));
  EXPECT_EQ(parseConfigFile({}).error, std::string(kBadFileText));

  for (qsizetype i = 0; i < good.size(); ++i) {
    QByteArray bad = good;
    bad[i] = static_cast<char>(bad[i] ^ 0x01);
    EXPECT_EQ(parseConfigFile(bad).error, std::string(kBadDigestText)) << "byte " << i;
  }

  EXPECT_EQ(parseConfigFile(fileWithT("02060100")).error, std::string(kBadVersionText));

  const QByteArray twenty = fileWithT("01060100");
  ASSERT_EQ(twenty.size(), 20);
  const auto ok = parseConfigFile(twenty);
  EXPECT_FALSE(ok.error);
  EXPECT_EQ(ok.recordHex, "060100");
}

TEST(ConfigFile, RoundTripThroughTheFileSystem) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("zones.rcf");

  ConfigEditor source;
  source.ComboBox4Change(3);
  source.setZoneTicked(1, true);
  source.setZoneTicked(40, true);
  source.setPulseSeconds(12.5);
  source.SpinEdit2Change(77);
  ASSERT_FALSE(writeConfigFile(path, buildConfigFile(BuildConfigRecord(source.config()))));
  EXPECT_EQ(QFileInfo(path).size(), 67);

  ConfigEditor target;
  target.SpinEdit2Change(5);
  const auto contents = readConfigFile(path);
  ASSERT_FALSE(contents.error);
  ASSERT_TRUE(target.ApplyConfigRecord(ParseConfigItems(contents.recordHex)));
  EXPECT_EQ(target.config().readingMode, 3);
  EXPECT_EQ(target.config().zoneMask, source.config().zoneMask);
  EXPECT_EQ(target.config().pulseTenths, 125);
  EXPECT_EQ(target.config().blockNumber, 5);  // mode 3 files carry no block number
}

TEST(ConfigFile, UnreadableOrOversizedFilesAreRefusedUnread) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const auto missing = readConfigFile(dir.filePath("missing.rcf")).error;
  ASSERT_TRUE(missing);
  EXPECT_NE(*missing, std::string(kBadFileText));  // the system's own text
  EXPECT_FALSE(missing->empty());
  EXPECT_EQ(readConfigFile(dir.path()).error, std::string(kBadFileText));  // a folder

  const QString big = dir.filePath("big.rcf");
  QByteArray bytes = buildConfigFile(BuildConfigRecord(ReaderConfig{}));
  bytes.append(QByteArray(kMaxConfigFileBytes, '\0'));
  writeRaw(big, bytes);
  EXPECT_EQ(readConfigFile(big).error, std::string(kBadFileText));
}

TEST(ConfigFile, WriteReplacesWholeOrReportsTheSystemError) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("a.rcf");
  writeRaw(path, QByteArray(500, 'x'));
  const QByteArray file = buildConfigFile(BuildConfigRecord(ReaderConfig{}));
  ASSERT_FALSE(writeConfigFile(path, file));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), file);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.rcf"});  // no temporary left

  const auto err = writeConfigFile(dir.filePath("no/such/folder/b.rcf"), file);
  ASSERT_TRUE(err);
  EXPECT_FALSE(err->empty());
}

}  // namespace

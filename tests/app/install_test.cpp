// The command line, and an install into a temporary prefix as a desktop sees it.
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct RunResult {
  int code = -1;
  QString out;
  QString err;
};

RunResult run(const QString& program, const QStringList& args) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  // --help and --version need no display at all.
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.remove("QT_QPA_PLATFORM");
  p.setProcessEnvironment(env);
  p.start(program, args);
  if (!p.waitForFinished(60000)) return {};
  return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace

TEST(CommandLine, VersionHelpAndUnknownOption) {
  const QString exe = TERVA_BIN_DIR "/terva-rfid";
  const RunResult version = run(exe, {"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out, "terva-rfid 1.0.8\n");

  const RunResult help = run(exe, {"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_TRUE(help.out.startsWith(QString::fromUtf8("Использование: terva-rfid [параметры]"))) << help.out.toStdString();
  for (const char* option : {"--help", "--version", "--port", "--connect", "--settings"}) {
    EXPECT_TRUE(help.out.contains(option)) << option;
  }

  const RunResult bad = run(exe, {"--no-such-option"});
  EXPECT_EQ(bad.code, 2);
  EXPECT_TRUE(bad.err.contains(QString::fromUtf8("Неизвестный параметр"))) << bad.err.toStdString();
  EXPECT_TRUE(bad.out.isEmpty());
}

TEST(Install, PutsProgramsDesktopEntryAndIconsInStandardPlaces) {
  QTemporaryDir prefix;
  const RunResult install = run(TERVA_CMAKE_COMMAND, {"--install", TERVA_BUILD_DIR, "--prefix", prefix.path()});
  ASSERT_EQ(install.code, 0) << install.out.toStdString() << install.err.toStdString();

  for (const char* file : {"bin/terva-rfid", "bin/terva-reader-sim", "share/applications/terva-rfid.desktop",
                           "share/icons/hicolor/scalable/apps/terva-rfid.svg"}) {
    EXPECT_TRUE(QFile::exists(prefix.filePath(file))) << file;
  }
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    const QString icon = QStringLiteral("share/icons/hicolor/%1x%1/apps/terva-rfid.png").arg(size);
    EXPECT_TRUE(QFile::exists(prefix.filePath(icon))) << icon.toStdString();
  }

  QFile entry(prefix.filePath("share/applications/terva-rfid.desktop"));
  ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(entry.readAll());
  EXPECT_TRUE(text.contains(QString::fromUtf8("\nName=ТЕРВА Контроль доступа - RFID\n")));
  EXPECT_TRUE(text.contains("\nCategories=Utility;\n"));
  EXPECT_TRUE(text.contains("\nExec=terva-rfid\n"));
  EXPECT_TRUE(text.contains("\nIcon=terva-rfid\n"));

  // The installed program runs from there.
  EXPECT_EQ(run(prefix.filePath("bin/terva-rfid"), {"--version"}).out, "terva-rfid 1.0.8\n");

  const QString validate = QStandardPaths::findExecutable("desktop-file-validate");
  if (validate.isEmpty()) GTEST_SKIP() << "desktop-file-validate not found (package desktop-file-utils): entry not validated";
  const RunResult check = run(validate, {entry.fileName()});
  EXPECT_EQ(check.code, 0) << check.out.toStdString() << check.err.toStdString();
  EXPECT_TRUE(check.out.trimmed().isEmpty()) << check.out.toStdString();
}

// One running copy per settings file: a second start hands over and exits.
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "app/ui/single_instance.h"
#include "support/fakes.h"

using terva::app::SingleInstance;
using terva::testing::waitUntil;

TEST(SingleInstance, SecondClaimAsksTheFirstToComeForward) {
  QTemporaryDir dir;
  const QString name = dir.filePath("instance.sock");
  SingleInstance first(name);
  int asked = 0;
  QObject::connect(&first, &SingleInstance::activationRequested, [&] { ++asked; });
  ASSERT_TRUE(first.claim());

  SingleInstance second(name);
  EXPECT_FALSE(second.claim());
  EXPECT_TRUE(waitUntil([&] { return asked == 1; }));
  SingleInstance third(name);
  EXPECT_FALSE(third.claim());
  EXPECT_TRUE(waitUntil([&] { return asked == 2; }));
}

TEST(SingleInstance, LeftOverSocketOfACrashedCopyIsTakenOver) {
  QTemporaryDir dir;
  const QString name = dir.filePath("instance.sock");
  {
    QFile stale(name);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  }
  SingleInstance copy(name);
  EXPECT_TRUE(copy.claim());
  SingleInstance later(name);
  EXPECT_FALSE(later.claim());
}

TEST(SingleInstance, OnlyTheActivationRequestBringsTheWindowForward) {
  QTemporaryDir dir;
  const std::string name = dir.filePath("instance.sock").toStdString();
  SingleInstance copy(QString::fromStdString(name));
  int asked = 0;
  QObject::connect(&copy, &SingleInstance::activationRequested, [&] { ++asked; });
  ASSERT_TRUE(copy.claim());

  // A caller that stays silent and one that says something else change nothing,
  // and do not keep a later copy from being heard.
  const int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, name.c_str(), name.size());
  ASSERT_EQ(::connect(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const int other = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(::connect(other, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::write(other, "hello\n", 6), 6);
  ::close(other);
  SingleInstance later(QString::fromStdString(name));
  EXPECT_FALSE(later.claim());
  EXPECT_TRUE(waitUntil([&] { return asked == 1; }));
  ::close(silent);
  QCoreApplication::processEvents();
  EXPECT_EQ(asked, 1);
}

TEST(SingleInstance, NameThatCannotBeUsedStillLetsTheProgramRun) {
  SingleInstance copy(QString(200, QLatin1Char('x')));
  EXPECT_TRUE(copy.claim());
}

TEST(SingleInstance, SocketIsRemovedWhenTheCopyEnds) {
  QTemporaryDir dir;
  const QString name = dir.filePath("instance.sock");
  {
    SingleInstance copy(name);
    ASSERT_TRUE(copy.claim());
    EXPECT_TRUE(QFile::exists(name));
  }
  EXPECT_FALSE(QFile::exists(name));
}

TEST(SingleInstance, NameDependsOnTheSettingsFile) {
  EXPECT_EQ(SingleInstance::socketNameFor("/tmp/a/settings.ini"), SingleInstance::socketNameFor("/tmp/a/settings.ini"));
  EXPECT_NE(SingleInstance::socketNameFor("/tmp/a/settings.ini"), SingleInstance::socketNameFor("/tmp/b/settings.ini"));
}

TEST(SingleInstance, SecondProgramExitsAndTheFirstRunsOn) {
  QTemporaryDir dir;
  const QString settings = dir.filePath("settings.ini");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  QProcess first;
  first.setProcessEnvironment(env);
  first.start(TERVA_BIN_DIR "/terva-rfid", {"--settings", settings});
  ASSERT_TRUE(first.waitForStarted(5000));
  // Up once its socket answers.
  const QString name = SingleInstance::socketNameFor(settings.toStdString());
  ASSERT_TRUE(waitUntil([&] { return QFile::exists(name); }, std::chrono::milliseconds(10000)));

  QProcess second;
  second.setProcessEnvironment(env);
  second.start(TERVA_BIN_DIR "/terva-rfid", {"--settings", settings});
  ASSERT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running);
  first.terminate();
  first.waitForFinished(5000);
}

// One running copy per settings file: a second start hands over and exits.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

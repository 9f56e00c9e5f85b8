// The program itself, started as operators start it, against the simulated reader.
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

#include "sim/pty_reader.h"
#include "support/fakes.h"

using namespace std::chrono_literals;

struct StartCase {
  const char* name;
  const char* settings;
  QStringList extraArgs;
};

class ProgramStart : public ::testing::TestWithParam<StartCase> {};

TEST_P(ProgramStart, ConnectsAtStartAndSendsCardReadingModeExactlyOnce) {
  terva::sim::PtyReader reader;
  reader.start();
  QTemporaryDir dir;
  const QString settings = dir.filePath("settings.ini");
  std::ofstream(settings.toStdString()) << GetParam().settings;

  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(env);
  program.start(TERVA_BIN_DIR "/terva-rfid",
                QStringList{"--port", QString::fromStdString(reader.slavePath()), "--settings", settings} +
                    GetParam().extraArgs);
  ASSERT_TRUE(program.waitForStarted(5000));
  EXPECT_TRUE(reader.waitForFrame("2305050124", 5000ms));
  // Give a second send the time it would need, then check there was none.
  reader.waitForReceived([](const std::string& b) { return b.size() > 5; }, 700ms);
  EXPECT_EQ(reader.receivedFromHost(), std::string("\x23\x05\x05\x01\x24", 5));
  program.terminate();
  program.waitForFinished(5000);
}

INSTANTIATE_TEST_SUITE_P(Ways, ProgramStart,
                         ::testing::Values(StartCase{"AutoConnectSetting", "[kelvor]\nautoconnect=1\n", {}},
                                           StartCase{"ConnectOption", "", {"--connect"}}),
                         [](const auto& p) { return p.param.name; });

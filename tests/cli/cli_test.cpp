// terva-cli against the simulated reader on a pseudo-terminal: what the
// reader received, what the tool printed and its exit status.
#include "cli/cli.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>
#include <deque>

#include "app/shell_settings.h"
#include "config/config_file.h"
#include "config/config_record.h"
#include "config/reader_exchange.h"
#include "protocol/hextext.h"
#include "protocol/messages.h"
#include "protocol/qt_clock.h"
#include "protocol/results.h"
#include "protocol/session.h"
#include "support/wait.h"
#include "sim/pty_reader.h"
#include "support/manual_clock.h"

using namespace terva;
using namespace std::chrono_literals;

namespace {

constexpr const char* kReadingModeFrame = "2305050124";  // "0501"

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

using terva::testing::waitUntil;

config::ReaderConfig blockConfig() {
  config::ReaderConfig c;
  c.readingMode = 2;
  config::FillCardFormat(c);
  c.blockNumber = 7;
  c.blockOffset = 4;
  c.blockByteCount = 4;
  c.wiegandWidthUser = true;
  c.wiegandWidth = 26;
  c.blockAccessCode = "00112233445566778899AABBCCDDEEFF";
  return c;
}

config::ReaderConfig objectCodeConfig() {
  config::ReaderConfig c;
  config::ComboBox4Change(c, 1);
  return c;
}

struct CliFixture : ::testing::Test {
  sim::PtyReader reader;
  QTemporaryDir dir;
  cli::StopRequest stop;
  cli::Environment env;
  std::ostringstream out, err;  // of the current run

  // What happens while the tool runs (cards presented, the reader pulled
  // out, Ctrl+C): steps taken in order on the tool's own event loop, each
  // once its condition holds.
  QTimer poller;
  std::deque<std::pair<std::function<bool()>, std::function<void()>>> steps;
  void then(std::function<bool()> ready, std::function<void()> action) {
    steps.emplace_back(std::move(ready), std::move(action));
    if (!poller.isActive()) poller.start(5);
  }
  bool printed(const std::string& text) const { return out.str().find(text) != std::string::npos; }
  bool told(const std::string& text) const { return err.str().find(text) != std::string::npos; }
  std::function<bool()> framesSeen(std::size_t n) {
    return [this, n] { return reader.framesFromHost().size() >= n; };
  }

  void SetUp() override {
    QObject::connect(&poller, &QTimer::timeout, [this] {
      while (!steps.empty() && steps.front().first()) {
        auto action = std::move(steps.front().second);
        steps.pop_front();
        action();
      }
      if (steps.empty()) poller.stop();
    });
    reader.start();
    env.settingsFile = (dir.path() + "/settings.ini").toStdString();
    env.listPorts = [] { return std::vector<PortEntry>{}; };
    env.stop = &stop;
  }

  Outcome run(std::vector<std::string> args, bool withPort = true) {
    if (withPort) {
      args.push_back("--port");
      args.push_back(reader.slavePath());
    }
    out.str("");
    err.str("");
    Outcome o;
    o.status = cli::run(args, out, err, env);
    EXPECT_TRUE(steps.empty()) << "the run ended before all its steps";
    steps.clear();
    o.out = out.str();
    o.err = err.str();
    return o;
  }

  std::string file(const std::string& name) const { return (dir.path() + "/" + QString::fromStdString(name)).toStdString(); }
  void writeFile(const std::string& path, const QByteArray& bytes) {
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray readFile(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
};

TEST_F(CliFixture, ReadPrintsEachCardInTheChosenView) {
  struct Case {
    std::vector<std::string> options;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{"--view", "dec"}, "1715004\n161\n"},
      {{"--view", "hex"}, "1A2B3C\n00A1\n"},
      {{"--template", "dec3(b3)-b2b1 №"}, "026-2B3C №\n000-00A1 №\n"},  // the template alone selects cst
      {{"--view", "dec", "--json"},
       "{\"kind\":\"UID\",\"identifier\":\"1A2B3C\",\"raw\":\"314132423343\",\"text\":\"1715004\"}\n"
       "{\"kind\":\"MIR\",\"identifier\":\"00A1\",\"raw\":\"30304131\",\"text\":\"161\"}\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    const std::size_t before = reader.framesFromHost().size();
    std::vector<std::string> args{"read", "--count", "2"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    then(framesSeen(before + 1), [this] {
      reader.command("card uid 1A2B3C");
      reader.command("card mir 00A1");
      reader.command("card uid FF");  // after the count: not printed
    });
    const Outcome o = run(args);
    ASSERT_TRUE(reader.waitIdle(2000ms));  // the third card is out before the next run opens the port
    EXPECT_EQ(o.status, cli::kExitOk) << o.err;
    EXPECT_EQ(o.out, c.expected);
    EXPECT_EQ(o.err, "");
  }
  EXPECT_EQ(reader.framesFromHost(), std::vector<std::string>(4, kReadingModeFrame));
}

TEST_F(CliFixture, ReadTakesTheSavedViewAndEndsCleanlyOnStop) {
  app::ShellSettings saved;
  saved.viewMode = ident::ViewMode::Hex;
  saved.port = reader.slavePath();
  ASSERT_TRUE(app::writeShellSettings(env.settingsFile, saved));
  then(framesSeen(1), [this] { reader.command("card random 0A0B"); });
  then([this] { return printed("0A0B\n"); }, [this] { stop.request(); });
  const Outcome o = run({"read"}, false);  // the saved port
  EXPECT_EQ(o.status, cli::kExitOk) << o.err;
  EXPECT_EQ(o.out, "0A0B\n");
}

TEST_F(CliFixture, UnplugDuringReadIsReportedWithStatus2) {
  then(framesSeen(1), [this] { reader.command("card uid 01"); });
  then([this] { return printed("01\n"); }, [this] { reader.unplug(); });
  const Outcome o = run({"read", "--view", "hex"});
  EXPECT_EQ(o.status, cli::kExitPort);
  EXPECT_EQ(o.out, "01\n");
  EXPECT_NE(o.err.find(kUnpluggedText), std::string::npos) << o.err;
}

TEST_F(CliFixture, SendShowsFramesAndTheResult) {
  auto o = run({"send", "0501"});
  EXPECT_EQ(o.status, cli::kExitOk);
  EXPECT_EQ(o.out, "> 2305050124\n< 230800010D010024\nВыполнено\n");

  reader.command("result 14");  // the reader refuses the next command
  o = run({"send", "0301"});
  EXPECT_EQ(o.status, cli::kExitRefused);
  EXPECT_EQ(o.out, "> 2305030124\n< 230800010D010E24\n");
  EXPECT_EQ(o.err, errtotext(14) + "\n");

  // Not hex, odd or empty: a usage error, nothing sent.
  for (const std::string bad : {"050", "05G1", ""}) {
    o = run({"send", bad});
    EXPECT_EQ(o.status, cli::kExitUsage) << bad;
  }
  EXPECT_EQ(reader.framesFromHost(), (std::vector<std::string>{"2305050124", "2305030124"}));
}

TEST_F(CliFixture, VersionAndNoReply) {
  reader.setFirmwareVersion(1, 10, 0);
  auto o = run({"version"});
  EXPECT_EQ(o.status, cli::kExitOk);
  EXPECT_EQ(o.out, config::versionText({1, 10, 0}) + "\n");
  o = run({"version", "--json"});
  EXPECT_EQ(o.out, "{\"version\":\"1.10.0\"}\n");

  reader.command("drop");
  o = run({"version"});
  EXPECT_EQ(o.status, cli::kExitNoReply);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, std::string(config::kVersionFailedText) + "\n");
  EXPECT_EQ(reader.framesFromHost(), std::vector<std::string>(3, "23050A0124"));
}

TEST_F(CliFixture, ConfigRoundTripReaderFileReaderLeavesTheRecordUnchanged) {
  const std::string record = config::BuildConfigRecord(blockConfig());
  reader.setConfigHex(record);
  const std::string path = file("reader.rcf");

  auto o = run({"config", "save", path});
  ASSERT_EQ(o.status, cli::kExitOk) << o.err;
  EXPECT_EQ(o.out, "Выполнено\n");
  EXPECT_EQ(readFile(path), config::buildConfigFile(record));  // as the window writes it

  reader.setConfigHex(config::BuildConfigRecord(config::ReaderConfig{}));
  o = run({"config", "write", path});
  ASSERT_EQ(o.status, cli::kExitOk) << o.err;
  EXPECT_EQ(o.out, "Выполнено\n");
  EXPECT_EQ(reader.configHex(), record);
  EXPECT_EQ(reader.framesFromHost(),
            (std::vector<std::string>{"23050B0124", bytesToHex(sim::ReaderSim::frame(1, 1, hexToBytes(record))),
                                      kReadingModeFrame}));
}

TEST_F(CliFixture, ConfigShowInWordsAndJson) {
  reader.setConfigHex(config::BuildConfigRecord(blockConfig()));
  auto o = run({"config", "show"});
  ASSERT_EQ(o.status, cli::kExitOk) << o.err;
  for (const char* line : {"Режим считывания карт: 2 - Защищенный режим: чтение кода из блока\n", "Номер блока: 7\n",
                           "Смещение в блоке: 4 байт\n", "Количество байт для передачи: 4 байт\n",
                           "Код доступа к требуемому блоку (16 байт): 0x00112233445566778899AABBCCDDEEFF\n",
                           "Разрядность интерфейса Wiegand: пользовательская, 26 бит\n",
                           "Цвет светодиодов в режиме ожидания: #0080F8\n", "Контрольная сумма кода доступа к блоку: "}) {
    EXPECT_NE(o.out.find(line), std::string::npos) << line << "\n" << o.out;
  }

  o = run({"config", "show", "--json"});
  ASSERT_EQ(o.status, cli::kExitOk) << o.err;
  const auto json = QJsonDocument::fromJson(QByteArray::fromStdString(o.out)).object();
  EXPECT_EQ(json["readingMode"].toInt(), 2);
  EXPECT_EQ(json["block"].toObject()["number"].toInt(), 7);
  EXPECT_EQ(json["wiegand"].toObject()["width"].toInt(), 26);
  EXPECT_FALSE(json["checksum"].toObject()["value"].toString().isEmpty());
  EXPECT_EQ(json["record"].toString().toStdString(), config::BuildConfigRecord(blockConfig()));

  // A file: the same words, no reader involved, no checksum.
  config::ReaderConfig zones;
  config::ComboBox4Change(zones, 3);
  config::setZoneTicked(zones.zoneMask, 1, true);
  config::setZoneTicked(zones.zoneMask, 64, true);
  zones.pulseTenths = 25;
  const std::string path = file("zones.rcf");
  writeFile(path, config::buildConfigFile(config::BuildConfigRecord(zones)));
  const auto sent = reader.framesFromHost().size();
  o = run({"config", "show", path}, false);
  ASSERT_EQ(o.status, cli::kExitOk) << o.err;
  EXPECT_NE(o.out.find("Зоны прохода: 1, 64\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("Длительность управляющего импульса (секунд) : 2.5\n"), std::string::npos) << o.out;
  EXPECT_EQ(o.out.find("Контрольная сумма"), std::string::npos);
  EXPECT_EQ(reader.framesFromHost().size(), sent);
}

TEST_F(CliFixture, BadFilesAreRefusedBeforeAnythingIsSent) {
  const QByteArray good = config::buildConfigFile(config::BuildConfigRecord(blockConfig()));
  QByteArray badDigest = good;
  badDigest[20] = static_cast<char>(badDigest[20] ^ 1);
  // A correct digest over a text that begins with "02".
  const std::string t = "02" + config::BuildConfigRecord(blockConfig());
  const QByteArray badVersion = QCryptographicHash::hash(QByteArray::fromStdString(t), QCryptographicHash::Md5) +
                                QByteArray::fromStdString(hexToBytes(t));
  struct Case {
    std::string name;
    std::optional<QByteArray> bytes;  // nothing: the file does not exist
    std::string_view message;  // empty: the system's own reason
  };
  const std::vector<Case> cases = {
      {"missing.rcf", std::nullopt, ""},
      {"short.rcf", good.left(19), config::kBadFileText},
      {"digest.rcf", badDigest, config::kBadDigestText},
      {"version.rcf", badVersion, config::kBadVersionText},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = file(c.name);
    if (c.bytes) writeFile(path, *c.bytes);
    const auto o = run({"config", "write", path});
    EXPECT_EQ(o.status, cli::kExitFile);
    EXPECT_EQ(o.out, "");
    if (c.message.empty()) {
      EXPECT_EQ(o.err.rfind(path + ": ", 0), 0u) << o.err;
      EXPECT_GT(o.err.size(), path.size() + 3);
    } else {
      EXPECT_EQ(o.err, path + ": " + std::string(c.message) + "\n");
    }
  }
  EXPECT_TRUE(reader.receivedFromHost().empty());

  // A file that cannot be written: the system's reason, status 5.
  reader.setConfigHex(config::BuildConfigRecord(blockConfig()));
  const auto o = run({"config", "save", dir.path().toStdString() + "/no/such/folder/x.rcf"});
  EXPECT_EQ(o.status, cli::kExitFile);
}

TEST_F(CliFixture, ConfigWriteRefusedStillEndsWithReadingMode) {
  const std::string path = file("block.rcf");
  writeFile(path, config::buildConfigFile(config::BuildConfigRecord(blockConfig())));
  reader.command("result 12");
  const auto o = run({"config", "write", path});
  EXPECT_EQ(o.status, cli::kExitRefused);
  EXPECT_EQ(o.err, errtotext(12) + "\n");
  const auto frames = reader.framesFromHost();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames.back(), kReadingModeFrame);
  EXPECT_TRUE(reader.configHex().empty());  // refused: nothing stored
}

// A master card with the object code of a mode-1 configuration, made the way
// the window makes one: "0101" with the configuration, then "0201" for one card.
struct ProtectedFixture : CliFixture {
  std::string record = config::BuildConfigRecord(objectCodeConfig());
  std::string path;

  void SetUp() override {
    CliFixture::SetUp();
    reader.setConfigHex(record);
    {
      QtClock clock;
      ReaderSession s(clock);
      ASSERT_EQ(s.open(reader.slavePath()), std::nullopt);
      ASSERT_EQ(s.SendToComPort("0201010200" "01"), kResultOk);
      s.answer().cmd = 255;
      reader.command("present blank");
      ASSERT_TRUE(waitUntil([&] { return s.answer().cmd == 0; }));  // the card's result reply
      ASSERT_EQ(s.SendToComPort("0501"), kResultOk);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(reader.cards().size(), 1u);
    ASSERT_EQ(reader.cards()[0].kind, sim::CardKind::Master);
    path = file("object.rcf");
    writeFile(path, config::buildConfigFile(record));
    reader.setConfigHex("");
  }
  std::size_t framesBefore() { return reader.framesFromHost().size(); }
};

TEST_F(ProtectedFixture, WriteWaitsForTheMasterCardReportingRefusedCards) {
  const auto before = framesBefore();
  const std::string writeFrame = bytesToHex(sim::ReaderSim::frame(1, 1, hexToBytes(record)));
  then([this] { return told("15 с\n"); }, [this] { reader.command("present blank"); });  // refused; the wait goes on
  then([this] { return told("Ошибка: "); }, [this] { reader.command("present 1"); });
  const Outcome o = run({"config", "write", path});
  EXPECT_EQ(o.status, cli::kExitOk) << o.err;
  EXPECT_EQ(o.out, "Выполнено\n");
  EXPECT_EQ(o.err.rfind(std::string(config::kObjectCodeDialogTitle) + ": " +
                            std::string(config::kObjectCodeDialogText) + "\n15 с\n",
                        0),
            0u)
      << o.err;
  EXPECT_NE(o.err.find("Ошибка: " + errtotext(sim::ReaderSim::kNoMasterData) + "\n"), std::string::npos) << o.err;
  EXPECT_EQ(reader.configHex(), record);
  EXPECT_FALSE(reader.snapshot().objectCode().empty());
  const auto frames = reader.framesFromHost();
  EXPECT_EQ(std::vector<std::string>(frames.begin() + static_cast<long>(before), frames.end()),
            (std::vector<std::string>{writeFrame, kReadingModeFrame}));
}

TEST_F(ProtectedFixture, NoMasterCardInTimeOrStoppedEndsWithReadingMode) {
  terva::testing::ManualClock clock;  // the countdown runs on it; the exchange limit stays real
  env.clock = &clock;
  const std::string writeFrame = bytesToHex(sim::ReaderSim::frame(1, 1, hexToBytes(record)));
  for (const bool byStop : {false, true}) {
    SCOPED_TRACE(byStop ? "stopped" : "timed out");
    const auto before = framesBefore();
    then([this] { return told("15 с\n"); }, [&] {
      if (byStop) {
        stop.request();
      } else {
        clock.advance(16s);
      }
    });
    const Outcome o = run({"config", "write", path});
    EXPECT_EQ(o.status, cli::kExitNoReply);
    EXPECT_EQ(o.out, "");
    EXPECT_NE(o.err.find(std::string(config::kObjectCodeNotWrittenText) + "\n"), std::string::npos) << o.err;
    if (!byStop) {
      EXPECT_NE(o.err.find("\n1 с\n0 с\n"), std::string::npos) << o.err;
    }
    const auto frames = reader.framesFromHost();
    EXPECT_EQ(std::vector<std::string>(frames.begin() + static_cast<long>(before), frames.end()),
              (std::vector<std::string>{writeFrame, kReadingModeFrame}));
  }
}

TEST_F(CliFixture, PortIsBusyWhileTheWindowHoldsIt) {
  QtClock clock;
  ReaderSession window(clock);
  ASSERT_EQ(window.open(reader.slavePath()), std::nullopt);
  const auto o = run({"version"});
  EXPECT_EQ(o.status, cli::kExitPort);
  EXPECT_EQ(o.err.rfind(std::string(kOpenErrorHeading) + "\n", 0), 0u) << o.err;
  EXPECT_TRUE(reader.receivedFromHost().empty());
}

TEST_F(CliFixture, PortChoiceWithoutPortOption) {
  env.listPorts = [] {
    return std::vector<PortEntry>{{"/dev/ttyS0", ""}, {"/dev/ttyACM0", "Reader A"}, {"/dev/ttyUSB3", ""}};
  };
  auto o = run({"version"}, false);
  EXPECT_EQ(o.status, cli::kExitPort);
  EXPECT_NE(o.err.find("  /dev/ttyACM0  Reader A\n  /dev/ttyUSB3\n"), std::string::npos) << o.err;
  EXPECT_EQ(o.err.find("ttyS0"), std::string::npos);

  env.listPorts = [] { return std::vector<PortEntry>{{"/dev/ttyS0", ""}}; };
  o = run({"version"}, false);
  EXPECT_EQ(o.status, cli::kExitPort);

  o = run({"ports"}, false);
  EXPECT_EQ(o.status, cli::kExitOk);
  EXPECT_EQ(o.out, "/dev/ttyS0\n");
  env.listPorts = [] { return std::vector<PortEntry>{{"/dev/ttyACM0", "Reader \"A\""}}; };
  o = run({"ports", "--json"}, false);
  EXPECT_EQ(o.out, "[{\"name\":\"/dev/ttyACM0\",\"description\":\"Reader \\\"A\\\"\"}]\n");
}

TEST_F(CliFixture, UsageErrors) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"frobnicate"}, {"read", "--count", "0"}, {"read", "--view", "oct"}, {"read", "--view", "cst"},
           {"ports", "--port", "/dev/x"}, {"send"}, {"config"}, {"config", "save"}, {"version", "--bogus"}}) {
    EXPECT_EQ(run(args, false).status, cli::kExitUsage) << (args.empty() ? "" : args[0]);
  }
  const auto o = run({"read", "--help"}, false);
  EXPECT_EQ(o.status, cli::kExitOk);
  EXPECT_NE(o.out.find("--count N"), std::string::npos);
  EXPECT_TRUE(reader.receivedFromHost().empty());
}

// Once as a real process: cards as they come, Ctrl+C ends it with status 0.
TEST_F(CliFixture, RealProcessStreamsAndStopsOnSigint) {
  QProcess p;
  p.start(QString(TERVA_BIN_DIR) + "/terva-cli",
          {"read", "--json", "--view", "hex", "--port", QString::fromStdString(reader.slavePath())});
  ASSERT_TRUE(p.waitForStarted(5000));
  ASSERT_TRUE(reader.waitForFrame(kReadingModeFrame, 5000ms));
  reader.command("card phone 0102030405060708");
  QByteArray line;
  QElapsedTimer t;
  t.start();
  while (!line.contains('\n') && t.elapsed() < 5000) {
    p.waitForReadyRead(100);
    line += p.readAllStandardOutput();
  }
  EXPECT_EQ(line.toStdString(),
            "{\"kind\":\"Phone ID\",\"identifier\":\"0102030405060708\",\"raw\":\"30313032303330343035303630373038\","
            "\"text\":\"0102030405060708\"}\n");
  ::kill(static_cast<pid_t>(p.processId()), SIGINT);
  ASSERT_TRUE(p.waitForFinished(5000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), cli::kExitOk) << p.readAllStandardError().toStdString();
}

}  // namespace

#include "cli/cli.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>

#include "app/settings_location.h"
#include "app/shell_settings.h"
#include "cards/form3_logic.h"
#include "cli/describe.h"
#include "config/config_editor.h"
#include "config/config_file.h"
#include "config/config_record.h"
#include "config/reader_exchange.h"
#include "ident/render.h"
#include "protocol/commands.h"
#include "protocol/exchange.h"
#include "protocol/hextext.h"
#include "protocol/messages.h"
#include "protocol/qt_clock.h"
#include "protocol/results.h"
#include "protocol/session.h"

namespace terva::cli {

namespace {

constexpr const char* kProgram = "terva-cli";

constexpr const char* kExitCodesHelp =
    "Коды завершения:\n"
    "  0  успешно\n"
    "  1  ошибка в командной строке\n"
    "  2  порт не найден, не открывается или занят; USB-считыватель отключен\n"
    "  3  нет ответа или ответ неверен; мастер-карта не приложена вовремя\n"
    "  4  считыватель отказал (код результата в сообщении)\n"
    "  5  ошибка файла конфигурации\n";

constexpr const char* kPortHelp =
    "  --port ПУТЬ   порт считывателя; без него - порт, сохранённый программой,\n"
    "                или единственный порт ttyACM*/ttyUSB*\n"
    "  --settings ФАЙЛ  другой файл настроек окна (порт, представление, шаблон)\n";

const std::map<std::string, std::string>& commandHelp() {
  static const std::map<std::string, std::string> help{
      {"ports",
       "terva-cli ports [--json]\n"
       "Список последовательных портов, как в окне программы: путь и, если есть,\n"
       "название USB-устройства через табуляцию.\n"
       "  --json        массив объектов {\"name\", \"description\"}\n"},
      {"read",
       "terva-cli read [--view dec|hex|cst] [--template ШАБЛОН] [--count N] [--json] [--port ПУТЬ]\n"
       "Переводит считыватель в режим считывания карт и печатает по строке на каждую\n"
       "приложенную карту, сразу. Завершается после N карт, по Ctrl+C (код 0) или при\n"
       "отключении считывателя (код 2).\n"
       "  --view        dec, hex или cst (по шаблону); по умолчанию - как сохранено в окне\n"
       "  --template    шаблон для cst (по умолчанию сохранённый); без --view включает cst\n"
       "  --count N     завершиться после N карт\n"
       "  --json        по объекту JSON в строке: kind, identifier, raw (hex), text\n"},
      {"send",
       "terva-cli send ДАННЫЕ [--port ПУТЬ]\n"
       "Один обмен: ДАННЫЕ - hex-текст команды (например 0A01). Печатает отправленный\n"
       "кадр (\"> \"), принятые байты (\"< \") и текст результата.\n"},
      {"version",
       "terva-cli version [--json] [--port ПУТЬ]\n"
       "Версия микропрограммы считывателя.\n"
       "  --json        {\"version\": \"1.0.8\"}\n"},
      {"config",
       "terva-cli config show [ФАЙЛ.rcf] [--json] [--port ПУТЬ]\n"
       "  Конфигурация считывателя (или файла) словами; --json для сценариев.\n"
       "terva-cli config save ФАЙЛ.rcf [--port ПУТЬ]\n"
       "  Считывает конфигурацию считывателя и записывает её в файл .rcf.\n"
       "terva-cli config write ФАЙЛ.rcf [--port ПУТЬ]\n"
       "  Записывает конфигурацию из файла в считыватель. В защищённых режимах ждёт\n"
       "  мастер-карту с кодом объекта (15 с, отсчёт в стандартный поток ошибок).\n"},
  };
  return help;
}

std::string generalHelp() {
  std::string s =
      "terva-cli - USB-считыватель RFID из командной строки\n\n"
      "Команды:\n"
      "  ports                     список последовательных портов\n"
      "  read                      идентификаторы приложенных карт\n"
      "  send ДАННЫЕ               одна команда считывателю\n"
      "  version                   версия микропрограммы\n"
      "  config show [ФАЙЛ.rcf]    конфигурация считывателя или файла\n"
      "  config save ФАЙЛ.rcf      конфигурация считывателя в файл\n"
      "  config write ФАЙЛ.rcf     конфигурация из файла в считыватель\n\n"
      "Общие параметры:\n";
  s += kPortHelp;
  s += "  --help        справка по команде\n\n";
  s += kExitCodesHelp;
  return s;
}

// ---- the command line ----

struct Args {
  std::string command;
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;  // --port, --view, --template, --count
  std::set<std::string> flags;                // --json, --help
};

const std::set<std::string> kValueOptions{"--port", "--view", "--template", "--count", "--settings"};
const std::set<std::string> kFlagOptions{"--json", "--help"};

// The options each command takes (besides --help).
const std::map<std::string, std::set<std::string>> kAllowed{
    {"ports", {"--json"}},
    {"read", {"--port", "--settings", "--view", "--template", "--count", "--json"}},
    {"send", {"--port", "--settings"}},
    {"version", {"--port", "--settings", "--json"}},
    {"config", {"--port", "--settings", "--json"}},
};

struct UsageError {
  std::string text;
};

Args parseArgs(const std::vector<std::string>& argv) {
  Args a;
  bool optionsEnd = false;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    std::string arg = argv[i];
    if (!optionsEnd && arg == "--") {
      optionsEnd = true;
      continue;
    }
    if (!optionsEnd && (arg == "-h" || arg == "help")) arg = "--help";
    if (!optionsEnd && arg.size() > 2 && arg.rfind("--", 0) == 0) {
      std::string name = arg;
      std::optional<std::string> value;
      if (const auto eq = arg.find('='); eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
      }
      if (kValueOptions.count(name)) {
        if (!value) {
          if (i + 1 >= argv.size()) throw UsageError{"Параметру " + name + " нужно значение."};
          value = argv[++i];
        }
        a.values[name] = *value;
      } else if (kFlagOptions.count(name) && !value) {
        a.flags.insert(name);
      } else {
        throw UsageError{"Неизвестный параметр: " + arg};
      }
      continue;
    }
    if (a.command.empty()) {
      a.command = arg;
    } else {
      a.positional.push_back(arg);
    }
  }
  return a;
}

void checkOptions(const Args& a) {
  const auto& allowed = kAllowed.at(a.command);
  for (const auto& [name, value] : a.values)
    if (!allowed.count(name)) throw UsageError{"Команда " + a.command + " не принимает " + name + "."};
  for (const auto& name : a.flags)
    if (name != "--help" && !allowed.count(name)) throw UsageError{"Команда " + a.command + " не принимает " + name + "."};
}

void expectPositional(const Args& a, std::size_t min, std::size_t max) {
  if (a.positional.size() < min) throw UsageError{"Не хватает аргументов команды " + a.command + "."};
  if (a.positional.size() > max) throw UsageError{"Лишний аргумент: " + a.positional[max]};
}

// ---- output helpers ----

class StreamPrompts : public Prompts {
 public:
  explicit StreamPrompts(std::ostream& err) : err_(err) {}
  void error(const std::string& t) override { err_ << t << std::endl; }
  void message(const std::string& t) override { err_ << t << std::endl; }
  bool question(const std::string&) override { return true; }

 private:
  std::ostream& err_;
};

// Exit status for a failed exchange result.
int exitForResult(std::uint8_t result) {
  if (result == kResultOk) return kExitOk;
  if (result == kResultMalformed || result == kResultNoReply) return kExitNoReply;
  if (result == kResultNotSent) return kExitPort;  // payloads are checked first: the port is gone
  return kExitRefused;
}

bool looksLikeReader(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  return name.rfind("ttyACM", 0) == 0 || name.rfind("ttyUSB", 0) == 0;
}

// ---- one run ----

class Runner {
 public:
  Runner(const Args& args, std::ostream& out, std::ostream& err, const Environment& env)
      : a_(args), out_(out), err_(err), env_(env) {
    if (env.clock) {
      clock_ = env.clock;
    } else {
      ownClock_ = std::make_unique<QtClock>();
      clock_ = ownClock_.get();
    }
    if (env_.stop) env_.stop->handler = [this] { onStop(); };
  }
  ~Runner() {
    if (env_.stop) env_.stop->handler = nullptr;
    closeSession();
  }

  int run();

 private:
  int ports();
  int read();
  int send();
  int version();
  int config();
  int configShow();
  int configSave();
  int configWrite();

  app::ShellSettings settings() const {
    if (const auto it = a_.values.find("--settings"); it != a_.values.end()) return app::readShellSettings(it->second);
    return env_.settingsFile.empty() ? app::ShellSettings{} : app::readShellSettings(env_.settingsFile);
  }
  std::vector<PortEntry> machinePorts() const { return env_.listPorts ? env_.listPorts() : std::vector<PortEntry>{}; }
  // The port to use, or the exit status after the message.
  std::optional<std::string> choosePort(int& status);
  // Opens the session on the chosen port; kExitOk or the status after the message.
  int connect();
  void closeSession();
  // One exchange; nothing when the port refused the write (message shown).
  std::optional<std::uint8_t> exchange(std::string_view payload);
  // Reads the reader's configuration into `editor`; kExitOk or the status after the message.
  int readReaderConfig(config::ConfigEditor& editor, config::ConfigItems& items);
  // Reads a file into `editor`; kExitOk or kExitFile after the message.
  int readFileConfig(const std::string& path, config::ConfigEditor& editor, config::ConfigItems& items);
  void onStop();

  const Args& a_;
  std::ostream& out_;
  std::ostream& err_;
  const Environment& env_;
  Clock* clock_ = nullptr;
  std::unique_ptr<QtClock> ownClock_;
  std::unique_ptr<ReaderSession> session_;
  QEventLoop* loop_ = nullptr;  // the loop a stop request ends
  int stopStatus_ = kExitOk;
  std::function<void()> onStopExtra_;
};

int Runner::run() {
  if (a_.command.empty()) {
    if (a_.flags.count("--help")) {
      out_ << generalHelp();
      return kExitOk;
    }
    err_ << generalHelp();
    return kExitUsage;
  }
  if (!kAllowed.count(a_.command)) throw UsageError{"Неизвестная команда: " + a_.command};
  if (a_.flags.count("--help")) {
    out_ << commandHelp().at(a_.command);
    if (a_.command != "ports") out_ << kPortHelp;
    out_ << "\n" << kExitCodesHelp;
    return kExitOk;
  }
  checkOptions(a_);
  if (a_.command == "ports") return ports();
  if (a_.command == "read") return read();
  if (a_.command == "send") return send();
  if (a_.command == "version") return version();
  return config();
}

void Runner::onStop() {
  if (onStopExtra_) onStopExtra_();
  if (loop_) loop_->exit(stopStatus_);
}

std::optional<std::string> Runner::choosePort(int& status) {
  status = kExitPort;
  if (const auto it = a_.values.find("--port"); it != a_.values.end()) {
    if (it->second.empty()) {
      status = kExitUsage;
      err_ << "Пустой путь порта." << std::endl;
      return std::nullopt;
    }
    return it->second;
  }
  const auto machine = machinePorts();
  if (const auto saved = settings().port) {
    bool listed = false;
    for (const auto& p : machine) listed = listed || p.name == *saved;
    if (listed || QFileInfo::exists(QString::fromStdString(*saved))) return *saved;
  }
  std::vector<PortEntry> readers;
  for (const auto& p : machine)
    if (looksLikeReader(p.name)) readers.push_back(p);
  if (readers.size() == 1) return readers[0].name;
  if (readers.empty()) {
    err_ << "USB-считыватель не найден: нет портов ttyACM*/ttyUSB*. Укажите порт: --port ПУТЬ" << std::endl;
  } else {
    err_ << "Найдено несколько портов, похожих на USB-считыватель; укажите один: --port ПУТЬ" << std::endl;
    for (const auto& p : readers) {
      err_ << "  " << p.name;
      if (!p.description.empty()) err_ << "  " << p.description;
      err_ << std::endl;
    }
  }
  return std::nullopt;
}

int Runner::connect() {
  int status = kExitOk;
  const auto path = choosePort(status);
  if (!path) return status;
  session_ = std::make_unique<ReaderSession>(*clock_);
  QObject::connect(session_.get(), &ReaderSession::lineErrors, [this](const std::vector<std::string>& messages) {
    for (const auto& m : messages) err_ << m << std::endl;
  });
  if (const auto error = session_->open(*path)) {
    err_ << *error << std::endl;
    return kExitPort;
  }
  return kExitOk;
}

void Runner::closeSession() {
  if (!session_) return;
  session_->close();
  session_.reset();
  // The port object is released once its own handlers have returned.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::optional<std::uint8_t> Runner::exchange(std::string_view payload) {
  try {
    return session_->SendToComPort(payload);
  } catch (const SessionError& e) {
    err_ << e.what() << std::endl;
    return std::nullopt;
  }
}

// ---- ports ----

int Runner::ports() {
  expectPositional(a_, 0, 0);
  const auto list = machinePorts();
  if (a_.flags.count("--json")) {
    std::string json = "[";
    for (std::size_t i = 0; i < list.size(); ++i) {
      json += std::string(i ? "," : "") + "{\"name\":" + jsonString(QString::fromStdString(list[i].name)) +
              ",\"description\":" + jsonString(QString::fromStdString(list[i].description)) + "}";
    }
    out_ << json << "]" << std::endl;
  } else {
    for (const auto& p : list) {
      out_ << p.name;
      if (!p.description.empty()) out_ << "\t" << p.description;
      out_ << "\n";
    }
    out_ << std::flush;
  }
  if (list.empty()) err_ << "Последовательные порты не найдены." << std::endl;
  return kExitOk;
}

// ---- read ----

int Runner::read() {
  expectPositional(a_, 0, 0);
  std::optional<long long> count;
  if (const auto it = a_.values.find("--count"); it != a_.values.end()) {
    try {
      std::size_t used = 0;
      count = std::stoll(it->second, &used);
      if (used != it->second.size() || *count < 1) throw std::invalid_argument("count");
    } catch (const std::exception&) {
      throw UsageError{"--count: нужно целое число от 1."};
    }
  }
  // The view as the window would have it, unless the command line says otherwise.
  ident::IdentDisplay display;
  const auto saved = settings();
  if (saved.viewMode == ident::ViewMode::Cst) {
    display.startupTemplate(saved.templ);
  } else {
    display.setViewMode(saved.viewMode);
  }
  const auto viewIt = a_.values.find("--view");
  const auto tmplIt = a_.values.find("--template");
  if (viewIt != a_.values.end()) {
    static const std::map<std::string, ident::ViewMode> views{
        {"dec", ident::kViewDec}, {"hex", ident::kViewHex}, {"cst", ident::kViewCst}};
    const auto v = views.find(viewIt->second);
    if (v == views.end()) throw UsageError{"--view: dec, hex или cst."};
    display.setViewMode(v->second);
  } else if (tmplIt != a_.values.end()) {
    display.setViewMode(ident::kViewCst);
  }
  if (tmplIt != a_.values.end()) display.setActiveTemplate(tmplIt->second);
  if (display.viewMode() == ident::kViewCst && display.activeTemplate().empty()) {
    throw UsageError{"Для представления cst нужен шаблон: --template ШАБЛОН."};
  }
  const bool json = a_.flags.count("--json") > 0;

  if (const int s = connect()) return s;
  QEventLoop loop;
  long long seen = 0;
  QObject::connect(session_.get(), &ReaderSession::identifierReceived, &loop, [&](const IdMessage& msg) {
    if (count && seen >= *count) return;
    const std::string rendered = display.show(msg.identifier);
    out_ << (json ? identifierJson(msg, rendered) : identifierLine(rendered)) << std::endl;
    if (count && ++seen >= *count) loop.exit(kExitOk);
  });
  QObject::connect(session_.get(), &ReaderSession::unplugged, &loop, [&] {
    err_ << kUnpluggedText << std::endl;
    loop.exit(kExitPort);
  });
  const auto result = exchange(commands::cardReadingMode());
  if (!result) return kExitPort;
  // A card presented while the reply was awaited takes the reply's place
  // (each receive event is judged alone); the card shows the reader is reading.
  const bool cardDuringWait = display.shownMode().has_value();
  if (*result != kResultOk && !(*result == kResultNoReply && cardDuringWait)) {
    err_ << errtotext(*result) << std::endl;
    return exitForResult(*result);
  }
  if (!session_->connected()) {
    err_ << kUnpluggedText << std::endl;
    return kExitPort;
  }
  if (count && seen >= *count) return kExitOk;
  if (env_.stop && env_.stop->requested()) return kExitOk;
  loop_ = &loop;
  stopStatus_ = kExitOk;
  const int status = loop.exec();
  loop_ = nullptr;
  return status;
}

// ---- send ----

int Runner::send() {
  expectPositional(a_, 1, 1);
  const std::string& payload = a_.positional[0];
  bool hex = !payload.empty();
  for (char c : payload) hex = hex && std::isxdigit(static_cast<unsigned char>(c));
  if (!hex || !buildFrame(payload)) {
    throw UsageError{"ДАННЫЕ: чётное число hex-цифр, не больше " + std::to_string(kMaxPayloadBytes) + " байт."};
  }
  if (const int s = connect()) return s;
  QObject::connect(session_.get(), &ReaderSession::frameSent,
                   [this](const std::string& frame) { out_ << "> " << frame << std::endl; });
  QObject::connect(session_.get(), &ReaderSession::bytesReceived,
                   [this](const std::string& hexText) { out_ << "< " << hexText << std::endl; });
  const auto result = exchange(payload);
  if (!result) return kExitPort;
  if (*result == kResultOk) {
    out_ << kDoneText << std::endl;
  } else {
    err_ << errtotext(*result) << std::endl;
  }
  return exitForResult(*result);
}

// ---- version ----

int Runner::version() {
  expectPositional(a_, 0, 0);
  if (const int s = connect()) return s;
  if (!exchange(commands::readFirmwareVersion())) return kExitPort;  // the result is not examined
  const auto v = config::parseVersionReply(session_->answer().body);
  if (!v) {
    err_ << config::kVersionFailedText << std::endl;
    return kExitNoReply;
  }
  if (a_.flags.count("--json")) {
    out_ << "{\"version\":\"" << int{(*v)[0]} << "." << int{(*v)[1]} << "." << int{(*v)[2]} << "\"}" << std::endl;
  } else {
    out_ << config::versionText(*v) << std::endl;
  }
  return kExitOk;
}

// ---- config ----

int Runner::config() {
  if (a_.positional.empty()) throw UsageError{"config: show, save или write."};
  const std::string& sub = a_.positional[0];
  if (sub == "show") return configShow();
  if (sub == "save") return configSave();
  if (sub == "write") return configWrite();
  throw UsageError{"config: неизвестная команда " + sub + " (show, save, write)."};
}

int Runner::readReaderConfig(config::ConfigEditor& editor, config::ConfigItems& items) {
  if (const int s = connect()) return s;
  if (!exchange(commands::readConfiguration())) return kExitPort;  // the result is not examined
  const auto parsed = config::parseConfigReply(session_->answer().body);
  if (!parsed) {
    err_ << config::kReadConfigFailedText << std::endl;
    return kExitNoReply;
  }
  if (!editor.ApplyConfigRecord(*parsed)) {
    err_ << config::kApplyFailedText << std::endl;
    return kExitNoReply;
  }
  items = *parsed;
  return kExitOk;
}

int Runner::readFileConfig(const std::string& path, config::ConfigEditor& editor, config::ConfigItems& items) {
  const auto contents = config::readConfigFile(QString::fromStdString(path));
  if (contents.error) {
    err_ << path << ": " << *contents.error << std::endl;
    return kExitFile;
  }
  items = config::ParseConfigItems(contents.recordHex);
  if (!editor.ApplyConfigRecord(items)) {
    err_ << path << ": " << config::kApplyFailedText << std::endl;
    return kExitFile;
  }
  return kExitOk;
}

int Runner::configShow() {
  expectPositional(a_, 1, 2);
  config::ConfigEditor editor;
  config::ConfigItems items;
  const bool fromFile = a_.positional.size() == 2;
  const int s = fromFile ? readFileConfig(a_.positional[1], editor, items) : readReaderConfig(editor, items);
  if (s != kExitOk) return s;
  const auto* shown = fromFile ? nullptr : &items;  // files carry no checksums
  out_ << (a_.flags.count("--json") ? configJson(editor.config(), shown) : describeConfig(editor.config(), shown))
       << std::flush;
  return kExitOk;
}

int Runner::configSave() {
  expectPositional(a_, 2, 2);
  if (a_.flags.count("--json")) throw UsageError{"config save не принимает --json."};
  config::ConfigEditor editor;
  config::ConfigItems items;
  if (const int s = readReaderConfig(editor, items)) return s;
  editor.fillAccessCode();
  const QByteArray file = config::buildConfigFile(config::BuildConfigRecord(editor.config()));
  if (const auto error = config::writeConfigFile(QString::fromStdString(a_.positional[1]), file)) {
    err_ << a_.positional[1] << ": " << *error << std::endl;
    return kExitFile;
  }
  out_ << kDoneText << std::endl;
  return kExitOk;
}

int Runner::configWrite() {
  expectPositional(a_, 2, 2);
  if (a_.flags.count("--json")) throw UsageError{"config write не принимает --json."};
  // The file is judged before the reader is touched.
  config::ConfigEditor editor;
  config::ConfigItems items;
  if (const int s = readFileConfig(a_.positional[1], editor, items)) return s;
  editor.fillAccessCode();
  if (const int s = connect()) return s;

  const auto result = exchange(config::writeConfigPayload(editor.config()));
  if (!result) {
    exchange(commands::cardReadingMode());  // ends the card mode if the line still takes it
    return kExitPort;
  }
  int status = kExitOk;
  if (*result != kResultOk) {
    err_ << errtotext(*result) << std::endl;
    status = exitForResult(*result);
  } else if (config::needsObjectCodeMasterCard(editor.config().readingMode)) {
    // The reader now waits for the master card with the object code.
    session_->answer().cmd = 255;
    session_->answer().body.clear();
    StreamPrompts prompts(err_);
    cards::Form3Logic wait(*clock_, prompts);
    QEventLoop loop;
    std::string shownCountdown;
    bool countdownOpen = false;
    auto endCountdownLine = [&] {
      if (countdownOpen && env_.stderrIsTerminal) err_ << std::endl;
      countdownOpen = false;
    };
    wait.onChanged = [&] {
      if (!wait.running() || wait.countdownText() == shownCountdown) return;
      shownCountdown = wait.countdownText();
      if (env_.stderrIsTerminal) {
        err_ << "\r" << shownCountdown << " с  " << std::flush;
      } else {
        err_ << shownCountdown << " с" << std::endl;
      }
      countdownOpen = true;
    };
    wait.onClosed = [&](cards::ModalResult r) { loop.exit(r == cards::ModalResult::Yes ? 1 : 0); };
    QObject::connect(session_.get(), &ReaderSession::frameReceived, &loop, [&](const Answer& frame) {
      endCountdownLine();  // a refused card's message goes on its own line
      wait.pushReply(frame);
    });
    QObject::connect(session_.get(), &ReaderSession::unplugging, &loop, [&] { wait.close(); });
    onStopExtra_ = [&] { wait.close(); };
    err_ << config::kObjectCodeDialogTitle << ": " << config::kObjectCodeDialogText << std::endl;
    wait.show();
    const bool presented = (env_.stop && env_.stop->requested()) ? false : loop.exec() == 1;
    onStopExtra_ = nullptr;
    endCountdownLine();
    if (presented) {
      out_ << kDoneText << std::endl;
    } else {
      err_ << config::kObjectCodeNotWrittenText << std::endl;
      status = session_->connected() ? kExitNoReply : kExitPort;
      if (!session_->connected()) err_ << kUnpluggedText << std::endl;
    }
  } else {
    out_ << kDoneText << std::endl;
  }
  // Back to card reading on every path; its result is not examined.
  if (session_->connected()) exchange(commands::cardReadingMode());
  return status;
}

}  // namespace

Environment systemEnvironment(const std::filesystem::path& exeDir) {
  Environment env;
  env.settingsFile = app::settingsFilePath(exeDir);
  env.listPorts = [] { return systemPorts(); };
  env.stderrIsTerminal = ::isatty(STDERR_FILENO) == 1;
  return env;
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Environment& env) {
  try {
    const Args parsed = parseArgs(args);
    Runner runner(parsed, out, err, env);
    return runner.run();
  } catch (const UsageError& e) {
    err << kProgram << ": " << e.text << std::endl << "Справка: " << kProgram << " --help" << std::endl;
    return kExitUsage;
  }
}

namespace {
int signalPipe[2] = {-1, -1};
void onSignal(int) {
  const char c = 1;
  [[maybe_unused]] const auto n = ::write(signalPipe[1], &c, 1);
}
}  // namespace

void installSignalStop(StopRequest& stop) {
  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [&stop] {
    char buf[16];
    while (::read(signalPipe[0], buf, sizeof buf) > 0) {
    }
    stop.request();
  });
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
}

}  // namespace terva::cli

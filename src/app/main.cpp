// Program start: parse the command line, hand over to a copy already running,
// create the desktop services and the program's parts, show the main window.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>
#include <utility>

#include "app/settings_location.h"
#include "app/shell_settings.h"
#include "app/ui/font_preload.h"
#include "app/ui/program.h"
#include "app/ui/services.h"
#include "app/ui/single_instance.h"
#include "app/ui/tform1.h"
#include "app/ui/translations.h"
#include "ident/keyboard.h"
#include "protocol/qt_clock.h"

namespace {

QString u8(const char* text) { return QString::fromUtf8(text); }

void print(std::FILE* to, const QString& text) {
  std::fputs(text.toUtf8().constData(), to);
  std::fflush(to);
}

// Qt's own help layout with its English headings in Russian.
QString russianHelp(const QCommandLineParser& parser) {
  QString text = parser.helpText();
  text.replace(QStringLiteral("<executable_name>"), QStringLiteral("terva-rfid"));
  text.replace(QStringLiteral("Usage:"), u8("Использование:"));
  text.replace(QStringLiteral("[options]"), u8("[параметры]"));
  text.replace(QStringLiteral("Options:"), u8("Параметры:"));
  return text;
}

// Qt's parse errors, which name the option, in Russian.
QString russianError(QString text) {
  static const std::pair<const char*, const char*> kTexts[] = {
      {"Unknown options: ", "Неизвестные параметры: "},
      {"Unknown option ", "Неизвестный параметр "},
      {"Missing value after ", "Не указано значение после "},
      {"Unexpected value after ", "Лишнее значение после "},
  };
  for (const auto& [en, ru] : kTexts) text.replace(QString::fromLatin1(en), u8(ru));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  // The command line is read before any window system is reached, so --help
  // and --version work without a display.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QCoreApplication::setApplicationName(QStringLiteral("terva-rfid"));
  QCoreApplication::setApplicationVersion(QString::fromStdString(terva::app::versionText()));

  QCommandLineParser parser;
  parser.setApplicationDescription(u8(terva::app::kApplicationTitle) + "\n" +
                                   u8("Чтение карт и настройка USB-считывателя RFID-карт."));
  const QCommandLineOption helpOption({"h", "help"}, u8("Показать эту справку и выйти."));
  const QCommandLineOption versionOption({"v", "version"}, u8("Показать версию программы и выйти."));
  const QCommandLineOption portOption(
      "port", u8("Показать устройство первым в списке портов и выбрать его (например, псевдотерминал имитатора считывателя)."),
      u8("путь"));
  const QCommandLineOption connectOption("connect", u8("Подключиться к выбранному порту сразу после запуска."));
  const QCommandLineOption settingsOption("settings", u8("Использовать другой файл настроек."), u8("файл"));
  parser.addOption(helpOption);
  parser.addOption(versionOption);
  parser.addOption(portOption);
  parser.addOption(connectOption);
  parser.addOption(settingsOption);
  if (!parser.parse(arguments)) {
    print(stderr, u8("terva-rfid: ") + russianError(parser.errorText()) + "\n" + u8("Справка: terva-rfid --help\n"));
    return 2;
  }
  if (parser.isSet(helpOption)) {
    print(stdout, russianHelp(parser));
    return 0;
  }
  if (parser.isSet(versionOption)) {
    print(stdout, QCoreApplication::applicationName() + " " + QCoreApplication::applicationVersion() + "\n");
    return 0;
  }
  if (!parser.positionalArguments().isEmpty()) {
    print(stderr, u8("terva-rfid: лишний аргумент: ") + parser.positionalArguments().first() + "\n" +
                      u8("Справка: terva-rfid --help\n"));
    return 2;
  }

  // The font configuration loads on another core meanwhile.
  terva::app::FontPreload fonts;
  QApplication app(argc, argv);
  terva::app::installRussianTranslations(app);
  QApplication::setApplicationDisplayName(u8(terva::app::kApplicationTitle));
  QGuiApplication::setDesktopFileName(QStringLiteral("terva-rfid"));
  // The window may be hidden in the tray: closing a message box then must not
  // end the program; closing the main window does.
  QApplication::setQuitOnLastWindowClosed(false);

  const std::filesystem::path settingsFile =
      parser.isSet(settingsOption)
          ? std::filesystem::path(parser.value(settingsOption).toStdString())
          : terva::app::settingsFilePath(QCoreApplication::applicationDirPath().toStdString());

  // A second start brings the running copy's window forward and ends here.
  terva::app::SingleInstance instance(terva::app::SingleInstance::socketNameFor(settingsFile));
  if (!instance.claim()) {
    // The toolkit's font database goes with the application object: the load
    // must be over by then.
    fonts.finish();
    return 0;
  }

  terva::QtClock clock;
  terva::app::QtPrompts prompts;
  terva::app::QtFileDialogs files;
  terva::app::QtColourDialog colours;
  terva::app::QtClipboard clipboard;
  auto keyboard = terva::ident::makeSystemKeystrokeOutput();

  terva::app::ProgramServices services;
  services.clock = &clock;
  services.prompts = &prompts;
  services.files = &files;
  services.colours = &colours;
  services.clipboard = &clipboard;
  services.keyboard = keyboard.get();
  services.settingsFile = settingsFile;
  services.listPorts = terva::systemPorts;
  services.commandLinePort = parser.value(portOption).toStdString();
  services.connectAtStart = parser.isSet(connectOption);

  // The controls are built meanwhile; laying them out needs the fonts.
  services.beforeFirstLayout = [&fonts] { fonts.finish(); };
  terva::app::Program program(std::move(services));
  prompts.setParent(&program.window());
  files.setParent(&program.window());
  colours.setParent(&program.window());
  QObject::connect(&instance, &terva::app::SingleInstance::activationRequested, &program,
                   &terva::app::Program::bringToFront);
  QObject::connect(&program.window(), &terva::app::TForm1::closing, &app, &QApplication::quit, Qt::QueuedConnection);
  program.window().show();
  // For start-up measurements: quit as soon as the first show has run.
  if (qgetenv("TERVA_QUIT_AFTER_SHOW") == "1") QTimer::singleShot(0, &app, &QCoreApplication::quit);
  return QApplication::exec();
}

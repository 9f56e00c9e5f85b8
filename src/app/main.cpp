// Program start: parse the command line, create the desktop services and the
// program's parts, show the main window.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "app/settings_location.h"
#include "app/shell_settings.h"
#include "app/ui/program.h"
#include "app/ui/services.h"
#include "app/ui/tform1.h"
#include "app/ui/translations.h"
#include "ident/keyboard.h"
#include "protocol/qt_clock.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  terva::app::installRussianTranslations(app);
  QApplication::setApplicationName(QString::fromUtf8(terva::app::kApplicationTitle));
  QApplication::setApplicationVersion(QString::fromStdString(terva::app::versionText()));

  QCommandLineParser parser;
  parser.setApplicationDescription("Card reader utility");
  parser.addHelpOption();
  parser.addVersionOption();
  QCommandLineOption portOption("port", "Serial device to list first and select (e.g. a simulated reader's pseudo-terminal).", "path");
  QCommandLineOption settingsOption("settings", "Settings file to use instead of the default one.", "file");
  QCommandLineOption connectOption("connect", "Connect to the selected port right after start.");
  parser.addOption(portOption);
  parser.addOption(connectOption);
  parser.addOption(settingsOption);
  parser.process(app);

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
  services.settingsFile =
      parser.isSet(settingsOption)
          ? std::filesystem::path(parser.value(settingsOption).toStdString())
          : terva::app::settingsFilePath(QCoreApplication::applicationDirPath().toStdString());
  services.listPorts = terva::systemPorts;
  services.commandLinePort = parser.value(portOption).toStdString();
  services.connectAtStart = parser.isSet(connectOption);

  terva::app::Program program(std::move(services));
  prompts.setParent(&program.window());
  files.setParent(&program.window());
  colours.setParent(&program.window());
  program.window().show();
  // For start-up measurements: quit as soon as the first show has run.
  if (qgetenv("TERVA_QUIT_AFTER_SHOW") == "1") QTimer::singleShot(0, &app, &QCoreApplication::quit);
  return QApplication::exec();
}

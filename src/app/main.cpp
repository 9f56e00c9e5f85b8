// Program start: parse the command line, wire the desktop services, show the main window.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <iostream>

#include "app/settings_location.h"
#include "app/shell_settings.h"
#include "app/ui/services.h"
#include "app/ui/tform1.h"
#include "ident/keyboard.h"
#include "serial/comport.h"
#include "serial/portlist.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
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

  std::filesystem::path settingsFile =
      parser.isSet(settingsOption)
          ? std::filesystem::path(parser.value(settingsOption).toStdString())
          : terva::app::settingsFilePath(QCoreApplication::applicationDirPath().toStdString());

  auto keyboard = terva::ident::makeSystemKeystrokeOutput();
  terva::app::QtPrompts prompts;
  terva::app::QtClipboard clipboard;

  terva::app::MainWindowServices services;
  services.prompts = &prompts;
  services.clipboard = &clipboard;
  services.keyboard = keyboard.get();
  services.settingsFile = settingsFile;
  services.listPorts = [] {
    std::vector<std::string> names;
    terva::serial::ListComPortNames(names);
    return names;
  };
  services.commandLinePort = parser.value(portOption).toStdString();
  services.connectAtStart = parser.isSet(connectOption);

  terva::app::TForm1 window(std::move(services));
  prompts.setParent(&window);
  window.show();
  return QApplication::exec();
}

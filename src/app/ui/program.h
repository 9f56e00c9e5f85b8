#pragma once
// The program's parts, created and wired: the session with the reader, the
// connection bar's controller, the pages and the main window that hosts them,
// and the start-up and close steps that carry the settings file.
#include <QObject>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/shell_settings.h"
#include "config/config_editor.h"
#include "protocol/clock.h"
#include "protocol/connection.h"
#include "protocol/operator.h"
#include "protocol/session.h"

namespace terva::ident {
class ClipboardOutput;
class KeystrokeOutput;
class ReadingPage;
class TemplateChooser;
class TemplateEditorDialog;
}  // namespace terva::ident

namespace terva::cards {
class CardDialogs;
class MasterCardWorkflows;
class ProtectedCardWorkflows;
}  // namespace terva::cards

namespace terva::config {
class ConfigPage;
class ConfigWorkflows;
class ObjectCodeCardWait;
}  // namespace terva::config

namespace terva::app {

class TForm1;
class LazyPage;
class QtColourDialog;
class QtFileDialogs;
class TerminalPanel;
class TrayIconBinding;

struct ProgramServices {
  Clock* clock = nullptr;
  Prompts* prompts = nullptr;
  FileDialogs* files = nullptr;      // null: Qt's file dialogs
  ColourDialog* colours = nullptr;   // null: Qt's colour dialog
  // The wait for the object-code master card after a write in a protected
  // mode; null: the card dialog "Чтение кода объекта".
  config::ObjectCodeCardWait* objectCodeWait = nullptr;
  ident::ClipboardOutput* clipboard = nullptr;
  ident::KeystrokeOutput* keyboard = nullptr;  // may be null: no keystroke output at all
  ident::TemplateChooser* templateEditor = nullptr;  // null: the real dialog
  std::filesystem::path settingsFile;
  PortLister listPorts;         // the machine's serial ports
  std::string commandLinePort;  // --port: listed first and selected
  bool connectAtStart = false;  // --connect: as if auto-connect were ticked
  std::function<bool()> trayAvailable;  // null: ask the desktop
  // Called once the window's controls exist and before any text is measured
  // (main waits here for the font configuration loading on another core).
  std::function<void()> beforeFirstLayout;
};

class Program : public QObject {
  Q_OBJECT
 public:
  explicit Program(ProgramServices services);
  ~Program() override;

  TForm1& window() { return *window_; }
  ReaderSession& session() { return session_; }
  ConnectionController& connection() { return connection_; }
  ident::ReadingPage& readingPage() { return *reading_; }
  // The reader configuration: its editor (apply records, read the current
  // one), its page and the workflows of the page's configuration buttons.
  config::ConfigEditor& configEditor() { return configEditor_; }
  // The page "Конфигурация", built now when it has not been shown yet.
  config::ConfigPage& configPage();
  config::ConfigWorkflows& configWorkflows() { return *configFlows_; }
  // The real template editor, when no other was given (built on first use).
  ident::TemplateEditorDialog* templateEditorDialog() { return editor_.get(); }
  TrayIconBinding& tray() { return *tray_; }
  // The diagnostic terminal, built now when it was not yet.
  TerminalPanel& terminal();

  // The diagnostic mode (debugmode "1", read at first show): the terminal is
  // shown and the card dialogs get their longer limits.
  bool debugMode() const { return debugmode_; }
  std::function<bool()> debugModeQuery() const {
    return [this] { return debugmode_; };
  }
  // A second start of the program: the window comes back (from the tray too).
  void bringToFront();
  // The card presentation dialogs and the master-card and protected-card operations.
  cards::CardDialogs& cardDialogs() { return *cardDialogs_; }
  cards::MasterCardWorkflows& masterCards() { return *masterCards_; }
  cards::ProtectedCardWorkflows& protectedCards() { return *protectedCards_; }

 private:
  void firstShowStep();
  void closeStep();
  ShellSettings currentSettings() const;

  ProgramServices services_;
  ReaderSession session_;
  ConnectionController connection_;
  config::ConfigEditor configEditor_;
  std::unique_ptr<QtFileDialogs> ownFiles_;
  std::unique_ptr<QtColourDialog> ownColours_;
  std::unique_ptr<config::ConfigWorkflows> configFlows_;
  std::unique_ptr<TForm1> window_;
  std::unique_ptr<cards::CardDialogs> cardDialogs_;
  std::unique_ptr<cards::MasterCardWorkflows> masterCards_;
  std::unique_ptr<cards::ProtectedCardWorkflows> protectedCards_;
  std::unique_ptr<ident::TemplateEditorDialog> editor_;
  ident::ReadingPage* reading_ = nullptr;  // owned by the window
  LazyPage* configHost_ = nullptr;         // owned by the window; holds the page "Конфигурация"
  TerminalPanel* terminal_ = nullptr;      // owned by the reading page
  std::unique_ptr<TrayIconBinding> tray_;
  std::unique_ptr<Timer> Timer3;           // minimise at start
  bool debugmode_ = false;                 // the diagnostic terminal's switch, set only by hand
};

}  // namespace terva::app

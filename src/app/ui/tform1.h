#pragma once
// The main window: connection bar, the pages and the settings file binding.
#include <QMainWindow>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/reader_session.h"
#include "ident/render.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class QWidget;

namespace terva::ident {
class KeystrokeOutput;
struct IdMessage;
}  // namespace terva::ident

namespace terva::app {

class Prompts;
class Clipboard;
class TForm7;

struct MainWindowServices {
  Prompts* prompts = nullptr;
  Clipboard* clipboard = nullptr;
  ident::KeystrokeOutput* keyboard = nullptr;  // may be null: no keystroke output at all
  std::filesystem::path settingsFile;
  std::function<std::vector<std::string>()> listPorts;  // the machine's serial ports
  std::string commandLinePort;                          // --port: listed first and selected
  bool connectAtStart = false;                          // --connect: as if auto-connect were ticked
  // Shows the template editor for a sample; null means the real dialog.
  std::function<void(const std::string& sample)> openTemplateEditor;
};

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(MainWindowServices services, QWidget* parent = nullptr);
  ~TForm1() override;

  ReaderSession& session() { return session_; }
  const ident::IdentDisplay& display() const { return display_; }
  TForm7* templateEditor() const { return form7_; }

  // Sends one command; EComPort propagates to the caller (see guarded()).
  std::uint8_t SendToComPort(std::string_view payload) { return session_.SendToComPort(payload); }

  void FillDeviceList();
  void Connect();     // Button6, Timer4
  void Disconnect();  // Button7
  bool isConnected() const;

  // Takes the template the editor adopted (its "Использовать шаблон").
  void setActiveTemplate(const std::string& tmpl);

 signals:
  // The identifier label now shows this text (after a card was read).
  void identifierShown(const QString& text);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildUi();
  QWidget* buildReadingPage();
  void firstShowStep();
  void writeSettingsAtClose();
  void setConnectedState(bool connected);
  void onUnplugged();
  void onLineErrors(int errors);
  void showIdentifier(const ident::IdMessage& msg);
  void deliver(const std::u32string& text);
  void refreshIdentifierLabel();
  void syncViewModeButtons();
  void Button10Click();
  void RadioButton1Click();
  void RadioButton2Click();
  void RadioButton3Click();
  void CheckBox2Click();
  void warnKeyboardUnavailableOnce();
  // Runs an operation; a serial port error that escapes it is shown, never fatal.
  void guarded(const std::function<void()>& operation);

  MainWindowServices services_;
  ReaderSession session_;
  ident::IdentDisplay display_;
  bool firstshow_ = true;
  bool keyboardWarned_ = false;
  TForm7* form7_ = nullptr;

  // Connection bar
  QWidget* Panel1 = nullptr;
  QLabel* Label1 = nullptr;
  QComboBox* ComComboBox1 = nullptr;
  QToolButton* Button8 = nullptr;
  QPushButton* Button6 = nullptr;
  QPushButton* Button7 = nullptr;
  QTabWidget* PageControl1 = nullptr;
  // Page "Чтение"
  QPushButton* Button10 = nullptr;
  QFrame* idpanel = nullptr;
  QLabel* kindLabels_[5] = {};
  QLabel* Label32 = nullptr;
  QRadioButton* RadioButton1 = nullptr;
  QRadioButton* RadioButton2 = nullptr;
  QRadioButton* RadioButton3 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QCheckBox* CheckBox5 = nullptr;
  QCheckBox* CheckBox8 = nullptr;
  QCheckBox* CheckBox4 = nullptr;
  bool debugmode_ = false;  // the diagnostic terminal's switch, set only by hand in the file

  QTimer Timer3;  // minimise at start
  QTimer Timer4;  // connect at start
};

}  // namespace terva::app

#pragma once
// The diagnostic terminal on the page "Чтение": the traffic log and the bar
// below it for sending any payload to the reader. The log is read-only text
// that can be selected, copied, searched and saved to a file.
#include <QWidget>

#include <string>

#include "app/terminal.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace terva {
class FileDialogs;
class Prompts;
class ReaderSession;
}  // namespace terva

namespace terva::app {

class TerminalPanel : public QWidget {
  Q_OBJECT
 public:
  TerminalPanel(ReaderSession& session, Prompts& prompts, FileDialogs* files, QWidget* parent = nullptr);
  ~TerminalPanel() override;

  // Switches the terminal on for the rest of the run (debugmode).
  void present();
  // Shown: traffic is logged from now on, also while the window is in the tray.
  bool terminalVisible() const { return present_; }

  TerminalView view() const;
  const TerminalLog& log() const { return log_; }

  void Button9Click();   // "Отправить"
  void Button11Click();  // "Очистить"
  // Writes the whole log to a file the operator chooses.
  void saveLog();
  // Selects the next occurrence of text after the cursor, wrapping around.
  bool findNext(const QString& text);

 private:
  void addLine(const std::optional<std::string>& line);
  void showContextMenu(const QPoint& pos);
  void showFindBar();

  ReaderSession& session_;
  Prompts& prompts_;
  FileDialogs* files_;
  TerminalLog log_;
  bool present_ = false;

  QPlainTextEdit* Memo1 = nullptr;
  QWidget* findBar_ = nullptr;
  QLineEdit* findEdit_ = nullptr;
  QLabel* Label23 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QLabel* Label24 = nullptr;
  QPushButton* Button9 = nullptr;
  QCheckBox* CheckBox7 = nullptr;
  QCheckBox* CheckBox6 = nullptr;
  QPushButton* Button11 = nullptr;
};

}  // namespace terva::app

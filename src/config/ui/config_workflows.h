#pragma once
// The five actions that move a configuration between the editor, the
// reader and a configuration file: write to and read from the reader, write
// to and read from a file, and the firmware version. They talk to the reader
// only through the session, to the operator only through the prompts and
// the file dialogs, and keep no state between runs.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace terva {
class FileDialogs;
class Prompts;
class ReaderSession;
}  // namespace terva

namespace terva::config {

class ConfigEditor;
class ObjectCodeCardWait;

class ConfigWorkflows {
 public:
  // `objectCodeWait` may be null until the card dialogs exist: a write in a
  // protected mode then ends as if the dialog had been closed.
  ConfigWorkflows(ReaderSession& session, ConfigEditor& editor, Prompts& prompts, FileDialogs& files,
                  ObjectCodeCardWait* objectCodeWait = nullptr);

  void setObjectCodeWait(ObjectCodeCardWait* wait) { objectCodeWait_ = wait; }

  void Button2Click();   // "Записать конфигурацию в USB-считыватель"
  void Button18Click();  // "Считать конфигурацию из USB-считывателя"
  void Button3Click();   // "Записать конфигурацию в файл"
  void Button1Click();   // "Считать конфигурацию из файла"
  void Button12Click();  // "Получить версию микропрограммы считывателя"

  // True while one of them runs (a click meanwhile is ignored).
  bool running() const { return running_; }

 private:
  // Sends one payload; a refused write is shown and gives nothing.
  std::optional<std::uint8_t> send(std::string_view payload);
  void backToCardReading();

  ReaderSession& session_;
  ConfigEditor& editor_;
  Prompts& prompts_;
  FileDialogs& files_;
  ObjectCodeCardWait* objectCodeWait_;
  bool running_ = false;
};

}  // namespace terva::config

#pragma once
// What operations need of the operator and the desktop, behind small
// interfaces: message boxes, questions, file and colour dialogs. Texts are
// UTF-8. Production implements them with Qt's dialogs; tests script them.
#include <cstdint>
#include <optional>
#include <string>

namespace terva {

class Prompts {
 public:
  virtual ~Prompts() = default;
  // Error box: caption "Ошибка", error icon, one OK button.
  virtual void error(const std::string& text) = 0;
  // Plain message: application title as caption, one OK button.
  virtual void message(const std::string& text) = 0;
  // Yes/No question with a question icon; true for Yes.
  virtual bool question(const std::string& text) = 0;
  // The same question under a caption of its own ("Конфигурация",
  // "Предупреждение"); an implementation without captions asks plainly.
  virtual bool ask(const std::string& caption, const std::string& text) {
    (void)caption;
    return question(text);
  }
  // One-line input box that shows `value` for reading or copying; what the
  // operator types there is not taken back.
  virtual void inputBox(const std::string& caption, const std::string& prompt, const std::string& value) {
    (void)caption;
    message(prompt + ": " + value);
  }
};

// Open and save dialogs. `filter` is the file kind's description and its
// pattern, e.g. {"Файл конфигурации", "*.rcf"}; nothing when cancelled.
struct FileFilter {
  std::string description;
  std::string pattern;
};

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  virtual std::optional<std::string> openFileName(const FileFilter& filter, const std::string& folder) = 0;
  // `suffix` (without dot) is added when the chosen name has none.
  virtual std::optional<std::string> saveFileName(const FileFilter& filter, const std::string& folder,
                                                  const std::string& suffix) = 0;
};

// The colour dialog; colours are 0x00BBGGRR. Nothing when cancelled.
class ColourDialog {
 public:
  virtual ~ColourDialog() = default;
  virtual std::optional<std::uint32_t> pickColour(std::uint32_t initial) = 0;
};

}  // namespace terva

#pragma once
// The desktop behind the operator interfaces: Qt's message boxes, file and
// colour dialogs, and the clipboard.
#include "ident/delivery.h"
#include "protocol/operator.h"

class QWidget;

namespace terva::app {

// Message boxes parented to a window.
class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  void error(const std::string& text) override;
  void message(const std::string& text) override;
  bool question(const std::string& text) override;
  bool ask(const std::string& caption, const std::string& text) override;
  void inputBox(const std::string& caption, const std::string& prompt, const std::string& value) override;

 private:
  QWidget* parent_;
};

class QtFileDialogs : public FileDialogs {
 public:
  explicit QtFileDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  std::optional<std::string> openFileName(const FileFilter& filter, const std::string& folder) override;
  std::optional<std::string> saveFileName(const FileFilter& filter, const std::string& folder,
                                          const std::string& suffix) override;

 private:
  QWidget* parent_;
};

class QtColourDialog : public ColourDialog {
 public:
  explicit QtColourDialog(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  std::optional<std::uint32_t> pickColour(std::uint32_t initial) override;

 private:
  QWidget* parent_;
};

class QtClipboard : public ident::ClipboardOutput {
 public:
  void setText(const std::u32string& text) override;
};

}  // namespace terva::app

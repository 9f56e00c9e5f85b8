#pragma once
// What the windows use of the desktop, behind small interfaces that tests replace.
#include <QString>

class QWidget;

namespace terva::app {

class Prompts {
 public:
  virtual ~Prompts() = default;
  // Error box: caption "Ошибка", error icon, one OK button.
  virtual void error(const QString& text) = 0;
  // Plain message: application title as caption, one OK button.
  virtual void message(const QString& text) = 0;
  // Yes/No question with a question icon; true for Yes.
  virtual bool question(const QString& text) = 0;
};

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual void setText(const QString& text) = 0;
};

// Message boxes parented to a window.
class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  void error(const QString& text) override;
  void message(const QString& text) override;
  bool question(const QString& text) override;

 private:
  QWidget* parent_;
};

class QtClipboard : public Clipboard {
 public:
  void setText(const QString& text) override;
};

}  // namespace terva::app

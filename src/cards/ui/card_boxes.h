#pragma once
// The boxes the card operations show besides the plain ones of Prompts: a
// Yes/No question with its own title, and the box that shows a checksum so
// that it can be read and copied. Production shows Qt boxes; tests script them.
#include <string>

class QWidget;

namespace terva::cards {

class CardBoxes {
 public:
  virtual ~CardBoxes() = default;
  // Yes/No box with this title: a warning icon when `warning`, else a question icon. True for Yes.
  virtual bool ask(const std::string& title, const std::string& text, bool warning) = 0;
  // Modal box with one edit field holding `value`, OK and Cancel; whatever the
  // operator types or presses is dropped.
  virtual void showValue(const std::string& caption, const std::string& prompt, const std::string& value) = 0;
};

class QtCardBoxes : public CardBoxes {
 public:
  explicit QtCardBoxes(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  bool ask(const std::string& title, const std::string& text, bool warning) override;
  void showValue(const std::string& caption, const std::string& prompt, const std::string& value) override;

 private:
  QWidget* parent_;
};

}  // namespace terva::cards

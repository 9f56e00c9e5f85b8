#pragma once
// The template editor dialog: a sample identifier with its nibble table, the
// template, a trial render and adoption of the template.
#include <QDialog>

#include <functional>
#include <optional>
#include <string>

#include "ident/template_editor_model.h"

class QLineEdit;
class QPushButton;

namespace terva::app {

class TForm7 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm7(QWidget* parent = nullptr);

  // Sets the sample (the identifier's bytes, one character each) and shows
  // the dialog modally. Returns the template adopted with "Использовать
  // шаблон", nothing when the dialog was closed any other way.
  std::optional<std::string> chooseTemplate(const std::string& sample);
  // Sets the sample and shows the dialog modally (the adopted template also
  // goes to onUseTemplate).
  void openWithSample(const std::string& sample);
  // The same preparation without running the modal loop (tests drive the dialog).
  void prepare(const std::string& sample);

  // Tests: runs in place of the modal loop while chooseTemplate() waits, with
  // the dialog prepared; it clicks, types and closes as the operator would.
  std::function<void(TForm7&)> modalScript;

  const ident::TemplateEditorModel& model() const { return model_; }

  // "Использовать шаблон": the adopted template goes here.
  std::function<void(const std::string&)> onUseTemplate;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void sampleChanged();
  void templateChanged();
  void Button1Click();
  void Button2Click();
  void syncUseButton();

  int runModal();
  bool filterTemplateInput(QEvent* event);

  ident::TemplateEditorModel model_;
  std::optional<std::string> adopted_;
  class SampleValidator* sampleValidator_ = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QLineEdit* nibbleFields_[16] = {};
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
};

}  // namespace terva::app

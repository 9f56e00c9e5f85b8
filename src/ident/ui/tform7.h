#pragma once
// The template editor dialog: a sample identifier with its nibble table, the
// template, a trial render and adoption of the template.
#include <QDialog>

#include <functional>
#include <string>

#include "ident/template_editor_model.h"

class QLineEdit;
class QPushButton;

namespace terva::app {

class TForm7 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm7(QWidget* parent = nullptr);

  // Sets the sample and shows the dialog modally.
  void openWithSample(const std::string& sample);
  // The same preparation without running the modal loop (tests drive the dialog).
  void prepare(const std::string& sample);

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

  ident::TemplateEditorModel model_;
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QLineEdit* nibbleFields_[16] = {};
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
};

}  // namespace terva::app

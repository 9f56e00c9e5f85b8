#pragma once
// The template editor dialog behind the TemplateChooser interface, built the
// first time it is needed and kept (with its fields) for later showings.
#include <QPointer>

#include <memory>

#include "ident/template_chooser.h"
#include "ident/ui/tform7.h"

namespace terva::ident {

class TemplateEditorDialog : public TemplateChooser {
 public:
  explicit TemplateEditorDialog(QWidget* parent) : parent_(parent) {}
  ~TemplateEditorDialog() override;
  std::optional<std::string> chooseTemplate(const std::string& sample) override;
  // The dialog, built on first use.
  app::TForm7& dialog();
  bool built() const { return form7_ != nullptr; }

 private:
  QWidget* parent_;
  QPointer<app::TForm7> form7_;
};

}  // namespace terva::ident

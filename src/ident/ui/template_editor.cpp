#include "ident/ui/template_editor.h"

#include "ident/ui/tform7.h"

namespace terva::ident {

TemplateEditorDialog::~TemplateEditorDialog() = default;

app::TForm7& TemplateEditorDialog::dialog() {
  if (!form7_) form7_ = new app::TForm7(parent_);
  return *form7_;
}

std::optional<std::string> TemplateEditorDialog::chooseTemplate(const std::string& sample) {
  return dialog().chooseTemplate(sample);
}

}  // namespace terva::ident

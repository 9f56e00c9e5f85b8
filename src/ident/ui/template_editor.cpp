#include "ident/ui/template_editor.h"

#include "ident/ui/tform7.h"

namespace terva::ident {

TemplateEditorDialog::~TemplateEditorDialog() = default;

app::TForm7& TemplateEditorDialog::dialog() {
  if (!form7_) form7_ = new app::TForm7(parent_);
  return *form7_;
}

std::optional<std::string> TemplateEditorDialog::chooseTemplate(const std::string& sample) {
  app::TForm7& d = dialog();
  std::optional<std::string> adopted;
  d.onUseTemplate = [&adopted](const std::string& t) { adopted = t; };
  d.openWithSample(sample);
  d.onUseTemplate = nullptr;
  return adopted;
}

}  // namespace terva::ident

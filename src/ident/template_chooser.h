#pragma once
// The template editor as its callers see it: shown with a sample identifier,
// it gives back the template the operator adopted, or nothing.
#include <optional>
#include <string>

namespace terva::ident {

class TemplateChooser {
 public:
  virtual ~TemplateChooser() = default;
  virtual std::optional<std::string> chooseTemplate(const std::string& sample) = 0;
};

}  // namespace terva::ident

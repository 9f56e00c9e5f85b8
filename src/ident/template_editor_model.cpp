#include "ident/template_editor_model.h"

#include "ident/render.h"

namespace terva::ident {

const std::array<std::string_view, 16>& TemplateEditorModel::nibbleNames() {
  static constexpr std::array<std::string_view, 16> kNames = {
      "n82", "n81", "n72", "n71", "n62", "n61", "n52", "n51",
      "n42", "n41", "n32", "n31", "n22", "n21", "n12", "n11",
  };
  return kNames;
}

std::optional<char32_t> TemplateEditorModel::filterSampleKey(char32_t c) {
  if (c == kBackspace || (c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'F')) return c;
  if (c >= U'a' && c <= U'f') return c - U'a' + U'A';
  return std::nullopt;
}

std::optional<char32_t> TemplateEditorModel::filterTemplateKey(char32_t c) {
  if (c > 127) return std::nullopt;
  return c;
}

void TemplateEditorModel::shown() {
  result_.clear();
  useEnabled_ = false;
}

std::array<char, 16> TemplateEditorModel::fillNibbles(std::string_view sample) {
  // Left to right n82 … n11: the sample's last character goes to the last field.
  std::array<char, 16> out;
  out.fill('0');
  const std::size_t used = sample.size() < 16 ? sample.size() : 16;
  for (std::size_t k = 0; k < used; ++k) out[15 - k] = sample[sample.size() - 1 - k];
  return out;
}

void TemplateEditorModel::setSample(std::string_view sample) {
  sample_ = std::string(sample);
  nibbles_ = fillNibbles(sample_);
}

char TemplateEditorModel::nibble(int byte, int digit) const {
  if (byte < 1 || byte > 8 || digit < 1 || digit > 2) return '0';
  return nibbles_[static_cast<std::size_t>(15 - (2 * (byte - 1) + (digit - 1)))];
}

bool TemplateEditorModel::setTemplate(std::string_view text) {
  useEnabled_ = false;
  for (unsigned char c : text) {
    if (c >= 0x80) {
      template_.clear();
      return true;
    }
  }
  template_ = std::string(text);
  return false;
}

TemplateEditorModel::ApplyResult TemplateEditorModel::apply() {
  result_ = cstuid(sample_, template_);
  if (result_ != kTemplateError) useEnabled_ = true;
  return {result_, useEnabled_};
}

std::optional<std::string> TemplateEditorModel::use() const {
  if (!useEnabled_) return std::nullopt;
  return template_;
}

}  // namespace terva::ident

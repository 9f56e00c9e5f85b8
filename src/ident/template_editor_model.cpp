#include "ident/template_editor_model.h"

#include <algorithm>

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

TemplateEditorModel::Edited TemplateEditorModel::filterSampleChange(std::u32string_view before,
                                                                   std::u32string_view after,
                                                                   std::size_t cursor) {
  if (cursor > after.size()) cursor = after.size();
  // What follows the cursor is kept text when `before` ends with it.
  std::size_t suffix = after.size() - cursor;
  if (suffix > before.size() || before.substr(before.size() - suffix) != after.substr(cursor)) {
    suffix = 0;
    while (suffix < before.size() && suffix < after.size() &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
      ++suffix;
    }
  }
  std::size_t prefix = 0;
  const std::size_t prefixLimit = std::min(before.size(), after.size()) - std::min(suffix, std::min(before.size(), after.size()));
  while (prefix < prefixLimit && before[prefix] == after[prefix]) ++prefix;

  const std::size_t kept = prefix + suffix;
  const std::size_t room = kept < kMaxSampleLength ? kMaxSampleLength - kept : 0;
  std::u32string inserted;
  for (char32_t c : after.substr(prefix, after.size() - suffix - prefix)) {
    const auto passed = filterSampleKey(c);
    if (passed && *passed != kBackspace && inserted.size() < room) inserted.push_back(*passed);
  }
  Edited out;
  out.text = std::u32string(after.substr(0, prefix)) + inserted + std::u32string(after.substr(after.size() - suffix));
  out.cursor = prefix + inserted.size();
  return out;
}

std::u32string TemplateEditorModel::filterTemplateTyped(std::u32string_view typed) {
  std::u32string out;
  for (char32_t c : typed) {
    if (filterTemplateKey(c)) out.push_back(c);
  }
  return out;
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

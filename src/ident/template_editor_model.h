#pragma once
// The template editor ("Редактор шаблона") without widgets: a sample
// identifier and its nibble table, the template being written, the result of
// the last apply and whether the template may be adopted. The dialog is
// created once and reused, so this model keeps its texts between showings.
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace terva::ident {

class TemplateEditorModel {
 public:
  static constexpr std::string_view kDefaultTemplate =
      "UID = dec3(n32n31)-dec5(n22n21n12n11) = dec3(b3)-dec5(b2b1) = b4b3b2b1 = dec18(b4b3b2b1)";
  static constexpr char32_t kBackspace = 0x08;

  // Names of the nibble fields left to right: n82, n81, n72 … n12, n11.
  static const std::array<std::string_view, 16>& nibbleNames();

  // Key filter of the sample field: the character to insert, or nothing when
  // it is discarded. Backspace, 0-9 and A-F pass, a-f become A-F.
  static std::optional<char32_t> filterSampleKey(char32_t c);
  // Key filter of the template field: characters above 127 are discarded.
  static std::optional<char32_t> filterTemplateKey(char32_t c);

  // Longest sample the operator can make by editing the field.
  static constexpr std::size_t kMaxSampleLength = 16;

  struct Edited {
    std::u32string text;
    std::size_t cursor;
  };
  // The sample field's rules applied to a change of its text, whatever made
  // it (typing, pasting, an input method, drag and drop): `before` became
  // `after` with the cursor at `cursor`, just after what was inserted. The
  // inserted characters go through the key filter (Backspace inserts
  // nothing) and are cut so the field holds at most 16 characters; what was
  // there before stays as it is (a longer sample set before showing, too).
  static Edited filterSampleChange(std::u32string_view before, std::u32string_view after, std::size_t cursor);
  // Typed text for the template field (keys, input method commits): the
  // characters the key filter discards are dropped.
  static std::u32string filterTemplateTyped(std::u32string_view typed);

  // The dialog is shown: the result is emptied, "Использовать шаблон" disabled.
  void shown();

  // The sample field changed (typed, pasted or set before showing). The
  // nibble table is refilled from its last 16 characters. Keeps the enabled
  // state of "Использовать шаблон".
  void setSample(std::string_view sample);
  const std::string& sample() const { return sample_; }
  // Nibble field values left to right, in the order of nibbleNames().
  const std::array<char, 16>& nibbles() const { return nibbles_; }
  // nXY by byte X (1-8) and digit Y (1 low, 2 high); '0' for other numbers.
  char nibble(int byte, int digit) const;

  // The template field changed; `text` is its whole text as UTF-8. Disables
  // "Использовать шаблон". Returns true when the field must be emptied because
  // the text holds a character above 127 (any byte >= 0x80 in UTF-8); the
  // model's template is then empty already.
  bool setTemplate(std::string_view text);
  const std::string& templateText() const { return template_; }

  struct ApplyResult {
    std::string text;  // for the result field
    bool useEnabled;   // state of "Использовать шаблон" afterwards
  };
  // "Применить шаблон": renders the sample through the template. A result
  // other than "error" enables "Использовать шаблон"; "error" leaves it as it was.
  ApplyResult apply();
  const std::string& result() const { return result_; }

  bool useEnabled() const { return useEnabled_; }
  // "Использовать шаблон": the template to make active, nothing while disabled.
  std::optional<std::string> use() const;

 private:
  std::string sample_;
  std::array<char, 16> nibbles_ = fillNibbles({});
  std::string template_{kDefaultTemplate};
  std::string result_;
  bool useEnabled_ = false;

  static std::array<char, 16> fillNibbles(std::string_view sample);
};

}  // namespace terva::ident

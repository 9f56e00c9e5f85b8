#pragma once
// Identifier rendering: decimal, unchanged (hex) and through an operator
// template, plus the state of the identifier panel on the reading page.
//
// An identifier holds the bytes the reader sent (normally hex digits); each
// byte is one character whose code is the byte's value. A template is UTF-8
// text (ASCII as typed in the template editor; a template that is not UTF-8
// counts one character a byte). Rendered text is UTF-8: the template's own
// characters as they are, the identifier's bytes as those characters.
#include <string>
#include <string_view>
#include <optional>
#include <utility>

#include "ident/view_mode.h"

namespace terva::ident {

// View modes of the reading page.
inline constexpr ViewMode kViewDec = ViewMode::Dec;
inline constexpr ViewMode kViewHex = ViewMode::Hex;
inline constexpr ViewMode kViewCst = ViewMode::Cst;

// The text a template renders to when it is malformed.
inline constexpr std::string_view kTemplateError = "error";

// hextoint of the identifier (first 16 characters) as an unsigned decimal
// number, "0" for zero.
std::string renderDecimal(std::string_view id);

// Renders the identifier through the template language:
//   n11 … n82  single hex digits of the identifier counted from its right end
//              (nXY: byte X from the right, Y = 1 low digit, 2 high digit);
//   b1 … b8    bytes, two digits each (b1 = last two characters);
//   decW(HEX)  HEX digits (upper case, at most 16) as a decimal number padded
//              with "0" to width W (dec( = width 0, dec5( = 5, dec18( = 18).
// Only the last 16 characters of the identifier are used; missing digits are
// "0". Returns "error" for a malformed conversion: a character other than
// 0-9/A-F between "(" and ")", more than 16 digits, or no closing ")".
// Positions in the template count characters, not bytes. Takes time linear
// in the template's length.
std::string cstuid(std::string_view id, std::string_view tmpl);

// The identifier as text: each byte the character of that code, in UTF-8.
std::string identifierText(std::string_view id);

// The characters of a rendered text for showing and delivering it (label,
// clipboard and keystrokes alike). Rendered text is UTF-8; bytes that are not
// (text from elsewhere) count one character a byte.
std::u32string renderedCharacters(std::string_view rendered);

// Decimal, the identifier as text, or through the template.
std::string renderIdentifier(ViewMode viewMode, std::string_view id, std::string_view activeTemplate);

// The identifier panel: view mode chosen by the operator, the text shown in the
// identifier label and the mode that text was rendered in, and the active
// template. The window mirrors these into its widgets.
class IdentDisplay {
 public:
  // Renders a newly read identifier in the current view mode, shows it and
  // records the view mode as the shown mode. Returns the shown text.
  const std::string& show(std::string_view id);

  // DEC chosen: a text shown in HEX is converted to decimal (hextoint) and the
  // shown mode becomes 1; the view mode becomes 1.
  void chooseDec();
  // HEX chosen: a text shown in DEC is read as an unsigned 64-bit decimal
  // number and shown in upper-case hex without leading zeros (shown mode 2);
  // text that cannot be read so (not a number, too large) is left as it is,
  // still in shown mode 1. The view mode becomes 2.
  void chooseHex();

  // True when choosing CST opens the template editor (view mode not yet 3);
  // choosing CST in view mode 3 does nothing.
  bool cstOpensEditor() const { return viewMode_ != kViewCst; }
  // Sample identifier the template editor starts with: "1A2B3C"; the label
  // text when shown in HEX; when shown in DEC, the label read as a signed
  // 64-bit decimal number (1715004 if unreadable) in hex without leading zeros
  // ("0" for zero; negative numbers as their 16-digit two's complement).
  std::string editorSample() const;
  // After the template editor has closed: CST when a template is active,
  // otherwise DEC (with its conversion of the label).
  void cstEditorClosed();

  // Template adopted in the editor ("Использовать шаблон").
  void setActiveTemplate(std::string tmpl) { activeTemplate_ = std::move(tmpl); }
  // View mode restored from the settings (CST goes through startupTemplate).
  void setViewMode(ViewMode mode) { viewMode_ = mode; }
  // Start-up with view mode 3 and the saved template: an empty template keeps
  // CST with no template; a template that renders "FF" as exactly "error" is
  // dropped and DEC is chosen; any other becomes active in CST. Returns
  // whether CST is kept.
  bool startupTemplate(const std::string& tmpl);

  ViewMode viewMode() const { return viewMode_; }
  // The mode the label text was rendered in; nothing before the first card.
  std::optional<ViewMode> shownMode() const { return shownMode_; }
  const std::string& labelText() const { return label_; }
  const std::string& activeTemplate() const { return activeTemplate_; }
  // What to save as "template" at close: the active template in CST, else "".
  std::string templateToSave() const { return viewMode_ == kViewCst ? activeTemplate_ : std::string(); }

 private:
  ViewMode viewMode_ = kViewDec;
  std::optional<ViewMode> shownMode_;
  std::string label_ = "0";
  std::string activeTemplate_;
};

}  // namespace terva::ident

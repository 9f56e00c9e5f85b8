#include "ident/render.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <optional>

#include "protocol/hextext.h"

namespace terva::ident {

namespace {

// Replaces every occurrence of `from` at or after `start`, left to right and
// without overlaps; replaced text is not searched again. One pass, linear.
void replaceAll(std::string& text, std::string_view from, std::string_view to, std::size_t start = 0) {
  std::size_t hit = text.find(from, start);
  if (hit == std::string::npos) return;
  std::string out;
  out.reserve(text.size());
  out.append(text, 0, hit);
  std::size_t pos = hit;
  while (hit != std::string::npos) {
    out.append(text, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
    hit = text.find(from, pos);
  }
  out.append(text, pos, std::string::npos);
  text = std::move(out);
}

// A conversion head: "d", any four characters, "(", and at least one more
// character after it. Returns the leftmost at or after `from`.
std::size_t findHead(const std::string& w, std::size_t from) {
  for (std::size_t i = w.find('d', from); i != std::string::npos; i = w.find('d', i + 1)) {
    if (i + 6 >= w.size()) return std::string::npos;
    if (w[i + 5] == '(') return i;
  }
  return std::string::npos;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isUpperHexDigit(char c) { return isDigit(c) || (c >= 'A' && c <= 'F'); }

// The two characters before "(" read as a decimal number (a sign counts as
// part of it); anything else is width 0. Negative widths pad nothing.
int readWidth(char a, char b) {
  if (isDigit(a) && isDigit(b)) return (a - '0') * 10 + (b - '0');
  if (isDigit(b) && a == '+') return b - '0';
  return 0;
}

std::string decimalPadded(std::string_view hexDigits, int width) {
  std::uint64_t value = 0;
  for (char c : hexDigits) value = value * 16 + static_cast<std::uint64_t>(isDigit(c) ? c - '0' : c - 'A' + 10);
  std::string out = std::to_string(value);
  if (out.size() < static_cast<std::size_t>(width)) out.insert(0, static_cast<std::size_t>(width) - out.size(), '0');
  return out;
}

// Parses the whole text as a number of type T; false when it is not one
// (empty, foreign characters, out of range).
template <typename T>
bool parseDecimal(std::string_view text, T& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') {  // from_chars takes "-" but not "+"
    ++begin;
    if (begin != end && *begin == '-') return false;
  }
  auto [ptr, ec] = std::from_chars(begin, end, value, 10);
  return ec == std::errc() && ptr == end && begin != end;
}

}  // namespace

std::string renderDecimal(std::string_view id) { return std::to_string(terva::hextoint(id)); }

std::string cstuid(std::string_view id, std::string_view tmpl) {
  // Nibble table, index 0 = n11, 1 = n12, 2 = n21, … 15 = n82: the identifier's
  // characters from its right end, as they are.
  std::array<char, 16> nibble;
  nibble.fill('0');
  const std::size_t used = id.size() < 16 ? id.size() : 16;
  for (std::size_t k = 0; k < used; ++k) nibble[k] = id[id.size() - 1 - k];

  std::string w(tmpl);

  // Conversion heads get two width digits: dec( and decK( become dec00( and dec0K(.
  replaceAll(w, "dec(", "dec00(");
  for (char k = '0'; k <= '9'; ++k) {
    const char from[] = {'d', 'e', 'c', k, '('};
    const char to[] = {'d', 'e', 'c', '0', k, '('};
    replaceAll(w, std::string_view(from, sizeof from), std::string_view(to, sizeof to));
  }

  // Byte references b1…b8, then nibble references n11, n12, n21 … n82; each
  // step also sees what the steps before it produced.
  for (int b = 0; b < 8; ++b) {
    const char name[] = {'b', static_cast<char>('1' + b)};
    const char value[] = {nibble[2 * b + 1], nibble[2 * b]};
    replaceAll(w, std::string_view(name, 2), std::string_view(value, 2));
  }
  for (int k = 0; k < 16; ++k) {
    const char name[] = {'n', static_cast<char>('1' + k / 2), static_cast<char>('1' + k % 2)};
    replaceAll(w, std::string_view(name, 3), std::string_view(&nibble[k], 1));
  }

  // Conversions, leftmost first, each replaced everywhere at once. Every round
  // removes at least one "d" and inserts only decimal digits, so the loop ends
  // after at most as many rounds as W had "d" characters.
  std::size_t from = 0;
  for (;;) {
    const std::size_t i = findHead(w, from);
    if (i == std::string::npos) return w;
    const std::size_t close = w.find(')', i + 6);
    if (close == std::string::npos) return std::string(kTemplateError);
    const std::string_view digits(w.data() + i + 6, close - (i + 6));
    if (digits.size() > 16) return std::string(kTemplateError);
    for (char c : digits) {
      if (!isUpperHexDigit(c)) return std::string(kTemplateError);
    }
    const std::string value = digits.empty() ? std::string() : decimalPadded(digits, readWidth(w[i + 3], w[i + 4]));
    const std::string conversion = w.substr(i, close + 1 - i);
    // No occurrence can start before i (it would be a head left of the
    // leftmost one); a new head can start at most five characters before i.
    replaceAll(w, conversion, value, i);
    from = i >= 5 ? i - 5 : 0;
  }
}

namespace {

// Decodes strict UTF-8 (no overlong forms, surrogates or values past U+10FFFF);
// nothing when the bytes are not UTF-8.
std::optional<std::u32string> decodeUtf8(std::string_view s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int extra = 0;
    char32_t c = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
      c = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
      extra = 1, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      extra = 2, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      extra = 3, c = b0 & 0x07, min = 0x10000;
    } else {
      return std::nullopt;
    }
    if (s.size() - i <= static_cast<std::size_t>(extra)) return std::nullopt;  // cut short
    for (int k = 1; k <= extra; ++k) {
      const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((b & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    out.push_back(c);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

}  // namespace

std::u32string renderedCharacters(std::string_view rendered) {
  if (auto utf8 = decodeUtf8(rendered)) return *std::move(utf8);
  std::u32string latin1;
  for (unsigned char b : rendered) latin1.push_back(b);
  return latin1;
}

std::string renderIdentifier(int viewMode, std::string_view id, std::string_view activeTemplate) {
  switch (viewMode) {
    case kViewHex:
      return std::string(id);
    case kViewCst:
      return cstuid(id, activeTemplate);
    default:
      return renderDecimal(id);
  }
}

const std::string& IdentDisplay::show(std::string_view id) {
  label_ = renderIdentifier(viewMode_, id, activeTemplate_);
  shownMode_ = viewMode_;
  return label_;
}

void IdentDisplay::chooseDec() {
  if (shownMode_ == kViewHex) {
    label_ = renderDecimal(label_);
    shownMode_ = kViewDec;
  }
  viewMode_ = kViewDec;
}

void IdentDisplay::chooseHex() {
  std::uint64_t value = 0;
  if (shownMode_ == kViewDec && parseDecimal(label_, value)) {
    label_ = terva::toHexString(value);
    shownMode_ = kViewHex;
  }
  viewMode_ = kViewHex;
}

std::string IdentDisplay::editorSample() const {
  if (shownMode_ == kViewHex) return label_;
  if (shownMode_ != kViewDec) return "1A2B3C";
  std::int64_t value = 0;
  if (!parseDecimal(label_, value)) value = 1715004;
  // Upper-case hex without leading zeros, "0" for zero.
  return terva::toHexString(static_cast<std::uint64_t>(value));
}

void IdentDisplay::cstEditorClosed() {
  if (!activeTemplate_.empty()) {
    viewMode_ = kViewCst;
  } else {
    chooseDec();
  }
}

void IdentDisplay::setViewMode(int mode) {
  viewMode_ = (mode == kViewHex || mode == kViewCst) ? mode : kViewDec;
}

bool IdentDisplay::startupTemplate(const std::string& tmpl) {
  if (!tmpl.empty() && cstuid("FF", tmpl) == kTemplateError) {
    activeTemplate_.clear();
    viewMode_ = kViewDec;
    return false;
  }
  activeTemplate_ = tmpl;
  viewMode_ = kViewCst;
  return true;
}

}  // namespace terva::ident

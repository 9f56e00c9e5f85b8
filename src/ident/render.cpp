#include "ident/render.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

#include "protocol/hextext.h"
#include "protocol/utf8.h"

namespace terva::ident {

namespace {

using Chars = std::u32string;

bool isDigit(char32_t c) { return c >= U'0' && c <= U'9'; }
bool isUpperHexDigit(char32_t c) { return isDigit(c) || (c >= U'A' && c <= U'F'); }

// The two characters before "(" read as a decimal number (a sign counts as
// part of it); anything else is width 0. Negative widths pad nothing.
int readWidth(char32_t a, char32_t b) {
  if (isDigit(a) && isDigit(b)) return static_cast<int>(a - U'0') * 10 + static_cast<int>(b - U'0');
  if (isDigit(b) && a == U'+') return static_cast<int>(b - U'0');
  return 0;
}

Chars decimalPadded(const Chars& hexDigits, int width) {
  std::uint64_t value = 0;
  for (char32_t c : hexDigits) value = value * 16 + (isDigit(c) ? c - U'0' : c - U'A' + 10);
  const std::string digits = std::to_string(value);
  Chars out;
  if (digits.size() < static_cast<std::size_t>(width)) out.assign(static_cast<std::size_t>(width) - digits.size(), U'0');
  for (char d : digits) out.push_back(static_cast<char32_t>(d));
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

Chars byteCharacters(std::string_view bytes) {
  Chars out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) out.push_back(b);
  return out;
}

// UTF-8 where the bytes are UTF-8, else one character a byte.
Chars textCharacters(std::string_view text) {
  if (auto utf8 = decodeUtf8(text)) return *std::move(utf8);
  return byteCharacters(text);
}

// The bytes back from text made of byte characters (identifierText); a
// character that is no byte becomes "?".
std::string characterBytes(std::string_view text) {
  std::string out;
  for (char32_t c : textCharacters(text)) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  return out;
}

// ---------------------------------------------------------------------------
// Heads and references (steps 4 to 6 of the rendering).
//
// Each step replaces every occurrence of one name, left to right without
// overlaps, and sees what the steps before it produced. The steps run as a
// chain of stages the template flows through once: a stage holds back the
// few characters that may still become its name and passes everything else
// (and its replacements) on to the next stage. The result is the same as
// rewriting the whole text once per step, in time linear in its length.

// A name of two or three characters and what it stands for (one or two).
struct Stage {
  std::array<char32_t, 3> from{};
  std::size_t fromLength = 0;
  std::array<char32_t, 2> to{};
  std::size_t toLength = 0;
  std::array<char32_t, 3> held{};  // a proper prefix of `from`
  std::size_t heldLength = 0;

  bool heldIsPrefix() const {
    for (std::size_t k = 0; k < heldLength; ++k) {
      if (held[k] != from[k]) return false;
    }
    return true;
  }
};

// Byte references b1…b8, then nibble references n11, n12, n21 … n82.
class StageChain {
 public:
  // `nibble` as in render(); `expected` is room for the output.
  StageChain(const std::array<char32_t, 16>& nibble, std::size_t expected) {
    out_.reserve(expected);
    for (std::size_t b = 0; b < 8; ++b) {
      Stage& s = stages_[b];
      s.from = {U'b', static_cast<char32_t>(U'1' + b)};
      s.fromLength = 2;
      s.to = {nibble[2 * b + 1], nibble[2 * b]};
      s.toLength = 2;
    }
    for (std::size_t k = 0; k < 16; ++k) {
      Stage& s = stages_[8 + k];
      s.from = {U'n', static_cast<char32_t>(U'1' + k / 2), static_cast<char32_t>(U'1' + k % 2)};
      s.fromLength = 3;
      s.to = {nibble[k]};
      s.toLength = 1;
    }
  }

  // Feeds the whole template. Conversion heads get two width digits on the
  // way: dec( and decK( become dec00( and dec0K(. These never overlap, and
  // the inserted "0" makes no new head, so one look at the template does it.
  void run(std::u32string_view t) {
    const std::size_t n = t.size();
    for (std::size_t i = 0; i < n;) {
      const char32_t c = t[i];
      if (c == U'd' && i + 3 < n && t[i + 1] == U'e' && t[i + 2] == U'c') {
        if (t[i + 3] == U'(') {
          for (char32_t h : std::u32string_view(U"dec00(")) feed(0, h);
          i += 4;
          continue;
        }
        if (i + 4 < n && isDigit(t[i + 3]) && t[i + 4] == U'(') {
          for (char32_t h : {U'd', U'e', U'c', U'0', t[i + 3], U'('}) feed(0, h);
          i += 5;
          continue;
        }
      }
      // With every stage empty a whole reference in the template is replaced
      // at once: it passes the stages before its own unchanged, and what it
      // stands for goes on from the stage after. A "b" followed by neither
      // "b" nor a byte number passes every stage unchanged.
      if (holding_ == 0 && (c == U'b' || c == U'n')) {
        const char32_t x = i + 1 < n ? t[i + 1] : 0;
        if (c == U'b' && x >= U'1' && x <= U'8') {
          const unsigned next = static_cast<unsigned>(x - U'0');
          const Stage& s = stages_[next - 1];
          feed(next, s.to[0]);
          feed(next, s.to[1]);
          i += 2;
          continue;
        }
        if (c == U'b' && x != U'b') {
          out_.push_back(c);
          ++i;
          continue;
        }
        const char32_t y = i + 2 < n ? t[i + 2] : 0;
        if (c == U'n' && x >= U'1' && x <= U'8' && (y == U'1' || y == U'2')) {
          const unsigned next = 8 + static_cast<unsigned>(x - U'1') * 2 + static_cast<unsigned>(y - U'1') + 1;
          feed(next, stages_[next - 1].to[0]);
          i += 3;
          continue;
        }
      }
      feed(0, c);
      ++i;
    }
  }

  Chars finish() {
    for (unsigned k = 0; k < kStages; ++k) {
      Stage& s = stages_[k];
      const std::array<char32_t, 3> held = s.held;
      const std::size_t n = s.heldLength;
      s.heldLength = 0;  // too short to match: passed on as it is
      holding_ &= ~(1u << k);
      for (std::size_t j = 0; j < n; ++j) feed(k + 1, held[j]);
    }
    return std::move(out_);
  }

 private:
  static constexpr unsigned kStages = 24;
  // Stages whose name starts with c: b1…b8 are stages 0 to 7, the nibble
  // references 8 to 23.
  static std::uint32_t startingWith(char32_t c) { return c == U'b' ? 0xFFu : c == U'n' ? 0xFFFF00u : 0u; }

  void feed(unsigned k, char32_t c) {
    // Stages holding nothing let through a character their name does not
    // start with: the first stage from k on that takes c is the lowest bit
    // of the two masks (none for most characters).
    const std::uint32_t takers = (holding_ | startingWith(c)) >> k;
    if (takers == 0) {
      out_.push_back(c);
      return;
    }
    k += static_cast<unsigned>(std::countr_zero(takers));
    Stage& s = stages_[k];
    const std::uint32_t bit = 1u << k;
    s.held[s.heldLength++] = c;
    holding_ |= bit;
    for (;;) {
      if (s.heldIsPrefix()) {
        if (s.heldLength < s.fromLength) return;
        s.heldLength = 0;
        holding_ &= ~bit;
        for (std::size_t j = 0; j < s.toLength; ++j) feed(k + 1, s.to[j]);
        return;
      }
      const char32_t first = s.held[0];
      for (std::size_t j = 1; j < s.heldLength; ++j) s.held[j - 1] = s.held[j];
      if (--s.heldLength == 0) holding_ &= ~bit;
      feed(k + 1, first);
      if (s.heldLength == 0) return;
    }
  }

  std::array<Stage, kStages> stages_{};
  std::uint32_t holding_ = 0;  // bit k: stage k holds characters
  Chars out_;
};

// ---------------------------------------------------------------------------
// Conversions (step 7).
//
// The leftmost conversion is evaluated and every later occurrence of its
// whole text replaced at once, then the search goes on. An occurrence of a
// conversion text "d" c c c c "(" HEX ")" can only start at a "d" whose next
// characters spell it, so every "d" is indexed by the conversion text
// starting there (up to 23 characters). Replacing then touches only the
// occurrences, and only the "d"s just left of each replaced piece need their
// index entry renewed. The text is a linked list so pieces change in place.

constexpr std::size_t kMaxHexDigits = 16;
constexpr int kHeadReach = 22;  // characters after a "d" that its conversion text may span

class ConversionText {
 public:
  explicit ConversionText(const Chars& w) {
    // Room for the values too: most replace a text at least as long.
    const std::size_t room = w.size() + w.size() / 2 + 128;
    ch_.reserve(room);
    next_.reserve(room);
    prev_.reserve(room);
    key_.reserve(room);
    ch_.push_back(0);  // node 0: start sentinel
    for (char32_t c : w) ch_.push_back(c);
    const int n = static_cast<int>(ch_.size());
    next_.resize(ch_.size());
    prev_.resize(ch_.size());
    for (int k = 0; k < n; ++k) {
      next_[static_cast<std::size_t>(k)] = k + 1 < n ? k + 1 : kEnd;
      prev_[static_cast<std::size_t>(k)] = k - 1;
    }
    key_.assign(ch_.size(), kNoKey);
    seen_.reserve(room);
    seen_.assign(ch_.size(), 0);
    for (int k = 1; k < n; ++k) {
      if (at(k) == U'd') renewKey(k);
    }
  }

  // Returns the rendered text, or nothing for "error".
  std::optional<Chars> evaluate() {
    int from = next(0);
    for (;;) {
      const int i = findHead(from);
      if (i == kEnd) break;
      Chars conversion;
      Chars digits;
      int p = i;
      for (int k = 0; k <= 5; ++k, p = next(p)) conversion.push_back(at(p));
      for (;; p = next(p)) {
        if (p == kEnd) return std::nullopt;  // no closing ")"
        const char32_t c = at(p);
        conversion.push_back(c);
        if (c == U')') break;
        if (!isUpperHexDigit(c) || digits.size() == kMaxHexDigits) return std::nullopt;
        digits.push_back(c);
      }
      const int w3 = next(next(next(i)));
      const Chars value = digits.empty() ? Chars() : decimalPadded(digits, readWidth(at(w3), at(next(w3))));

      // Every occurrence from i on, as the text stands now (they never overlap).
      const int before = prev(i);
      const int key = keyId(conversion);
      std::vector<int> hits;
      if (key != kNoKey) {
        const auto& at = at_[static_cast<std::size_t>(key)];
        hits.assign(at.lower_bound(i), at.end());
      }
      if (hits.empty() || hits.front() != i) hits.insert(hits.begin(), i);
      for (int r : hits) {
        if (removed(r) || (r != i && key_[static_cast<std::size_t>(r)] != key)) continue;
        replace(r, conversion.size(), value);
      }
      // A new head can start at most five characters before i.
      from = before;
      for (int k = 0; k < 4 && from > 0; ++k) from = prev(from);
      from = from > 0 ? from : next(0);
    }
    Chars out;
    out.reserve(ch_.size());
    for (int p = next(0); p != kEnd; p = next(p)) out.push_back(at(p));
    return out;
  }

 private:
  static constexpr int kEnd = -1;

  char32_t at(int p) const { return ch_[static_cast<std::size_t>(p)]; }
  int next(int p) const { return p == kEnd ? kEnd : next_[static_cast<std::size_t>(p)]; }
  int prev(int p) const { return prev_[static_cast<std::size_t>(p)]; }
  bool removed(int p) const { return prev_[static_cast<std::size_t>(p)] == kRemoved; }

  // A head: "d", any four characters, "(", and at least one more character.
  int findHead(int from) const {
    for (int p = from; p != kEnd; p = next(p)) {
      if (at(p) != U'd') continue;
      int q = p;
      for (int k = 0; k < 5; ++k) q = next(q);
      if (q == kEnd || next(q) == kEnd) return kEnd;  // no later "d" has room either
      if (at(q) == U'(') return p;
    }
    return kEnd;
  }

  // The conversion text that starts at a "d" into `text`, empty when none
  // does; returns how many characters were looked at.
  int conversionAt(int p, Chars& text) const {
    text.clear();
    int seen = 0;
    for (int k = 0; k <= 5; ++k, p = next(p)) {
      if (p == kEnd) return seen;
      text.push_back(at(p));
      ++seen;
    }
    if (text.back() != U'(') return text.clear(), seen;
    for (std::size_t count = 0;; p = next(p)) {
      if (p == kEnd) return text.clear(), seen;
      const char32_t c = at(p);
      text.push_back(c);
      ++seen;
      if (c == U')') return seen;
      if (!isUpperHexDigit(c) || ++count > kMaxHexDigits) return text.clear(), seen;
    }
  }

  int keyId(const Chars& key) const {
    auto found = ids_.find(key);
    return found == ids_.end() ? kNoKey : found->second;
  }

  void dropKey(int p) {
    int& key = key_[static_cast<std::size_t>(p)];
    if (key == kNoKey) return;
    at_[static_cast<std::size_t>(key)].erase(p);
    key = kNoKey;
  }

  void renewKey(int p) {
    Chars& text = scratch_;
    seen_[static_cast<std::size_t>(p)] = conversionAt(p, text);
    int key = kNoKey;
    if (!text.empty()) {
      auto [found, added] = ids_.try_emplace(text, static_cast<int>(at_.size()));
      if (added) at_.emplace_back();
      key = found->second;
    }
    if (key == key_[static_cast<std::size_t>(p)]) return;
    dropKey(p);
    if (key == kNoKey) return;
    at_[static_cast<std::size_t>(key)].insert(p);
    key_[static_cast<std::size_t>(p)] = key;
  }

  // Replaces `length` characters starting at node r by `value`.
  void replace(int r, std::size_t length, const Chars& value) {
    const int before = prev(r);
    int p = r;
    for (std::size_t k = 0; k < length; ++k) {
      const int following = next(p);
      dropKey(p);
      prev_[static_cast<std::size_t>(p)] = kRemoved;
      p = following;
    }
    const int after = p;
    int last = before;
    for (char32_t c : value) {
      const int node = static_cast<int>(ch_.size());
      ch_.push_back(c);
      next_.push_back(kEnd);
      prev_.push_back(last);
      key_.push_back(kNoKey);
      seen_.push_back(0);
      next_[static_cast<std::size_t>(last)] = node;
      last = node;
    }
    next_[static_cast<std::size_t>(last)] = after;
    if (after != kEnd) prev_[static_cast<std::size_t>(after)] = last;
    // Conversion texts that start shortly before the piece may run into it;
    // a "d" whose look ended before the piece keeps what it had.
    int q = before;
    for (int k = 1; k <= kHeadReach && q > 0; ++k, q = prev(q)) {
      if (at(q) == U'd' && seen_[static_cast<std::size_t>(q)] >= k) renewKey(q);
    }
  }

  static constexpr int kRemoved = -2;

  std::vector<char32_t> ch_;
  std::vector<int> next_;
  std::vector<int> prev_;
  static constexpr int kNoKey = -1;
  std::vector<int> key_;   // id of the conversion text starting at each "d", if any
  std::vector<int> seen_;  // characters that text's look covered, from the "d" on
  Chars scratch_;
  std::unordered_map<Chars, int> ids_;
  std::vector<std::set<int>> at_;  // by id: the "d"s where that text starts
};

Chars render(const Chars& id, const Chars& tmpl) {
  // Nibble table, index 0 = n11, 1 = n12, 2 = n21, … 15 = n82: the identifier's
  // characters from its right end, as they are.
  std::array<char32_t, 16> nibble;
  nibble.fill(U'0');
  const std::size_t used = id.size() < 16 ? id.size() : 16;
  for (std::size_t k = 0; k < used; ++k) nibble[k] = id[id.size() - 1 - k];

  StageChain chain(nibble, tmpl.size() + tmpl.size() / 2 + 16);

  chain.run(tmpl);
  ConversionText w(chain.finish());
  if (auto result = w.evaluate()) return *std::move(result);
  return Chars(kTemplateError.begin(), kTemplateError.end());
}

}  // namespace

std::string renderDecimal(std::string_view id) { return std::to_string(terva::hextoint(id)); }

std::string cstuid(std::string_view id, std::string_view tmpl) {
  return encodeUtf8(render(byteCharacters(id), textCharacters(tmpl)));
}

std::string identifierText(std::string_view id) { return encodeUtf8(byteCharacters(id)); }

std::u32string renderedCharacters(std::string_view rendered) { return textCharacters(rendered); }

std::string renderIdentifier(ViewMode viewMode, std::string_view id, std::string_view activeTemplate) {
  switch (viewMode) {
    case kViewHex:
      return identifierText(id);
    case kViewCst:
      return cstuid(id, activeTemplate);
    case kViewDec:
      break;
  }
  return renderDecimal(id);
}

const std::string& IdentDisplay::show(std::string_view id) {
  label_ = renderIdentifier(viewMode_, id, activeTemplate_);
  shownMode_ = viewMode_;
  return label_;
}

void IdentDisplay::chooseDec() {
  if (shownMode_ == kViewHex) {
    label_ = renderDecimal(characterBytes(label_));
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
  if (shownMode_ == kViewHex) return characterBytes(label_);
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

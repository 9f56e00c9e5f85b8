#include "ident/render.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <optional>
#include <span>
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
template <typename Char>
struct Stage {
  std::array<Char, 3> from{};
  std::size_t fromLength = 0;
  std::array<Char, 2> to{};
  std::size_t toLength = 0;
  std::array<Char, 3> held{};  // a proper prefix of `from`
  std::size_t heldLength = 0;

  bool heldIsPrefix() const {
    for (std::size_t k = 0; k < heldLength; ++k) {
      if (held[k] != from[k]) return false;
    }
    return true;
  }
};

// Byte references b1…b8, then nibble references n11, n12, n21 … n82.
template <typename Char>
class StageChain {
 public:
  // `nibble` as in render(); `expected` is room for the output.
  StageChain(const std::array<Char, 16>& nibble, std::size_t expected) {
    out_.reserve(expected + 1);
    out_.push_back(0);  // the start node of ConversionText
    for (std::size_t b = 0; b < 8; ++b) {
      Stage<Char>& s = stages_[b];
      s.from = {Char{'b'}, static_cast<Char>('1' + b)};
      s.fromLength = 2;
      s.to = {nibble[2 * b + 1], nibble[2 * b]};
      s.toLength = 2;
    }
    for (std::size_t k = 0; k < 16; ++k) {
      Stage<Char>& s = stages_[8 + k];
      s.from = {Char{'n'}, static_cast<Char>('1' + k / 2), static_cast<Char>('1' + k % 2)};
      s.fromLength = 3;
      s.to = {nibble[k]};
      s.toLength = 1;
    }
  }

  // Feeds the whole template. Conversion heads get two width digits on the
  // way: dec( and decK( become dec00( and dec0K(. These never overlap, and
  // the inserted "0" makes no new head, so one look at the template does it.
  void run(std::span<const Char> t) {
    const std::size_t n = t.size();
    for (std::size_t i = 0; i < n;) {
      const Char c = t[i];
      if (holding_ == 0 && c != 'd' && c != 'b' && c != 'n') {  // most characters
        out_.push_back(c);
        ++i;
        continue;
      }
      if (c == 'd' && i + 3 < n && t[i + 1] == 'e' && t[i + 2] == 'c') {
        const bool noWidth = t[i + 3] == '(';
        if (noWidth || (i + 4 < n && isDigit(t[i + 3]) && t[i + 4] == '(')) {
          const std::array<Char, 6> head{Char{'d'}, Char{'e'}, Char{'c'}, Char{'0'}, noWidth ? Char{'0'} : t[i + 3], Char{'('}};
          // No name starts with these: with every stage empty they pass.
          if (holding_ == 0) {
            out_.insert(out_.end(), head.begin(), head.end());
          } else {
            for (Char h : head) feed(0, h);
          }
          i += noWidth ? 4 : 5;
          continue;
        }
      }
      // With every stage empty a whole reference in the template is replaced
      // at once: it passes the stages before its own unchanged, and what it
      // stands for goes on from the stage after. A "b" followed by neither
      // "b" nor a byte number passes every stage unchanged.
      if (holding_ == 0 && (c == 'b' || c == 'n')) {
        const Char x = i + 1 < n ? t[i + 1] : 0;
        if (c == 'b' && x >= '1' && x <= '8') {
          const unsigned next = static_cast<unsigned>(x - '0');
          const Stage<Char>& s = stages_[next - 1];
          feed(next, s.to[0]);
          feed(next, s.to[1]);
          i += 2;
          continue;
        }
        if (c == 'b' && x != 'b') {
          out_.push_back(c);
          ++i;
          continue;
        }
        const Char y = i + 2 < n ? t[i + 2] : 0;
        if (c == 'n' && x >= '1' && x <= '8' && (y == '1' || y == '2')) {
          const unsigned next = 8 + static_cast<unsigned>(x - '1') * 2 + static_cast<unsigned>(y - '1') + 1;
          feed(next, stages_[next - 1].to[0]);
          i += 3;
          continue;
        }
      }
      feed(0, c);
      ++i;
    }
  }

  // The output after a start node (index 0), as ConversionText takes it.
  std::vector<Char> finish() {
    // Stage by stage; passing characters on only ever fills later stages.
    while (holding_ != 0) {
      const unsigned k = static_cast<unsigned>(std::countr_zero(holding_));
      Stage<Char>& s = stages_[k];
      const std::array<Char, 3> held = s.held;
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
  static std::uint32_t startingWith(Char c) { return c == 'b' ? 0xFFu : c == 'n' ? 0xFFFF00u : 0u; }

  void feed(unsigned k, Char c) {
    // Stages holding nothing let through a character their name does not
    // start with: the first stage from k on that takes c is the lowest bit
    // of the two masks (none for most characters).
    const std::uint32_t takers = (holding_ | startingWith(c)) >> k;
    if (takers == 0) {
      out_.push_back(c);
      return;
    }
    k += static_cast<unsigned>(std::countr_zero(takers));
    Stage<Char>& s = stages_[k];
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
      const Char first = s.held[0];
      for (std::size_t j = 1; j < s.heldLength; ++j) s.held[j - 1] = s.held[j];
      if (--s.heldLength == 0) holding_ &= ~bit;
      feed(k + 1, first);
      if (s.heldLength == 0) return;
    }
  }

  std::array<Stage<Char>, kStages> stages_{};
  std::uint32_t holding_ = 0;  // bit k: stage k holds characters
  std::vector<Char> out_;
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
//
// Values are decimal digits, so every "d" is a character of the text the
// conversions started from: only those nodes carry index entries, and their
// node numbers are in text order.

constexpr std::size_t kMaxHexDigits = 16;
constexpr std::size_t kMaxConversion = 6 + kMaxHexDigits + 1;  // "d" c c c c "(" HEX ")"
constexpr int kHeadReach = 22;  // characters after a "d" that its conversion text may span
constexpr std::size_t kMaxValue = 99;  // width 99; a 64-bit number has at most 20 digits

template <typename Char>
class ConversionText {
 public:
  // `text` holds the characters from index 1 on; index 0 is the start node.
  explicit ConversionText(std::vector<Char> text) : ch_(std::move(text)) {
    const std::size_t n = ch_.size();
    // Room for the values too: most replace a text at least as long.
    const std::size_t room = n + n / 2 + 128;
    ch_.reserve(room);
    link_.reserve(room);
    link_.resize(n);
    for (std::size_t k = 0; k < n; ++k) link_[k] = {k + 1 < n ? static_cast<int>(k + 1) : kEnd, static_cast<int>(k) - 1};
    original_ = static_cast<int>(n);
    key_.assign(n, kNoKey);
    seen_.assign(n, 0);
    const auto heads = static_cast<std::size_t>(std::count(ch_.begin() + 1, ch_.end(), Char{'d'}));
    slots_.assign(std::bit_ceil(2 * heads + 16), kNoKey);
    names_.reserve(heads);
    pool_.reserve(heads * 12);
    entries_.reserve(heads + 16);
    for (std::size_t k = 1; k < n; ++k) {
      if (ch_[k] == 'd') renewKey(static_cast<int>(k));
    }
  }

  // Evaluates every conversion; false for a malformed one.
  bool evaluate() {
    int from = next(0);
    for (;;) {
      const int i = findHead(from);
      if (i == kEnd) return true;
      std::array<Char, kMaxConversion> text;
      const std::size_t length = conversionAt(i, text).length;
      if (length == 0) return false;  // no closing ")", a foreign character or too many digits
      std::array<Char, kMaxValue> value;
      const std::size_t valueLength = valueOf(text, length, value);

      // Every occurrence from i on, as the text stands now (they never overlap).
      const int before = prev(i);
      const int id = find(text.data(), length, hashOf(text.data(), length));
      hits_.assign(1, i);
      if (id != kNoKey) takeOccurrences(id, i);
      for (int r : hits_) {
        if (removed(r) || (r != i && keyOf(r) != id)) continue;
        replace(r, length, value.data(), valueLength);
      }
      // A new head can start at most five characters before i.
      from = before;
      for (int k = 0; k < 4 && from > 0; ++k) from = prev(from);
      from = from > 0 ? from : next(0);
    }
  }

  // The text as it stands.
  std::vector<Char> text() const {
    std::vector<Char> out;
    out.reserve(ch_.size());
    for (int p = next(0); p != kEnd; p = next(p)) out.push_back(at(p));
    return out;
  }

 private:
  static constexpr int kEnd = -1;
  static constexpr int kRemoved = -2;
  static constexpr int kNoKey = -1;

  struct Link {
    int next;
    int prev;  // kRemoved once the node has left the text
  };
  // A conversion text met in the index.
  struct Name {
    std::uint32_t hash;
    std::uint32_t offset;  // in pool_
    std::uint32_t length;
    int entries;  // last of its entries_, kEnd for none
  };
  // A "d" filed under a name. Entries are not taken out when the "d" changes
  // name: those whose "d" no longer has that name are skipped when read.
  struct Entry {
    int node;
    int previous;  // entry before it under the same name
  };
  struct Look {
    std::size_t length;  // of the conversion text, 0 for none
    std::uint8_t seen;   // characters looked at
  };

  Char at(int p) const { return ch_[static_cast<std::size_t>(p)]; }
  int next(int p) const { return p == kEnd ? kEnd : link_[static_cast<std::size_t>(p)].next; }
  int prev(int p) const { return link_[static_cast<std::size_t>(p)].prev; }
  bool removed(int p) const { return prev(p) == kRemoved; }
  int keyOf(int p) const { return p < original_ ? key_[static_cast<std::size_t>(p)] : kNoKey; }
  int seenOf(int p) const { return p < original_ ? seen_[static_cast<std::size_t>(p)] : 0; }

  // A head: "d", any four characters, "(", and at least one more character.
  int findHead(int from) const {
    for (int p = from; p != kEnd; p = next(p)) {
      if (at(p) != 'd') continue;
      int q = p;
      for (int k = 0; k < 5; ++k) q = next(q);
      if (q == kEnd || next(q) == kEnd) return kEnd;  // no later "d" has room either
      if (at(q) == '(') return p;
    }
    return kEnd;
  }

  // The conversion text that starts at a "d" into `text`, length 0 when none
  // does; also how many characters were looked at.
  Look conversionAt(int p, std::array<Char, kMaxConversion>& text) const {
    std::uint8_t seen = 0;
    for (int k = 0; k <= 5; ++k, p = next(p)) {
      if (p == kEnd) return {0, seen};
      text[seen++] = at(p);
    }
    if (text[5] != '(') return {0, seen};
    for (std::size_t count = 0;; p = next(p)) {
      if (p == kEnd) return {0, seen};
      const Char c = at(p);
      text[seen++] = c;
      if (c == ')') return {seen, seen};
      if (!isUpperHexDigit(c) || ++count > kMaxHexDigits) return {0, seen};
    }
  }

  // The value of a conversion text: its digits as a decimal number padded
  // to the width, nothing for no digits. Returns the value's length.
  static std::size_t valueOf(const std::array<Char, kMaxConversion>& text, std::size_t length,
                             std::array<Char, kMaxValue>& value) {
    if (length == 7) return 0;
    std::uint64_t number = 0;
    for (std::size_t k = 6; k + 1 < length; ++k) {
      const Char c = text[k];
      number = number * 16 + static_cast<std::uint64_t>(isDigit(c) ? c - '0' : c - 'A' + 10);
    }
    char digits[20];
    const std::size_t count = static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, number).ptr - digits);
    const int width = readWidth(text[3], text[4]);
    const std::size_t pad = count < static_cast<std::size_t>(width) ? static_cast<std::size_t>(width) - count : 0;
    std::fill_n(value.begin(), pad, Char{'0'});
    for (std::size_t k = 0; k < count; ++k) value[pad + k] = static_cast<Char>(digits[k]);
    return pad + count;
  }

  static std::uint32_t hashOf(const Char* text, std::size_t length) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (std::size_t k = 0; k < length; ++k) hash = (hash ^ static_cast<std::uint32_t>(text[k])) * 16777619u;
    return hash;
  }

  // The slot holding the name, or the empty slot where it would go.
  std::size_t slotOf(const Char* text, std::size_t length, std::uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const int id = slots_[slot];
      if (id == kNoKey) return slot;
      const Name& name = names_[static_cast<std::size_t>(id)];
      if (name.hash == hash && name.length == length && std::equal(text, text + length, pool_.begin() + name.offset)) {
        return slot;
      }
    }
  }

  int find(const Char* text, std::size_t length, std::uint32_t hash) const {
    return slots_[slotOf(text, length, hash)];
  }

  int findOrAdd(const Char* text, std::size_t length) {
    const std::uint32_t hash = hashOf(text, length);
    const std::size_t slot = slotOf(text, length, hash);
    if (slots_[slot] != kNoKey) return slots_[slot];
    const int id = static_cast<int>(names_.size());
    names_.push_back({hash, static_cast<std::uint32_t>(pool_.size()), static_cast<std::uint32_t>(length), kEnd});
    pool_.insert(pool_.end(), text, text + length);
    slots_[slot] = id;
    if (2 * names_.size() > slots_.size()) {
      slots_.assign(2 * slots_.size(), kNoKey);
      const std::size_t mask = slots_.size() - 1;
      for (std::size_t k = 0; k < names_.size(); ++k) {
        std::size_t s = names_[k].hash & mask;
        while (slots_[s] != kNoKey) s = (s + 1) & mask;
        slots_[s] = static_cast<int>(k);
      }
    }
    return id;
  }

  void renewKey(int p) {
    std::array<Char, kMaxConversion> text;
    const Look look = conversionAt(p, text);
    seen_[static_cast<std::size_t>(p)] = look.seen;
    const int id = look.length == 0 ? kNoKey : findOrAdd(text.data(), look.length);
    int& key = key_[static_cast<std::size_t>(p)];
    if (id == key) return;
    key = id;
    if (id == kNoKey) return;
    Name& name = names_[static_cast<std::size_t>(id)];
    entries_.push_back({p, name.entries});
    name.entries = static_cast<int>(entries_.size()) - 1;
  }

  // Appends to hits_ the "d"s after i that start the name `id`, in text
  // order. Their entries go: the occurrences are about to be replaced, and
  // a "d" that gets the name again later is filed anew.
  void takeOccurrences(int id, int i) {
    Name& name = names_[static_cast<std::size_t>(id)];
    int kept = kEnd;
    for (int e = name.entries; e != kEnd;) {
      Entry& entry = entries_[static_cast<std::size_t>(e)];
      const int previous = entry.previous;
      if (keyOf(entry.node) == id) {
        if (entry.node > i) {
          hits_.push_back(entry.node);
        } else if (entry.node < i) {
          entry.previous = kept;
          kept = e;
        }
      }
      e = previous;
    }
    name.entries = kept;
    // A "d" filed twice under the name (name lost and found again) counts once.
    std::sort(hits_.begin() + 1, hits_.end());
    hits_.erase(std::unique(hits_.begin() + 1, hits_.end()), hits_.end());
  }

  // Replaces `length` characters starting at node r by `value`.
  void replace(int r, std::size_t length, const Char* value, std::size_t valueLength) {
    const int before = prev(r);
    int p = r;
    for (std::size_t k = 0; k < length; ++k) {
      const int following = next(p);
      if (p < original_) key_[static_cast<std::size_t>(p)] = kNoKey;
      link_[static_cast<std::size_t>(p)].prev = kRemoved;
      p = following;
    }
    const int after = p;
    int last = before;
    for (std::size_t k = 0; k < valueLength; ++k) {
      const int node = static_cast<int>(ch_.size());
      ch_.push_back(value[k]);
      link_.push_back({kEnd, last});
      link_[static_cast<std::size_t>(last)].next = node;
      last = node;
    }
    link_[static_cast<std::size_t>(last)].next = after;
    if (after != kEnd) link_[static_cast<std::size_t>(after)].prev = last;
    // Conversion texts that start shortly before the piece may run into it;
    // a "d" whose look ended before the piece keeps what it had.
    int q = before;
    for (int k = 1; k <= kHeadReach && q > 0; ++k, q = prev(q)) {
      if (at(q) == 'd' && seenOf(q) >= k) renewKey(q);
    }
  }

  std::vector<Char> ch_;
  std::vector<Link> link_;
  int original_ = 0;  // nodes before the first value's
  // By original node: id of the name starting at its "d", if any, and how
  // many characters that "d"'s look covered.
  std::vector<int> key_;
  std::vector<std::uint8_t> seen_;
  std::vector<int> slots_;  // hash table of names_ ids, a power of two long
  std::vector<Name> names_;
  std::vector<Char> pool_;  // the names' characters
  std::vector<Entry> entries_;
  std::vector<int> hits_;  // occurrences of the conversion being replaced
};

// Whether the text has a conversion head: "d", any four characters, "(",
// and at least one more character.
template <typename Char>
bool hasHead(std::span<const Char> text) {
  for (std::size_t p = 0; p + 6 < text.size(); ++p) {
    if (text[p] == 'd' && text[p + 5] == '(') return true;
  }
  return false;
}

// Characters below 0x100: one or two bytes; ASCII goes as it is.
void appendUtf8(std::string& out, std::span<const unsigned char> text) {
  const auto ascii = std::find_if(text.begin(), text.end(), [](unsigned char c) { return c >= 0x80; });
  out.append(reinterpret_cast<const char*>(text.data()), static_cast<std::size_t>(ascii - text.begin()));
  for (unsigned char c : std::span<const unsigned char>(ascii, text.end())) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

void appendUtf8(std::string& out, std::span<const char32_t> text) {
  out += encodeUtf8(std::u32string_view(text.data(), text.size()));
}

// Renders the template's characters; appends the result to `out` in UTF-8.
// Returns false for a malformed conversion.
template <typename Char>
bool render(std::string_view id, std::span<const Char> tmpl, std::string& out) {
  // Nibble table, index 0 = n11, 1 = n12, 2 = n21, … 15 = n82: the identifier's
  // characters from its right end, as they are.
  std::array<Char, 16> nibble;
  nibble.fill(Char{'0'});
  const std::size_t used = id.size() < 16 ? id.size() : 16;
  for (std::size_t k = 0; k < used; ++k) nibble[k] = static_cast<unsigned char>(id[id.size() - 1 - k]);

  StageChain<Char> chain(nibble, tmpl.size() + tmpl.size() / 2 + 16);
  chain.run(tmpl);
  std::vector<Char> chars = chain.finish();
  if (!hasHead(std::span<const Char>(chars).subspan(1))) {
    appendUtf8(out, std::span<const Char>(chars).subspan(1));
    return true;
  }
  ConversionText<Char> w(std::move(chars));
  if (!w.evaluate()) return false;
  appendUtf8(out, std::span<const Char>(w.text()));
  return true;
}

}  // namespace

std::string renderDecimal(std::string_view id) { return std::to_string(terva::hextoint(id)); }

std::string cstuid(std::string_view id, std::string_view tmpl) {
  // Bytes stand for the characters where each template character is one:
  // ASCII, and a template that is not UTF-8. Identifier characters always are.
  const std::span<const unsigned char> bytes(reinterpret_cast<const unsigned char*>(tmpl.data()), tmpl.size());
  std::string out;
  bool rendered = false;
  if (std::all_of(bytes.begin(), bytes.end(), [](unsigned char b) { return b < 0x80; })) {
    rendered = render(id, bytes, out);
  } else if (const std::optional<Chars> chars = decodeUtf8(tmpl)) {
    rendered = render(id, std::span<const char32_t>(*chars), out);
  } else {
    rendered = render(id, bytes, out);
  }
  return rendered ? out : std::string(kTemplateError);
}

std::string identifierText(std::string_view id) {
  std::string out;
  appendUtf8(out, std::span<const unsigned char>(reinterpret_cast<const unsigned char*>(id.data()), id.size()));
  return out;
}

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

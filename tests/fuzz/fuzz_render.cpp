// Identifier rendering: cstuid, renderIdentifier and the panel's DEC/HEX
// conversions.
//
// Input: the identifier, a 0 byte, the template (no 0 byte: all identifier).
#include "fuzz_check.h"
#include "ident/render.h"
#include "protocol/hextext.h"

#include <cstdint>
#include <string>

using namespace terva;
using namespace terva::ident;
using terva::fuzz::shown;

namespace {

// No byte or nibble reference and no conversion head: nothing to replace.
bool withoutTokens(std::string_view t) {
  for (std::size_t i = 0; i + 1 < t.size(); ++i) {
    const bool digit18 = t[i + 1] >= '1' && t[i + 1] <= '8';
    if (t[i] == 'b' && digit18) return false;
    if (t[i] == 'n' && digit18 && i + 2 < t.size() && (t[i + 2] == '1' || t[i + 2] == '2')) return false;
  }
  return t.find('d') == std::string_view::npos || t.find('(') == std::string_view::npos;
}

bool canonicalHex(std::string_view s) {
  if (s.empty() || s.size() > 16 || (s.size() > 1 && s[0] == '0')) return false;
  for (char c : s) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  const std::size_t zero = in.find('\0');
  const std::string_view id = in.substr(0, zero);
  const std::string_view tmpl = zero == std::string_view::npos ? std::string_view() : in.substr(zero + 1);
  const std::string what = "identifier " + shown(id) + ", template " + shown(tmpl);

  // A conversion of at most 8 template characters ("decWW(X)") gives at most
  // 99 digits; every other token gives no more characters than it has.
  const std::string out = cstuid(id, tmpl);
  FUZZ_CHECK(out.size() <= std::max<std::size_t>(kTemplateError.size(), 13 * tmpl.size()),
             "cstuid gave " + std::to_string(out.size()) + " characters for " + what);
  // The template's characters stay as they are (a template that is not UTF-8
  // counts one character a byte).
  if (withoutTokens(tmpl)) {
    FUZZ_CHECK(renderedCharacters(out) == renderedCharacters(tmpl),
               "a template without tokens changed: " + what + " -> " + shown(out));
  }
  // Only the last 16 characters of the identifier count.
  if (id.size() > 16) FUZZ_CHECK(cstuid(id.substr(id.size() - 16), tmpl) == out, "characters before the last 16 mattered: " + what);
  const std::u32string chars = renderedCharacters(out);
  FUZZ_CHECK(chars.size() <= out.size(), "more characters than bytes: " + what);

  FUZZ_CHECK(renderIdentifier(kViewDec, id, tmpl) == std::to_string(hextoint(id)), "DEC rendering of " + what);
  // HEX shows each identifier byte as the character of that code.
  FUZZ_CHECK(renderIdentifier(kViewHex, id, tmpl) == identifierText(id), "HEX rendering of " + what);
  {
    const std::u32string hexChars = renderedCharacters(identifierText(id));
    bool same = hexChars.size() == id.size();
    for (std::size_t i = 0; same && i < id.size(); ++i) same = hexChars[i] == static_cast<unsigned char>(id[i]);
    FUZZ_CHECK(same, "HEX characters are not the identifier's bytes for " + what);
  }
  FUZZ_CHECK(renderIdentifier(kViewCst, id, tmpl) == out, "CST rendering of " + what);

  // DEC -> HEX -> DEC of a shown identifier leaves the label as it was.
  {
    IdentDisplay d;
    d.setViewMode(kViewDec);
    const std::string dec = d.show(id);
    d.chooseHex();
    FUZZ_CHECK(d.shownMode() == kViewHex, "HEX not shown for " + what);
    FUZZ_CHECK(canonicalHex(d.labelText()), "HEX label " + shown(d.labelText()) + " for " + what);
    d.chooseDec();
    FUZZ_CHECK(d.labelText() == dec, "DEC -> HEX -> DEC changed " + dec + " to " + d.labelText() + " for " + what);
  }
  // HEX -> DEC -> HEX of a hex identifier without leading zeros, too.
  {
    IdentDisplay d;
    d.setViewMode(kViewHex);
    d.show(id);
    d.chooseDec();
    d.chooseHex();
    if (canonicalHex(id)) FUZZ_CHECK(d.labelText() == id, "HEX -> DEC -> HEX changed " + what + " to " + shown(d.labelText()));
    const std::string sample = d.editorSample();
    FUZZ_CHECK(!sample.empty() && sample.size() <= 16, "editor sample " + shown(sample) + " for " + what);
  }
  // A template taken at start-up: kept only when it does not render "FF" as "error".
  {
    IdentDisplay d;
    const bool kept = d.startupTemplate(std::string(tmpl));
    FUZZ_CHECK(kept == (tmpl.empty() || cstuid("FF", tmpl) != kTemplateError), "start-up template choice for " + what);
    FUZZ_CHECK(d.viewMode() == (kept ? kViewCst : kViewDec), "start-up view mode for " + what);
  }
  return 0;
}

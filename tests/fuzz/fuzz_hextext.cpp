// Hex text helpers against plain references: bytes -> hex -> bytes round
// trips, hextoint and hexToBytes on any text, byteHex and toHexString.
#include "fuzz_check.h"
#include "protocol/hextext.h"

#include <cstdint>
#include <cstring>
#include <string>

using namespace terva;
using terva::fuzz::shown;

namespace {

// -1 for a character outside 0-9, A-F, a-f.
std::int64_t refDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The first 16 characters as hex digits, a foreign one counting -1, wrapping.
std::uint64_t refHextoint(std::string_view s) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < s.size() && i < 16; ++i) v = v * 16u + static_cast<std::uint64_t>(refDigit(s[i]));
  return v;
}

bool upperHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);

  // Bytes -> hex -> bytes.
  const std::string hex = bytesToHex(in);
  FUZZ_CHECK(hex.size() == 2 * in.size(), "bytesToHex length for " + shown(in));
  for (std::size_t i = 0; i < in.size(); ++i) {
    const auto b = static_cast<unsigned char>(in[i]);
    FUZZ_CHECK(upperHexDigit(hex[2 * i]) && upperHexDigit(hex[2 * i + 1]), "bytesToHex gives " + shown(hex));
    FUZZ_CHECK(static_cast<unsigned>(refDigit(hex[2 * i]) * 16 + refDigit(hex[2 * i + 1])) == b,
               "bytesToHex digit pair " + std::to_string(i) + " of " + shown(in));
    FUZZ_CHECK(byteHex(b) == hex.substr(2 * i, 2), "byteHex(" + std::to_string(b) + ")");
  }
  FUZZ_CHECK(hexToBytes(hex) == in, "bytes -> hex -> bytes changed " + shown(in));

  // The input read as hex text.
  FUZZ_CHECK(hextoint(in) == refHextoint(in), "hextoint(" + shown(in) + ")");
  const std::string bytes = hexToBytes(in);
  FUZZ_CHECK(bytes.size() == in.size() / 2, "hexToBytes length for " + shown(in));
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    FUZZ_CHECK(static_cast<unsigned char>(bytes[i]) == (refHextoint(in.substr(2 * i, 2)) & 0xFF),
               "hexToBytes byte " + std::to_string(i) + " of " + shown(in));
  }
  // Upper-case hex text survives hex -> bytes -> hex (an odd last digit is dropped).
  bool canonical = true;
  for (char c : in) canonical = canonical && upperHexDigit(c);
  if (canonical) FUZZ_CHECK(bytesToHex(bytes) == in.substr(0, in.size() & ~std::size_t{1}), "hex -> bytes -> hex of " + shown(in));

  // toHexString: no leading zeros, reads back with hextoint.
  std::uint64_t v = 0;
  std::memcpy(&v, data, size < sizeof v ? size : sizeof v);
  const std::string h = toHexString(v);
  FUZZ_CHECK(!h.empty() && h.size() <= 16 && (h == "0" || h[0] != '0'), "toHexString gives " + h);
  for (char c : h) FUZZ_CHECK(upperHexDigit(c), "toHexString gives " + h);
  FUZZ_CHECK(hextoint(h) == v, "hextoint(toHexString(v)) != v for " + h);
  return 0;
}

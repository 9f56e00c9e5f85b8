#include "protocol/hextext.h"

namespace terva {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";

int digitValue(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::uint64_t hextoint(std::string_view text) {
  std::uint64_t value = 0;
  const std::size_t n = text.size() < 16 ? text.size() : 16;
  for (std::size_t i = 0; i < n; ++i) {
    // -1 for a foreign character, added with wrap-around as unsigned arithmetic.
    value = value * 16 + static_cast<std::uint64_t>(static_cast<std::int64_t>(digitValue(text[i])));
  }
  return value;
}

std::string byteHex(unsigned value) {
  std::string out(2, '0');
  out[0] = kDigits[(value >> 4) & 0xF];
  out[1] = kDigits[value & 0xF];
  return out;
}

std::string bytesToHex(std::string_view bytes) {
  // Every receive event goes through here: written in place, no per-character growth checks.
  std::string out(bytes.size() * 2, '\0');
  char* d = out.data();
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    *d++ = kDigits[c >> 4];
    *d++ = kDigits[c & 0xF];
  }
  return out;
}

std::string hexToBytes(std::string_view hex) {
  std::string out;
  out.reserve(hex.size() / 2);
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(hextoint(hex.substr(i, 2)) & 0xFF));
  }
  return out;
}

std::string toHexString(std::uint64_t value) {
  if (value == 0) return "0";
  std::string out;
  while (value != 0) {
    out.insert(out.begin(), kDigits[value & 0xF]);
    value >>= 4;
  }
  return out;
}

}  // namespace terva

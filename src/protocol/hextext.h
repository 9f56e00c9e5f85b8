#pragma once
// Hex text: bytes carried as upper-case hexadecimal text, two characters a byte.
#include <cstdint>
#include <string>
#include <string_view>

namespace terva {

// Reads at most the first 16 characters; lower case is accepted; a character
// outside 0-9/A-F counts as -1; arithmetic wraps. Never fails.
std::uint64_t hextoint(std::string_view text);

// Bytes (one char a byte, any value) to upper-case hex text.
std::string bytesToHex(std::string_view bytes);

// Hex text to bytes: each complete pair read with hextoint, low eight bits kept.
// An odd last character is ignored.
std::string hexToBytes(std::string_view hex);

// One byte as two upper-case hex digits.
std::string byteHex(unsigned value);

// Unsigned 64-bit value in upper-case hex without leading zeros ("0" for zero).
std::string toHexString(std::uint64_t value);

}  // namespace terva

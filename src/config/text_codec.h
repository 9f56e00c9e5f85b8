#pragma once
// UTF-8 and Windows-1251 text for names files, without a platform codec.
#include <optional>
#include <string>
#include <string_view>

namespace terva::config {

// Strict UTF-8 check: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);
// Decodes valid UTF-8 into code points; nothing when it is not valid.
std::optional<std::u32string> decodeUtf8(std::string_view bytes);
std::string encodeUtf8(std::u32string_view text);

// Windows-1251 bytes to code points. The one unassigned byte, 0x98, becomes
// the control character U+0098.
std::u32string decodeCp1251(std::string_view bytes);
// A code point as one Windows-1251 byte; nothing when the code page has no
// such character.
std::optional<char> encodeCp1251(char32_t c);

}  // namespace terva::config

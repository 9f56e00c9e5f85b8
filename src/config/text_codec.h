#pragma once
// UTF-8 and Windows-1251 text for names files, without a platform codec.
#include <optional>
#include <string>
#include <string_view>

#include "protocol/utf8.h"

namespace terva::config {

using terva::decodeUtf8;
using terva::encodeUtf8;
using terva::isValidUtf8;

// Windows-1251 bytes to code points. The one unassigned byte, 0x98, becomes
// the control character U+0098.
std::u32string decodeCp1251(std::string_view bytes);
// A code point as one Windows-1251 byte; nothing when the code page has no
// such character.
std::optional<char> encodeCp1251(char32_t c);

}  // namespace terva::config

#pragma once
// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
#include <optional>
#include <string>
#include <string_view>

namespace terva {

// Decodes valid UTF-8 into code points; nothing when it is not valid.
std::optional<std::u32string> decodeUtf8(std::string_view bytes);
bool isValidUtf8(std::string_view bytes);
std::string encodeUtf8(std::u32string_view text);

}  // namespace terva

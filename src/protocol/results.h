#pragma once
// Reader result codes and the texts shown for them.
#include <cstdint>
#include <string>

namespace terva {

// Result codes of an exchange besides the reader's own 0..252.
inline constexpr std::uint8_t kResultOk = 0;
inline constexpr std::uint8_t kResultMalformed = 253;  // cmd 0 frame without a result record
inline constexpr std::uint8_t kResultNoReply = 254;    // nothing with cmd 0 within the time limit
inline constexpr std::uint8_t kResultNotSent = 255;    // empty/odd/too long payload, or not connected

// Russian text for a reader result code; unknown codes read "Неизвестная ошибка №N".
std::string errtotext(std::uint8_t code);

// Texts of the reporting convention.
inline constexpr const char* kErrorCaption = "Ошибка";
inline constexpr const char* kDoneText = "Выполнено";

}  // namespace terva

#pragma once
// The configuration record: tag-length-value items in hex text, carried to
// the reader, into files and onto master cards, and decoded back.
#include "config/reader_config.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace terva::config {

// Item tags.
inline constexpr std::uint8_t kTagMasterIndex = 0x01;
inline constexpr std::uint8_t kTagCardFormats = 0x02;
inline constexpr std::uint8_t kTagIdentifier = 0x03;
inline constexpr std::uint8_t kTagWiegandType = 0x04;
inline constexpr std::uint8_t kTagWiegandWidth = 0x05;
inline constexpr std::uint8_t kTagReadingMode = 0x06;
inline constexpr std::uint8_t kTagBlockOrPulse = 0x08;
inline constexpr std::uint8_t kTagBlockOffset = 0x09;
inline constexpr std::uint8_t kTagBlockByteCount = 0x0A;
inline constexpr std::uint8_t kTagAccessCodeOrZones = 0x0B;
inline constexpr std::uint8_t kTagColours = 0x0C;
inline constexpr std::uint8_t kTagChecksum = 0x0E;
inline constexpr std::uint8_t kTagAccessChecksum = 0x0F;
inline constexpr std::uint8_t kTagFirmwareVersion = 0x10;
inline constexpr std::uint8_t kTagMasterRestriction = 0x11;

// Value texts indexed by tag; an absent item is an empty text.
using ConfigItems = std::array<std::string, 256>;

// The record of a configuration (upper-case hex text). The access code is
// written filled to 32 digits; callers that show the field fill it first
// (ConfigEditor::fillAccessCode) so the field matches what was sent.
std::string BuildConfigRecord(const ReaderConfig& c);

// Splits a record into its items; never fails. A later item replaces an
// earlier one with the same tag; an item cut short keeps what is there.
ConfigItems ParseConfigItems(std::string_view hex);

// One colour of item 0C: 4 hex digits, low byte first.
std::string getmycolor(Colour c);
// The inverse: 4 hex digits to a colour with zero low bits.
Colour colourFromItem(std::string_view fourDigits);

// Decodes the items onto `base` (fields the record does not carry keep
// their values) with the loading rules, then runs the closing repairs of
// shift/bits and, in mode 2, offset/count. Nothing when a value cannot be
// set: a reading mode outside 0..3, a Wiegand type other than 0 and 1, or
// an access code that is not at most 32 hex digits.
std::optional<ReaderConfig> decodeConfigRecord(const ReaderConfig& base, const ConfigItems& items);

inline constexpr std::string_view kApplyFailedText = "Ошибка установки параметров.";

// What to show after a configuration was applied, for the caller's caption.
struct ChecksumDisplay {
  enum class Kind { None, InputBox, Message };
  Kind kind = Kind::None;
  std::string caption;
  std::string prompt;  // input box only
  std::string value;   // input box only: the checksum's hex digits, as received
};
inline constexpr std::string_view kObjectChecksumPrompt = "Контрольная сумма кода объекта";
inline constexpr std::string_view kAccessChecksumPrompt = "Контрольная сумма кода доступа к блоку";
// `mode` is the reading mode that was applied.
ChecksumDisplay checksumDisplay(const ConfigItems& items, int mode, std::string_view caption);

}  // namespace terva::config

#pragma once
// The reader's commands: one named builder per payload (cmd, ver and body as
// hex text), so no operation spells a payload out by hand.
#include <string>
#include <string_view>

#include "protocol/hextext.h"

namespace terva::commands {

// Write a configuration record into the reader.
inline std::string writeConfiguration(std::string_view record) { return "0101" + std::string(record); }
// Configuration for the master cards about to be written; `lockedToTheseCards`:
// the protected mode may be removed only with these master cards.
inline std::string masterCardConfiguration(std::string_view record, bool lockedToTheseCards) {
  return "0102" + std::string(record) + (lockedToTheseCards ? "1101AA" : "110100");
}
// Start writing `count` (1 to 5) master cards.
inline std::string writeMasterCards(unsigned count) { return "0201010200" + byteHex(count); }
inline std::string clearMasterCards() { return "0301"; }
inline std::string createProtectedCards() { return "0401"; }
// Back to card reading mode; ends every card mode.
inline std::string cardReadingMode() { return "0501"; }
inline std::string clearProtectedCards() { return "0601"; }
inline std::string readMasterCardConfiguration() { return "0701"; }
inline std::string copyMasterCardConfiguration() { return "0801"; }
inline std::string clearAllProtectedCards() { return "0901"; }
inline std::string readFirmwareVersion() { return "0A01"; }
inline std::string readConfiguration() { return "0B01"; }

}  // namespace terva::commands

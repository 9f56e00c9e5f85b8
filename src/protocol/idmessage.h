#pragma once
// Identifier messages: in card reading mode the reader reports each card as
// an unframed text, a prefix naming the kind of identifier, the identifier
// and two ending bytes (0D 0A), such as "UID: 1A2B3C\r\n".
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace terva {

enum class IdKind { PhoneId, RandomUid, NonuniqueUid, Mir, Uid };

struct IdKindInfo {
  IdKind kind;
  std::string_view prefix;  // ASCII, as the reader sends it
};

// The five kinds in the order they are tested (Random and Nonunique UID end
// with the plain UID prefix, so they come before it).
const std::array<IdKindInfo, 5>& idKinds();
const IdKindInfo& idKindInfo(IdKind kind);

struct IdMessage {
  IdKind kind;
  std::string identifier;  // the bytes between prefix and the two ending bytes
  bool operator==(const IdMessage&) const = default;
};

struct IdScan {
  // Some prefix occurs in the event: it is not to be judged as a reply frame,
  // even when no message in it carries an identifier.
  bool isIdentifierMessage = false;
  std::vector<IdMessage> messages;  // in the order they stand in the event
};

// Scans the raw bytes of one receive event. Each prefix found starts a
// message that runs to the next prefix (or the end of the event); its
// identifier is what follows the prefix without the message's last two bytes.
// Bytes before the first prefix are ignored. A message with nothing between
// prefix and ending bytes gives no entry. Pieces split across two events are
// not joined: a message cut short loses its last two bytes.
IdScan scanIdentifierMessages(std::string_view bytes);

}  // namespace terva

#include "protocol/idmessage.h"

#include <cstring>

namespace terva {

namespace {

constexpr std::array<IdKindInfo, 5> kKinds = {{
    {IdKind::PhoneId, "PhoneID: "},
    {IdKind::RandomUid, "Random UID: "},
    {IdKind::NonuniqueUid, "Nonunic UID: "},
    {IdKind::Mir, "MIR: "},
    {IdKind::Uid, "UID: "},
}};

struct Found {
  const IdKindInfo* kind;
  std::size_t pos;
};

// The next prefix starting at or after `from`: the leftmost one. Every prefix
// ends in ": " and holds no other colon, so prefixes are found in the order
// of their colons, and only at a colon followed by a blank need the five be
// compared. Two prefixes ending at the same colon ("Random UID: " and
// "UID: ") start at different places: the longer starts first. No two
// prefixes share a first letter, so none other can start at the same place.
Found nextPrefix(std::string_view bytes, std::size_t from) {
  const std::size_t size = bytes.size();
  std::size_t colon = from;
  while (colon + 1 < size) {
    const void* hit = std::memchr(bytes.data() + colon, ':', size - 1 - colon);
    if (hit == nullptr) break;
    colon = static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data());
    if (bytes[colon + 1] == ' ') {
      const IdKindInfo* best = nullptr;
      std::size_t bestPos = 0;
      for (const IdKindInfo& k : kKinds) {
        const std::size_t len = k.prefix.size();
        if (colon + 2 < from + len) continue;  // it would start before `from`
        const std::size_t pos = colon + 2 - len;
        if ((best == nullptr || pos < bestPos) && bytes.substr(pos, len) == k.prefix) {
          best = &k;
          bestPos = pos;
        }
      }
      if (best != nullptr) return {best, bestPos};
    }
    ++colon;
  }
  return {nullptr, size};
}

}  // namespace

const std::array<IdKindInfo, 5>& idKinds() { return kKinds; }

const IdKindInfo& idKindInfo(IdKind kind) {
  for (const IdKindInfo& k : kKinds) {
    if (k.kind == kind) return k;
  }
  return kKinds.back();
}

IdScan scanIdentifierMessages(std::string_view bytes) {
  IdScan scan;
  Found cur = nextPrefix(bytes, 0);
  while (cur.kind != nullptr) {
    scan.isIdentifierMessage = true;
    const std::size_t bodyStart = cur.pos + cur.kind->prefix.size();
    // Searching on after the prefix keeps the "UID: " inside "Random UID: "
    // and "Nonunic UID: " from counting as a message of its own.
    const Found next = nextPrefix(bytes, bodyStart);
    const std::size_t bodyLen = next.pos - bodyStart;
    if (bodyLen > 2) {
      scan.messages.push_back({cur.kind->kind, std::string(bytes.substr(bodyStart, bodyLen - 2))});
    }
    cur = next;
  }
  return scan;
}

}  // namespace terva

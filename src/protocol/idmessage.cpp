#include "protocol/idmessage.h"

namespace terva {

namespace {

constexpr std::array<IdKindInfo, 5> kKinds = {{
    {IdKind::PhoneId, "PhoneID: "},
    {IdKind::RandomUid, "Random UID: "},
    {IdKind::NonuniqueUid, "Nonunic UID: "},
    {IdKind::Mir, "MIR: "},
    {IdKind::Uid, "UID: "},
}};

// The kind whose prefix stands at `pos`, first in test order; null if none.
const IdKindInfo* prefixAt(std::string_view bytes, std::size_t pos) {
  const std::string_view rest = bytes.substr(pos);
  for (const IdKindInfo& k : kKinds) {
    if (rest.substr(0, k.prefix.size()) == k.prefix) return &k;
  }
  return nullptr;
}

struct Found {
  const IdKindInfo* kind;
  std::size_t pos;
};

// The next prefix at or after `from`, scanning left to right.
Found nextPrefix(std::string_view bytes, std::size_t from) {
  for (std::size_t pos = from; pos < bytes.size(); ++pos) {
    if (const IdKindInfo* k = prefixAt(bytes, pos)) return {k, pos};
  }
  return {nullptr, bytes.size()};
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

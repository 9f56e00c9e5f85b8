#include "protocol/dispatch.h"

#include "protocol/hextext.h"

namespace terva {

RxEvent classifyReceiveEvent(std::string_view bytes, std::string_view hex) {
  RxEvent ev;
  if (hex.size() == 16 && hex.substr(0, 12) == "230800010D01") {
    ev.kind = RxOutcome::ResultReply;
    ev.frame = {0, 1, std::string(hex.substr(8, 6))};
    return ev;
  }
  IdScan scan = scanIdentifierMessages(bytes);
  if (scan.isIdentifierMessage) {
    ev.kind = RxOutcome::Identifier;
    ev.identifiers = std::move(scan.messages);
    return ev;
  }
  const std::size_t len = hex.size();
  if (len >= 10 && hex.substr(0, 2) == "23" && hex.substr(len - 2) == "24" && hextoint(hex.substr(2, 2)) * 2 == len) {
    ev.kind = RxOutcome::Frame;
    ev.frame.cmd = static_cast<std::uint8_t>(hextoint(hex.substr(4, 2)));
    ev.frame.ver = static_cast<std::uint8_t>(hextoint(hex.substr(6, 2)));
    ev.frame.body = std::string(hex.substr(8, len - 10));
  }
  return ev;
}

}  // namespace terva

#pragma once
// The receive dispatch: what one receive event's bytes are. Each event is
// judged alone; nothing is carried over from the event before.
#include <string>
#include <string_view>
#include <vector>

#include "protocol/answer.h"
#include "protocol/idmessage.h"

namespace terva {

enum class RxOutcome { ResultReply, Identifier, Frame, Ignored };

struct RxEvent {
  RxOutcome kind = RxOutcome::Ignored;
  Answer frame;                       // ResultReply and Frame: the frame's fields
  std::vector<IdMessage> identifiers;  // Identifier: the messages, in order (may be none)

  // A configuration frame read from a master card (cmd 1, ver 3).
  bool isConfigurationFrame() const { return kind == RxOutcome::Frame && frame.cmd == 1 && frame.ver == 3; }
};

// Classifies one receive event, in this order: a result reply delivered whole
// (its end byte is not examined), identifier messages, one whole frame and
// nothing else; anything else is ignored. `hex` is bytesToHex(bytes).
RxEvent classifyReceiveEvent(std::string_view bytes, std::string_view hex);

}  // namespace terva

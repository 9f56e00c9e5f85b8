#include "protocol/exchange.h"

#include "protocol/hextext.h"
#include "protocol/results.h"

namespace terva {

std::optional<std::string> buildFrame(std::string_view payloadHex) {
  if (payloadHex.empty() || payloadHex.size() % 2 != 0 || payloadHex.size() / 2 > kMaxPayloadBytes) {
    return std::nullopt;
  }
  std::string frame = "23";
  frame += byteHex(static_cast<unsigned>(payloadHex.size() / 2 + 3));
  frame += payloadHex;
  frame += "24";
  return frame;
}

std::uint8_t resultFromAnswer(const Answer& answer) {
  if (answer.cmd != 0) return kResultNoReply;
  if (answer.body.size() == 6 && answer.body.compare(0, 4, "0D01") == 0) {
    return static_cast<std::uint8_t>(hextoint(std::string_view(answer.body).substr(4, 2)));
  }
  return kResultMalformed;
}

std::uint8_t Exchange::SendToComPort(std::string_view payloadHex) {
  if (waiting() || !host_.connected()) return kResultNotSent;
  const auto frame = buildFrame(payloadHex);
  if (!frame) return kResultNotSent;

  host_.logSent(*frame);
  const std::string bytes = hexToBytes(*frame);
  answer.reset();
  host_.writeBytes(bytes);

  std::optional<Answer> reply;
  struct EndWait {
    std::optional<Answer>*& current;
    ~EndWait() { current = nullptr; }
  } endWait{reply_};
  reply_ = &reply;
  host_.waitForReply([&reply] { return reply.has_value(); }, kReplyTimeout);
  return resultFromAnswer(reply ? *reply : answer);
}

void Exchange::store(const Answer& frame) {
  answer = frame;
  if (reply_ && !*reply_ && (frame.cmd == 0 || frame.cmd == 1)) *reply_ = frame;
  host_.replyStored(frame);
}

RxOutcome Exchange::ComPort1RxChar(std::string_view bytes) {
  const std::string text = bytesToHex(bytes);
  host_.logReceived(text);
  const RxEvent ev = classifyReceiveEvent(bytes, text);
  switch (ev.kind) {
    case RxOutcome::ResultReply:
      store(ev.frame);
      break;
    case RxOutcome::Identifier:
      for (const IdMessage& msg : ev.identifiers) {
        answer.cmd = 255;  // an identifier is no reply
        host_.identifier(msg);
      }
      break;
    case RxOutcome::Frame:
      if (ev.isConfigurationFrame()) host_.configurationFrame(ev.frame.body);
      store(ev.frame);
      break;
    case RxOutcome::Ignored:
      break;
  }
  return ev.kind;
}

}  // namespace terva

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
  if (!host_.connected()) return kResultNotSent;
  const auto frame = buildFrame(payloadHex);
  if (!frame) return kResultNotSent;

  host_.logSent(*frame);
  const std::string bytes = hexToBytes(*frame);
  answer.reset();
  host_.writeBytes(bytes);

  std::optional<Answer> reply;
  struct RestoreOuter {
    std::optional<Answer>*& current;
    std::optional<Answer>* outer;
    ~RestoreOuter() { current = outer; }
  } restore{reply_, reply_};
  reply_ = &reply;
  host_.waitForReply([&reply] { return reply.has_value(); }, kReplyTimeout);
  return resultFromAnswer(reply ? *reply : answer);
}

void Exchange::storedFrame() {
  if (reply_ && !*reply_ && (answer.cmd == 0 || answer.cmd == 1)) *reply_ = answer;
  host_.replyStored();
}

RxOutcome Exchange::ComPort1RxChar(std::string_view bytes) {
  const std::string text = bytesToHex(bytes);
  host_.logReceived(text);

  // A result reply delivered whole: the end byte is not examined.
  if (text.size() == 16 && text.compare(0, 12, "230800010D01") == 0) {
    answer.cmd = 0;
    answer.ver = 1;
    answer.body = text.substr(8, 6);
    storedFrame();
    return RxOutcome::ResultReply;
  }

  if (host_.handleIdentifierMessage(bytes)) return RxOutcome::Identifier;

  // One whole frame and nothing else.
  const std::size_t len = text.size();
  if (len >= 10 && text.compare(0, 2, "23") == 0 && text.compare(len - 2, 2, "24") == 0 &&
      hextoint(std::string_view(text).substr(2, 2)) * 2 == len) {
    answer.cmd = static_cast<std::uint8_t>(hextoint(std::string_view(text).substr(4, 2)));
    answer.ver = static_cast<std::uint8_t>(hextoint(std::string_view(text).substr(6, 2)));
    answer.body = text.substr(8, len - 10);
    if (answer.cmd == 1 && answer.ver == 3) host_.configurationFrame(answer.body);
    storedFrame();
    return RxOutcome::Frame;
  }
  return RxOutcome::Ignored;
}

}  // namespace terva

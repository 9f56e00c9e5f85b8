#pragma once
// The request/response exchange with the reader and the routing of what it
// receives.
//
// Every command is one frame; the exchange waits until a frame with cmd 0
// (a result reply) or cmd 1 has been stored in `answer`, or the time limit
// passes. Replies carry no sequence number: `answer` holds the last frame.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/answer.h"
#include "protocol/dispatch.h"
#include "protocol/idmessage.h"

namespace terva {

inline constexpr std::size_t kMaxPayloadBytes = 252;  // the length byte caps a frame at 255 bytes
inline constexpr std::chrono::milliseconds kReplyTimeout{2000};

// Frame hex text for a payload ("0501" -> "2305050124"); nothing for an
// empty, odd-length or over-long payload. Payload characters are kept as typed.
std::optional<std::string> buildFrame(std::string_view payloadHex);

// Result code an exchange returns for what `answer` holds once the wait ended.
std::uint8_t resultFromAnswer(const Answer& answer);

// What the exchange needs from its surroundings. The production host binds it
// to the serial port and the Qt event loop; tests script it.
class ExchangeHost {
 public:
  virtual ~ExchangeHost() = default;
  virtual bool connected() const = 0;
  // Writes the frame's bytes; may throw (the serial port's error).
  virtual void writeBytes(const std::string& bytes) = 0;
  // Runs the event loop until done() holds (checked whenever the exchange
  // calls replyStored()) or the limit passes. Operator input is held back.
  virtual void waitForReply(const std::function<bool()>& done, std::chrono::milliseconds limit) = 0;
  // Called after each frame stored in `answer`, so a wait can end at once.
  virtual void replyStored(const Answer& /*frame*/) {}
  // Each identifier message, in the order the reader sent them.
  virtual void identifier(const IdMessage& /*msg*/) {}
  // A configuration frame (cmd 1, ver 3) from a master card.
  virtual void configurationFrame(const std::string& /*bodyHex*/) {}
  // Diagnostic log of traffic (frame text sent, hex text received).
  virtual void logSent(const std::string& /*frameHex*/) {}
  virtual void logReceived(const std::string& /*hex*/) {}
};

class Exchange {
 public:
  explicit Exchange(ExchangeHost& host) : host_(host) {}

  Answer answer;

  // Sends one command and waits for its result. Returns 0 for success, the
  // reader's error code, or 253/254/255 (see results.h). While one exchange
  // waits, another is refused with 255 and nothing is sent: replies carry no
  // sequence number, so a second one would take the first one's reply.
  std::uint8_t SendToComPort(std::string_view payloadHex);
  bool waiting() const { return reply_ != nullptr; }

  // The receive handler: classifies one receive event's bytes and routes it.
  RxOutcome ComPort1RxChar(std::string_view bytes);

 private:
  void store(const Answer& frame);

  ExchangeHost& host_;
  // The frame that ended the wait. Events handled in the same pass of the
  // event loop (a card presented just then) cannot change its result.
  std::optional<Answer>* reply_ = nullptr;
};

}  // namespace terva

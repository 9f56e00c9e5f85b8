#pragma once
// The session with the reader: the one open port, the exchange every command
// goes through, the disconnect watch, and signals for what the reader does.
// Pages and workflows talk only to this.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "protocol/clock.h"
#include "protocol/exchange.h"

class QTimer;

namespace terva {

namespace serial {
class TComPort;
}

// A write to the port failed; the text is the port's own.
class SessionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ReaderSession : public QObject, private ExchangeHost {
  Q_OBJECT
 public:
  explicit ReaderSession(Clock& clock, QObject* parent = nullptr);
  ~ReaderSession() override;

  // Opens the device (9600 8N1, queues flushed) and starts the watch. On
  // failure the session stays closed and the message to show is returned.
  std::optional<std::string> open(const std::string& devicePath);
  // Stops the watch and releases the port; errors while releasing are ignored.
  void close();
  bool connected() const override;
  const std::string& portPath() const { return path_; }

  // Sends one command and waits for its result (see Exchange). Throws
  // SessionError when the port refuses the write.
  std::uint8_t SendToComPort(std::string_view payload);
  // True while an exchange waits for its reply: no other may start.
  bool busy() const { return exchange_.waiting(); }
  // The reply record: the last frame received.
  Answer& answer() { return exchange_.answer; }

  // The receive handler, as the port calls it with one event's bytes.
  RxOutcome ComPort1RxChar(std::string_view bytes) { return exchange_.ComPort1RxChar(bytes); }

 signals:
  void connectionChanged(bool connected);
  // The watch found the reader gone: first `unplugging` (card dialogs close),
  // then the port is released, then `unplugged` (the operator is told).
  void unplugging();
  void unplugged();
  void lineErrors(const std::vector<std::string>& messages);
  void identifierReceived(const terva::IdMessage& msg);
  void configurationFrameReceived(const std::string& bodyHex);
  // Every frame stored in the reply record, in the order received.
  void frameReceived(const terva::Answer& frame);
  // Traffic: the frame text of every command sent, the hex text of every receive event.
  void frameSent(const std::string& frameHex);
  void bytesReceived(const std::string& hex);

 private:
  // ExchangeHost
  void writeBytes(const std::string& bytes) override;
  void waitForReply(const std::function<bool()>& done, std::chrono::milliseconds limit) override;
  void replyStored(const Answer& frame) override;
  void identifier(const IdMessage& msg) override;
  void configurationFrame(const std::string& bodyHex) override;
  void logSent(const std::string& frameHex) override;
  void logReceived(const std::string& hex) override;

  void watchTick();
  void releasePort();
  void replyTimeUp();

  Exchange exchange_{*this};
  QPointer<serial::TComPort> port_;
  std::string path_;
  std::unique_ptr<Timer> Timer1;  // the disconnect watch, 200 ms
  QTimer* replyTimer_;  // child; the time limit of the wait for a reply
  QElapsedTimer waitStarted_;
  std::chrono::milliseconds waitLimit_{0};
  bool timeUp_ = false;
};

}  // namespace terva

#pragma once
// Binds the exchange to the serial connection and the Qt event loop, and
// hands identifier messages on to whoever shows them.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "ident/idmessage.h"
#include "protocol/exchange.h"
#include "serial/connection.h"

class QEventLoop;

namespace terva::app {

class ReaderSession : public ExchangeHost {
 public:
  ReaderSession();
  ~ReaderSession() override;

  serial::ReaderConnection& connection() { return connection_; }
  Exchange& exchange() { return exchange_; }
  Answer& answer() { return exchange_.answer; }

  std::uint8_t SendToComPort(std::string_view payload) { return exchange_.SendToComPort(payload); }

  // Called for every identifier read, in the order the reader sent them.
  std::function<void(const ident::IdMessage&)> onIdentifier;

  // ExchangeHost
  bool connected() const override;
  void writeBytes(const std::string& bytes) override;
  void waitForReply(const std::function<bool()>& done, std::chrono::milliseconds limit) override;
  void replyStored() override;
  bool handleIdentifierMessage(std::string_view bytes) override;

 private:
  struct Wait {
    QEventLoop* loop;
    const std::function<bool()>* done;
  };
  serial::ReaderConnection connection_;
  Exchange exchange_{*this};
  std::vector<Wait> waits_;  // innermost last
};

}  // namespace terva::app

#include "app/reader_session.h"

#include <QEventLoop>
#include <QTimer>

namespace terva::app {

ReaderSession::ReaderSession() {
  connection_.onReceived = [this](const std::string& bytes) { exchange_.ComPort1RxChar(bytes); };
}

ReaderSession::~ReaderSession() = default;

bool ReaderSession::connected() const { return connection_.isOpen(); }

void ReaderSession::writeBytes(const std::string& bytes) { connection_.write(bytes); }

void ReaderSession::waitForReply(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  if (done()) return;
  QEventLoop loop;
  QTimer timeout;
  timeout.setSingleShot(true);
  QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
  timeout.start(limit);
  waits_.push_back({&loop, &done});
  // Receive events and timers go on; the operator's input waits until the reply is in,
  // so a second operation cannot start inside this one and take its reply.
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  waits_.pop_back();
}

void ReaderSession::replyStored() {
  if (!waits_.empty() && (*waits_.back().done)()) waits_.back().loop->quit();
}

bool ReaderSession::handleIdentifierMessage(std::string_view bytes) {
  const ident::IdScan scan = ident::scanIdentifierMessages(bytes);
  if (!scan.isIdentifierMessage) return false;
  for (const auto& msg : scan.messages) {
    exchange_.answer.cmd = 255;  // an identifier is no reply
    if (onIdentifier) onIdentifier(msg);
  }
  return true;
}

}  // namespace terva::app

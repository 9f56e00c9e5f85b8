#include "protocol/session.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "protocol/messages.h"
#include "serial/comport.h"

namespace terva {

ReaderSession::ReaderSession(Clock& clock, QObject* parent)
    : QObject(parent), Timer1(clock.createTimer()), replyTimer_(new QTimer(this)) {
  Timer1->onTimeout = [this] { watchTick(); };
  replyTimer_->setSingleShot(true);
  replyTimer_->setTimerType(Qt::PreciseTimer);
  connect(replyTimer_, &QTimer::timeout, this, [this] { replyTimeUp(); });
}

ReaderSession::~ReaderSession() { releasePort(); }

std::optional<std::string> ReaderSession::open(const std::string& devicePath) {
  close();
  auto port = std::make_unique<serial::TComPort>();
  port->SetPort(devicePath);
  port->SetBaudRate(serial::br9600);
  // Whatever arrived before the port was ready belongs to nobody.
  port->OnAfterOpen = [](serial::TCustomComPort* p) { p->ClearBuffer(true, true); };
  port->OnRxChar = [this](serial::TCustomComPort* p, int count) {
    std::string bytes;
    try {
      p->ReadStr(bytes, count);
    } catch (const serial::EComPort&) {
      return;  // the watch notices a device that has gone
    }
    if (!bytes.empty()) exchange_.ComPort1RxChar(bytes);
  };
  port->OnError = [this](serial::TCustomComPort*, serial::TComErrors errors) {
    emit lineErrors(lineErrorMessages(errors));
  };
  try {
    port->Open();
  } catch (const serial::EComPort& e) {
    return openErrorText(e, devicePath);
  }
  port_ = port.release();
  path_ = devicePath;
  Timer1->start(Millis(200));
  emit connectionChanged(true);
  return std::nullopt;
}

void ReaderSession::releasePort() {
  Timer1->stop();
  if (!port_) return;
  serial::TComPort* port = port_;
  port_ = nullptr;
  path_.clear();
  try {
    port->Close();
  } catch (...) {
    // Releasing a port that has gone away may fail; the session is closed regardless.
  }
  // We may be inside one of the port's own handlers: free it once that has returned.
  port->deleteLater();
}

void ReaderSession::close() {
  const bool was = port_ != nullptr;
  releasePort();
  if (was) emit connectionChanged(false);
}

bool ReaderSession::connected() const { return port_ && port_->Connected(); }

std::uint8_t ReaderSession::SendToComPort(std::string_view payload) { return exchange_.SendToComPort(payload); }

void ReaderSession::writeBytes(const std::string& bytes) {
  if (!port_) throw SessionError(serial::EComPort(serial::CEPortNotOpen, -1).what());
  try {
    port_->WriteStr(bytes);
  } catch (const serial::EComPort& e) {
    throw SessionError(e.what());
  }
}

void ReaderSession::waitForReply(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  if (done()) return;
  // One timer serves every wait: arming it costs less than making a timer
  // and connecting it for each command.
  waitLimit_ = limit;
  waitStarted_.start();
  timeUp_ = false;
  replyTimer_->start(limit);
  // Receive events and timers go on; the operator's input waits until the
  // reply is in. Each pass returns once it has handled something; ending the
  // wait this way wakes nothing, where quitting a nested event loop wakes the
  // event loop once more.
  while (!done() && !timeUp_) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
  }
  replyTimer_->stop();
}

void ReaderSession::replyTimeUp() {
  // Even a precise timer may fire a little early; the limit is never cut short.
  const qint64 left = waitLimit_.count() - waitStarted_.elapsed();
  if (left > 0) {
    replyTimer_->start(static_cast<int>(left));
  } else {
    timeUp_ = true;
  }
}

void ReaderSession::replyStored(const Answer& frame) { emit frameReceived(frame); }

void ReaderSession::identifier(const IdMessage& msg) { emit identifierReceived(msg); }

void ReaderSession::configurationFrame(const std::string& bodyHex) { emit configurationFrameReceived(bodyHex); }

void ReaderSession::logSent(const std::string& frameHex) { emit frameSent(frameHex); }

void ReaderSession::logReceived(const std::string& hex) { emit bytesReceived(hex); }

void ReaderSession::watchTick() {
  if (!port_) return;
  try {
    port_->Probe();
  } catch (const serial::EComPort&) {
    Timer1->stop();
    emit unplugging();
    close();
    emit unplugged();
  }
}

}  // namespace terva

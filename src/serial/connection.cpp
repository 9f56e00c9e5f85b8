#include "serial/connection.h"

namespace terva::serial {

std::vector<std::string> lineErrorMessages(TComErrors errors) {
  static const struct {
    TComErrors bit;
    const char* text;
  } kMessages[] = {
      {ceRxParity, "ERROR: The hardware detected a parity error."},
      {ceFrame, "ERROR: The hardware detected a framing error."},
      {ceOverrun, "ERROR: A charachter buffer overrun has occured."},
      {ceBreak, "ERROR: The hardware detected a break condition."},
      {ceIO, "ERROR: An I/O error occured during communication with the device."},
      {ceMode, "ERROR: The requested mode is not supported."},
      {ceRxOver, "ERROR: An input buffer overflow has occured."},
      {ceTxFull, "ERROR: The output buffer is full."},
  };
  std::vector<std::string> out;
  for (const auto& m : kMessages) {
    if (errors & m.bit) out.emplace_back(m.text);
  }
  return out;
}

std::vector<std::string> removeDuplicatePorts(std::vector<std::string> names) {
  std::vector<std::string> out;
  for (auto& n : names) {
    bool seen = false;
    for (const auto& o : out) seen = seen || o == n;
    if (!seen) out.push_back(std::move(n));
  }
  return out;
}

ReaderConnection::ReaderConnection(QObject* parent) : QObject(parent) {
  Timer1.setObjectName("Timer1");
  Timer1.setInterval(200);
  connect(&Timer1, &QTimer::timeout, this, &ReaderConnection::watchTick);
}

ReaderConnection::~ReaderConnection() { close(); }

void ReaderConnection::open(const std::string& devicePath) {
  close();
  auto* port = new TComPort();
  port->SetPort(devicePath);
  port->SetBaudRate(TBaudRate::br9600);
  // Whatever arrived before the port was ready belongs to nobody.
  port->OnAfterOpen = [](TCustomComPort* p) { p->ClearBuffer(true, true); };
  port->OnRxChar = [this](TCustomComPort* p, int count) {
    std::string bytes;
    try {
      p->ReadStr(bytes, count);
    } catch (const EComPort&) {
      return;  // the watch notices a device that has gone
    }
    if (onReceived && !bytes.empty()) onReceived(bytes);
  };
  port->OnError = [this](TCustomComPort*, TComErrors errors) {
    if (onLineErrors) onLineErrors(errors);
  };
  try {
    port->Open();
  } catch (...) {
    delete port;
    throw;
  }
  port_ = port;
  Timer1.start();
}

void ReaderConnection::close() {
  Timer1.stop();
  if (!port_) return;
  TComPort* port = port_;
  port_ = nullptr;
  try {
    port->Close();
  } catch (...) {
    // Releasing a port that has gone away may fail; the window is disconnected regardless.
  }
  // We may be inside one of the port's own handlers: free it once that has returned.
  port->deleteLater();
}

bool ReaderConnection::isOpen() const { return port_ && port_->Connected(); }

void ReaderConnection::write(const std::string& bytes) {
  if (!port_) throw EComPort(CEPortNotOpen, -1);
  port_->WriteStr(bytes);
}

void ReaderConnection::watchTick() {
  if (!port_) return;
  try {
    port_->Probe();
  } catch (const EComPort&) {
    Timer1.stop();
    if (onUnplugged) onUnplugged();
  }
}

}  // namespace terva::serial

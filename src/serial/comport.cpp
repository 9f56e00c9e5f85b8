// Portable part of the serial port component: error texts, settings,
// byte/text conversion and the order in which notifications are handled.

#include "serial/comport.h"

#include <QPointer>
#include <QTimer>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>

namespace terva::serial {

namespace {

constexpr std::array<const char*, 24> kCodeTexts = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
    "Port Not Open",
};

std::string MessageFor(int code, int osError) {
  std::string text = EComPort::CodeText(code);
  if (osError > 0) {
    text += " (Error: " + std::to_string(osError) + ")";
  }
  return text;
}

// Largest single read buffer ReadStr allocates; the kernel's receive queue
// is far smaller, so a read never returns more anyway.
constexpr int kMaxReadChunk = 64 * 1024;

// What one notification takes from the device at most (the size of the
// kernel's line discipline buffer), and what the port keeps for a handler
// that leaves bytes unread before it leaves the rest in the device.
constexpr std::size_t kTakeChunk = 4096;
constexpr std::size_t kMaxTaken = 64 * 1024;

// While a handler leaves received bytes unread, the queue is watched at
// this interval instead of by the (level-triggered) input notifier.
constexpr int kParkIntervalMs = 50;

}  // namespace

EComPort::EComPort(int code, int osError)
    : std::runtime_error(MessageFor(code, osError)),
      Code(code),
      WinCode(osError > 0 ? osError : -1),
      Kind(osError > 0 ? PortErrorKindFromSystem(osError) : PortErrorKind::None) {}

std::string EComPort::CodeText(int code) {
  if (code < 1 || code > static_cast<int>(kCodeTexts.size())) {
    return {};
  }
  return kCodeTexts[static_cast<std::size_t>(code - 1)];
}

int BaudRateValue(TBaudRate rate, int customRate) {
  switch (rate) {
    case brCustom: return customRate;
    case br110: return 110;
    case br300: return 300;
    case br600: return 600;
    case br1200: return 1200;
    case br2400: return 2400;
    case br4800: return 4800;
    case br9600: return 9600;
    case br14400: return 14400;
    case br19200: return 19200;
    case br38400: return 38400;
    case br56000: return 56000;
    case br57600: return 57600;
    case br115200: return 115200;
    case br128000: return 128000;
    case br256000: return 256000;
  }
  return 0;
}

TComErrors LineErrorsFromCounters(const TLineErrorCounters& before, const TLineErrorCounters& after,
                                  bool parityCheck) {
  TComErrors errors = 0;
  if (after.Frame != before.Frame) errors |= ceFrame;
  if (parityCheck && after.Parity != before.Parity) errors |= ceRxParity;
  if (after.Overrun != before.Overrun) errors |= ceOverrun;
  if (after.Break != before.Break) errors |= ceBreak;
  if (after.BufferOverrun != before.BufferOverrun) errors |= ceRxOver;
  return errors;
}

void TCustomComPort::SetPort(const std::string& devicePath) {
  if (devicePath == port_) {
    return;
  }
  port_ = devicePath;
  if (Connected()) {
    Close();
    Open();
  }
}

void TCustomComPort::SetBaudRate(TBaudRate rate) {
  if (rate == baudRate_) {
    return;
  }
  baudRate_ = rate;
  if (Connected()) {
    ApplyLineSettings(fd_);
  }
}

void TCustomComPort::SetCustomBaudRate(int rate) {
  if (rate == customBaudRate_) {
    return;
  }
  customBaudRate_ = rate;
  if (Connected() && baudRate_ == brCustom) {
    ApplyLineSettings(fd_);
  }
}

int TCustomComPort::Read(char* buffer, int count) {
  if (!Connected()) {
    throw EComPort(CEPortNotOpen, -1);
  }
  if (buffer == nullptr || count <= 0) {
    return 0;
  }
  // What a notification took comes first; the device is read once that is gone.
  int n = 0;
  if (!rxTaken_.empty()) {
    n = static_cast<int>(std::min<std::size_t>(rxTaken_.size(), static_cast<std::size_t>(count)));
    std::memcpy(buffer, rxTaken_.data(), static_cast<std::size_t>(n));
    rxTaken_.erase(0, static_cast<std::size_t>(n));
  } else {
    n = ReadDevice(buffer, count);
  }
  if (n > 0) ++rxConsumed_;
  return n;
}

void TCustomComPort::ClearBuffer(bool input, bool output) {
  if (!Connected()) {
    throw EComPort(CEPortNotOpen, -1);
  }
  if (!input && !output) {
    return;
  }
  if (input) {
    rxTaken_.clear();
    ++rxConsumed_;
  }
  FlushDevice(input, output);
}

int TCustomComPort::InputCount() {
  if (!Connected()) {
    throw EComPort(CEPortNotOpen, -1);
  }
  const auto waiting = static_cast<std::size_t>(DeviceInputCount());
  return static_cast<int>(std::min<std::size_t>(rxTaken_.size() + waiting, INT_MAX));
}

int TCustomComPort::ReadStr(std::string& str, int count) {
  if (count <= 0) {
    str.clear();
    return 0;
  }
  std::string bytes(static_cast<std::size_t>(std::min(count, kMaxReadChunk)), '\0');
  const int n = Read(bytes.data(), static_cast<int>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(n));
  str = std::move(bytes);
  return n;
}

int TCustomComPort::WriteStr(const std::string& str) {
  if (str.empty()) {
    return 0;
  }
  const auto count = static_cast<int>(std::min<std::size_t>(str.size(), INT_MAX));
  return Write(str.data(), count);
}

TComErrors TCustomComPort::PendingLineErrors() { return LastErrors(); }

// One device notification: the error check, then the receive check.
// Handlers may close or delete the port, or run nested event loops; the same
// port is never re-entered. The notifier stays on while the handlers run:
// switching it off and on costs two wake-ups of the event loop per event.
void TCustomComPort::DeliverEvents() {
  if (!Connected() || stalled_ || gone_) {
    return;
  }
  if (delivering_) {
    // A handler runs a nested event loop and bytes are waiting: the notifier
    // is level-triggered, so it stays off until that handler has returned.
    SuspendListening();
    return;
  }
  QPointer<TCustomComPort> self(this);
  const unsigned session = session_;
  const auto sameSession = [&] { return !self.isNull() && session_ == session; };

  delivering_ = true;
  bool park = false;
  try {
    const TComErrors errors = PendingLineErrors();
    if (errors != 0 && OnError) {
      const auto handler = OnError;  // the handler may replace OnError or delete the port
      handler(this, errors);
    }
    if (sameSession()) {
      TakeFromDevice();
      const auto count = static_cast<int>(rxTaken_.size());
      if (count > 0) {
        const std::uint64_t consumedBefore = rxConsumed_;
        if (OnRxChar) {
          const auto handler = OnRxChar;
          handler(this, count);
        }
        if (sameSession() && rxConsumed_ == consumedBefore) {
          // Nothing was taken: wait for the queue to change instead of
          // being woken again at once for the same bytes.
          parkedCount_ = InputCount();
          park = parkedCount_ > 0;
        }
      } else if (DeviceHungUp()) {
        MarkGone(EIO);
      }
    }
  } catch (const EComPort& e) {
    if (self.isNull()) return;
    if (session_ == session) {
      if (e.WinCode == EIO || e.WinCode == ENXIO || e.WinCode == ENODEV) {
        MarkGone(e.WinCode);  // unplugged or hung up: Probe reports it
      } else {
        StopDelivering(e.what());
      }
    }
  } catch (const std::exception& e) {
    if (self.isNull()) return;
    if (session_ == session) StopDelivering(e.what());
  } catch (...) {
    if (self.isNull()) return;
    if (session_ == session) StopDelivering("unknown exception");
  }
  if (self.isNull()) {
    return;
  }
  delivering_ = false;
  if (park && session_ == session && Connected() && !stalled_ && !gone_) {
    SuspendListening();
    parkTimer_->start(kParkIntervalMs);
  }
  ResumeListening();
}

void TCustomComPort::TakeFromDevice() {
  if (rxTaken_.size() >= kMaxTaken) return;
  char chunk[kTakeChunk];
  const int n = ReadDevice(chunk, static_cast<int>(sizeof chunk));
  rxTaken_.append(chunk, static_cast<std::size_t>(n));
}

void TCustomComPort::CheckParked() {
  if (!Connected() || delivering_) {
    parkTimer_->stop();
    return;
  }
  int count = 0;
  try {
    count = InputCount();
  } catch (const EComPort& e) {
    parkTimer_->stop();
    if (!gone_) StopDelivering(e.what());
    return;
  }
  if (count != parkedCount_) {
    parkTimer_->stop();
    ResumeListening();
  } else if (DeviceHungUp()) {
    MarkGone(EIO);
  }
}

// A notification failed (a handler raised, or the device could not be
// queried): no further notifications until the port is opened again.
void TCustomComPort::StopDelivering(const char* why) {
  stalled_ = true;
  parkTimer_->stop();
  SuspendListening();
  if (!gone_ && DeviceHungUp()) {
    MarkGone(EIO);
  }
  qWarning("serial port %s: notifications stopped: %s", port_.c_str(), why);
}

}  // namespace terva::serial

#pragma once

// Serial port component: one open serial device, its line settings, and
// receive/error notifications delivered on the thread that owns the object.

#include <QObject>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

class QSocketNotifier;
class QTimer;

namespace terva::serial {

enum TBaudRate {
  brCustom,
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000
};
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TSyncMethod { smThreadSync, smWindowSync, smNone };

// Line speed in bits per second: the number in the name, or customRate for brCustom.
int BaudRateValue(TBaudRate rate, int customRate);

struct TComParity {
  TParityBits Bits = prNone;
  bool Check = false;
  bool Replace = false;
  char ReplaceChar = 0;
};

struct TComFlowControl {
  bool OutCTSFlow = false;
  bool OutDSRFlow = false;
  TDTRFlowControl ControlDTR = dtrDisable;
  TRTSFlowControl ControlRTS = rtsDisable;
  bool XonXoffOut = false;
  bool XonXoffIn = false;
  bool DSRSensitivity = false;
  bool TxContinueOnXoff = false;
  char XonChar = 0x11;
  char XoffChar = 0x13;
};

// Milliseconds. Reads never wait; a write of n bytes gives up after
// WriteTotalMultiplier * n + WriteTotalConstant (no limit when both are 0).
struct TComTimeouts {
  int ReadInterval = -1;
  int ReadTotalMultiplier = 0;
  int ReadTotalConstant = 0;
  int WriteTotalMultiplier = 100;
  int WriteTotalConstant = 1000;
};

// Queue sizes in bytes. The kernel's tty queues are fixed, so these are kept
// for completeness only.
struct TComBuffer {
  int InputSize = 1024;
  int OutputSize = 1024;
};

// Line errors, one bit each.
using TComErrors = std::uint8_t;
inline constexpr TComErrors ceFrame = 0x01;
inline constexpr TComErrors ceRxParity = 0x02;
inline constexpr TComErrors ceOverrun = 0x04;
inline constexpr TComErrors ceBreak = 0x08;
inline constexpr TComErrors ceIO = 0x10;
inline constexpr TComErrors ceMode = 0x20;
inline constexpr TComErrors ceRxOver = 0x40;
inline constexpr TComErrors ceTxFull = 0x80;

// The kernel's running totals of receive-side line errors.
struct TLineErrorCounters {
  std::uint32_t Frame = 0;
  std::uint32_t Overrun = 0;
  std::uint32_t Parity = 0;
  std::uint32_t Break = 0;
  std::uint32_t BufferOverrun = 0;
};

// The errors that occurred between two readings of the counters: every
// counter that moved sets its bit; parity counts only when parityCheck.
TComErrors LineErrorsFromCounters(const TLineErrorCounters& before, const TLineErrorCounters& after,
                                  bool parityCheck);

// Error codes of EComPort::Code.
enum TComExceptions {
  CE_OpenFailed = 1,
  CE_WriteFailed,
  CE_ReadFailed,
  CE_InvalidAsync,
  CE_PurgeFailed,
  CE_AsyncCheck,
  CE_SetStateFailed,
  CE_TimeoutsFailed,
  CE_SetupComFailed,
  CE_ClearComFailed,
  CE_ModemStatFailed,
  CE_EscapeComFailed,
  CE_TransmitFailed,
  CE_ConnChangeProp,
  CE_EnumPortsFailed,
  CE_StoreFailed,
  CE_LoadFailed,
  CE_RegFailed,
  CE_LedStateFailed,
  CE_ThreadCreated,
  CE_WaitFailed,
  CE_HasLink,
  CE_RegError,
  CEPortNotOpen
};

// What went wrong, independent of the operating system's error numbers. The
// backend maps its error number to a kind once, where the call failed.
enum class PortErrorKind {
  None,              // no system error behind it
  NotFound,          // no such device
  Busy,              // held by another program
  PermissionDenied,  // the user may not open it
  DeviceGone,        // the device stopped answering or was unplugged
  Other
};

// The backend's mapping (comport_<platform>.cpp).
PortErrorKind PortErrorKindFromSystem(int osError);
// The system's own text for an error number, in the user's language.
std::string SystemErrorText(int osError);
// The group whose members may open the device ("dialout" when unknown).
std::string DeviceAccessGroup(const std::string& devicePath);

// Raised by the port. Code is a TComExceptions value; WinCode is the errno
// of the failed call, or -1 when there was none; Kind is what it means. The
// message is the code's text, followed by " (Error: <errno>)" when there is
// an errno.
class EComPort : public std::runtime_error {
 public:
  EComPort(int code, int osError);

  // The fixed English text of a code ("" for codes outside 1..24).
  static std::string CodeText(int code);

  int Code;
  int WinCode;
  PortErrorKind Kind;
};

class TCustomComPort : public QObject {
  Q_OBJECT

 public:
  explicit TCustomComPort(QObject* owner = nullptr);
  ~TCustomComPort() override;

  TCustomComPort(const TCustomComPort&) = delete;
  TCustomComPort& operator=(const TCustomComPort&) = delete;

  // Full device path, such as /dev/ttyACM0. Changing it on an open port
  // closes the port and opens the new device.
  std::string Port() const { return port_; }
  void SetPort(const std::string& devicePath);

  // Changing the rate on an open port applies it at once (code 7 on failure).
  TBaudRate BaudRate() const { return baudRate_; }
  void SetBaudRate(TBaudRate rate);
  int CustomBaudRate() const { return customBaudRate_; }
  void SetCustomBaudRate(int rate);

  // Byte format; applied at the next Open or rate change.
  TDataBits DataBits() const { return dataBits_; }
  void SetDataBits(TDataBits bits) { dataBits_ = bits; }
  TStopBits StopBits() const { return stopBits_; }
  void SetStopBits(TStopBits bits) { stopBits_ = bits; }

  // Setting groups; changes take effect at the next Open or rate change
  // (Timeouts at the next write).
  TComParity& Parity() { return parity_; }
  const TComParity& Parity() const { return parity_; }
  TComFlowControl& FlowControl() { return flowControl_; }
  const TComFlowControl& FlowControl() const { return flowControl_; }
  TComTimeouts& Timeouts() { return timeouts_; }
  const TComTimeouts& Timeouts() const { return timeouts_; }
  TComBuffer& Buffer() { return buffer_; }
  const TComBuffer& Buffer() const { return buffer_; }

  bool Connected() const { return fd_ >= 0; }

  // Opens the device for exclusive use, applies the line settings, starts
  // listening and calls OnAfterOpen. Does nothing when already open. On
  // failure raises EComPort (1: cannot open or in use, 7: line settings)
  // and the port stays closed.
  void Open();
  // Stops listening and closes the device. Harmless when closed; never raises.
  void Close();

  // Returns at once with what is waiting, at most count bytes (0 when none).
  // Bytes already taken from the device for a notification come first.
  int Read(char* buffer, int count);
  // As Read; str gets one char per byte, values 0..255 unchanged.
  int ReadStr(std::string& str, int count);
  // Writes all bytes unless the write time limit runs out first; returns
  // the number written.
  int Write(const char* buffer, int count);
  // Each char is sent as one byte. Empty text sends nothing and returns 0.
  int WriteStr(const std::string& str);

  void ClearBuffer(bool input, bool output);
  // Bytes waiting: those taken from the device for a notification and not
  // yet read, and those still in the receive queue.
  int InputCount();
  // Line errors since the previous call.
  TComErrors LastErrors();

  // Checks, without reading anything, that the device is still there;
  // raises EComPort code 3 when it has gone away (unplugged, hung up).
  void Probe();

  // Called inside Open once the port listens.
  std::function<void(TCustomComPort*)> OnAfterOpen;
  // Bytes are waiting (count, as InputCount); the handler reads them. Never
  // re-entered for one port.
  std::function<void(TCustomComPort*, int)> OnRxChar;
  // Line errors occurred; called before OnRxChar for the same notification.
  std::function<void(TCustomComPort*, TComErrors)> OnError;

 protected:
  // The error check of a notification. Defaults to LastErrors().
  virtual TComErrors PendingLineErrors();

 private:
  // Portable notification handling (comport.cpp).
  void DeliverEvents();
  // Moves what the receive queue holds into rxTaken_ with one read (nothing
  // once rxTaken_ is full); raises like Read.
  void TakeFromDevice();
  void CheckParked();
  void StopDelivering(const char* why);

  // Operating-system backend (comport_<platform>.cpp).
  void ApplyLineSettings(int fd) const;
  void ResumeListening();
  void SuspendListening();
  // One read of the device without waiting: 0 when nothing is there;
  // raises code 3 when the read fails.
  int ReadDevice(char* buffer, int count);
  // Bytes in the device's receive queue (raises code 10).
  int DeviceInputCount();
  // Discards the device's queues (raises code 5).
  void FlushDevice(bool input, bool output);
  bool DeviceHungUp() const;
  void MarkGone(int err);
  [[noreturn]] void RaiseDeviceError(int code, int err);

  std::string port_ = "/dev/ttyS0";  // the first built-in UART, like COM1
  TBaudRate baudRate_ = br9600;
  int customBaudRate_ = 9600;
  TDataBits dataBits_ = dbEight;
  TStopBits stopBits_ = sbOneStopBit;
  TComParity parity_;
  TComFlowControl flowControl_;
  TComTimeouts timeouts_;
  TComBuffer buffer_;

  int fd_ = -1;
  QSocketNotifier* notifier_ = nullptr;  // child; watches fd_ for input
  QTimer* parkTimer_ = nullptr;          // child; see CheckParked
  unsigned session_ = 0;                 // bumped by every Open and Close
  bool delivering_ = false;              // a notification's handlers are running
  bool stalled_ = false;                 // a handler failed: no more notifications
  bool gone_ = false;                    // the device went away
  int goneErrno_ = 0;
  int parkedCount_ = 0;
  std::uint64_t rxConsumed_ = 0;         // bumped by every read or input flush
  // Received bytes a notification took from the device and the handler has
  // not read yet. Reading them up front spares asking the device how much
  // it holds on every notification.
  std::string rxTaken_;
  bool lineCountersSupported_ = false;
  TLineErrorCounters lineCounters_;
};

// The port class the program creates.
class TComPort : public TCustomComPort {
  Q_OBJECT

 public:
  using TCustomComPort::TCustomComPort;
};

}  // namespace terva::serial

// Linux backend of the serial port component: termios, exclusive open,
// and an event-loop socket notifier on the descriptor.

#include "serial/comport.h"

#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

namespace terva::serial {

namespace {

// Closes the descriptor unless ownership is released.
class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

bool IsGoneErrno(int err) { return err == EIO || err == ENXIO || err == ENODEV; }

speed_t SpeedFor(int rate) {
  struct Entry {
    int rate;
    speed_t speed;
  };
  static constexpr Entry kSpeeds[] = {
      {50, B50},           {75, B75},           {110, B110},         {134, B134},
      {150, B150},         {200, B200},         {300, B300},         {600, B600},
      {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
      {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
      {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
      {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
      {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
      {3500000, B3500000}, {4000000, B4000000},
  };
  for (const Entry& e : kSpeeds) {
    if (e.rate == rate) return e.speed;
  }
  return B0;
}

// Reads the kernel's line error totals; returns 0 or the errno.
int ReadLineCounters(int fd, TLineErrorCounters& out) {
  serial_icounter_struct icount{};
  if (::ioctl(fd, TIOCGICOUNT, &icount) != 0) {
    return errno;
  }
  out.Frame = static_cast<std::uint32_t>(icount.frame);
  out.Overrun = static_cast<std::uint32_t>(icount.overrun);
  out.Parity = static_cast<std::uint32_t>(icount.parity);
  out.Break = static_cast<std::uint32_t>(icount.brk);
  out.BufferOverrun = static_cast<std::uint32_t>(icount.buf_overrun);
  return 0;
}

// Sets DTR and RTS as the flow control settings ask (both low by default).
// Drivers without modem lines (pseudo-terminals) refuse; that is fine.
void SetModemLines(int fd, const TComFlowControl& flow) {
  int raise = 0;
  int lower = 0;
  (flow.ControlDTR == dtrEnable ? raise : lower) |= TIOCM_DTR;
  if (flow.ControlRTS != rtsHandshake) {
    (flow.ControlRTS == rtsEnable ? raise : lower) |= TIOCM_RTS;
  }
  if (lower != 0) (void)::ioctl(fd, TIOCMBIC, &lower);
  if (raise != 0) (void)::ioctl(fd, TIOCMBIS, &raise);
}

std::string GroupOwning(const std::string& devicePath) {
  struct stat st {};
  if (::stat(devicePath.c_str(), &st) != 0 || st.st_gid == 0) {
    return "dialout";
  }
  group grp{};
  group* found = nullptr;
  std::vector<char> buf(16384);
  if (::getgrgid_r(st.st_gid, &grp, buf.data(), buf.size(), &found) != 0 || found == nullptr ||
      found->gr_name == nullptr || *found->gr_name == '\0') {
    return "dialout";
  }
  return found->gr_name;
}

}  // namespace

TCustomComPort::TCustomComPort(QObject* owner) : QObject(owner) {
  notifier_ = new QSocketNotifier(QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { DeliverEvents(); });
  parkTimer_ = new QTimer(this);
  connect(parkTimer_, &QTimer::timeout, this, [this] { CheckParked(); });
}

TCustomComPort::~TCustomComPort() { Close(); }

void TCustomComPort::Open() {
  if (Connected()) {
    return;
  }
  // Every step works on a local descriptor; the port takes it only when
  // all of them succeeded.
  UniqueFd fd(::open(port_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) {
    const int err = errno;
    throw EComPort(CE_OpenFailed, err);
  }
  // The lock keeps out every other opener, root included (root ignores
  // TIOCEXCL); TIOCEXCL keeps out programs that do not lock.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    throw EComPort(CE_OpenFailed, err == EWOULDBLOCK ? EBUSY : err);
  }
  ApplyLineSettings(fd.get());
  SetModemLines(fd.get(), flowControl_);
  if (::ioctl(fd.get(), TIOCEXCL) != 0) {
    const int err = errno;
    throw EComPort(CE_OpenFailed, err);
  }
  TLineErrorCounters counters;
  const bool countersSupported = ReadLineCounters(fd.get(), counters) == 0;

  fd_ = fd.release();
  rxTaken_.clear();
  ++session_;
  lineCountersSupported_ = countersSupported;
  lineCounters_ = counters;
  stalled_ = false;
  gone_ = false;
  goneErrno_ = 0;
  notifier_->setSocket(fd_);
  ResumeListening();

  if (OnAfterOpen) {
    const auto handler = OnAfterOpen;
    handler(this);
  }
}

void TCustomComPort::Close() {
  if (fd_ < 0) {
    return;
  }
  notifier_->setEnabled(false);
  parkTimer_->stop();
  // Discard both queues so the close never waits for unsent output; a
  // hung-up device refuses, which does not matter here.
  (void)::tcflush(fd_, TCIOFLUSH);
  (void)::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
  rxTaken_.clear();
  ++session_;
}

void TCustomComPort::ApplyLineSettings(int fd) const {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    const int err = errno;
    throw EComPort(CE_SetStateFailed, err);
  }
  const speed_t speed = SpeedFor(BaudRateValue(baudRate_, customBaudRate_));
  if (speed == B0) {
    throw EComPort(CE_SetStateFailed, EINVAL);
  }
  ::cfmakeraw(&tio);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
  tio.c_cflag |= CLOCAL | CREAD;
  switch (dataBits_) {
    case dbFive: tio.c_cflag |= CS5; break;
    case dbSix: tio.c_cflag |= CS6; break;
    case dbSeven: tio.c_cflag |= CS7; break;
    case dbEight: tio.c_cflag |= CS8; break;
  }
  if (stopBits_ != sbOneStopBit) {
    tio.c_cflag |= CSTOPB;  // 1.5 stop bits with 5 data bits, otherwise 2
  }
  switch (parity_.Bits) {
    case prNone: break;
    case prOdd: tio.c_cflag |= PARENB | PARODD; break;
    case prEven: tio.c_cflag |= PARENB; break;
    case prMark: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case prSpace: tio.c_cflag |= PARENB | CMSPAR; break;
  }
  if (parity_.Check) tio.c_iflag |= INPCK;
  if (flowControl_.OutCTSFlow || flowControl_.ControlRTS == rtsHandshake) tio.c_cflag |= CRTSCTS;
  if (flowControl_.XonXoffOut) tio.c_iflag |= IXON;
  if (flowControl_.XonXoffIn) tio.c_iflag |= IXOFF;
  tio.c_cc[VSTART] = static_cast<cc_t>(flowControl_.XonChar);
  tio.c_cc[VSTOP] = static_cast<cc_t>(flowControl_.XoffChar);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    const int err = errno;
    throw EComPort(CE_SetStateFailed, err);
  }
  // tcsetattr succeeds when any part was applied; check the rate took.
  termios applied{};
  if (::tcgetattr(fd, &applied) == 0 && ::cfgetospeed(&applied) != speed) {
    throw EComPort(CE_SetStateFailed, EINVAL);
  }
}

void TCustomComPort::ResumeListening() {
  if (fd_ >= 0 && !delivering_ && !stalled_ && !gone_ && !parkTimer_->isActive()) {
    notifier_->setEnabled(true);
  }
}

void TCustomComPort::SuspendListening() { notifier_->setEnabled(false); }

bool TCustomComPort::DeviceHungUp() const {
  if (fd_ < 0) {
    return false;
  }
  pollfd p{fd_, 0, 0};  // hang-up and error are reported without asking
  const int r = ::poll(&p, 1, 0);
  return r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void TCustomComPort::MarkGone(int err) {
  gone_ = true;
  goneErrno_ = err > 0 ? err : EIO;
  parkTimer_->stop();
  SuspendListening();
}

void TCustomComPort::RaiseDeviceError(int code, int err) {
  if (IsGoneErrno(err)) {
    MarkGone(err);
  }
  throw EComPort(code, err);
}

int TCustomComPort::ReadDevice(char* buffer, int count) {
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, static_cast<std::size_t>(count));
    if (n >= 0) return static_cast<int>(n);
    const int err = errno;
    if (err == EINTR) continue;
    if (err == EAGAIN || err == EWOULDBLOCK) return 0;
    RaiseDeviceError(CE_ReadFailed, err);
  }
}

int TCustomComPort::Write(const char* buffer, int count) {
  if (fd_ < 0) {
    throw EComPort(CEPortNotOpen, -1);
  }
  if (buffer == nullptr || count <= 0) {
    return 0;
  }
  using Clock = std::chrono::steady_clock;
  const long long limitMs = static_cast<long long>(timeouts_.WriteTotalMultiplier) * count +
                            timeouts_.WriteTotalConstant;
  const bool unlimited = timeouts_.WriteTotalMultiplier == 0 && timeouts_.WriteTotalConstant == 0;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(0LL, limitMs));

  int written = 0;
  while (written < count) {
    const ssize_t n = ::write(fd_, buffer + written, static_cast<std::size_t>(count - written));
    if (n > 0) {
      written += static_cast<int>(n);
      continue;
    }
    if (n < 0) {
      const int err = errno;
      if (err == EINTR) continue;
      if (err != EAGAIN && err != EWOULDBLOCK) RaiseDeviceError(CE_WriteFailed, err);
    }
    // The output queue is full: wait for room until the limit runs out.
    int waitMs = -1;
    if (!unlimited) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      waitMs = static_cast<int>(std::min<long long>(left, INT_MAX));
    }
    pollfd p{fd_, POLLOUT, 0};
    const int r = ::poll(&p, 1, waitMs);
    if (r < 0) {
      const int err = errno;
      if (err == EINTR) continue;
      RaiseDeviceError(CE_WriteFailed, err);
    }
    if (r == 0) break;  // time limit reached: report what went out
    if ((p.revents & POLLOUT) == 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      RaiseDeviceError(CE_WriteFailed, EIO);
    }
  }
  return written;
}

void TCustomComPort::FlushDevice(bool input, bool output) {
  const int queue = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
  if (::tcflush(fd_, queue) != 0) {
    const int err = errno;
    RaiseDeviceError(CE_PurgeFailed, err);
  }
}

int TCustomComPort::DeviceInputCount() {
  int count = 0;
  if (::ioctl(fd_, FIONREAD, &count) != 0) {
    const int err = errno;
    RaiseDeviceError(CE_ClearComFailed, err);
  }
  return count;
}

TComErrors TCustomComPort::LastErrors() {
  if (fd_ < 0) {
    throw EComPort(CEPortNotOpen, -1);
  }
  if (!lineCountersSupported_) {
    return 0;  // e.g. pseudo-terminals keep no line error counters
  }
  TLineErrorCounters now;
  if (const int err = ReadLineCounters(fd_, now); err != 0) {
    RaiseDeviceError(CE_ClearComFailed, err);
  }
  const TComErrors errors = LineErrorsFromCounters(lineCounters_, now, parity_.Check);
  lineCounters_ = now;
  return errors;
}

void TCustomComPort::Probe() {
  if (fd_ < 0) {
    throw EComPort(CEPortNotOpen, -1);
  }
  if (gone_) {
    throw EComPort(CE_ReadFailed, goneErrno_);
  }
  if (DeviceHungUp()) {
    MarkGone(EIO);
    throw EComPort(CE_ReadFailed, EIO);
  }
  // A hung-up tty refuses every ioctl with EIO; a removed device may say
  // ENXIO or ENODEV. Other refusals say nothing about presence.
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) {
    const int err = errno;
    if (IsGoneErrno(err)) RaiseDeviceError(CE_ReadFailed, err);
  }
  int waiting = 0;
  if (::ioctl(fd_, FIONREAD, &waiting) != 0) {
    const int err = errno;
    if (IsGoneErrno(err)) RaiseDeviceError(CE_ReadFailed, err);
  }
}

PortErrorKind PortErrorKindFromSystem(int osError) {
  switch (osError) {
    case 0:
      return PortErrorKind::None;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return PortErrorKind::NotFound;
    case EBUSY:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EAGAIN:
      return PortErrorKind::Busy;
    case EACCES:
    case EPERM:
      return PortErrorKind::PermissionDenied;
    case EIO:
    case EPIPE:
      return PortErrorKind::DeviceGone;
    default:
      return PortErrorKind::Other;
  }
}

std::string SystemErrorText(int osError) { return std::strerror(osError); }

std::string DeviceAccessGroup(const std::string& devicePath) { return GroupOwning(devicePath); }

}  // namespace terva::serial

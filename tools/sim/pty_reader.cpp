#include "sim/pty_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <stdexcept>
#include <system_error>

#include "protocol/hextext.h"

namespace terva::sim {

namespace {

// A partial frame with no further byte for this long is given up, so that one
// garbled frame cannot swallow the commands after it.
constexpr auto kPartialTimeout = std::chrono::milliseconds(500);
// How long to leave the master alone after it reported a hang-up. poll reports
// POLLHUP whether asked for or not, so polling it again at once would spin.
constexpr auto kHangupPause = std::chrono::milliseconds(50);

[[noreturn]] void throwErrno(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

void setCloexec(int fd) { ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC); }

std::string upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

}  // namespace

PtyReader::~PtyReader() { stop(); }

void PtyReader::start() {
  std::lock_guard lk(mutex_);
  if (started_ || unplugged_) throw std::logic_error("PtyReader already started");
  try {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) throwErrno("posix_openpt");
    setCloexec(master_);
    if (::grantpt(master_) != 0) throwErrno("grantpt");
    if (::unlockpt(master_) != 0) throwErrno("unlockpt");
    char name[PATH_MAX];
    if (::ptsname_r(master_, name, sizeof name) != 0) throwErrno("ptsname_r");
    slavePath_ = name;
    slaveKeep_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeep_ < 0) throwErrno("open pty slave");
    // Raw line on both sides: no echo of our replies back to us, no line
    // buffering or CR/LF translation for a host that opens the port without
    // configuring it.
    for (int fd : {slaveKeep_, master_}) {
      termios tio{};
      if (::tcgetattr(fd, &tio) != 0) throwErrno("tcgetattr");
      ::cfmakeraw(&tio);
      ::cfsetispeed(&tio, B9600);
      ::cfsetospeed(&tio, B9600);
      if (::tcsetattr(fd, TCSANOW, &tio) != 0) throwErrno("tcsetattr");
    }
    if (::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) throwErrno("fcntl");
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) throwErrno("eventfd");
  } catch (...) {
    closeFds();
    slavePath_.clear();
    throw;
  }
  started_ = true;
  worker_ = std::thread([this] { run(); });
}

std::string PtyReader::slavePath() const {
  std::lock_guard lk(mutex_);
  return slavePath_;
}

void PtyReader::closeFds() {
  closeFd(slaveKeep_);
  closeFd(master_);
  closeFd(wakeFd_);
}

void PtyReader::wake() {
  if (wakeFd_ < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto n = ::write(wakeFd_, &one, sizeof one);
}

void PtyReader::queue(std::vector<Write> writes) {
  if (writes.empty() || !started_ || unplugged_ || stopRequested_) return;
  const auto now = Clock::now();
  // The two pieces of a split reply form one job; any other write is a job of its own.
  for (std::size_t i = 0; i < writes.size();) {
    Job job;
    job.pieces.push_back(std::move(writes[i]));
    ++i;
    if (job.pieces.front().splitPiece && i < writes.size() && writes[i].splitPiece) {
      job.pieces.push_back(std::move(writes[i]));
      ++i;
    }
    job.due = now + std::chrono::milliseconds(job.pieces.front().delayMs);
    job.seq = seq_++;
    jobs_.push_back(std::move(job));
  }
  wake();
}

CommandResult PtyReader::execute(const std::string& line) {
  CommandResult r;
  {
    std::lock_guard lk(mutex_);
    const bool canSend = started_ && !stopRequested_ && !unplugged_;
    if (canSend) {
      r = sim_.command(line);
    } else {
      // A card or raw bytes cannot reach the host: say so, and leave the
      // reader as it was (a presented card would otherwise change). Settings,
      // status, help and quit still work.
      ReaderSim before = sim_;
      r = sim_.command(line);
      if (r.needsLine) {
        sim_ = std::move(before);
        r = CommandResult{};
        r.ok = false;
        r.answer = unplugged_ ? "error: the reader is unplugged" : "error: the reader is not running";
      }
    }
    queue(r.writes);
  }
  if (r.action == Action::Unplug) unplug();
  return r;
}

std::string PtyReader::command(const std::string& line) { return execute(line).answer; }

std::string PtyReader::receivedFromHost() const {
  std::lock_guard lk(mutex_);
  return received_;
}

std::vector<std::string> PtyReader::framesFromHost() const {
  std::lock_guard lk(mutex_);
  return sim_.framesReceived();
}

bool PtyReader::waitForReceived(const std::function<bool(const std::string&)>& pred,
                                std::chrono::milliseconds timeout) {
  std::unique_lock lk(mutex_);
  return changed_.wait_for(lk, timeout, [&] { return pred(received_); });
}

bool PtyReader::waitForFrame(const std::string& hexFrame, std::chrono::milliseconds timeout, std::size_t times) {
  const std::string want = upper(hexFrame);
  std::unique_lock lk(mutex_);
  return changed_.wait_for(lk, timeout, [&] {
    const auto& f = sim_.framesReceived();
    return static_cast<std::size_t>(std::count(f.begin(), f.end(), want)) >= times;
  });
}

std::string PtyReader::sentToHost() const {
  std::lock_guard lk(mutex_);
  return sent_;
}

bool PtyReader::waitForSent(const std::function<bool(const std::string&)>& pred, std::chrono::milliseconds timeout) {
  std::unique_lock lk(mutex_);
  return changed_.wait_for(lk, timeout, [&] { return pred(sent_); });
}

ReaderSim PtyReader::snapshot() const {
  std::lock_guard lk(mutex_);
  return sim_;
}

std::vector<Card> PtyReader::cards() const {
  std::lock_guard lk(mutex_);
  return sim_.cards();
}

CardMode PtyReader::cardMode() const {
  std::lock_guard lk(mutex_);
  return sim_.cardMode();
}

std::string PtyReader::configHex() const {
  std::lock_guard lk(mutex_);
  return sim_.configHex();
}

bool PtyReader::waitIdle(std::chrono::milliseconds timeout) {
  std::unique_lock lk(mutex_);
  return changed_.wait_for(lk, timeout, [&] { return jobs_.empty() && !writing_ && !callbacksPending_; });
}

void PtyReader::writeRaw(const std::string& bytes) {
  std::lock_guard lk(mutex_);
  queue({Write{bytes, 0, false}});
}

void PtyReader::setFirmwareVersion(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  std::lock_guard lk(mutex_);
  sim_.setFirmwareVersion(a, b, c);
}

void PtyReader::setConfigHex(const std::string& hex) {
  std::lock_guard lk(mutex_);
  sim_.setConfigHex(hex);
}

void PtyReader::unplug() { shutdown(true); }

bool PtyReader::unplugged() const {
  std::lock_guard lk(mutex_);
  return unplugged_;
}

void PtyReader::stop() { shutdown(false); }

void PtyReader::shutdown(bool unplugging) {
  {
    std::lock_guard lk(mutex_);
    stopRequested_ = true;
    wake();
  }
  if (worker_.joinable()) worker_.join();
  std::lock_guard lk(mutex_);
  closeFds();
  jobs_.clear();
  outBuf_.clear();
  writing_ = false;
  callbacksPending_ = false;
  if (unplugging && started_) unplugged_ = true;
  changed_.notify_all();
}

void PtyReader::run() {
  std::vector<std::string> framesSeen;   // for the frame callback, outside the lock
  std::vector<std::string> writtenSeen;  // for the written callback, outside the lock
  Clock::time_point lastRx = Clock::now();
  Clock::time_point masterPausedUntil{};
  std::uint64_t activeSeq = 0;
  char buf[4096];

  std::unique_lock lk(mutex_);
  while (!stopRequested_) {
    // Pick the next piece to write once the previous one is fully out.
    auto now = Clock::now();
    int timeoutMs = -1;
    auto consider = [&](Clock::time_point when) {
      const auto ms = std::chrono::ceil<std::chrono::milliseconds>(when - now).count();
      const int t = static_cast<int>(std::clamp<long long>(ms, 0, INT_MAX));
      if (timeoutMs < 0 || t < timeoutMs) timeoutMs = t;
    };
    if (!writing_ && !jobs_.empty()) {
      auto it = std::min_element(jobs_.begin(), jobs_.end(), [](const Job& a, const Job& b) {
        return a.due != b.due ? a.due < b.due : a.seq < b.seq;
      });
      if (it->due <= now) {
        outBuf_ = it->pieces[it->next].bytes;
        activeSeq = it->seq;
        writing_ = true;
      } else {
        consider(it->due);
      }
    }
    if (sim_.hasPartial()) consider(lastRx + kPartialTimeout);
    const bool masterPaused = now < masterPausedUntil;
    if (masterPaused) consider(masterPausedUntil);

    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {masterPaused ? -1 : master_, POLLIN, 0}};
    if (writing_) fds[1].events |= POLLOUT;

    const bool delivering = !framesSeen.empty() || !writtenSeen.empty();
    lk.unlock();
    for (const auto& f : framesSeen) {
      if (onFrame_) onFrame_(f);
    }
    for (const auto& w : writtenSeen) {
      if (onWritten_) onWritten_(w);
    }
    framesSeen.clear();
    writtenSeen.clear();
    if (delivering) {
      // Only now is the traffic fully reported: let waitIdle() return.
      lk.lock();
      callbacksPending_ = false;
      changed_.notify_all();
      lk.unlock();
    }
    const int rc = ::poll(fds, 2, timeoutMs);
    lk.lock();
    if (stopRequested_) break;
    if (rc < 0) continue;  // EINTR
    now = Clock::now();

    if (fds[0].revents & POLLIN) {
      std::uint64_t v;
      [[maybe_unused]] const auto n = ::read(wakeFd_, &v, sizeof v);
    }

    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
      const auto n = ::read(master_, buf, sizeof buf);
      if (n > 0) {
        const std::string bytes(buf, static_cast<std::size_t>(n));
        received_ += bytes;
        const std::size_t before = sim_.framesReceived().size();
        queue(sim_.feed(bytes));
        for (std::size_t i = before; i < sim_.framesReceived().size(); ++i) {
          framesSeen.push_back(hexToBytes(sim_.framesReceived()[i]));
          callbacksPending_ = true;
        }
        lastRx = now;
        changed_.notify_all();
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        // No slave open (cannot happen while we hold ours): wait, don't spin.
        masterPausedUntil = now + kHangupPause;
      }
    }

    if (writing_ && (fds[1].revents & POLLOUT)) {
      const auto n = ::write(master_, outBuf_.data(), outBuf_.size());
      if (n > 0) {
        outBuf_.erase(0, static_cast<std::size_t>(n));
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        outBuf_.clear();  // the line is gone; drop the piece
      }
      if (outBuf_.empty()) {
        writing_ = false;
        auto it = std::find_if(jobs_.begin(), jobs_.end(), [&](const Job& j) { return j.seq == activeSeq; });
        if (it != jobs_.end()) {
          sent_ += it->pieces[it->next].bytes;
          writtenSeen.push_back(it->pieces[it->next].bytes);
          callbacksPending_ = true;
          if (++it->next < it->pieces.size()) {
            it->due = now + std::chrono::milliseconds(it->pieces[it->next].delayMs);
          } else {
            jobs_.erase(it);
          }
        }
        changed_.notify_all();
      }
    }

    if (sim_.hasPartial() && now - lastRx >= kPartialTimeout) {
      const std::size_t before = sim_.framesReceived().size();
      queue(sim_.expirePartial());
      for (std::size_t i = before; i < sim_.framesReceived().size(); ++i) {
        framesSeen.push_back(hexToBytes(sim_.framesReceived()[i]));
        callbacksPending_ = true;
      }
      lastRx = now;
      changed_.notify_all();
    }
  }
}

}  // namespace terva::sim

#pragma once
// Runs a ReaderSim on a pseudo-terminal: the host program opens slavePath() as
// its serial port and talks to the simulated reader through the real tty layer.
// The line is raw (no echo, no translation). The host may close and reopen the
// port at will. A partial frame that gets no further byte for 500 ms is given
// up, as a real reader's inter-byte timeout would.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/reader_sim.h"

namespace terva::sim {

class PtyReader {
 public:
  using BytesCallback = std::function<void(const std::string& bytes)>;

  PtyReader() = default;
  ~PtyReader();
  PtyReader(const PtyReader&) = delete;
  PtyReader& operator=(const PtyReader&) = delete;

  // Optional observers, set before start(); they run on the worker thread.
  // A complete frame received from the host (raw bytes).
  void setOnFrameFromHost(BytesCallback cb) { onFrame_ = std::move(cb); }
  // Bytes just written to the host (each piece of a split separately).
  void setOnWrittenToHost(BytesCallback cb) { onWritten_ = std::move(cb); }

  // Opens the pseudo-terminal and starts the worker. Throws std::system_error.
  // Calling it twice, or after unplug(), is a std::logic_error.
  void start();
  // Path of the slave device ("/dev/pts/N"); empty before start().
  std::string slavePath() const;

  // Runs one command line (see ReaderSim::helpText); thread-safe. "unplug"
  // unplugs; "quit" only answers (ending the process is the caller's business).
  // Before start(), after stop() or after unplug, commands that would send
  // bytes (card, cards, raw, present) are refused with a message and change
  // nothing; the others, quit included, still run.
  std::string command(const std::string& line);
  CommandResult execute(const std::string& line);

  // All raw bytes the host has sent so far.
  std::string receivedFromHost() const;
  // Complete frames received from the host, as upper-case hex text.
  std::vector<std::string> framesFromHost() const;
  // Waits until pred(receivedFromHost()) holds; false on timeout.
  bool waitForReceived(const std::function<bool(const std::string&)>& pred, std::chrono::milliseconds timeout);
  // Waits until the host has sent a frame equal to hexFrame (any letter case)
  // at least `times` times in all.
  bool waitForFrame(const std::string& hexFrame, std::chrono::milliseconds timeout, std::size_t times = 1);
  // All bytes written to the host so far (replies, identifier messages, raw).
  std::string sentToHost() const;
  // Waits until pred(sentToHost()) holds; false on timeout.
  bool waitForSent(const std::function<bool(const std::string&)>& pred, std::chrono::milliseconds timeout);
  // Waits until every queued write has gone out (delays included) and the
  // traffic callbacks have been called for everything so far.
  bool waitIdle(std::chrono::milliseconds timeout);

  // Writes bytes to the host as they are, bypassing the modifiers.
  void writeRaw(const std::string& bytes);

  // Pulls the reader out: closes the master and the simulator's own slave
  // descriptor, so the host's descriptor reports a hang-up. Pending writes are
  // discarded. Idempotent.
  void unplug();
  bool unplugged() const;

  // Stops the worker and closes the pseudo-terminal. Idempotent.
  void stop();

  // A copy of the reader's whole state (cards, card mode, configuration, ...).
  ReaderSim snapshot() const;
  std::vector<Card> cards() const;
  CardMode cardMode() const;
  std::string configHex() const;

  // Firmware version and configuration record of the simulated reader.
  void setFirmwareVersion(std::uint8_t a, std::uint8_t b, std::uint8_t c);
  void setConfigHex(const std::string& hex);  // throws std::invalid_argument

 private:
  using Clock = std::chrono::steady_clock;
  // One reply or message on its way out: its pieces go out in order, each after
  // its delay (counted from when the job was queued, or from the previous piece).
  struct Job {
    std::vector<Write> pieces;
    std::size_t next = 0;
    Clock::time_point due;
    std::uint64_t seq = 0;
  };

  void run();
  void queue(std::vector<Write> writes);  // mutex_ held
  void wake();
  void shutdown(bool unplugging);
  void closeFds();

  int master_ = -1;
  int slaveKeep_ = -1;  // held for our whole life so the master never sees a hang-up
  int wakeFd_ = -1;
  std::string slavePath_;
  BytesCallback onFrame_;
  BytesCallback onWritten_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  ReaderSim sim_;
  std::string received_;
  std::string sent_;
  std::deque<Job> jobs_;
  std::string outBuf_;  // bytes of the piece being written (the master is non-blocking)
  bool writing_ = false;
  bool callbacksPending_ = false;  // traffic seen but not yet reported to the callbacks
  std::uint64_t seq_ = 0;
  bool stopRequested_ = false;
  bool started_ = false;
  bool unplugged_ = false;
  std::thread worker_;
};

}  // namespace terva::sim

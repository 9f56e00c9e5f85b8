#pragma once
// Time as the program sees it: a monotonic "now" and timers. Production uses
// Qt's precise timers on the event loop (qt_clock.h); tests use a clock they
// move by hand (tests/support/manual_clock.h), so nothing waits on the wall.
#include <chrono>
#include <functional>
#include <memory>

namespace terva {

using Millis = std::chrono::milliseconds;

class Timer {
 public:
  virtual ~Timer() = default;
  // Fires onTimeout every interval until stop(); start() on an active timer restarts it.
  virtual void start(Millis interval) = 0;
  virtual void stop() = 0;
  virtual bool isActive() const = 0;
  std::function<void()> onTimeout;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary fixed point; never goes back.
  virtual Millis now() const = 0;
  virtual std::unique_ptr<Timer> createTimer() = 0;
};

}  // namespace terva

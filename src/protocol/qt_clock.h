#pragma once
// The production clock: Qt's precise timers on the event loop of the thread
// that creates them.
#include "protocol/clock.h"

namespace terva {

class QtClock : public Clock {
 public:
  QtClock();
  Millis now() const override;
  std::unique_ptr<Timer> createTimer() override;

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace terva

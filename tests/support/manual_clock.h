#pragma once
// A clock that moves only when a test says so. Timers fire in due order,
// each at the moment it is due, as often as the advance covers.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "protocol/clock.h"

namespace terva::testing {

class ManualClock : public Clock {
 public:
  Millis now() const override { return now_; }

  std::unique_ptr<Timer> createTimer() override { return std::make_unique<ManualTimer>(*this); }

  // Moves time forward by d, firing every timer that falls due on the way.
  void advance(Millis d) {
    const Millis end = now_ + d;
    for (;;) {
      ManualTimer* next = nullptr;
      for (ManualTimer* t : timers_) {
        if (t->active_ && t->due_ <= end && (!next || t->due_ < next->due_ ||
                                             (t->due_ == next->due_ && t->seq_ < next->seq_))) {
          next = t;
        }
      }
      if (!next) break;
      now_ = next->due_;
      next->due_ += next->interval_;
      if (next->onTimeout) next->onTimeout();  // may stop, restart or destroy timers
    }
    now_ = end;
  }

  std::size_t activeTimers() const {
    return static_cast<std::size_t>(std::count_if(timers_.begin(), timers_.end(), [](auto* t) { return t->active_; }));
  }

 private:
  class ManualTimer : public Timer {
   public:
    explicit ManualTimer(ManualClock& c) : clock_(c) { clock_.timers_.push_back(this); }
    ~ManualTimer() override { std::erase(clock_.timers_, this); }
    void start(Millis interval) override {
      interval_ = std::max(interval, Millis(1));
      due_ = clock_.now_ + interval_;
      seq_ = clock_.seq_++;
      active_ = true;
    }
    void stop() override { active_ = false; }
    bool isActive() const override { return active_; }

    ManualClock& clock_;
    Millis interval_{1};
    Millis due_{0};
    std::uint64_t seq_ = 0;
    bool active_ = false;
  };

  Millis now_{0};
  std::uint64_t seq_ = 0;
  std::vector<ManualTimer*> timers_;
};

}  // namespace terva::testing

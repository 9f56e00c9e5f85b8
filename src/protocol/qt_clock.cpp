#include "protocol/qt_clock.h"

#include <QTimer>

namespace terva {

namespace {

class QtTimer : public Timer {
 public:
  QtTimer() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (onTimeout) onTimeout();
    });
  }
  void start(Millis interval) override { timer_.start(interval); }
  void stop() override { timer_.stop(); }
  bool isActive() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
};

}  // namespace

QtClock::QtClock() : start_(std::chrono::steady_clock::now()) {}

Millis QtClock::now() const {
  return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - start_);
}

std::unique_ptr<Timer> QtClock::createTimer() { return std::make_unique<QtTimer>(); }

}  // namespace terva

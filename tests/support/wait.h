#pragma once
// Waiting on a condition while the event loop runs (QtCore only).
#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <functional>

namespace terva::testing {

// Runs the event loop until the condition holds or the timeout passes.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
  QElapsedTimer t;
  t.start();
  while (!condition()) {
    if (t.elapsed() > timeout.count()) return condition();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

}  // namespace terva::testing

#pragma once
// The connection to the reader: the one current port, its handlers and the
// watch that notices an unplugged reader.
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "serial/comport.h"

namespace terva::serial {

// One message per line-error bit, in the order they are shown.
std::vector<std::string> lineErrorMessages(TComErrors errors);

// Removes later duplicates (exact text), keeping the order.
std::vector<std::string> removeDuplicatePorts(std::vector<std::string> names);

class ReaderConnection : public QObject {
  Q_OBJECT
 public:
  explicit ReaderConnection(QObject* parent = nullptr);
  ~ReaderConnection() override;

  // Opens the device and starts the watch; throws EComPort when it cannot be opened.
  void open(const std::string& devicePath);
  // Stops the watch and releases the port; errors while releasing are ignored.
  void close();
  bool isOpen() const;
  // Writes to the current port; throws EComPort when there is none or writing fails.
  void write(const std::string& bytes);

  TComPort* CurrentPort() const { return port_; }
  QTimer& watch() { return Timer1; }

  std::function<void(const std::string& bytes)> onReceived;
  std::function<void(TComErrors errors)> onLineErrors;
  std::function<void()> onUnplugged;  // the watch found the device gone

 private:
  void watchTick();

  QPointer<TComPort> port_;
  QTimer Timer1;  // the disconnect watch, 200 ms
};

}  // namespace terva::serial

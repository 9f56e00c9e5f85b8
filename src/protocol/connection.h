#pragma once
// The connection bar's logic: the port list and its selection, connect and
// disconnect, the automatic connection at start, what the operator is told
// when the reader is unplugged or reports line errors, and whether the reader
// answered at all.
#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "protocol/clock.h"
#include "protocol/operator.h"
#include "protocol/session.h"

namespace terva {

struct PortEntry {
  std::string name;
  std::string description;  // USB product and maker, for the tooltip; may be empty
};

// The machine's serial ports, in list order, with their descriptions.
using PortLister = std::function<std::vector<PortEntry>()>;
// The ports of this machine (sysfs on Linux).
std::vector<PortEntry> systemPorts();

class ConnectionController : public QObject {
  Q_OBJECT
 public:
  ConnectionController(ReaderSession& session, Prompts& prompts, Clock& clock, PortLister listPorts,
                       std::string commandLinePort = {}, QObject* parent = nullptr);
  ~ConnectionController() override;

  // Refills the list: the command-line port first, then the machine's ports,
  // later duplicates removed; the first entry is selected (none when empty).
  void FillDeviceList();
  const std::vector<PortEntry>& ports() const { return ports_; }
  int selected() const { return selected_; }
  void select(int index);
  // Selects the first entry named exactly so; false (selection kept) when none is.
  bool selectByName(const std::string& name);
  std::string selectedName() const;

  // Connects to the selected port and puts the reader into card reading
  // mode; does nothing when nothing is selected or already connected.
  void Connect();
  void Disconnect();
  bool connected() const { return session_.connected(); }
  // Connects once, `delay` from now (the start option); cancelled by Disconnect.
  void connectLater(Millis delay);

  // "" or "Считыватель не отвечает" while the reader has not answered the connect.
  const std::string& status() const { return status_; }

 signals:
  void portsChanged();
  void selectionChanged(int index);
  void stateChanged(bool connected);
  void statusChanged(const QString& text);

 private:
  void setStatus(const std::string& text);
  void onUnplugged();

  ReaderSession& session_;
  Prompts& prompts_;
  PortLister listPorts_;
  std::string commandLinePort_;
  std::vector<PortEntry> ports_;
  int selected_ = -1;
  std::string status_;
  QMetaObject::Connection answered_[2];  // while the status is shown: frames, cards
  std::unique_ptr<Timer> Timer4;  // the automatic connection
};

}  // namespace terva

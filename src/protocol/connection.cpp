#include "protocol/connection.h"

#include "protocol/commands.h"
#include "protocol/messages.h"
#include "protocol/results.h"
#include "serial/portlist.h"

namespace terva {

std::vector<PortEntry> systemPorts() {
  std::vector<std::string> names;
  serial::ListComPortNames(names);
  std::vector<PortEntry> out;
  for (auto& n : names) out.push_back({n, serial::PortDescription(n)});
  return out;
}

ConnectionController::ConnectionController(ReaderSession& session, Prompts& prompts, Clock& clock,
                                           PortLister listPorts, std::string commandLinePort, QObject* parent)
    : QObject(parent),
      session_(session),
      prompts_(prompts),
      listPorts_(std::move(listPorts)),
      commandLinePort_(std::move(commandLinePort)),
      Timer4(clock.createTimer()) {
  Timer4->onTimeout = [this] {
    Timer4->stop();
    Connect();
  };
  connect(&session_, &ReaderSession::connectionChanged, this, [this](bool on) {
    if (!on) setStatus({});
    emit stateChanged(on);
  });
  connect(&session_, &ReaderSession::unplugged, this, &ConnectionController::onUnplugged);
  connect(&session_, &ReaderSession::lineErrors, this, [this](const std::vector<std::string>& messages) {
    for (const auto& m : messages) prompts_.message(m);
  });
}

ConnectionController::~ConnectionController() = default;

void ConnectionController::FillDeviceList() {
  std::vector<PortEntry> found;
  if (!commandLinePort_.empty()) found.push_back({commandLinePort_, serial::PortDescription(commandLinePort_)});
  if (listPorts_) {
    for (auto& p : listPorts_()) found.push_back(std::move(p));
  }
  ports_.clear();
  for (auto& p : found) {
    bool seen = false;
    for (const auto& o : ports_) seen = seen || o.name == p.name;
    if (!seen) ports_.push_back(std::move(p));
  }
  selected_ = ports_.empty() ? -1 : 0;
  emit portsChanged();
  emit selectionChanged(selected_);
}

void ConnectionController::select(int index) {
  const int i = index >= 0 && index < static_cast<int>(ports_.size()) ? index : -1;
  if (i == selected_) return;
  selected_ = i;
  emit selectionChanged(selected_);
}

bool ConnectionController::selectByName(const std::string& name) {
  for (std::size_t i = 0; i < ports_.size(); ++i) {
    if (ports_[i].name == name) {
      select(static_cast<int>(i));
      return true;
    }
  }
  return false;
}

std::string ConnectionController::selectedName() const {
  return selected_ >= 0 ? ports_[static_cast<std::size_t>(selected_)].name : std::string();
}

void ConnectionController::Connect() {
  Timer4->stop();
  if (selected_ < 0 || session_.connected()) return;
  const std::string path = selectedName();
  if (const auto error = session_.open(path)) {
    prompts_.error(*error);
    return;
  }
  std::uint8_t result = kResultNotSent;
  try {
    result = session_.SendToComPort(commands::cardReadingMode());
  } catch (const std::exception& e) {
    prompts_.error(e.what());
    return;
  }
  if (result == kResultNoReply && session_.connected()) setStatus(kNoAnswerStatus);
}

void ConnectionController::Disconnect() {
  Timer4->stop();
  session_.close();
}

void ConnectionController::connectLater(Millis delay) { Timer4->start(delay); }

void ConnectionController::setStatus(const std::string& text) {
  if (text == status_) return;
  status_ = text;
  // Any frame or card from the reader shows it answers. That matters only
  // while the status says otherwise: only then is every card and frame seen here.
  if (status_.empty()) {
    for (auto& c : answered_) {
      disconnect(c);
      c = {};
    }
  } else if (!answered_[0]) {
    answered_[0] = connect(&session_, &ReaderSession::frameReceived, this, [this] { setStatus({}); });
    answered_[1] = connect(&session_, &ReaderSession::identifierReceived, this, [this] { setStatus({}); });
  }
  emit statusChanged(QString::fromStdString(status_));
}

void ConnectionController::onUnplugged() {
  prompts_.message(kUnpluggedText);
  FillDeviceList();
}

}  // namespace terva

#include "cards/card_dialog.h"

#include "protocol/hextext.h"
#include "protocol/results.h"

namespace terva::cards {

bool isSuccessReply(const Answer& a) { return a.cmd == 0 && a.body == "0D0100"; }

bool isErrorReply(const Answer& a) {
  return a.cmd == 0 && a.ver == 1 && a.body.size() == 6 && a.body.starts_with("0D01") && !a.body.ends_with("00");
}

std::uint8_t replyCode(const Answer& a) {
  if (a.body.size() < 2) return 0;
  return static_cast<std::uint8_t>(hextoint(std::string_view(a.body).substr(a.body.size() - 2)) & 0xFF);
}

std::string cardErrorText(std::uint8_t code) { return "Ошибка: " + errtotext(code); }

CardDialogLogic::CardDialogLogic(Clock& clock, Prompts& prompts, Millis interval, std::function<bool()> debugMode)
    : prompts_(prompts), timer_(clock.createTimer()), interval_(interval), debugMode_(std::move(debugMode)) {
  timer_->onTimeout = [this] { onTimer(); };
}

CardDialogLogic::~CardDialogLogic() { timer_->onTimeout = nullptr; }

void CardDialogLogic::pushReply(const Answer& reply) {
  if (!running_) return;
  if (queue_.size() >= kQueueLimit) queue_.pop_front();
  queue_.push_back(reply);
}

void CardDialogLogic::close() { finish(ModalResult::Cancel); }

void CardDialogLogic::beginRun() {
  queue_.clear();
  result_ = ModalResult::None;
  running_ = true;
}

void CardDialogLogic::finish(ModalResult r) {
  timer_->stop();
  if (!running_) return;
  running_ = false;
  result_ = r;
  queue_.clear();
  changed();
  if (onClosed) onClosed(result_);
}

void CardDialogLogic::showMessage(const std::string& text) {
  const bool wasOpen = messageOpen_;
  messageOpen_ = true;
  prompts_.message(text);
  messageOpen_ = wasOpen;
}

void CardDialogLogic::reportError(std::uint8_t code) {
  timer_->stop();
  showMessage(cardErrorText(code));
  if (running_) timer_->start(interval_);
}

bool CardDialogLogic::takeReply(Answer& out) {
  if (queue_.empty()) return false;
  out = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

int CardDialogLogic::startTicks() const { return debugMode_ && debugMode_() ? kTicksDebug : kTicksNormal; }

void CardDialogLogic::changed() {
  if (onChanged) onChanged();
}

void CardDialogLogic::onTimer() {
  if (!running_ || messageOpen_ || inTick_) return;
  inTick_ = true;
  tick();
  inTick_ = false;
  changed();
}

}  // namespace terva::cards

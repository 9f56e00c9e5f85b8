#include "cards/form8_logic.h"

namespace terva::cards {

Form8Logic::Form8Logic(Clock& clock, Prompts& prompts) : CardDialogLogic(clock, prompts, Millis(1000), {}) {}

void Form8Logic::show() {
  stopTimer();
  beginRun();
  resstr_.clear();
  startTimer();
  secondsLeft_ = kSeconds;
  countdown_ = std::to_string(secondsLeft_);
  changed();
}

void Form8Logic::pushReply(const Answer& reply) {
  if (!running() || reply.cmd != 1 || reply.ver != 3) return;
  resstr_ = reply.body;
  finish(ModalResult::Yes);
}

void Form8Logic::tick() {
  --secondsLeft_;
  countdown_ = std::to_string(secondsLeft_);
  if (secondsLeft_ <= 0) {
    resstr_ = kTimeout;
    finish(ModalResult::No);
  }
}

}  // namespace terva::cards

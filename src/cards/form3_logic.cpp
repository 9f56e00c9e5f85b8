#include "cards/form3_logic.h"

namespace terva::cards {

Form3Logic::Form3Logic(Clock& clock, Prompts& prompts, std::function<bool()> debugMode)
    : CardDialogLogic(clock, prompts, Millis(kTickMs), std::move(debugMode)) {}

void Form3Logic::show() {
  stopTimer();
  beginRun();
  ticksleft_ = startTicks();
  countdown_ = std::to_string(ticksleft_ / 10);
  startTimer();
  changed();
}

void Form3Logic::tick() {
  if (ticksleft_ == 0) {
    stopTimer();
    return;
  }
  Answer a;
  while (running() && takeReply(a)) {
    if (isSuccessReply(a)) {  // any ver
      finish(ModalResult::Yes);
      return;
    }
    if (isErrorReply(a)) reportError(replyCode(a));
    // anything else is not for this dialog and is dropped
  }
  if (!running()) return;
  --ticksleft_;
  countdown_ = std::to_string(ticksleft_ / 10);
  if (ticksleft_ == 0) finish(ModalResult::No);
}

}  // namespace terva::cards

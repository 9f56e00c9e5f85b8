#include "cards/form5_logic.h"

namespace terva::cards {

Form5Logic::Form5Logic(Clock& clock, Prompts& prompts, std::function<bool()> debugMode)
    : CardDialogLogic(clock, prompts, Millis(kTickMs), std::move(debugMode)) {}

void Form5Logic::show() {
  stopTimer();
  beginRun();
  secondPanel_ = false;
  ticksleft_ = startTicks();
  countdown_ = std::to_string(ticksleft_ / 10);
  makecnt_ = 0;
  startTimer();
  changed();
}

void Form5Logic::finishButton() { finish(ModalResult::Yes); }

void Form5Logic::countReply(const Answer& a) {
  if (isSuccessReply(a)) {
    ++makecnt_;
  } else if (isErrorReply(a)) {
    reportError(replyCode(a));
  }
}

void Form5Logic::tick() {
  Answer a;
  if (secondPanel_) {
    while (running() && takeReply(a)) countReply(a);
    counter_ = std::to_string(makecnt_);
    return;
  }
  if (ticksleft_ == 0) {
    stopTimer();
    return;
  }
  bool switched = false;
  while (running() && takeReply(a)) {
    if (switched) {
      countReply(a);  // cards that came after the master card in the same tick
    } else if (isSuccessReply(a)) {
      stopTimer();
      makecnt_ = 0;
      secondPanel_ = true;
      switched = true;
      startTimer();
    } else if (isErrorReply(a)) {
      reportError(replyCode(a));
    }
  }
  if (!running()) return;
  if (switched) {
    // The master card came in time: the limit no longer applies.
    counter_ = std::to_string(makecnt_);
    return;
  }
  --ticksleft_;
  countdown_ = std::to_string(ticksleft_ / 10);
  if (ticksleft_ == 0) finish(ModalResult::No);
}

}  // namespace terva::cards

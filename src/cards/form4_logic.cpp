#include "cards/form4_logic.h"

namespace terva::cards {

Form4Logic::Form4Logic(Clock& clock, Prompts& prompts) : CardDialogLogic(clock, prompts, Millis(kTickMs), {}) {}

void Form4Logic::show() {
  stopTimer();
  beginRun();
  clearcnt_ = 0;
  counter_ = std::to_string(clearcnt_);
  startTimer();
  changed();
}

void Form4Logic::finishButton() { finish(ModalResult::Yes); }

void Form4Logic::tick() {
  stopTimer();
  // Written before the replies are looked at: a card counted now shows on the next tick.
  counter_ = std::to_string(clearcnt_);
  Answer a;
  while (running() && takeReply(a)) {
    if (a.cmd != 0 || a.ver != 1) continue;
    if (a.body.size() == 6 && a.body.starts_with("0D01")) {
      const std::uint8_t code = replyCode(a);
      if (code == 0) {
        ++clearcnt_;
      } else {
        showMessage(cardErrorText(code));
      }
    }
  }
  if (running()) startTimer();
}

}  // namespace terva::cards

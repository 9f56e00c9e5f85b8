#include "cards/form2_logic.h"

#include "protocol/commands.h"

namespace terva::cards {

Form2Logic::Form2Logic(Clock& clock, Prompts& prompts, std::function<bool()> debugMode)
    : CardDialogLogic(clock, prompts, Millis(kTickMs), std::move(debugMode)) {}

void Form2Logic::setOptionVisible(bool visible) {
  optionVisible_ = visible;
  optionTicked_ = false;
  changed();
}

void Form2Logic::show() {
  stopTimer();
  beginRun();
  secondPanel_ = false;
  wantcnt_ = 0;
  donecnt_ = 0;
  changed();
}

void Form2Logic::setOptionTicked(bool ticked) {
  if (ticked && !optionTicked_) ticked = askOption && askOption(kOptionQuestion);
  optionTicked_ = ticked;
  changed();
}

void Form2Logic::chooseCount(int k) {
  if (!running() || secondPanel_ || sending_ || k < 1 || k > 5) return;
  wantcnt_ = static_cast<std::uint8_t>(k);
  donecnt_ = 0;
  sending_ = true;
  const auto sendOne = [this](const std::string& payload) -> std::uint8_t {
    return send ? send(payload) : std::uint8_t{255};
  };
  std::uint8_t r = sendOne(config + (optionTicked_ ? "1101AA" : "110100"));
  // The exchange runs the event loop: the disconnect watch may have closed us.
  if (running() && r != 0) {
    showMessage("Ошибка записи конфигурации: " + std::to_string(r));
    close();
  }
  if (running()) {
    r = sendOne(commands::writeMasterCards(wantcnt_));
    if (running() && r != 0) {
      showMessage("Ошибка перевода в режим создания мастер-карт: " + std::to_string(r));
      close();
    }
  }
  sending_ = false;
  if (!running()) return;
  secondPanel_ = true;
  dropReplies();  // the replies to our own commands are no cards
  askForCard();
  restartCountdown();
  changed();
}

void Form2Logic::askForCard() {
  instruction_ = "Поднесите " + std::to_string(donecnt_ + 1) + " из " + std::to_string(wantcnt_) + " карту " +
                 crdtype + "к USB-считывателю";
}

void Form2Logic::restartCountdown() {
  ticksleft_ = startTicks();
  countdown_ = std::to_string(ticksleft_ / 10);
  startTimer();
}

void Form2Logic::tick() {
  --ticksleft_;
  countdown_ = std::to_string(ticksleft_ / 10);
  if (ticksleft_ < 1) {
    // The run is over; what else has come in is not looked at.
    stopTimer();
    showMessage("Ошибка: время истекло");
    finish(ModalResult::No);
    return;
  }
  Answer a;
  while (running() && takeReply(a)) {
    if (a.cmd != 0 || a.body.size() != 6) continue;  // not a card result: dropped
    if (a.body == "0D0100") {
      stopTimer();
      ++donecnt_;
      if (donecnt_ < wantcnt_) {
        askForCard();
        restartCountdown();
        changed();
      } else {
        changed();
        showMessage(wantcnt_ <= 1 ? "Мастер-карта успешно создана" : "Мастер-карты успешно созданы");
        finish(ModalResult::Yes);
      }
    } else if (a.body.starts_with("0D01")) {
      // A refused card, whatever ver says; the countdown goes on where it stood.
      reportError(replyCode(a));
    }
  }
}

}  // namespace terva::cards

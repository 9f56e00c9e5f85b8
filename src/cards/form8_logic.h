#pragma once
// Reading a configuration from a master card (TForm8): waits up to 30 s for
// the configuration frame (cmd 1, ver 3); result replies are not looked at.
#include <string>

#include "cards/card_dialog.h"

namespace terva::cards {

class Form8Logic : public CardDialogLogic {
 public:
  Form8Logic(Clock& clock, Prompts& prompts);

  static constexpr const char* kTitle = "Чтение конфигурации с мастер-карты";
  static constexpr const char* kTimeout = "timeout";
  static constexpr int kSeconds = 30;

  // The dialog is shown: resstr empty, countdown "30", one tick a second.
  void show();
  // The configuration frame ends the run at once with its body in resstr.
  void pushReply(const Answer& reply) override;

  // The record received; "timeout" after the limit; empty when closed otherwise.
  const std::string& resstr() const { return resstr_; }
  const std::string& countdownText() const { return countdown_; }

 private:
  void tick() override;

  std::string resstr_;
  std::string countdown_;
  int secondsLeft_ = 0;
};

}  // namespace terva::cards

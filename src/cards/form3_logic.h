#pragma once
// Waiting for one master card (TForm3): success closes with Yes, the time
// limit with No; refused cards are reported and the countdown goes on.
#include <string>

#include "cards/card_dialog.h"

namespace terva::cards {

class Form3Logic : public CardDialogLogic {
 public:
  Form3Logic(Clock& clock, Prompts& prompts, std::function<bool()> debugMode = {});

  static constexpr const char* kTitle = "Чтение кода объекта";
  static constexpr const char* kInstruction = "Поднесите мастер-карту с кодом объекта к USB-считывателю";

  // Inputs, kept until the caller sets them again.
  std::string title = kTitle;
  std::string instruction = kInstruction;

  // The dialog is shown: countdown from 15 s (120 s in debug mode), timer started.
  void show();

  const std::string& countdownText() const { return countdown_; }
  int ticksLeft() const { return ticksleft_; }

 private:
  void tick() override;

  std::string countdown_;
  int ticksleft_ = 0;
};

}  // namespace terva::cards

#pragma once
// Protected cards (TForm5): first the master card within the time limit, then
// any number of cards counted until the finish button.
#include <cstdint>
#include <string>

#include "cards/card_dialog.h"

namespace terva::cards {

class Form5Logic : public CardDialogLogic {
 public:
  Form5Logic(Clock& clock, Prompts& prompts, std::function<bool()> debugMode = {});

  static constexpr const char* kMasterInstruction = "Поднесите мастер-карту с кодом объекта к USB-считывателю";
  static constexpr const char* kCardsInstruction = "По очереди подносите карты к USB-считывателю";

  // Inputs, kept until the caller sets them again.
  std::string title;
  std::string counterHeading;
  std::string buttonCaption;

  // The dialog is shown: first panel, countdown from 15 s (120 s in debug mode).
  void show();
  // The finish button: close with Yes.
  void finishButton();

  bool secondPanelVisible() const { return secondPanel_; }
  const std::string& countdownText() const { return countdown_; }
  const std::string& counterText() const { return counter_; }
  int ticksLeft() const { return ticksleft_; }
  std::int32_t makecnt() const { return makecnt_; }

 private:
  void tick() override;
  // One reply of the counting phase.
  void countReply(const Answer& a);

  bool secondPanel_ = false;
  std::string countdown_;
  std::string counter_ = "0";
  int ticksleft_ = 0;
  std::int32_t makecnt_ = 0;
};

}  // namespace terva::cards

#pragma once
// Counting cleared cards (TForm4): any number of result replies, no time limit;
// ends only by the finish button or by being closed.
#include <cstdint>
#include <string>

#include "cards/card_dialog.h"

namespace terva::cards {

class Form4Logic : public CardDialogLogic {
 public:
  Form4Logic(Clock& clock, Prompts& prompts);

  // Inputs, kept until the caller sets them again.
  std::string title;
  std::string instruction;
  std::string buttonCaption;

  // The dialog is shown: counter "0", timer started.
  void show();
  // The finish button: close with Yes.
  void finishButton();

  const std::string& counterText() const { return counter_; }
  std::int32_t clearcnt() const { return clearcnt_; }

 private:
  void tick() override;

  std::string counter_ = "0";
  std::int32_t clearcnt_ = 0;
};

}  // namespace terva::cards

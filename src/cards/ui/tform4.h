#pragma once
// Counting cleared cards until the finish button; no time limit.
#include <string>

#include "cards/form4_logic.h"
#include "cards/ui/card_dialog_widget.h"

class QLabel;
class QPushButton;

namespace terva::cards {

class TForm4 : public CardDialogWidget {
  Q_OBJECT
 public:
  TForm4(Clock& clock, Prompts& prompts, QWidget* parent = nullptr);

  // Sets title, instruction and the finish button's caption (kept until set
  // again) and shows the dialog modally: Yes by the finish button, else Cancel.
  ModalResult run(const std::string& title, const std::string& instruction, const std::string& buttonCaption);
  // The same run without the modal loop.
  void begin(const std::string& title, const std::string& instruction, const std::string& buttonCaption);

  Form4Logic& logic() { return logic_; }
  const Form4Logic& logic() const { return logic_; }

 public slots:
  void closeByWatch() { closeRun(); }

 protected:
  void refresh() override;

 private:
  void prepare(const std::string& title, const std::string& instruction, const std::string& buttonCaption);

  Form4Logic logic_;
  QLabel* Label1 = nullptr;  // instruction
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;  // counter
  QPushButton* Button1 = nullptr;
};

}  // namespace terva::cards

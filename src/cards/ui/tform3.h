#pragma once
// Waiting for one master card: Yes on success, No when the time runs out, Cancel when closed.
#include <functional>
#include <string>

#include "cards/form3_logic.h"
#include "cards/ui/card_dialog_widget.h"

class QLabel;

namespace terva::cards {

class TForm3 : public CardDialogWidget {
  Q_OBJECT
 public:
  TForm3(Clock& clock, Prompts& prompts, std::function<bool()> debugMode = {}, QWidget* parent = nullptr);

  // Sets title and instruction (kept until set again) and shows the dialog modally.
  ModalResult run(const std::string& title, const std::string& instruction);
  // The same run without the modal loop.
  void begin(const std::string& title, const std::string& instruction);

  Form3Logic& logic() { return logic_; }
  const Form3Logic& logic() const { return logic_; }

 public slots:
  void closeByWatch() { closeRun(); }

 protected:
  void refresh() override;

 private:
  void prepare(const std::string& title, const std::string& instruction);

  Form3Logic logic_;
  QLabel* Label1 = nullptr;  // instruction
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;  // countdown
};

}  // namespace terva::cards

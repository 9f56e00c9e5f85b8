#pragma once
// Reading a configuration from a master card: waits 30 s for the configuration
// frame. The disconnect watch does not close it; its own countdown ends it.
#include <string>

#include "cards/form8_logic.h"
#include "cards/ui/card_dialog_widget.h"

class QLabel;

namespace terva::cards {

class TForm8 : public CardDialogWidget {
  Q_OBJECT
 public:
  TForm8(Clock& clock, Prompts& prompts, QWidget* parent = nullptr);

  // Shows the dialog modally; returns resstr: the record, "timeout", or empty when closed.
  std::string run();
  // The same run without the modal loop.
  void begin();

  Form8Logic& logic() { return logic_; }
  const Form8Logic& logic() const { return logic_; }
  const std::string& resstr() const { return logic_.resstr(); }

 protected:
  void refresh() override;

 private:
  Form8Logic logic_;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;  // countdown
};

}  // namespace terva::cards

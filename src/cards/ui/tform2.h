#pragma once
// "Запись мастер-карт": choose how many master cards, then present them one by one.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "cards/form2_logic.h"
#include "cards/ui/card_dialog_widget.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;

namespace terva::cards {

class TForm2 : public CardDialogWidget {
  Q_OBJECT
 public:
  TForm2(Clock& clock, Prompts& prompts, std::function<bool()> debugMode = {}, QWidget* parent = nullptr);

  // The command path of the count buttons (the session's SendToComPort).
  void setSender(std::function<std::uint8_t(std::string_view)> send);

  // Sets the inputs (kept until the next call), clears the option's tick and
  // shows the dialog modally until the run ends.
  ModalResult run(const std::string& crdtype, const std::string& config, bool optionVisible);
  // The same run without the modal loop (the dialog is shown and returns at once).
  void begin(const std::string& crdtype, const std::string& config, bool optionVisible);

  Form2Logic& logic() { return logic_; }
  const Form2Logic& logic() const { return logic_; }

 public slots:
  // The disconnect watch: closes a showing run (result Cancel).
  void closeByWatch() { closeRun(); }

 protected:
  void refresh() override;

 private:
  void prepare(const std::string& crdtype, const std::string& config, bool optionVisible);

  Form2Logic logic_;
  QWidget* Panel1 = nullptr;
  QWidget* Panel2 = nullptr;
  QLabel* Label1 = nullptr;  // heading with the card type
  QLabel* Label2 = nullptr;
  QPushButton* countButtons_[5] = {};
  QCheckBox* CheckBox1 = nullptr;
  QLabel* Label3 = nullptr;  // the option's warning
  QLabel* Label4 = nullptr;  // instruction line
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;  // countdown
};

}  // namespace terva::cards

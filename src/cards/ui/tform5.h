#pragma once
// Protected cards: the master card within the time limit, then any number of cards.
#include <functional>
#include <string>

#include "cards/form5_logic.h"
#include "cards/ui/card_dialog_widget.h"

class QLabel;
class QPushButton;
class QWidget;

namespace terva::cards {

class TForm5 : public CardDialogWidget {
  Q_OBJECT
 public:
  TForm5(Clock& clock, Prompts& prompts, std::function<bool()> debugMode = {}, QWidget* parent = nullptr);

  // Sets title, counter heading and the finish button's caption (kept until
  // set again) and shows the dialog modally: Yes by the finish button, No when
  // the master card did not come in time, Cancel when closed.
  ModalResult run(const std::string& title, const std::string& counterHeading, const std::string& buttonCaption);
  // The same run without the modal loop.
  void begin(const std::string& title, const std::string& counterHeading, const std::string& buttonCaption);

  Form5Logic& logic() { return logic_; }
  const Form5Logic& logic() const { return logic_; }

 public slots:
  void closeByWatch() { closeRun(); }

 protected:
  void refresh() override;

 private:
  void prepare(const std::string& title, const std::string& counterHeading, const std::string& buttonCaption);

  Form5Logic logic_;
  QWidget* Panel1 = nullptr;
  QWidget* Panel2 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;  // countdown
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;  // counter heading
  QLabel* Label6 = nullptr;  // counter
  QPushButton* Button1 = nullptr;
};

}  // namespace terva::cards

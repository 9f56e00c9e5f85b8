#pragma once
// Writing master cards (TForm2): the count buttons send the configuration and
// the start command, then the dialog follows the reader's result for each card,
// with a time limit per card.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "cards/card_dialog.h"

namespace terva::cards {

class Form2Logic : public CardDialogLogic {
 public:
  Form2Logic(Clock& clock, Prompts& prompts, std::function<bool()> debugMode = {});

  static constexpr const char* kTitle = "Запись мастер-карт";
  static constexpr const char* kHeadingPrefix = "Подготовьте необходимое количество чистых карт ";
  static constexpr const char* kOptionQuestion =
      "Внимание!\r\nВ случае утери создаваемых мастер-карт удалить защищенный режим будет невозможно.\r\n"
      "Выбрать данную опцию?";

  // Inputs, kept between runs until the caller sets them again.
  std::string crdtype;  // "MifareClassic ", "MifarePLUS " or empty
  std::string config;   // "0102" + configuration record
  // Shows or hides the option and its warning; either way the tick is cleared.
  void setOptionVisible(bool visible);

  // Sends a command and returns its result code (the session's SendToComPort).
  std::function<std::uint8_t(std::string_view)> send;
  // Asks the option question (warning icon, title "Выбор опции"); true for Yes.
  std::function<bool(const std::string&)> askOption;

  // The dialog is shown: first panel, counters 0, timer stopped.
  void show();
  // The option check box: ticking it asks first; No leaves it clear.
  void setOptionTicked(bool ticked);
  // Count button k (1 to 5).
  void chooseCount(int k);

  bool optionVisible() const { return optionVisible_; }
  bool optionTicked() const { return optionTicked_; }
  bool secondPanelVisible() const { return secondPanel_; }
  std::string heading() const { return kHeadingPrefix + crdtype; }
  const std::string& instruction() const { return instruction_; }
  const std::string& countdownText() const { return countdown_; }
  int ticksLeft() const { return ticksleft_; }
  std::uint8_t wantcnt() const { return wantcnt_; }
  std::uint8_t donecnt() const { return donecnt_; }

 private:
  void tick() override;
  void askForCard();
  void restartCountdown();

  bool optionVisible_ = false;
  bool optionTicked_ = false;
  bool secondPanel_ = false;
  bool sending_ = false;
  std::string instruction_ = "Поднесите";
  std::string countdown_;
  int ticksleft_ = 0;
  std::uint8_t wantcnt_ = 0;
  std::uint8_t donecnt_ = 0;
};

}  // namespace terva::cards

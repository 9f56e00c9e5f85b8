#pragma once
// The master-card and protected-card operations, each a straight sequence:
// the opening question, the start command, a card dialog, and "0501" to end
// the card mode on every path once a start command has gone out.
#include <functional>
#include <string>
#include <string_view>

namespace terva::config {
class ConfigEditor;
}

namespace terva::cards {

class CardDialogs;

// " №" + (index + 1) + " из " + count for an item 01 of exactly 4 hex digits; empty otherwise.
std::string masterCardNumberText(std::string_view item01);
// The card-type word of the master-card texts by reading mode; `selectedFormatRow`
// is the row selected (not ticked) in the card-format list, -1 for none.
std::string masterCardType(int readingMode, int selectedFormatRow);

namespace texts {
inline constexpr std::string_view kClearMastersTitle = "Очистка";
inline constexpr std::string_view kClearMastersQuestion =
    "Внимание! Все данные на поднесённых к USB-считывателю мастер-картах будут уничтожены. Продолжить?";
inline constexpr std::string_view kClearMastersDialogTitle = "Очистка мастер-карт";
inline constexpr std::string_view kClearMastersInstruction = "По очереди подносите мастер-карты к USB-считывателю";
inline constexpr std::string_view kClearMastersButton = "Закончить очистку мастер-карт";

inline constexpr std::string_view kReadMasterFailed = "Не удалось считать конфигурацию.";
inline constexpr std::string_view kReadMasterCaption = "Конфигурация считана с мастер-карты";
inline constexpr std::size_t kShortestMasterRecord = 40;

inline constexpr std::string_view kCopyQuestionTitle = "Конфигурация";
inline constexpr std::string_view kCopyQuestion =
    "Для записи конфигурации в USB-считыватель потребуется ранее созданная мастер-карта. Продолжить?";
inline constexpr std::string_view kCopyDialogTitle = "Чтение/запись конфигурации";
inline constexpr std::string_view kCopyInstruction = "Поднесите мастер-карту с конфигурацией к USB-считывателю";
inline constexpr std::string_view kCopyFailed = "Ошибка чтения/записи конфигурации.";

inline constexpr std::string_view kProtectedTitle = "Защищенные карты";
inline constexpr std::string_view kProtectedHeading =
    "Конфигурация защищенных карт для режима \"Код объекта\" или \"Зоны прохода\"";
inline constexpr std::string_view kButton13 = "Создать защищенные карты - записать код объекта / зоны прохода";
inline constexpr std::string_view kButton14 = "Очистить защищенные карты - удалить код объекта / зоны прохода";
inline constexpr std::string_view kButton16 = "Очистить защищенные карты - удалить все коды объектов / зоны прохода";
inline constexpr std::string_view kCreateQuestion =
    "Для создания защищенных карт потребуется ранее созданная мастер-карта с заданным кодом объекта. Продолжить?";
inline constexpr std::string_view kClearQuestion =
    "Для очистки защищенных карт потребуется ранее созданная мастер-карта с заданным кодом объекта. Продолжить?";
inline constexpr std::string_view kClearAllQuestion =
    "Во время очистки защищенных карт будут удалены ВСЕ коды объектов. Продолжить?";
inline constexpr std::string_view kCreateDialogTitle = "Создание защищенных карт";
inline constexpr std::string_view kClearDialogTitle = "Очистка защищенных карт";
inline constexpr std::string_view kCreateCounter = "Создано защищенных карт:";
inline constexpr std::string_view kClearCounter = "Очищено защищенных карт:";
inline constexpr std::string_view kCreateButton = "Закончить создание защищенных карт";
inline constexpr std::string_view kClearButton = "Закончить очистку защищенных карт";
inline constexpr std::string_view kClearAllInstruction = "По очереди подносите карты к USB-считывателю";
inline constexpr std::string_view kClearAllButton = "Закончить очистку карт";
inline constexpr std::string_view kCreateTimedOut = "Ошибка создания защищенных карт.";
inline constexpr std::string_view kClearTimedOut = "Ошибка очистки защищенных карт.";
}  // namespace texts

// "Создать мастер-карты", "Очистить мастер-карты", "Считать конфигурацию с
// мастер-карты" and "Считать конфигурацию с мастер-карты и записать в
// USB-считыватель", over the configuration editor.
class MasterCardWorkflows {
 public:
  MasterCardWorkflows(CardDialogs& dialogs, config::ConfigEditor& editor);

  // Runs after the editor changed (access code filled, configuration read),
  // so the page shows it again.
  void setConfigChanged(std::function<void()> f) { configChanged_ = std::move(f); }
  // The selected row of the card-format list (-1 for none); it picks the card type in mode 1.
  void setSelectedFormatRow(std::function<int()> f) { selectedFormatRow_ = std::move(f); }

  void createMasterCards();     // Button4
  void clearMasterCards();      // Button5
  void readFromMasterCard();    // Button17
  void copyMasterCardToReader();  // Button15

 private:
  void changed();

  CardDialogs& dialogs_;
  config::ConfigEditor& editor_;
  std::function<void()> configChanged_;
  std::function<int()> selectedFormatRow_;
};

// The three buttons of the page "Защищенные карты". They do not look at the editor.
class ProtectedCardWorkflows {
 public:
  explicit ProtectedCardWorkflows(CardDialogs& dialogs) : dialogs_(dialogs) {}

  void createProtectedCards();    // Button13
  void clearProtectedCards();     // Button14
  void clearAllProtectedCards();  // Button16

 private:
  struct Texts {
    std::string_view question, title, counter, button, timedOut;
  };
  void withMasterCard(const std::string& command, const Texts& t);

  CardDialogs& dialogs_;
};

}  // namespace terva::cards

#pragma once
// Captions and item texts of the page "Конфигурация" and of the zone area,
// so the widgets only bind them. Item lists are in item-index order.
#include <array>
#include <string_view>

namespace terva::config::texts {

// Groups.
inline constexpr std::string_view kGeneralGroup = " Общая конфигурация ";
inline constexpr std::string_view kWallReadersGroup = " Конфигурация настенных считывателей ";

// ComboBox4, by reading mode.
inline constexpr std::string_view kReadingModeLabel = "Режим считывания карт:";
inline constexpr std::array<std::string_view, 4> kReadingModeItems{
    "Обычный режим чтения только UID", "Защищенный режим: код объекта",
    "Защищенный режим: чтение кода из блока", "Защищенный режим: зоны прохода"};

// CheckListBox1 (its items come from formatItems()).
inline constexpr std::string_view kCardFormatLabel = "Формат считываемых карт:";

inline constexpr std::string_view kReverseByteOrder = "Обратный порядок байт";   // CheckBox3
inline constexpr std::string_view kBitShiftLabel = "Битовый сдвиг вправо:";       // SpinEdit3
inline constexpr std::string_view kSignificantBitsLabel = "Число значимых бит после сдвига:";  // SpinEdit4

// Panel6: block parameters.
inline constexpr std::string_view kBlockNumberLabel = "Номер блока:";                   // SpinEdit2
inline constexpr std::string_view kBlockOffsetLabel = "Смещение в блоке:";              // SpinEdit5
inline constexpr std::string_view kBlockByteCountLabel = "Количество байт для передачи:";  // SpinEdit6
inline constexpr std::string_view kBytesUnit = "байт";  // after SpinEdit5 and SpinEdit6
inline constexpr std::string_view kAccessCodeLabel = "Код доступа к требуемому блоку (16 байт):";  // Edit2
inline constexpr std::string_view kAccessCodePrefix = "0x";

// Wiegand.
inline constexpr std::string_view kWiegandTypeLabel = "Тип итерфейса Wiegand :";  // ComboBox3
inline constexpr std::array<std::string_view, 2> kWiegandTypeItems{"Wiegand c контрольной суммой CRC",
                                                                   "Wiegand без контрольной суммы CRC"};
inline constexpr std::string_view kWiegandWidthLabel = "Разрядность интерфейса Wiegand:";  // ComboBox2
// Index 0 automatic (wiegandWidthUser false), 1 user-defined.
inline constexpr std::array<std::string_view, 2> kWiegandWidthItems{"автоопределение", "пользовательская"};

// Colour panels color1..color4 and their caption.
inline constexpr std::string_view kLedIdleLabel = "Цвет светодиодов в режиме ожидания:";
inline constexpr std::string_view kLedRedGreenLabel = "Цвет светодиодов при подаче сигналов LEDR + LEDG:";
inline constexpr std::string_view kLedRedLabel = "Цвет светодиодов при подаче сигнала LEDR:";
inline constexpr std::string_view kLedGreenLabel = "Цвет светодиодов при подаче сигнала LEDG:";
inline constexpr std::string_view kColourPanelCaption = "изменить";

// Buttons of the right-hand column that move configurations.
inline constexpr std::string_view kButton1 = "Считать конфигурацию из файла";
inline constexpr std::string_view kButton3 = "Записать конфигурацию в файл";
inline constexpr std::string_view kButton18 = "Считать конфигурацию из USB-считывателя";
inline constexpr std::string_view kButton2 = "Записать конфигурацию в USB-считыватель";
inline constexpr std::string_view kButton12 = "Получить версию микропрограммы считывателя";

// Panel19: passage zones.
inline constexpr std::string_view kPulseLabel = "Длительность управляющего импульса (секунд) :";
inline constexpr double kPulseStepSeconds = 0.1;
inline constexpr double kPulsePageStepSeconds = 1.0;
inline constexpr std::string_view kStandardNames = "стандартные имена";  // ComboBox1 item 0
inline constexpr std::string_view kSpeedButton1Hint = "сохранить имена зон прохода";
inline constexpr std::string_view kSpeedButton2Hint = "выбрать все зоны прохода";
inline constexpr std::string_view kSpeedButton3Hint = "снять выбор со всех зон прохода";
inline constexpr std::string_view kSpeedButton4Hint = "битовая строка";

// TForm9, the zone bit-string dialog.
inline constexpr std::string_view kForm9Title = "Зоны прохода";
inline constexpr std::string_view kForm9Label = "Укажите битовую строку зон прохода:";
inline constexpr std::string_view kForm9Apply = "Применить";

}  // namespace terva::config::texts

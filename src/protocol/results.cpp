#include "protocol/results.h"

namespace terva {

std::string errtotext(std::uint8_t code) {
  switch (code) {
    case 7: return "Не случайный UID в картах MifarePlus.";
    case 8: return "Ошибка выбора VCA.";
    case 9: return "Данные карты не корректны, ошибочная карта.";
    case 10: return "Ошибка аутентификации MFP.";
    case 11: return "Ошибка чтения данных с карты.";
    case 12: return "Ошибочные параметры комманды.";
    case 13: return "Все мастер-карты созданы.";
    case 14: return "Мастер-карта не пуста.";
    case 15: return "Ошибочная команда.";
    case 16: return "Нет данных на мастер-карте.";
    case 17: return "Ошибка записи MFP.";
    case 18: return "Код объекта уже существует на данной карте.";
    case 19: return "Приложена мастер-карта.";
    case 20: return "Ошибка чтения данных с карты.";
    case 21: return "Ошибка записи MFC.";
    case 22: return "Ошибка аутентификации Mifare Classic.";
    case 23: return "Для данного режима нужны только карты Mifare Plus.";
    case 24: return "Для данного режима нужны только карты Mifare Classic.";
    case 25: return "Карта пустая.";
    case 26: return "Защищеные режимы мастер-карты и считывателя не совпадают.";
    case 27:
      // The first letter is a Latin capital C, as the reader's documentation has it.
      return "Cчитыватель находится в защищенном режиме и это режим можно снять только с помощью "
             "мастер-карт которыми он был создан.\r\n"
             "Нажмите кнопку \"Считать конфигурацию с мастер-карты и записать в USB-считыватель\" "
             "и приложите указанную мастер-карту.";
    default: return "Неизвестная ошибка №" + std::to_string(code);
  }
}

}  // namespace terva

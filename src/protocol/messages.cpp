#include "protocol/messages.h"

namespace terva {

std::string openErrorCause(serial::PortErrorKind kind, int osError, const std::string& devicePath,
                           const std::string& group, const std::string& systemText) {
  using serial::PortErrorKind;
  switch (kind) {
    case PortErrorKind::NotFound:
      return "Устройство " + devicePath + " не найдено. Проверьте, что считыватель подключён.";
    case PortErrorKind::Busy:
      return "Порт " + devicePath + " занят другой программой. Закройте её и повторите попытку.";
    case PortErrorKind::PermissionDenied:
      return "Нет прав на доступ к порту " + devicePath + ". Добавьте пользователя в группу " + group +
             " командой «sudo usermod -aG " + group + " $USER» и войдите в систему заново.";
    case PortErrorKind::DeviceGone:
      return "Устройство " + devicePath + " не отвечает или было отключено.";
    case PortErrorKind::None:
      return "Неизвестная ошибка.";
    case PortErrorKind::Other:
      break;
  }
  return "Системная ошибка: " + systemText + " (код " + std::to_string(osError) + ").";
}

std::string openErrorText(const serial::EComPort& error, const std::string& devicePath) {
  const int err = error.WinCode > 0 ? error.WinCode : 0;
  const std::string group =
      error.Kind == serial::PortErrorKind::PermissionDenied ? serial::DeviceAccessGroup(devicePath) : std::string();
  return std::string(kOpenErrorHeading) + "\n" +
         openErrorCause(error.Kind, err, devicePath, group, err > 0 ? serial::SystemErrorText(err) : std::string());
}

std::vector<std::string> lineErrorMessages(serial::TComErrors errors) {
  static const struct {
    serial::TComErrors bit;
    const char* text;
  } kMessages[] = {
      {serial::ceRxParity, "ERROR: The hardware detected a parity error."},
      {serial::ceFrame, "ERROR: The hardware detected a framing error."},
      {serial::ceOverrun, "ERROR: A charachter buffer overrun has occured."},
      {serial::ceBreak, "ERROR: The hardware detected a break condition."},
      {serial::ceIO, "ERROR: An I/O error occured during communication with the device."},
      {serial::ceMode, "ERROR: The requested mode is not supported."},
      {serial::ceRxOver, "ERROR: An input buffer overflow has occured."},
      {serial::ceTxFull, "ERROR: The output buffer is full."},
  };
  std::vector<std::string> out;
  for (const auto& m : kMessages) {
    if (errors & m.bit) out.emplace_back(m.text);
  }
  return out;
}

}  // namespace terva

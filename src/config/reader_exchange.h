#pragma once
// What the configuration workflows send to the reader and how they judge
// its replies, as pure functions: the workflow only sequences the calls.
#include "config/config_record.h"
#include "config/reader_config.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace terva::config {

// The write into the reader: the whole record in one payload behind the
// command (commands::writeConfiguration). The other payloads of the
// configuration workflows are plain commands of protocol/commands.h.
std::string writeConfigPayload(const ReaderConfig& c);

// Writing to the reader.
inline constexpr std::string_view kConfigCaption = "Конфигурация";
inline constexpr std::string_view kMasterCardQuestion =
    "Для записи конфигурации потребуется ранее созданная мастер-карта с заданным кодом объекта. Продолжить?";
// Modes 1 and 3 ask first and then wait for the master card with the object code.
bool needsObjectCodeMasterCard(int mode);
inline constexpr std::string_view kObjectCodeDialogTitle = "Чтение кода объекта";
inline constexpr std::string_view kObjectCodeDialogText = "Поднесите мастер-карту с кодом объекта к USB-считывателю";
inline constexpr std::string_view kObjectCodeNotWrittenText = "Код объекта не записан в USB-считыватель.";

// Reading the reader's configuration: the items of a reply body longer than
// 40 characters, else nothing (show kReadConfigFailedText).
inline constexpr std::string_view kReadConfigFailedText = "Не удалось считать конфигурацию считывателя.";
inline constexpr std::string_view kReadFromReaderCaption = "Конфигурация считана из USB-считывателя";
std::optional<ConfigItems> parseConfigReply(std::string_view body);

// The firmware version: a body of exactly 10 characters "1003" + 3 bytes.
inline constexpr std::string_view kVersionFailedText = "Не удалось получить версию микропрограммы.";
std::optional<std::array<std::uint8_t, 3>> parseVersionReply(std::string_view body);
// "Версия микропрограммы: 1.2.5".
std::string versionText(const std::array<std::uint8_t, 3>& version);

}  // namespace terva::config

#pragma once
// Texts shown for what happens on the line: a port that cannot be opened and
// line errors.
#include <string>
#include <vector>

#include "serial/comport.h"

namespace terva {

inline constexpr const char* kOpenErrorHeading = "Ошибка открытия порта";
inline constexpr const char* kUnpluggedText = "USB-считыватель отключен";
inline constexpr const char* kNoAnswerStatus = "Считыватель не отвечает";

// The cause of a failed open in plain words, for the line under the heading.
// `group` is the group that may open the device, `systemText` the system's
// own wording of osError.
std::string openErrorCause(serial::PortErrorKind kind, int osError, const std::string& devicePath,
                           const std::string& group, const std::string& systemText);

// The whole message for a failed open: the heading and the cause on its own line.
std::string openErrorText(const serial::EComPort& error, const std::string& devicePath);

// One message per line-error bit, in the order they are shown.
std::vector<std::string> lineErrorMessages(serial::TComErrors errors);

}  // namespace terva

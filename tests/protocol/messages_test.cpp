#include "protocol/messages.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace terva;
using serial::PortErrorKind;

TEST(OpenErrorTexts, NameTheCauseInPlainWords) {
  const std::string path = "/dev/ttyACM0";
  const struct {
    PortErrorKind kind;
    int err;
    const char* fragment;
  } cases[] = {
      {PortErrorKind::NotFound, ENOENT, "Устройство /dev/ttyACM0 не найдено"},
      {PortErrorKind::Busy, EBUSY, "занят другой программой"},
      {PortErrorKind::DeviceGone, EIO, "не отвечает или было отключено"},
      {PortErrorKind::PermissionDenied, EACCES, "группу tty командой «sudo usermod -aG tty $USER»"},
      {PortErrorKind::Other, EINVAL, "Системная ошибка: bad (код 22)."},
      {PortErrorKind::None, 0, "Неизвестная ошибка."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fragment);
    const std::string text = openErrorCause(c.kind, c.err, path, "tty", "bad");
    EXPECT_NE(text.find(c.fragment), std::string::npos) << text;
  }
  const std::string whole = openErrorText(serial::EComPort(serial::CE_OpenFailed, EBUSY), path);
  EXPECT_EQ(whole.rfind("Ошибка открытия порта\n", 0), 0u) << whole;
}

TEST(LineErrorTexts, OneMessagePerBitParityFirst) {
  const auto texts = lineErrorMessages(serial::ceFrame | serial::ceOverrun | serial::ceRxParity);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "ERROR: The hardware detected a parity error.");
  EXPECT_EQ(texts[1], "ERROR: The hardware detected a framing error.");
  EXPECT_EQ(texts[2], "ERROR: A charachter buffer overrun has occured.");
  EXPECT_TRUE(lineErrorMessages(0).empty());
}

// The reading page: every identifier of a receive event is shown on the label
// and delivered, in order, as the characters of its rendered text.
#include <QLabel>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ident/ui/reading_page.h"
#include "protocol/session.h"
#include "support/fakes.h"
#include "support/manual_clock.h"

using namespace terva;
using namespace std::string_literals;

namespace {

struct ReadingPageTest : ::testing::Test {
  terva::testing::ManualClock clock;
  ReaderSession session{clock};
  terva::testing::FakePrompts prompts;
  terva::testing::FakeClipboard clipboard;
  terva::testing::FakeKeyboard keyboard;
  ident::ReadingPage page{{&session, &prompts, &clipboard, &keyboard, nullptr, [] { return false; }}};
  std::vector<QString> shown;

  ReadingPageTest() {
    QObject::connect(&page, &ident::ReadingPage::identifierShown, [this](const QString& t) { shown.push_back(t); });
  }
  QString label() const { return page.findChild<QLabel*>("Label32")->text(); }
  std::vector<QString> typed() const {
    std::vector<QString> out;
    for (const auto& t : keyboard.typed) out.push_back(QString::fromStdU32String(t.text));
    return out;
  }
};

TEST_F(ReadingPageTest, EveryIdentifierIsShownAndDeliveredAsItsCharacters) {
  struct Case {
    const char* name;
    ident::ViewMode mode;
    std::string tmpl;
    std::string bytes;  // one receive event
    std::vector<QString> shown;
  };
  const Case cases[] = {
      {"decimal, two in one event", ident::kViewDec, "", "UID: 1A2B3C\r\nMIR: FF\r\n", {"1715004", "255"}},
      {"bytes beyond ASCII", ident::kViewHex, "", "UID: \xC0" "A\x7F\r\n"s, {QString::fromUtf8("\u00C0A\x7F")}},
      {"template text beyond ASCII", ident::kViewCst, "\u0416-b1", "UID: 1A2B3C\r\n", {QString::fromUtf8("\u0416-3C")}},
  };
  page.setDelivery({true, true, false});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    page.restoreViewMode(c.mode, c.tmpl);
    shown.clear();
    clipboard.texts.clear();
    keyboard.typed.clear();
    session.ComPort1RxChar(c.bytes);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(label(), c.shown.back());
    EXPECT_EQ(clipboard.texts, c.shown);
    // Keystrokes leave out control characters.
    std::vector<QString> keys = c.shown;
    for (QString& k : keys) k.remove(QChar(0x7F));
    EXPECT_EQ(typed(), keys);
  }

  // With both options off the identifier is only shown.
  page.restoreViewMode(ident::kViewHex, "");
  page.setDelivery({false, false, true});
  clipboard.texts.clear();
  keyboard.typed.clear();
  session.ComPort1RxChar("UID: 01\r\n");
  EXPECT_EQ(label(), "01");
  EXPECT_TRUE(clipboard.texts.empty());
  EXPECT_TRUE(keyboard.typed.empty());
}

}  // namespace

// The dialog windows: their texts and controls, a pushed reply closing a run,
// the modal entry points, the close box and the disconnect watch.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cards/cards_fakes.h"
#include "cards/ui/tform2.h"
#include "cards/ui/tform3.h"
#include "cards/ui/tform4.h"
#include "cards/ui/tform5.h"
#include "cards/ui/tform8.h"
#include "support/manual_clock.h"

using namespace std::chrono_literals;
using terva::cards::ModalResult;
using terva::cards::TForm2;
using terva::cards::TForm3;
using terva::cards::TForm4;
using terva::cards::TForm5;
using terva::cards::TForm8;
using namespace terva::testing;

namespace {

QString q(const char* s) { return QString::fromUtf8(s); }

QString labelText(const QWidget& w, const char* name) {
  auto* l = w.findChild<QLabel*>(name);
  return l ? l->text() : QString("<missing %1>").arg(name);
}

bool shown(const QWidget& dialog, const char* name) {
  auto* w = dialog.findChild<QWidget*>(name);
  return w && w->isVisibleTo(&dialog);
}

// Every label, button and check box carries its caption as accessible name.
void expectAccessibleNames(const QWidget& w) {
  for (auto* l : w.findChildren<QLabel*>()) EXPECT_EQ(l->accessibleName(), l->text()) << l->objectName().toStdString();
  for (auto* b : w.findChildren<QAbstractButton*>()) {
    EXPECT_FALSE(b->accessibleName().isEmpty()) << b->objectName().toStdString();
    EXPECT_EQ(b->accessibleName(), b->text());
  }
}

struct WidgetTest : ::testing::Test {
  ManualClock clock;
  ScriptedPrompts prompts;
  QWidget mainWindow;
  WidgetTest() { mainWindow.setGeometry(100, 100, 900, 700); }
  void ticks(int n) { clock.advance(std::chrono::milliseconds(100 * n)); }
};

TEST_F(WidgetTest, Form2PanelsTextsAndCountButtons) {
  TForm2 form(clock, prompts, {}, &mainWindow);
  std::vector<std::string> sent;
  form.setSender([&](std::string_view p) {
    sent.emplace_back(p);
    return std::uint8_t{0};
  });
  form.begin("MifareClassic ", "0102AA", true);
  EXPECT_EQ(form.objectName(), "Form2");
  EXPECT_EQ(form.windowTitle(), q("Запись мастер-карт"));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_TRUE(shown(form, "Panel1"));
  EXPECT_FALSE(shown(form, "Panel2"));
  EXPECT_EQ(labelText(form, "Label1"), q("Подготовьте необходимое количество чистых карт MifareClassic "));
  EXPECT_EQ(labelText(form, "Label2"), q("Укажите количество создаваемых мастер-карт:"));
  EXPECT_EQ(labelText(form, "Label3"), q("Не используйте эту опцию если в этом нет крайней необходимости."));
  auto* option = form.findChild<QCheckBox*>("CheckBox1");
  ASSERT_NE(option, nullptr);
  EXPECT_EQ(option->text(), q(" Защищенный режим можно удалить ТОЛЬКО с помощью создаваемых мастер-карт "));
  EXPECT_TRUE(shown(form, "CheckBox1"));
  for (int k = 1; k <= 5; ++k) {
    auto* b = form.findChild<QPushButton*>(QString("Button%1").arg(k));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->text(), QString::number(k));
    EXPECT_EQ(b->property("tag").toInt(), k);
  }
  expectAccessibleNames(form);

  // Ticking asks first; a refusal leaves the box clear.
  form.logic().askOption = [](const std::string&) { return false; };
  option->click();
  EXPECT_FALSE(option->isChecked());
  form.logic().askOption = [](const std::string&) { return true; };
  option->click();
  EXPECT_TRUE(option->isChecked());

  form.findChild<QPushButton*>("Button2")->click();
  EXPECT_EQ(sent, (std::vector<std::string>{"0102AA1101AA", "020101020002"}));
  EXPECT_FALSE(shown(form, "Panel1"));
  EXPECT_TRUE(shown(form, "Panel2"));
  EXPECT_EQ(labelText(form, "Label4"), q("Поднесите 1 из 2 карту MifareClassic к USB-считывателю"));
  EXPECT_EQ(labelText(form, "Label5"), q("Времени осталось:"));
  EXPECT_EQ(labelText(form, "Label6"), "15");
  expectAccessibleNames(form);
  form.pushReply(ok());
  ticks(1);
  EXPECT_EQ(labelText(form, "Label4"), q("Поднесите 2 из 2 карту MifareClassic к USB-считывателю"));
  form.closeByWatch();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.logic().result(), ModalResult::Cancel);

  // The next showing hides the option in reading mode 0 and starts over.
  form.begin("", "0102AA", false);
  EXPECT_TRUE(shown(form, "Panel1"));
  EXPECT_FALSE(shown(form, "CheckBox1"));
  EXPECT_FALSE(shown(form, "Label3"));
  EXPECT_FALSE(option->isChecked());
  form.close();
}

TEST_F(WidgetTest, Form3RunEndsWithThePushedReplyAndIsCentred) {
  TForm3 form(clock, prompts, {}, &mainWindow);
  mainWindow.show();
  QTimer::singleShot(0, &form, [&] {
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.isModal());
    EXPECT_EQ(form.windowTitle(), q("Чтение/запись конфигурации"));
    EXPECT_EQ(labelText(form, "Label1"), q("Поднесите мастер-карту с конфигурацией к USB-считывателю"));
    EXPECT_EQ(labelText(form, "Label2"), q("Времени осталось:"));
    EXPECT_EQ(labelText(form, "Label3"), "15");
    expectAccessibleNames(form);
    const QPoint offset = form.frameGeometry().center() - mainWindow.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 40);
    ticks(10);
    EXPECT_EQ(labelText(form, "Label3"), "14");
    form.pushReply(ok());
    ticks(1);
  });
  EXPECT_EQ(form.run("Чтение/запись конфигурации", "Поднесите мастер-карту с конфигурацией к USB-считывателю"),
            ModalResult::Yes);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(clock.activeTimers(), 0u);
  mainWindow.hide();
}

TEST_F(WidgetTest, Form3ClosedByTheCloseBoxOrTheWatchIsCancel) {
  TForm3 form(clock, prompts);
  for (bool watch : {false, true}) {
    QTimer::singleShot(0, &form, [&] {
      ticks(5);
      if (watch) {
        form.closeByWatch();
      } else {
        form.close();
      }
    });
    EXPECT_EQ(form.run("Чтение кода объекта", "Поднесите мастер-карту с кодом объекта к USB-считывателю"),
              ModalResult::Cancel);
    EXPECT_EQ(clock.activeTimers(), 0u);
  }
  // Time running out gives No.
  QTimer::singleShot(0, &form, [&] { ticks(150); });
  EXPECT_EQ(form.run("Чтение кода объекта", "Поднесите мастер-карту с кодом объекта к USB-считывателю"),
            ModalResult::No);
}

TEST_F(WidgetTest, Form4CallerTextsCounterAndFinishButton) {
  TForm4 form(clock, prompts, &mainWindow);
  form.begin("Очистка мастер-карт", "По очереди подносите мастер-карты к USB-считывателю",
             "Закончить очистку мастер-карт");
  EXPECT_EQ(form.windowTitle(), q("Очистка мастер-карт"));
  EXPECT_EQ(labelText(form, "Label1"), q("По очереди подносите мастер-карты к USB-считывателю"));
  EXPECT_EQ(labelText(form, "Label2"), q("Очищено карт:"));
  EXPECT_EQ(labelText(form, "Label3"), "0");
  auto* finish = form.findChild<QPushButton*>("Button1");
  ASSERT_NE(finish, nullptr);
  EXPECT_EQ(finish->text(), q("Закончить очистку мастер-карт"));
  expectAccessibleNames(form);
  form.pushReply(ok());
  form.pushReply(ok());
  ticks(2);
  EXPECT_EQ(labelText(form, "Label3"), "2");
  finish->click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.logic().result(), ModalResult::Yes);
  EXPECT_EQ(clock.activeTimers(), 0u);
}

TEST_F(WidgetTest, Form5SwitchesPanelsAndTheWatchClosesIt) {
  TForm5 form(clock, prompts, {}, &mainWindow);
  form.begin("Создание защищенных карт", "Создано защищенных карт:", "Закончить создание защищенных карт");
  EXPECT_EQ(form.windowTitle(), q("Создание защищенных карт"));
  EXPECT_TRUE(shown(form, "Panel1"));
  EXPECT_FALSE(shown(form, "Panel2"));
  EXPECT_EQ(labelText(form, "Label1"), q("Поднесите мастер-карту с кодом объекта к USB-считывателю"));
  EXPECT_EQ(labelText(form, "Label3"), "15");
  form.pushReply(ok());
  ticks(1);
  EXPECT_FALSE(shown(form, "Panel1"));
  EXPECT_TRUE(shown(form, "Panel2"));
  EXPECT_EQ(labelText(form, "Label4"), q("По очереди подносите карты к USB-считывателю"));
  EXPECT_EQ(labelText(form, "Label5"), q("Создано защищенных карт:"));
  EXPECT_EQ(labelText(form, "Label6"), "0");
  EXPECT_EQ(form.findChild<QPushButton*>("Button1")->text(), q("Закончить создание защищенных карт"));
  expectAccessibleNames(form);
  form.pushReply(ok());
  ticks(1);
  EXPECT_EQ(labelText(form, "Label6"), "1");
  form.closeByWatch();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.logic().result(), ModalResult::Cancel);
  EXPECT_EQ(clock.activeTimers(), 0u);
}

TEST_F(WidgetTest, Form8ReturnsTheRecordTimeoutOrNothing) {
  TForm8 form(clock, prompts, &mainWindow);
  EXPECT_EQ(form.windowTitle(), q("Чтение конфигурации с мастер-карты"));
  QTimer::singleShot(0, &form, [&] {
    EXPECT_EQ(labelText(form, "Label1"), q("Поднесите мастер-карту к USB-считывателю"));
    EXPECT_EQ(labelText(form, "Label2"), q("Времени осталось:"));
    EXPECT_EQ(labelText(form, "Label3"), "30");
    expectAccessibleNames(form);
    form.pushReply(ok());
    form.pushReply(terva::Answer{1, 3, "0102030405"});
  });
  EXPECT_EQ(form.run(), "0102030405");

  QTimer::singleShot(0, &form, [&] { clock.advance(30s); });
  EXPECT_EQ(form.run(), "timeout");

  QTimer::singleShot(0, &form, [&] { form.close(); });
  EXPECT_EQ(form.run(), "");
  EXPECT_EQ(clock.activeTimers(), 0u);
}

}  // namespace

// The template editor dialog: its key filters and controls bound to the editor model.
#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "ident/ui/tform7.h"

using terva::app::TForm7;

namespace {

struct EditorTest : ::testing::Test {
  TForm7 form;
  QLineEdit* edit(const char* name) { return form.findChild<QLineEdit*>(name); }
  QPushButton* button(const char* name) { return form.findChild<QPushButton*>(name); }
  QString nibbles() {
    QString out;
    for (const char* n : {"n82", "n81", "n72", "n71", "n62", "n61", "n52", "n51", "n42", "n41", "n32", "n31", "n22",
                          "n21", "n12", "n11"}) {
      out += edit(n)->text();
    }
    return out;
  }
};

}  // namespace

TEST_F(EditorTest, SampleKeysAreFilteredAndFillTheNibbleFields) {
  form.prepare("");
  form.show();
  QTest::keyClicks(edit("Edit1"), "1a2g b3c\r");
  EXPECT_EQ(edit("Edit1")->text(), "1A2B3C");
  EXPECT_EQ(nibbles(), "00000000001A2B3C");
  QTest::keyClick(edit("Edit1"), Qt::Key_Backspace);
  QTest::keyClick(edit("Edit1"), Qt::Key_Backspace);
  EXPECT_EQ(nibbles(), "0000000000001A2B");

  form.prepare("0123456789ABCDEF0123");  // a long sample set by the window keeps all its characters
  EXPECT_EQ(nibbles(), "456789ABCDEF0123");
}

TEST_F(EditorTest, OnlyAFreshSuccessfulApplyEnablesUse) {
  std::string adopted;
  form.onUseTemplate = [&](const std::string& t) { adopted = t; };
  form.prepare("1A2B3C");
  EXPECT_FALSE(button("Button2")->isEnabled());
  button("Button1")->click();
  EXPECT_EQ(edit("Edit3")->text(), "UID = 026-11068 = 026-11068 = 001A2B3C = 000000000001715004");
  EXPECT_TRUE(button("Button2")->isEnabled());

  edit("Edit1")->setText("FF");  // a new sample keeps it enabled
  EXPECT_TRUE(button("Button2")->isEnabled());
  QTest::keyClick(edit("Edit2"), Qt::Key_X);  // a changed template does not
  EXPECT_FALSE(button("Button2")->isEnabled());

  edit("Edit2")->setText("dec(x)");
  button("Button1")->click();
  EXPECT_EQ(edit("Edit3")->text(), "error");
  EXPECT_FALSE(button("Button2")->isEnabled());

  edit("Edit2")->setText("dec(b1)");
  button("Button1")->click();
  button("Button2")->click();
  EXPECT_EQ(adopted, "dec(b1)");
  form.prepare("1A");  // showing again disables it and empties the result
  EXPECT_FALSE(button("Button2")->isEnabled());
  EXPECT_EQ(edit("Edit3")->text(), "");
}

TEST_F(EditorTest, TemplateRefusesTypedAndPastedNonAscii) {
  form.prepare("1A");
  form.show();
  edit("Edit2")->setText("b1");
  edit("Edit2")->end(false);
  QKeyEvent cyrillic(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("ж"));
  QCoreApplication::sendEvent(edit("Edit2"), &cyrillic);
  QTest::keyClicks(edit("Edit2"), "b2");
  EXPECT_EQ(edit("Edit2")->text(), "b1b2");
  QGuiApplication::clipboard()->setText(QString::fromUtf8("UID = b1 Ж"));
  edit("Edit2")->paste();
  EXPECT_EQ(edit("Edit2")->text(), "");
}

namespace {

// A key as the X11 platform delivers it, text included (Delete is U+007F).
void press(QWidget* w, int key, const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent down(QEvent::KeyPress, key, mods, text);
  QCoreApplication::sendEvent(w, &down);
  QKeyEvent up(QEvent::KeyRelease, key, mods, text);
  QCoreApplication::sendEvent(w, &up);
}

}  // namespace

TEST_F(EditorTest, EditingKeysAndShortcutsWorkInTheSampleField) {
  form.prepare("1A2B");
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QLineEdit* e1 = edit("Edit1");
  e1->setFocus();
  e1->setCursorPosition(0);
  press(e1, Qt::Key_Delete, QString(QChar(0x7F)));
  EXPECT_EQ(e1->text(), "A2B");

  press(e1, Qt::Key_A, QString(QChar(0x01)), Qt::ControlModifier);
  EXPECT_EQ(e1->selectedText(), "A2B");
  press(e1, Qt::Key_C, QString(QChar(0x03)), Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "A2B");
  QGuiApplication::clipboard()->setText("ff zz 1");
  press(e1, Qt::Key_V, QString(QChar(0x16)), Qt::ControlModifier);
  EXPECT_EQ(e1->text(), "FF1");

  QApplication::setActiveWindow(&form);
  e1->setFocus();
  ASSERT_TRUE(e1->hasFocus());
  press(e1, Qt::Key_Tab, "\t");
  EXPECT_FALSE(e1->hasFocus());
  EXPECT_EQ(e1->text(), "FF1");
}

TEST_F(EditorTest, TextFromAnywhereObeysTheSampleRules) {
  form.prepare("");
  QGuiApplication::clipboard()->setText("0123456789abcdefzz0123");
  edit("Edit1")->paste();  // as the context menu's Paste does
  EXPECT_EQ(edit("Edit1")->text(), "0123456789ABCDEF");
  EXPECT_EQ(nibbles(), "0123456789ABCDEF");

  form.prepare("12");
  edit("Edit1")->end(false);
  QInputMethodEvent im;
  im.setCommitString(QString::fromUtf8("aЖ3"));
  QCoreApplication::sendEvent(edit("Edit1"), &im);
  EXPECT_EQ(edit("Edit1")->text(), "12A3");

  // The program's own sample is taken as it is, lower case and length too.
  form.prepare("00a1000000000000FFFF");
  EXPECT_EQ(edit("Edit1")->text(), "00a1000000000000FFFF");
}

TEST_F(EditorTest, InputMethodCommitsIntoTheTemplateDropNonAscii) {
  form.prepare("1A");
  edit("Edit2")->setText("b1");
  edit("Edit2")->end(false);
  QInputMethodEvent cyrillic;
  cyrillic.setCommitString(QString::fromUtf8("Ж"));
  QCoreApplication::sendEvent(edit("Edit2"), &cyrillic);
  EXPECT_EQ(edit("Edit2")->text(), "b1");
  QInputMethodEvent mixed;
  mixed.setCommitString(QString::fromUtf8(" жb2"));
  QCoreApplication::sendEvent(edit("Edit2"), &mixed);
  EXPECT_EQ(edit("Edit2")->text(), "b1 b2");
}

TEST_F(EditorTest, TemplateFieldOpensAtItsStart) {
  edit("Edit2")->end(false);
  form.prepare("1A");
  form.show();
  EXPECT_EQ(edit("Edit2")->cursorPosition(), 0);
}

TEST_F(EditorTest, ChooseTemplateReturnsWhatWasAdopted) {
  form.modalScript = [&](TForm7& f) {
    EXPECT_EQ(f.findChild<QLineEdit*>("Edit1")->text(), "1A2B3C");
    f.findChild<QLineEdit*>("Edit2")->setText("dec(b1)");
    f.findChild<QPushButton*>("Button1")->click();
    f.findChild<QPushButton*>("Button2")->click();
  };
  EXPECT_EQ(form.chooseTemplate("1A2B3C"), std::optional<std::string>("dec(b1)"));

  // Escape closes without adopting, even after a good apply.
  form.modalScript = [&](TForm7& f) {
    f.show();
    f.findChild<QPushButton*>("Button1")->click();
    ASSERT_TRUE(f.findChild<QPushButton*>("Button2")->isEnabled());
    press(f.findChild<QLineEdit*>("Edit1"), Qt::Key_Escape, QString(QChar(0x1B)));
    EXPECT_FALSE(f.isVisible());
  };
  EXPECT_EQ(form.chooseTemplate("FF"), std::nullopt);
}

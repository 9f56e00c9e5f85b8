// The template editor dialog: its key filters and controls bound to the editor model.
#include <QClipboard>
#include <QGuiApplication>
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

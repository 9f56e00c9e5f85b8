#include "app/ui/translations.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>

#include <gtest/gtest.h>

TEST(Translations, QtsOwnButtonsAreRussian) {
  ASSERT_TRUE(terva::app::installRussianTranslations(*QCoreApplication::instance()))
      << "Qt's Russian translations are missing (Debian package qt6-translations-l10n)";
  QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel);
  EXPECT_EQ(box.button(QDialogButtonBox::Yes)->text().remove('&'), QString::fromUtf8("Да"));
  EXPECT_EQ(box.button(QDialogButtonBox::No)->text().remove('&'), QString::fromUtf8("Нет"));
  EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text().remove('&'), QString::fromUtf8("Отмена"));
}

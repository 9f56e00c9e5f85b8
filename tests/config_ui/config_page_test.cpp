// The page "Конфигурация" bound to the editor, through its real widgets.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "config/config_editor.h"
#include "config/config_record.h"
#include "config/ui/config_page.h"
#include "config/ui/tform9.h"
#include "support/fakes.h"

using namespace terva;
using namespace terva::config;

namespace {

QString u8(const char* s) { return QString::fromUtf8(s); }

class ConfigPageTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  ConfigEditor editor;
  terva::testing::FakePrompts prompts;
  terva::testing::FakeFileDialogs files;
  terva::testing::FakeColourDialog colours;
  std::unique_ptr<ConfigPage> page;

  void build() { page = std::make_unique<ConfigPage>(ConfigPageServices{&editor, &prompts, &files, &colours, dir.path()}); }
  void SetUp() override { build(); }

  template <class T>
  T* find(const char* name) {
    T* w = page->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QTableWidget* grid() { return find<QTableWidget>("StringGrid1"); }
  void tickZone(int zone, bool on) { grid()->item(zone - 1, 0)->setCheckState(on ? Qt::Checked : Qt::Unchecked); }
  // A click on a box of the format list.
  void clickFormat(int row) {
    auto* item = find<QListWidget>("CheckListBox1")->item(row);
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  }
  std::vector<bool> formatTicks() {
    std::vector<bool> out;
    auto* list = find<QListWidget>("CheckListBox1");
    for (int i = 0; i < list->count(); ++i) out.push_back(list->item(i)->checkState() == Qt::Checked);
    return out;
  }
  void writeFile(const QString& name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QString zoneName(int zone) { return grid()->item(zone - 1, 2)->text(); }
  // Runs the bit-string dialog with `text` typed over its field.
  QString bitsShown;  // what the dialog's field held when it opened
  void runBitString(const QString& text, bool apply = true) {
    QTimer::singleShot(0, [&] {
      TForm9* d = page->form9();
      ASSERT_NE(d, nullptr);
      EXPECT_EQ(d->windowTitle(), u8("Зоны прохода"));
      bitsShown = d->field()->text();
      d->field()->setText(text);
      if (apply)
        d->applyButton()->click();
      else
        d->reject();
    });
    find<QToolButton>("SpeedButton4")->click();
  }
};

TEST_F(ConfigPageTest, StartShowsTheModelWithCaptionsNamesAndAccessibleNames) {
  EXPECT_EQ(page->objectName(), "TabSheet2");
  auto* mode = find<QComboBox>("ComboBox4");
  ASSERT_EQ(mode->count(), 4);
  EXPECT_EQ(mode->itemText(3), u8("Защищенный режим: зоны прохода"));
  EXPECT_EQ(mode->currentIndex(), 0);
  EXPECT_EQ(find<QListWidget>("CheckListBox1")->item(3)->text(), u8("ISO14443B - 4 байта"));
  EXPECT_EQ(formatTicks(), (std::vector<bool>{true, true, true, true, true}));
  EXPECT_EQ(find<QSpinBox>("SpinEdit4")->value(), 64);
  EXPECT_EQ(find<QSpinBox>("SpinEdit2")->value(), 1);
  EXPECT_EQ(find<QLineEdit>("Edit2")->text(), "7E41C9A05D3B8F26E1940CB7A25D6F83");
  EXPECT_FALSE(find<QWidget>("Panel12")->isHidden());
  EXPECT_TRUE(find<QWidget>("Panel6")->isHidden());
  EXPECT_TRUE(find<QWidget>("Panel19")->isHidden());
  EXPECT_TRUE(find<QSpinBox>("SpinEdit1")->isHidden());
  EXPECT_TRUE(find<QLabel>("Label11")->isHidden());
  EXPECT_EQ(find<QDoubleSpinBox>("FloatSpinEdit1")->value(), 0.3);
  EXPECT_EQ(find<QComboBox>("ComboBox1")->currentText(), u8("стандартные имена"));
  EXPECT_EQ(zoneName(64), u8("Зона прохода 64"));
  EXPECT_EQ(grid()->item(6, 1)->text(), "7");
  EXPECT_EQ(find<QPushButton>("color1")->text(), u8("изменить"));
  EXPECT_EQ(find<QPushButton>("Button15")->accessibleName(),
            u8("Считать конфигурацию с мастер-карты и записать в USB-считыватель"));
  EXPECT_EQ(find<QToolButton>("SpeedButton3")->toolTip(), u8("снять выбор со всех зон прохода"));
  EXPECT_EQ(page->form9(), nullptr);  // built when first shown

  for (const char* name :
       {"ComboBox4", "CheckListBox1", "CheckBox3", "SpinEdit3", "SpinEdit4", "SpinEdit2", "SpinEdit5", "SpinEdit6",
        "Edit2", "ComboBox1", "SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4", "StringGrid1",
        "FloatSpinEdit1", "ComboBox3", "ComboBox2", "SpinEdit1", "color1", "color2", "color3", "color4", "Button1",
        "Button3", "Button18", "Button2", "Button12", "Button4", "Button5", "Button17", "Button15"}) {
    EXPECT_FALSE(find<QWidget>(name)->accessibleName().isEmpty()) << name;
  }
  EXPECT_EQ(find<QToolButton>("SpeedButton1")->accessibleName(), u8("сохранить имена зон прохода"));
  EXPECT_EQ(find<QSpinBox>("SpinEdit3")->accessibleName(), u8("Битовый сдвиг вправо:"));
}

TEST_F(ConfigPageTest, ModeSwitchShowsItsAreaAndResetsTheFormats) {
  auto* mode = find<QComboBox>("ComboBox4");
  mode->setCurrentIndex(3);
  EXPECT_EQ(editor.config().readingMode, 3);
  EXPECT_FALSE(find<QWidget>("Panel19")->isHidden());
  EXPECT_TRUE(find<QWidget>("Panel12")->isHidden());
  EXPECT_FALSE(find<QCheckBox>("CheckBox3")->isEnabled());
  EXPECT_FALSE(find<QSpinBox>("SpinEdit3")->isEnabled());
  EXPECT_EQ(formatTicks(), (std::vector<bool>{true}));
  mode->setCurrentIndex(2);
  EXPECT_FALSE(find<QWidget>("Panel6")->isHidden());
  EXPECT_TRUE(find<QSpinBox>("SpinEdit3")->isEnabled());

  // Mode 1's pair: exactly one of the two is ticked, whichever is clicked.
  mode->setCurrentIndex(1);
  EXPECT_EQ(formatTicks(), (std::vector<bool>{false, true}));
  clickFormat(1);
  EXPECT_EQ(formatTicks(), (std::vector<bool>{true, false}));
  clickFormat(1);
  EXPECT_EQ(formatTicks(), (std::vector<bool>{false, true}));
  EXPECT_EQ(editor.config().cardFormats, 16);

  // Back to mode 0: all five ticked again.
  mode->setCurrentIndex(0);
  EXPECT_EQ(formatTicks(), (std::vector<bool>{true, true, true, true, true}));
}

TEST_F(ConfigPageTest, FormatWidthsLimitShiftAndBits) {
  auto* shift = find<QSpinBox>("SpinEdit3");
  auto* bits = find<QSpinBox>("SpinEdit4");
  shift->stepUp();  // 64 bits and shift 1 do not fit: the bits step down
  EXPECT_EQ(shift->value(), 1);
  EXPECT_EQ(bits->value(), 63);
  shift->setValue(8);
  // Only the 4-byte formats (rows 0 and 3) stay ticked: the limit is 32.
  clickFormat(1);
  clickFormat(2);
  clickFormat(4);
  EXPECT_EQ(editor.config().cardFormats, 1 | 32);
  EXPECT_EQ(shift->maximum(), 31);
  EXPECT_EQ(bits->maximum(), 32);
  EXPECT_EQ(shift->value(), 0);
  EXPECT_EQ(bits->value(), 32);
  // Unticking the last two ticks the first again.
  clickFormat(0);
  clickFormat(3);
  EXPECT_EQ(formatTicks(), (std::vector<bool>{true, false, false, false, false}));
}

TEST_F(ConfigPageTest, WiegandWidthLabelAndTypedKeys) {
  find<QComboBox>("ComboBox2")->setCurrentIndex(1);
  auto* width = find<QSpinBox>("SpinEdit1");
  auto* label = find<QLabel>("Label11");
  EXPECT_FALSE(width->isHidden());
  width->setValue(26);
  EXPECT_EQ(label->text(), u8("+ CRC = 28 бит"));
  find<QComboBox>("ComboBox3")->setCurrentIndex(1);
  EXPECT_EQ(label->text(), u8("бит"));
  find<QComboBox>("ComboBox2")->setCurrentIndex(0);
  EXPECT_TRUE(width->isHidden());
  EXPECT_TRUE(label->isHidden());
  EXPECT_EQ(editor.config().wiegandWidth, 26);

  // The access-code field takes hex digits only, lower case raised.
  auto* code = find<QLineEdit>("Edit2");
  code->selectAll();
  QTest::keyClick(code, Qt::Key_Backspace);
  QTest::keyClicks(code, "a1g ");
  EXPECT_EQ(code->text(), "A1");
  EXPECT_EQ(editor.config().blockAccessCode, "A1");
}

TEST_F(ConfigPageTest, ColourPanelTakesTheReducedColour) {
  colours.answers = {0x00FFFFFF};
  find<QPushButton>("color1")->click();
  EXPECT_EQ(editor.config().ledIdle, (Colour{248, 252, 248}));
  EXPECT_TRUE(find<QPushButton>("color1")->styleSheet().contains("rgb(248, 252, 248)"));
  EXPECT_TRUE(find<QPushButton>("color1")->styleSheet().contains("color: black"));
  find<QPushButton>("color4")->click();  // cancelled: nothing changes
  EXPECT_EQ(editor.config().ledGreen, (Colour{0, 255, 0}));
}

TEST_F(ConfigPageTest, ChangesFromOutsideAreShown) {
  // A record applied by a workflow (here straight to the editor).
  ASSERT_TRUE(editor.ApplyConfigRecord(ParseConfigItems("020210000303000040060103080232000B10" +
                                                        std::string("8000000000000001") + std::string(16, '0') +
                                                        "040101050100")));
  EXPECT_EQ(find<QComboBox>("ComboBox4")->currentIndex(), 3);
  EXPECT_FALSE(find<QWidget>("Panel19")->isHidden());
  EXPECT_DOUBLE_EQ(find<QDoubleSpinBox>("FloatSpinEdit1")->value(), 5.0);
  EXPECT_EQ(grid()->item(0, 0)->checkState(), Qt::Checked);
  EXPECT_EQ(grid()->item(63, 0)->checkState(), Qt::Checked);
  EXPECT_EQ(grid()->item(1, 0)->checkState(), Qt::Unchecked);
  EXPECT_EQ(find<QComboBox>("ComboBox3")->currentIndex(), 1);
  editor.replace(ReaderConfig{});
  EXPECT_EQ(find<QComboBox>("ComboBox4")->currentIndex(), 0);
}

TEST_F(ConfigPageTest, ZoneTicksToolbarAndBitString) {
  find<QComboBox>("ComboBox4")->setCurrentIndex(3);
  tickZone(5, true);
  EXPECT_EQ(editor.config().zoneMask, 1u << 4);
  find<QToolButton>("SpeedButton2")->click();
  EXPECT_EQ(editor.config().zoneMask, kAllZones);
  EXPECT_EQ(grid()->item(40, 0)->checkState(), Qt::Checked);
  find<QToolButton>("SpeedButton3")->click();
  EXPECT_EQ(editor.config().zoneMask, 0u);

  runBitString("  101 ");
  EXPECT_EQ(editor.config().zoneMask, 0b101u);
  EXPECT_EQ(grid()->item(2, 0)->checkState(), Qt::Checked);
  runBitString("1012");
  // The dialog shows the current ticks, zone 64 first.
  EXPECT_EQ(bitsShown, QString(61, '0') + "101");
  runBitString(QString(65, '1'));
  EXPECT_EQ(prompts.texts(), (QStringList{u8("Неверная строка."), u8("Неверная строка.")}));
  runBitString("1", false);  // closed without "Применить"
  EXPECT_EQ(editor.config().zoneMask, 0b101u);

  // The field's key filter: only 0, 1 and backspace are typed.
  TForm9* d = page->form9();
  d->field()->clear();
  QTest::keyClicks(d->field(), "1a0 21");
  EXPECT_EQ(d->field()->text(), "101");
}

TEST_F(ConfigPageTest, NamesFilesInUtf8And1251AndAGridRoundTrip) {
  // Zone 1..2 named in UTF-8, zones 1..3 in Windows-1251 ("Склад", "Вход", "Цех").
  writeFile("utf.znm", QString::fromUtf8("  Проходная \r\nОфис 2\r\n").toUtf8());
  writeFile("cp.znm", QByteArray("\xD1\xEA\xEB\xE0\xE4\r\n\xC2\xF5\xEE\xE4\r\n\xD6\xE5\xF5\r\n"));
  QDir().mkdir(dir.filePath("folder.znm"));  // folders are not listed
  build();
  auto* sets = find<QComboBox>("ComboBox1");
  QStringList items;
  for (int i = 0; i < sets->count(); ++i) items << sets->itemText(i);
  EXPECT_EQ(items.size(), 3);
  EXPECT_TRUE(items.contains("utf.znm"));
  EXPECT_TRUE(items.contains("cp.znm"));

  emit sets->activated(sets->findText("utf.znm"));
  EXPECT_EQ(zoneName(1), u8("Проходная"));
  EXPECT_EQ(zoneName(2), u8("Офис 2"));
  EXPECT_EQ(zoneName(3), u8("Зона прохода 3"));
  emit sets->activated(sets->findText("cp.znm"));
  EXPECT_EQ(zoneName(1), u8("Склад"));
  EXPECT_EQ(zoneName(3), u8("Цех"));
  EXPECT_EQ(sets->currentText(), "cp.znm");

  // Edit a name in the grid, save it into the settings folder, reload it.
  grid()->item(9, 2)->setText(u8("Серверная"));
  EXPECT_EQ(sets->currentText(), "cp.znm");  // editing does not change the selection
  files.saveAnswers = {dir.filePath("mine.znm").toStdString()};
  find<QToolButton>("SpeedButton1")->click();
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(files.filtersShown.back().pattern, "*.znm");
  EXPECT_EQ(sets->currentText(), "mine.znm");
  QFile saved(dir.filePath("mine.znm"));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll().count("\r\n"), 64);

  emit sets->activated(0);
  EXPECT_EQ(zoneName(1), u8("Зона прохода 1"));
  EXPECT_EQ(zoneName(10), u8("Зона прохода 10"));
  emit sets->activated(sets->findText("mine.znm"));
  EXPECT_EQ(zoneName(1), u8("Склад"));
  EXPECT_EQ(zoneName(10), u8("Серверная"));
  EXPECT_EQ(zoneName(64), u8("Зона прохода 64"));
}

TEST_F(ConfigPageTest, SavingNamesElsewhereAsksFirst) {
  QTemporaryDir other;
  const std::string path = QDir(other.path()).filePath("away.znm").toStdString();
  files.saveAnswers = {path};
  prompts.answers = {false};
  find<QToolButton>("SpeedButton1")->click();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].caption, u8("Предупреждение"));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));

  files.saveAnswers = {path};
  find<QToolButton>("SpeedButton1")->click();  // Yes this time
  EXPECT_TRUE(QFile::exists(QString::fromStdString(path)));
  EXPECT_EQ(find<QComboBox>("ComboBox1")->currentIndex(), 0);  // not listed: saved elsewhere
}

TEST_F(ConfigPageTest, MasterCardButtonsAreAnnouncedOnly) {
  int clicks = 0;
  QObject::connect(page.get(), &ConfigPage::createMasterCardsClicked, [&] { ++clicks; });
  QObject::connect(page.get(), &ConfigPage::copyMasterCardClicked, [&] { clicks += 10; });
  page->createMasterCardsButton()->click();
  find<QPushButton>("Button15")->click();
  EXPECT_EQ(clicks, 11);
  EXPECT_EQ(page->readMasterCardButton()->objectName(), "Button17");
  EXPECT_EQ(page->clearMasterCardsButton()->text(), u8("Очистить мастер-карты"));

  find<QComboBox>("ComboBox4")->setCurrentIndex(1);
  EXPECT_EQ(page->selectedCardFormatRow(), -1);
  find<QListWidget>("CheckListBox1")->setCurrentRow(0);
  EXPECT_EQ(page->selectedCardFormatRow(), 0);
}

}  // namespace

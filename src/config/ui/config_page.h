#pragma once
// The page "Конфигурация": every control of the reader configuration bound
// to the ConfigEditor, the zone area with its names sets, and the column of
// action buttons. The controls only pass the operator's changes to the
// editor and show its configuration again whenever it changes, whoever
// changed it; the rules live in the configuration core. The action buttons
// only announce their clicks: the workflows behind them are wired outside.
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>

#include "config/reader_config.h"
#include "config/zones.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTableWidgetItem;
class QToolButton;

namespace terva {
class ColourDialog;
class FileDialogs;
class Prompts;
}  // namespace terva

namespace terva::config {

class ConfigEditor;
class TForm9;

struct ConfigPageServices {
  ConfigEditor* editor = nullptr;
  Prompts* prompts = nullptr;
  FileDialogs* files = nullptr;
  ColourDialog* colours = nullptr;
  QString settingsFolder;  // where names files are listed and saved
};

class ConfigPage : public QWidget {
  Q_OBJECT
 public:
  explicit ConfigPage(ConfigPageServices services, QWidget* parent = nullptr);
  ~ConfigPage() override;

  // Shows the editor's configuration in the controls. Runs by itself after
  // every change of the editor's configuration.
  void refresh();

  // The row selected (not ticked) in the card-format list, -1 when none.
  int selectedCardFormatRow() const;
  ZoneNamesModel& zoneNames() { return names_; }
  // The bit-string dialog, once it has been shown (built on first use).
  TForm9* form9() const { return form9_; }

  // The master-card buttons hosted here: Button4, Button5, Button17, Button15.
  QPushButton* createMasterCardsButton() const { return Button4; }
  QPushButton* clearMasterCardsButton() const { return Button5; }
  QPushButton* readMasterCardButton() const { return Button17; }
  QPushButton* copyMasterCardButton() const { return Button15; }

 signals:
  void readFromFileClicked();      // Button1 "Считать конфигурацию из файла"
  void writeToFileClicked();       // Button3 "Записать конфигурацию в файл"
  void readFromReaderClicked();    // Button18 "Считать конфигурацию из USB-считывателя"
  void writeToReaderClicked();     // Button2 "Записать конфигурацию в USB-считыватель"
  void firmwareVersionClicked();   // Button12 "Получить версию микропрограммы считывателя"
  void createMasterCardsClicked(); // Button4 "Создать мастер-карты"
  void clearMasterCardsClicked();  // Button5 "Очистить мастер-карты"
  void readMasterCardClicked();    // Button17 "Считать конфигурацию с мастер-карты"
  void copyMasterCardClicked();    // Button15 "Считать конфигурацию с мастер-карты и записать в USB-считыватель"

 private:
  void buildGeneralGroup(QWidget* host);
  void buildBlockPanel();
  void buildZonePanel();
  void buildWallReadersGroup(QWidget* host);
  void buildButtonColumn(QWidget* host);
  void connectControls();

  void refreshFormatList();
  void refreshZoneTicks();
  void refreshZoneNames();
  void refreshNamesSelector();
  void showColour(QPushButton* panel, Colour c);

  // Handlers (the rules are the editor's).
  void CheckListBox1ClickCheck(QListWidgetItem* item);
  void Edit2Edited(const QString& text);
  void color1Click(Led which);
  void StringGrid1Changed(QTableWidgetItem* item);
  void ComboBox1Change(int index);
  void SpeedButton1Click();
  void SpeedButton4Click();

  ConfigPageServices services_;
  ConfigEditor& editor_;
  ZoneNamesModel names_;
  int listener_ = 0;
  bool refreshing_ = false;  // controls being set from the editor: their signals are ignored
  TForm9* form9_ = nullptr;

  QGroupBox* GroupBox1 = nullptr;
  QComboBox* ComboBox4 = nullptr;
  QListWidget* CheckListBox1 = nullptr;
  QCheckBox* CheckBox3 = nullptr;
  QSpinBox* SpinEdit3 = nullptr;
  QSpinBox* SpinEdit4 = nullptr;

  QWidget* Panel6 = nullptr;
  QSpinBox* SpinEdit2 = nullptr;
  QSpinBox* SpinEdit5 = nullptr;
  QSpinBox* SpinEdit6 = nullptr;
  QLineEdit* Edit2 = nullptr;

  QWidget* Panel19 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QToolButton* SpeedButton2 = nullptr;
  QToolButton* SpeedButton3 = nullptr;
  QToolButton* SpeedButton4 = nullptr;
  QTableWidget* StringGrid1 = nullptr;
  QDoubleSpinBox* FloatSpinEdit1 = nullptr;

  QWidget* Panel12 = nullptr;

  QGroupBox* GroupBox2 = nullptr;
  QComboBox* ComboBox3 = nullptr;
  QComboBox* ComboBox2 = nullptr;
  QSpinBox* SpinEdit1 = nullptr;
  QLabel* Label11 = nullptr;
  QPushButton* color1 = nullptr;
  QPushButton* color2 = nullptr;
  QPushButton* color3 = nullptr;
  QPushButton* color4 = nullptr;

  QPushButton* Button1 = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* Button18 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Button12 = nullptr;
  QPushButton* Button4 = nullptr;
  QPushButton* Button5 = nullptr;
  QPushButton* Button17 = nullptr;
  QPushButton* Button15 = nullptr;
};

}  // namespace terva::config

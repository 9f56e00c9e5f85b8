#pragma once
// The zone bit-string dialog "Зоны прохода": one field that takes only "0",
// "1" and backspace, and "Применить", which closes it with acceptance.
#include <QDialog>

#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace terva::config {

class TForm9 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm9(QWidget* parent = nullptr);

  // Puts `bits` into the field and shows the dialog modally: the field's
  // text when closed with "Применить", nothing when closed any other way.
  std::optional<std::string> run(const std::string& bits);

  QLineEdit* field() const { return Edit1; }
  QPushButton* applyButton() const { return Button1; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLabel* Label1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QPushButton* Button1 = nullptr;
};

}  // namespace terva::config

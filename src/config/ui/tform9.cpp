#include "config/ui/tform9.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/editor_texts.h"
#include "config/zones.h"

namespace terva::config {

namespace {
QString u8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

TForm9::TForm9(QWidget* parent) : QDialog(parent) {
  setObjectName("TForm9");
  setWindowTitle(u8(texts::kForm9Title));
  setModal(true);
  auto* v = new QVBoxLayout(this);
  Label1 = new QLabel(u8(texts::kForm9Label));
  Label1->setObjectName("Label1");
  Edit1 = new QLineEdit;
  Edit1->setObjectName("Edit1");
  Edit1->setAlignment(Qt::AlignRight);
  Edit1->setAccessibleName(Label1->text());
  Edit1->installEventFilter(this);
  Label1->setBuddy(Edit1);
  Button1 = new QPushButton(u8(texts::kForm9Apply));
  Button1->setObjectName("Button1");
  Button1->setAccessibleName(Button1->text());
  Button1->setDefault(true);
  v->addWidget(Label1);
  v->addWidget(Edit1);
  v->addWidget(Button1, 0, Qt::AlignRight);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  resize(420, sizeHint().height());
}

std::optional<std::string> TForm9::run(const std::string& bits) {
  Edit1->setText(QString::fromStdString(bits));
  Edit1->setFocus();
  if (exec() != QDialog::Accepted) return std::nullopt;
  return Edit1->text().toStdString();
}

bool TForm9::eventFilter(QObject* watched, QEvent* event) {
  // Edit1KeyPress: of the keys that type a character only "0", "1" and
  // backspace reach the field; keys without text (arrows, Delete) move as usual.
  if (watched == Edit1 && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Backspace) return false;
    const QString text = key->text();
    if (text.isEmpty()) return false;
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) return false;  // the default button
    return !Edit1KeyPress(text.toUcs4().value(0));
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace terva::config

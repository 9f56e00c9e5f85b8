#include "ident/ui/tform7.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace terva::app {

namespace {
constexpr int kMaxTypedSample = 16;
QString u8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }
}  // namespace

TForm7::TForm7(QWidget* parent) : QDialog(parent) {
  setObjectName("Form7");
  setWindowTitle(u8("Редактор шаблона"));
  auto* v = new QVBoxLayout(this);

  auto* label1 = new QLabel(u8("Введите исходное число (HEX):"));
  label1->setObjectName("Label1");
  v->addWidget(label1);
  Edit1 = new QLineEdit;
  Edit1->setObjectName("Edit1");
  Edit1->setAlignment(Qt::AlignRight);
  Edit1->installEventFilter(this);
  v->addWidget(Edit1);

  auto* label2 = new QLabel(u8("Тетрады (полубайты) и байты:"));
  label2->setObjectName("Label2");
  v->addWidget(label2);
  auto* grid = new QGridLayout;
  const auto& names = ident::TemplateEditorModel::nibbleNames();
  for (int i = 0; i < 16; ++i) {
    auto* f = new QLineEdit("0");
    f->setObjectName(u8(names[i]));
    f->setReadOnly(true);
    f->setAlignment(Qt::AlignCenter);
    f->setMaximumWidth(28);
    nibbleFields_[i] = f;
    grid->addWidget(f, 0, i);
    auto* name = new QLabel(u8(names[i]));
    name->setAlignment(Qt::AlignCenter);
    grid->addWidget(name, 1, i);
  }
  for (int b = 0; b < 8; ++b) {
    // Byte captions b8 … b1 under each pair of nibble fields.
    auto* l = new QLabel(QStringLiteral("b%1").arg(8 - b));
    l->setObjectName(QStringLiteral("Label%1").arg(21 + b));
    l->setAlignment(Qt::AlignCenter);
    l->setStyleSheet("border-top: 1px solid gray;");
    grid->addWidget(l, 2, 2 * b, 1, 2);
  }
  v->addLayout(grid);

  auto* label3 = new QLabel(u8("Шаблон:"));
  label3->setObjectName("Label3");
  v->addWidget(label3);
  Edit2 = new QLineEdit(u8(ident::TemplateEditorModel::kDefaultTemplate));
  Edit2->setObjectName("Edit2");
  Edit2->installEventFilter(this);
  v->addWidget(Edit2);
  Button1 = new QPushButton(u8("Применить шаблон"));
  Button1->setObjectName("Button1");
  v->addWidget(Button1);
  auto* label4 = new QLabel(u8("Результат:"));
  label4->setObjectName("Label4");
  v->addWidget(label4);
  Edit3 = new QLineEdit;
  Edit3->setObjectName("Edit3");
  Edit3->setReadOnly(true);
  v->addWidget(Edit3);
  Button2 = new QPushButton(u8("Использовать шаблон"));
  Button2->setObjectName("Button2");
  Button2->setEnabled(false);
  v->addWidget(Button2);
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  connect(Edit1, &QLineEdit::textChanged, this, [this] { sampleChanged(); });
  connect(Edit2, &QLineEdit::textChanged, this, [this] { templateChanged(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

void TForm7::prepare(const std::string& sample) {
  Edit1->setText(QString::fromLatin1(sample));
  model_.shown();
  Edit3->clear();
  syncUseButton();
}

void TForm7::openWithSample(const std::string& sample) {
  prepare(sample);
  exec();
}

bool TForm7::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || (watched != Edit1 && watched != Edit2)) {
    return QDialog::eventFilter(watched, event);
  }
  auto* key = static_cast<QKeyEvent*>(event);
  const QString text = key->text();
  if (text.isEmpty()) return false;  // navigation keys, Delete and the like
  const char32_t c = text.toStdU32String().front();
  if (watched == Edit2) return !ident::TemplateEditorModel::filterTemplateKey(c).has_value();

  const auto accepted = ident::TemplateEditorModel::filterSampleKey(c);
  if (!accepted) return true;
  if (*accepted == ident::TemplateEditorModel::kBackspace) return false;
  if (Edit1->text().size() >= kMaxTypedSample && !Edit1->hasSelectedText()) return true;
  Edit1->insert(QString(QChar(static_cast<char16_t>(*accepted))));
  return true;
}

void TForm7::sampleChanged() {
  model_.setSample(Edit1->text().toLatin1().toStdString());  // one character a byte, as set
  const auto& values = model_.nibbles();
  for (int i = 0; i < 16; ++i) nibbleFields_[i]->setText(QString(QChar::fromLatin1(values[i])));
}

void TForm7::templateChanged() {
  if (model_.setTemplate(Edit2->text().toStdString())) {
    Edit2->clear();  // pasted text outside ASCII empties the template
  }
  syncUseButton();
}

void TForm7::Button1Click() {
  const auto result = model_.apply();
  Edit3->setText(QString::fromUtf8(result.text));  // identifier bytes come back as characters
  syncUseButton();
}

void TForm7::Button2Click() {
  if (const auto tmpl = model_.use()) {
    if (onUseTemplate) onUseTemplate(*tmpl);
    accept();
  }
}

void TForm7::syncUseButton() { Button2->setEnabled(model_.useEnabled()); }

}  // namespace terva::app

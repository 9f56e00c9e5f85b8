#include "ident/ui/tform7.h"

#include <QGridLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>
#include <QCoreApplication>

namespace terva::app {

namespace {
QString u8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }
}  // namespace

// Applies the sample field's rules to every change of its text, however the
// text came in (typing, pasting, input methods, drag and drop). A sample set
// by the program is taken as it is (adopt()).
class SampleValidator : public QValidator {
 public:
  explicit SampleValidator(QObject* parent) : QValidator(parent) {}
  void adopt(const QString& text) { accepted_ = text; }
  State validate(QString& input, int& pos) const override {
    const auto edited = ident::TemplateEditorModel::filterSampleChange(
        accepted_.toStdU32String(), input.toStdU32String(), static_cast<std::size_t>(pos < 0 ? 0 : pos));
    input = QString::fromStdU32String(edited.text);
    pos = static_cast<int>(edited.cursor);
    accepted_ = input;
    return Acceptable;
  }

 private:
  mutable QString accepted_;
};

TForm7::TForm7(QWidget* parent) : QDialog(parent) {
  setObjectName("Form7");
  setWindowTitle(u8("Редактор шаблона"));
  auto* v = new QVBoxLayout(this);

  auto* label1 = new QLabel(u8("Введите исходное число (HEX):"));
  label1->setObjectName("Label1");
  v->addWidget(label1);
  Edit1 = new QLineEdit;
  Edit1->setObjectName("Edit1");
  Edit1->setAccessibleName(label1->text());
  label1->setBuddy(Edit1);
  Edit1->setAlignment(Qt::AlignRight);
  Edit1->installEventFilter(this);
  sampleValidator_ = new SampleValidator(Edit1);
  Edit1->setValidator(sampleValidator_);
  v->addWidget(Edit1);

  auto* label2 = new QLabel(u8("Тетрады (полубайты) и байты:"));
  label2->setObjectName("Label2");
  v->addWidget(label2);
  auto* grid = new QGridLayout;
  const auto& names = ident::TemplateEditorModel::nibbleNames();
  for (int i = 0; i < 16; ++i) {
    auto* f = new QLineEdit("0");
    f->setObjectName(u8(names[i]));
    f->setAccessibleName(u8(names[i]));
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
  Edit2->setAccessibleName(label3->text());
  label3->setBuddy(Edit2);
  Edit2->installEventFilter(this);
  v->addWidget(Edit2);
  Button1 = new QPushButton(u8("Применить шаблон"));
  Button1->setObjectName("Button1");
  Button1->setAccessibleName(Button1->text());
  v->addWidget(Button1);
  auto* label4 = new QLabel(u8("Результат:"));
  label4->setObjectName("Label4");
  v->addWidget(label4);
  Edit3 = new QLineEdit;
  Edit3->setObjectName("Edit3");
  Edit3->setAccessibleName(label4->text());
  label4->setBuddy(Edit3);
  Edit3->setReadOnly(true);
  v->addWidget(Edit3);
  Button2 = new QPushButton(u8("Использовать шаблон"));
  Button2->setObjectName("Button2");
  Button2->setAccessibleName(Button2->text());
  Button2->setEnabled(false);
  v->addWidget(Button2);
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  connect(Edit1, &QLineEdit::textChanged, this, [this] { sampleChanged(); });
  connect(Edit2, &QLineEdit::textChanged, this, [this] { templateChanged(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

void TForm7::prepare(const std::string& sample) {
  // The program's sample is taken as it is, longer than 16 or not.
  const QString text = QString::fromLatin1(sample);
  sampleValidator_->adopt(text);
  Edit1->setValidator(nullptr);
  Edit1->setText(text);
  Edit1->setValidator(sampleValidator_);
  Edit2->setCursorPosition(0);  // the template shows from its start
  model_.shown();
  adopted_.reset();
  Edit3->clear();
  syncUseButton();
}

int TForm7::runModal() {
  if (!modalScript) return exec();
  modalScript(*this);
  return result();
}

std::optional<std::string> TForm7::chooseTemplate(const std::string& sample) {
  prepare(sample);
  setResult(QDialog::Rejected);
  runModal();
  return adopted_;
}

void TForm7::openWithSample(const std::string& sample) { chooseTemplate(sample); }

bool TForm7::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Edit2 && event->type() == QEvent::InputMethod) return filterTemplateInput(event);
  if (event->type() != QEvent::KeyPress || (watched != Edit1 && watched != Edit2)) {
    return QDialog::eventFilter(watched, event);
  }
  auto* key = static_cast<QKeyEvent*>(event);
  // Shortcuts (Ctrl+A, Ctrl+C, Ctrl+V …) and keys that insert no character
  // (Delete arrives as U+007F, Tab, Escape, Backspace) work as in any dialog.
  if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  const QString text = key->text();
  if (text.isEmpty() || text.front().unicode() < 0x20 || text.front().unicode() == 0x7F) {
    // Enter in the sample field is a discarded character, not "apply".
    return watched == Edit1 && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter);
  }
  if (watched == Edit1) return false;  // the validator maps and drops
  const std::u32string typed = text.toStdU32String();
  return ident::TemplateEditorModel::filterTemplateTyped(typed) != typed;
}

// An input method's commit into the template is typing: the characters the
// key filter discards are dropped from it, the rest goes in.
bool TForm7::filterTemplateInput(QEvent* event) {
  auto* im = static_cast<QInputMethodEvent*>(event);
  const std::u32string commit = im->commitString().toStdU32String();
  const std::u32string kept = ident::TemplateEditorModel::filterTemplateTyped(commit);
  if (kept == commit) return false;
  QInputMethodEvent filtered(im->preeditString(), im->attributes());
  filtered.setCommitString(QString::fromStdU32String(kept), im->replacementStart(), im->replacementLength());
  QCoreApplication::sendEvent(Edit2, &filtered);
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
    adopted_ = *tmpl;
    if (onUseTemplate) onUseTemplate(*tmpl);
    accept();
  }
}

void TForm7::syncUseButton() { Button2->setEnabled(model_.useEnabled()); }

}  // namespace terva::app

#include "cards/ui/protected_cards_page.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "cards/ui/card_workflows.h"

namespace terva::cards {

namespace {
QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QPushButton* makeButton(const char* name, std::string_view caption) {
  auto* b = new QPushButton(qs(caption));
  b->setObjectName(name);
  b->setAccessibleName(b->text());
  b->setMinimumHeight(36);
  return b;
}
}  // namespace

ProtectedCardsPage::ProtectedCardsPage(ProtectedCardWorkflows& workflows, QWidget* parent) : QWidget(parent) {
  setObjectName("TabSheet3");
  setAccessibleName(qs(texts::kProtectedTitle));
  auto* v = new QVBoxLayout(this);
  Label17 = new QLabel(qs(texts::kProtectedHeading));
  Label17->setObjectName("Label17");
  Label17->setAccessibleName(Label17->text());
  Label17->setAlignment(Qt::AlignCenter);
  Label17->setWordWrap(true);
  QFont f = Label17->font();
  f.setBold(true);
  Label17->setFont(f);
  v->addWidget(Label17);
  Button13 = makeButton("Button13", texts::kButton13);
  Button14 = makeButton("Button14", texts::kButton14);
  Button16 = makeButton("Button16", texts::kButton16);
  for (QPushButton* b : {Button13, Button14, Button16}) v->addWidget(b);
  v->addStretch();
  connect(Button13, &QPushButton::clicked, this, [&workflows] { workflows.createProtectedCards(); });
  connect(Button14, &QPushButton::clicked, this, [&workflows] { workflows.clearProtectedCards(); });
  connect(Button16, &QPushButton::clicked, this, [&workflows] { workflows.clearAllProtectedCards(); });
}

}  // namespace terva::cards

#include "ident/ui/identifier_label.h"

#include <QEvent>
#include <QFontMetrics>

namespace terva::app {

IdentifierLabel::IdentifierLabel(QWidget* parent) : QLabel(parent) {
  setObjectName("Label32");
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignCenter);
  setTextInteractionFlags(Qt::TextSelectableByMouse);
  setWordWrap(false);
  QFont big = font();
  big.setPointSize(kBasePointSize);
  big.setBold(true);
  setFont(big);
  setMinimumHeight(90);
  setIdentifier(QStringLiteral("0"));
}

void IdentifierLabel::setIdentifier(const QString& text) {
  full_ = text;
  fit();
}

QSize IdentifierLabel::sizeHint() const { return {0, QLabel::sizeHint().height()}; }
QSize IdentifierLabel::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

void IdentifierLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  fit();
}

void IdentifierLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange && !fitting_) fit();
}

void IdentifierLabel::fit() {
  if (fitting_) return;
  fitting_ = true;
  const int width = contentsRect().width() - 2 * margin() - 2;
  QFont f = font();
  int size = kBasePointSize;
  f.setPointSize(size);
  // Plain text: line breaks and tabs would show as boxes or nothing; show blanks.
  QString shown = full_;
  for (QChar& c : shown) {
    if (c.unicode() < 0x20) c = QLatin1Char(' ');
  }
  while (size > kMinPointSize && QFontMetrics(f).horizontalAdvance(shown) > width) {
    f.setPointSize(--size);
  }
  const QFontMetrics metrics(f);
  const bool elided = metrics.horizontalAdvance(shown) > width;
  if (elided) shown = metrics.elidedText(shown, Qt::ElideMiddle, width);
  setFont(f);
  setText(shown);
  setToolTip(elided ? full_ : QString());
  fitting_ = false;
}

}  // namespace terva::app

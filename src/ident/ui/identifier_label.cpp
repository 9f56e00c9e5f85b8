#include "ident/ui/identifier_label.h"

#include <QEvent>
#include <QFontMetrics>

#include <algorithm>
#include <utility>

namespace terva::app {

IdentifierLabel::IdentifierLabel(QWidget* parent) : QLabel(parent) {
  setObjectName("Label32");
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignCenter);
  setWordWrap(false);
  // Safe areas exist only on phones; without them, finding the contents
  // rectangle, which every new text does twice, skips asking the window.
  setAttribute(Qt::WA_ContentsMarginsRespectsSafeArea, false);
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
  if (event->type() == QEvent::FontChange && !fitting_) {
    asciiAdvance_.clear();  // another font: widths measured afresh
    fittedWidth_ = -1;
    fit();
  }
}

void IdentifierLabel::fit() {
  if (fitting_) return;
  const int width = contentsRect().width() - 2 * margin() - 2;
  if (width == fittedWidth_ && full_ == fittedText_) return;  // the same card again
  if (width <= 0 || !testAttribute(Qt::WA_Resized)) {
    // Not laid out yet: the first resize fits the text, whatever its width.
    setText(full_);
    return;
  }
  fitting_ = true;
  fittedText_ = full_;
  fittedWidth_ = width;
  // Selectable from the first layout on: the text control behind selection
  // measures text as soon as it exists, and nothing should before the window
  // is laid out (the fonts may still be loading).
  if (textInteractionFlags() != Qt::TextSelectableByMouse) setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Plain text: line breaks and tabs would show as boxes or nothing; show
  // blanks. Copied only when there are any.
  QString shown = full_;
  if (std::any_of(full_.cbegin(), full_.cend(), [](QChar c) { return c.unicode() < 0x20; })) {
    for (QChar& c : shown) {
      if (c.unicode() < 0x20) c = QLatin1Char(' ');
    }
  }
  // Cards come in bursts: measure each text once at the large size and step
  // down only when it does not fit; touch the font and tooltip only on change.
  QFont f = font();
  int size = kBasePointSize;
  f.setPointSize(size);
  if (asciiAdvance_.empty()) asciiAdvance_.assign(128, -1);
  // Most identifiers are short ASCII: the sum of the characters' own widths,
  // with a little room for kerning, shows they fit without shaping the text.
  int advance = 0;
  for (const QChar c : std::as_const(shown)) {
    if (c.unicode() >= 128) {
      advance = -1;
      break;
    }
    int& w = asciiAdvance_[c.unicode()];
    if (w < 0) w = QFontMetrics(f).horizontalAdvance(c);
    advance += w;
  }
  if (advance < 0 || advance > width - 8) advance = QFontMetrics(f).horizontalAdvance(shown);
  if (advance > width && width > 0) {
    // Widths scale nearly with the point size: start from the estimate, then check.
    size = std::clamp(static_cast<int>(static_cast<long long>(kBasePointSize) * width / advance), kMinPointSize,
                      kBasePointSize);
    f.setPointSize(size);
    advance = QFontMetrics(f).horizontalAdvance(shown);
    while (size > kMinPointSize && advance > width) {
      f.setPointSize(--size);
      advance = QFontMetrics(f).horizontalAdvance(shown);
    }
    // The largest size that fits: one step up when the estimate was low.
    while (size < kBasePointSize && advance <= width) {
      QFont larger = f;
      larger.setPointSize(size + 1);
      const int a = QFontMetrics(larger).horizontalAdvance(shown);
      if (a > width) break;
      f = larger;
      ++size;
      advance = a;
    }
  }
  const bool elided = advance > width;
  if (elided) shown = QFontMetrics(f).elidedText(shown, Qt::ElideMiddle, width);
  if (font().pointSize() != size) setFont(f);
  setText(shown);
  const QString tip = elided ? full_ : QString();
  if (toolTip() != tip) setToolTip(tip);
  fitting_ = false;
}

IdentifierBox::IdentifierBox(IdentifierLabel* label, QWidget* parent) : QWidget(parent), label_(label) {
  label_->setParent(this);
  setSizePolicy(label_->sizePolicy());
}

QSize IdentifierBox::sizeHint() const {
  if (!hintsTaken_) takeLabelHints();
  return hint_;
}

QSize IdentifierBox::minimumSizeHint() const {
  if (!hintsTaken_) takeLabelHints();
  return minimumHint_;
}

void IdentifierBox::takeLabelHints() const {
  hintsTaken_ = true;
  hint_ = label_->sizeHint();
  // The label's own minimum (its height) counts as it would in a layout.
  minimumHint_ = label_->minimumSizeHint().expandedTo(label_->minimumSize());
}

bool IdentifierBox::event(QEvent* event) {
  // The label may have changed its geometry (it tells only while shown):
  // pass it on only if it did.
  if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show) {
    const bool taken = hintsTaken_;
    const QSize hint = hint_, minimumHint = minimumHint_;
    takeLabelHints();
    if (taken && (hint_ != hint || minimumHint_ != minimumHint)) updateGeometry();
    if (event->type() == QEvent::LayoutRequest) return true;
  }
  return QWidget::event(event);
}

void IdentifierBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  label_->setGeometry(rect());
}

}  // namespace terva::app

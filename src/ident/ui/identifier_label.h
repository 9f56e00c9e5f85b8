#pragma once
// The identifier on the reading page: large, centred, always plain text.
// A long identifier steps the font down until it fits the label's width,
// to no less than a readable size; what still does not fit is elided in the
// middle, with the whole text in the tooltip.
#include <QLabel>
#include <QSize>
#include <QString>

#include <vector>

namespace terva::app {

class IdentifierLabel : public QLabel {
  Q_OBJECT
 public:
  static constexpr int kBasePointSize = 28;
  static constexpr int kMinPointSize = 9;

  // Object name "Label32", text "0".
  explicit IdentifierLabel(QWidget* parent = nullptr);

  // The identifier's whole text (as rendered; never read as rich text).
  void setIdentifier(const QString& text);
  const QString& identifier() const { return full_; }

  // The label never asks for the width of its text: the page's minimum
  // width holds however long the identifier is.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void fit();

  QString full_;
  bool fitting_ = false;
  // What the last fit was for: the same text at the same width fits the same.
  QString fittedText_;
  int fittedWidth_ = -1;
  std::vector<int> asciiAdvance_;  // widths of the ASCII characters at the large size
};

// Holds the identifier label in a page's layout. QLabel announces a change of
// geometry with every new text; passed up through the layouts, that reaches
// the tab widget, which repaints the whole page for it. The label's size
// hints follow its font alone, so the box passes an announcement on only
// when they really changed, and the label's own repaint stays its own.
class IdentifierBox : public QWidget {
  Q_OBJECT
 public:
  // Takes the label as its only child.
  explicit IdentifierBox(IdentifierLabel* label, QWidget* parent = nullptr);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Taken when first asked for (the label measures its text), then on the
  // label's layout requests.
  void takeLabelHints() const;

  IdentifierLabel* label_;
  mutable bool hintsTaken_ = false;
  mutable QSize hint_;
  mutable QSize minimumHint_;
};

}  // namespace terva::app

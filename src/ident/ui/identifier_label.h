#pragma once
// The identifier on the reading page: large, centred, always plain text.
// A long identifier steps the font down until it fits the label's width,
// to no less than a readable size; what still does not fit is elided in the
// middle, with the whole text in the tooltip.
#include <QLabel>
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
  std::vector<int> asciiAdvance_;  // widths of the ASCII characters at the large size
};

}  // namespace terva::app

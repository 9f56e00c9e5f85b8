// The identifier label: plain text always, long identifiers fitted to the page.
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include "ident/ui/identifier_label.h"

using terva::app::IdentifierBox;
using terva::app::IdentifierLabel;

namespace {

// The label at the width it has in the smallest main window.
struct LabelTest : ::testing::Test {
  QWidget page;
  IdentifierLabel* label = new IdentifierLabel;
  LabelTest() {
    auto* layout = new QHBoxLayout(&page);
    layout->addWidget(label);
    page.resize(900, 200);
    page.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&page));
  }
  bool wholeTextVisible() const {
    return QFontMetrics(label->font()).horizontalAdvance(label->text()) <= label->contentsRect().width();
  }
};

TEST_F(LabelTest, ShowsTextLiterally) {
  EXPECT_EQ(label->objectName(), "Label32");
  EXPECT_EQ(label->text(), "0");
  label->setIdentifier("<b>b1</b> x");
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
  EXPECT_EQ(label->text(), "<b>b1</b> x");
  EXPECT_EQ(label->font().pointSize(), IdentifierLabel::kBasePointSize);
}

TEST_F(LabelTest, LongIdentifiersFitUpTo64Characters) {
  for (const QString& text : {QString(20, 'W'), QString(40, QChar(0x0416)), QString(64, 'W'), QString(64, '0')}) {
    SCOPED_TRACE(text.toStdString());
    label->setIdentifier(text);
    EXPECT_EQ(label->text(), text);
    EXPECT_TRUE(wholeTextVisible());
    EXPECT_GE(label->font().pointSize(), IdentifierLabel::kMinPointSize);
    EXPECT_EQ(label->toolTip(), "");
  }
  label->setIdentifier("1715004");  // a short one gets the large font back
  EXPECT_EQ(label->font().pointSize(), IdentifierLabel::kBasePointSize);
}

TEST_F(LabelTest, BeyondThatElidedInTheMiddleWithTheWholeTextInTheTooltip) {
  const QString text = "BEGIN" + QString(300, 'W') + "END";
  label->setIdentifier(text);
  EXPECT_EQ(label->font().pointSize(), IdentifierLabel::kMinPointSize);
  EXPECT_TRUE(label->text().startsWith("BEGIN"));
  EXPECT_TRUE(label->text().endsWith("END"));
  EXPECT_TRUE(label->text().contains(QChar(0x2026)));
  EXPECT_TRUE(wholeTextVisible());
  EXPECT_EQ(label->toolTip(), text);
  EXPECT_EQ(label->identifier(), text);
  // The page's minimum width does not grow with the text.
  EXPECT_LT(page.minimumSizeHint().width(), 900);
}

// Layout requests travel up one widget a pass of the event loop.
void settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// Counts the layout requests a widget receives.
struct LayoutRequests : QObject {
  int count = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::LayoutRequest) ++count;
    return false;
  }
};

// In its box, a new identifier does not re-lay the page out (which would
// repaint all of it); a change of the label's height still does.
TEST(IdentifierBoxTest, OnlyRealGeometryChangesReachThePage) {
  QWidget page;
  auto* layout = new QVBoxLayout(&page);
  auto* label = new IdentifierLabel;
  auto* box = new IdentifierBox(label);
  layout->addWidget(box, 1);
  page.resize(900, 300);
  page.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
  settle();
  EXPECT_EQ(label->geometry(), box->rect());
  EXPECT_EQ(box->sizeHint(), label->sizeHint());
  EXPECT_GE(box->minimumSizeHint().height(), 90);

  LayoutRequests requests;
  page.installEventFilter(&requests);
  for (const char* id : {"1715004", "1715005", "255"}) label->setIdentifier(id);
  settle();
  EXPECT_EQ(requests.count, 0);
  EXPECT_EQ(label->text(), "255");

  // Without its minimum height, the label's height follows its font: the
  // smallest font, for a very long identifier, makes it lower.
  label->setMinimumHeight(0);
  settle();
  requests.count = 0;
  const int high = box->sizeHint().height();
  label->setIdentifier(QString(300, 'W'));
  settle();
  EXPECT_LT(box->sizeHint().height(), high);
  EXPECT_GT(requests.count, 0);
  EXPECT_EQ(box->sizeHint(), label->sizeHint());
  EXPECT_EQ(label->geometry(), box->rect());
}

}  // namespace

namespace {

// Laid out at the very width it had before any layout (a widget's default
// size), the label still fits its text and becomes selectable.
TEST(IdentifierLabelAlone, FirstLayoutAtTheDefaultWidthStillFits) {
  IdentifierLabel label;
  label.setIdentifier("1715004");
  label.resize(label.size());
  label.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&label));
  EXPECT_TRUE(label.textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
  EXPECT_EQ(label.text(), "1715004");
}

}  // namespace

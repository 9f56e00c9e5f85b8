#include "app/ui/font_preload.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>

namespace terva::app {
namespace {

// The toolkit's fonts may already be loaded here: the preload must then be a
// harmless no-op, whether finished by hand, twice, or by its destructor.
TEST(FontPreload, CaptionsMeasureWhetherFinishedByHandTwiceOrByTheDestructor) {
  {
    FontPreload preload;
    preload.finish();
    preload.finish();
  }
  { FontPreload unfinished; }
  EXPECT_GT(QFontMetrics(QFont()).horizontalAdvance(QString::fromUtf8("Чтение")), 0);
}

}  // namespace
}  // namespace terva::app

#include "app/ui/app_icon.h"

#include "app/ui/lazy_icon.h"

namespace terva::app {

QIcon programIcon() {
  return lazyIcon([] {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
      icon.addFile(QStringLiteral(":/icons/hicolor/%1x%1/apps/terva-rfid.png").arg(size), QSize(size, size));
    }
    return icon;
  });
}

}  // namespace terva::app

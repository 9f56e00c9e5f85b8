#pragma once
// The program's own icon (window, tray), from the compiled-in images.
#include <QIcon>

namespace terva::app {

QIcon programIcon();

}  // namespace terva::app

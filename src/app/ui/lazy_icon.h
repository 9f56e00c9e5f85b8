#pragma once
// An icon whose images are made only when it is first drawn or asked about:
// decoding images costs start-up time, and many icons (the window's on a
// platform without window icons, a button's on a page never opened) are never
// drawn at all.
#include <QIcon>

#include <functional>

namespace terva::app {

// make must give an icon with images; it runs at most once, on the thread
// that first draws or asks about the icon.
QIcon lazyIcon(std::function<QIcon()> make);

}  // namespace terva::app

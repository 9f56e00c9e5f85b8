#include "app/ui/lazy_page.h"

#include <QVBoxLayout>

namespace terva::app {

LazyPage::LazyPage(std::function<QWidget*()> build, QWidget* parent) : QWidget(parent), build_(std::move(build)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
}

QWidget* LazyPage::contents() {
  if (contents_) return contents_;
  contents_ = build_();
  build_ = nullptr;
  layout()->addWidget(contents_);
  // Built while this page shows: the new child is not shown by itself.
  if (isVisible()) contents_->show();
  return contents_;
}

void LazyPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  contents();
}

}  // namespace terva::app

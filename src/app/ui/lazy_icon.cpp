#include "app/ui/lazy_icon.h"

#include <QIconEngine>
#include <QPainter>

#include <memory>
#include <optional>

namespace terva::app {

namespace {

// Copies of a lazy icon share the one made icon.
struct Made {
  std::function<QIcon()> make;
  std::optional<QIcon> icon;

  QIcon& get() {
    if (!icon) {
      icon = make();
      make = nullptr;
    }
    return *icon;
  }
};

class LazyIconEngine : public QIconEngine {
 public:
  explicit LazyIconEngine(std::shared_ptr<Made> made) : made_(std::move(made)) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    made_->get().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return made_->get().pixmap(size, mode, state);
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
    return made_->get().pixmap(size, scale, mode, state);
  }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return made_->get().actualSize(size, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return made_->get().availableSizes(mode, state);
  }
  QString iconName() override { return made_->get().name(); }
  // Asking does not make the images: a lazy icon always has some.
  bool isNull() override { return false; }
  QString key() const override { return QStringLiteral("terva-lazy"); }
  QIconEngine* clone() const override { return new LazyIconEngine(made_); }

 private:
  std::shared_ptr<Made> made_;
};

}  // namespace

QIcon lazyIcon(std::function<QIcon()> make) {
  auto made = std::make_shared<Made>();
  made->make = std::move(make);
  return QIcon(new LazyIconEngine(std::move(made)));
}

}  // namespace terva::app

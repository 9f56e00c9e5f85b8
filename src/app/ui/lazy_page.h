#pragma once
// A page of the page control that builds its contents the first time it is
// shown (or asked for): a page the operator never opens costs nothing at
// start-up.
#include <QWidget>

#include <functional>

namespace terva::app {

class LazyPage : public QWidget {
  Q_OBJECT
 public:
  explicit LazyPage(std::function<QWidget*()> build, QWidget* parent = nullptr);

  // The contents, built now when they were not yet.
  QWidget* contents();
  bool built() const { return contents_ != nullptr; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::function<QWidget*()> build_;
  QWidget* contents_ = nullptr;
};

}  // namespace terva::app

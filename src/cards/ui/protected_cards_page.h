#pragma once
// The page "Защищенные карты": a heading and the three protected-card buttons.
#include <QWidget>

class QLabel;
class QPushButton;

namespace terva::cards {

class ProtectedCardWorkflows;

class ProtectedCardsPage : public QWidget {
  Q_OBJECT
 public:
  explicit ProtectedCardsPage(ProtectedCardWorkflows& workflows, QWidget* parent = nullptr);

 private:
  QLabel* Label17 = nullptr;  // heading
  QPushButton* Button13 = nullptr;
  QPushButton* Button14 = nullptr;
  QPushButton* Button16 = nullptr;
};

}  // namespace terva::cards

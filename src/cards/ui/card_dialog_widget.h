#pragma once
// What the card presentation dialogs share as windows: fixed size with only a
// close box, centred over the main window, closing through the logic so that
// the timer stops and the result is Cancel unless the run set Yes or No.
#include <QDialog>

#include <string>

#include "cards/card_dialog.h"

class QLabel;
class QLayout;

namespace terva::cards {

class CardDialogWidget : public QDialog {
  Q_OBJECT
 public:
  explicit CardDialogWidget(QWidget* parent = nullptr);

 public slots:
  // Every reply the receive handler stores, in arrival order.
  void pushReply(const terva::Answer& reply);

 protected:
  // Binds the logic (a member of the derived dialog) once it is constructed.
  void bindLogic(CardDialogLogic& logic);
  // Runs the modal loop of a run the logic has begun; returns its result.
  ModalResult execRun();
  // Ends a showing run as Cancel (the disconnect watch).
  void closeRun();
  virtual void refresh() = 0;

  void reject() override;
  void showEvent(QShowEvent* event) override;

  // Centred label in the instruction (16 px) or number (21 px) font.
  static QLabel* makeLabel(const char* name, const std::string& text, int pixelSize);
  static void setLabelText(QLabel* label, const std::string& text);

  static constexpr int kTextPx = 16;
  static constexpr int kNumberPx = 21;

 private:
  CardDialogLogic* logic_ = nullptr;
};

QString u8(const std::string& s);

}  // namespace terva::cards

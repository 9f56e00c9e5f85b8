#pragma once
// Waiting for the master card that carries the object code, after a
// configuration was written in a protected mode. The card dialogs implement
// it (the dialog "Чтение кода объекта"); tests script it.
namespace terva::config {

enum class CardWaitResult {
  Presented,  // the reader accepted the master card
  TimedOut,   // the dialog's time ran out
  Closed      // the operator (or the disconnect watch) closed the dialog
};

class ObjectCodeCardWait {
 public:
  virtual ~ObjectCodeCardWait() = default;
  virtual CardWaitResult waitForObjectCodeCard() = 0;
};

}  // namespace terva::config

#pragma once
// The five card presentation dialogs of the program: each is built the first
// time it is shown and reused afterwards. Frames from the reader go to the
// dialog that is running, the configuration frame to TForm8, and when the
// reader is unplugged TForm2..TForm5 close (TForm8 ends by its own countdown).
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "cards/card_dialog.h"
#include "config/card_wait.h"
#include "protocol/clock.h"
#include "protocol/operator.h"

class QWidget;

namespace terva {
class ReaderSession;
struct Answer;
}  // namespace terva

namespace terva::cards {

class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm8;

class CardDialogs : public QObject, public config::ObjectCodeCardWait {
  Q_OBJECT
 public:
  // `parent` is the main window the dialogs are centred over and modal to
  // (it owns them); `debugMode` tells whether the longer time limit applies.
  CardDialogs(ReaderSession& session, Clock& clock, Prompts& prompts, std::function<bool()> debugMode,
              QWidget* parent);
  ~CardDialogs() override;

  // The dialogs, built on first use.
  TForm2& form2();
  TForm3& form3();
  TForm4& form4();
  TForm5& form5();
  TForm8& form8();
  // Null until the dialog has been built.
  TForm2* builtForm2() const;
  TForm3* builtForm3() const;
  TForm4* builtForm4() const;
  TForm5* builtForm5() const;
  TForm8* builtForm8() const;

  // One modal run each; the reply record is cleared first so that an older
  // reply cannot be taken for a card.
  ModalResult runForm2(const std::string& crdtype, const std::string& config, bool optionVisible);
  ModalResult runForm3(const std::string& title, const std::string& instruction);
  ModalResult runForm4(const std::string& title, const std::string& instruction, const std::string& button);
  ModalResult runForm5(const std::string& title, const std::string& counterHeading, const std::string& button);
  std::string runForm8();

  // "Чтение кода объекта" after a configuration was written in a protected mode.
  config::CardWaitResult waitForObjectCodeCard() override;

  // The command path: SendToComPort, with a failed write taken as nothing sent.
  std::uint8_t send(std::string_view payload);

  // One card operation at a time: a second start while one runs (e.g. a click
  // that the exchange's wait let through) is ignored.
  class Operation {
   public:
    explicit Operation(CardDialogs& d) : d_(d), owns_(!d.operating_) { d_.operating_ = true; }
    ~Operation() {
      if (owns_) d_.operating_ = false;
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
    explicit operator bool() const { return owns_; }

   private:
    CardDialogs& d_;
    bool owns_;
  };
  bool operating() const { return operating_; }

  Prompts& prompts() { return prompts_; }

 private:
  void frameReceived(const Answer& frame);
  void configurationFrameReceived(const std::string& bodyHex);
  void unplugging();
  void clearAnswer();

  ReaderSession& session_;
  Clock& clock_;
  Prompts& prompts_;
  std::function<bool()> debugMode_;
  QWidget* parent_;
  QPointer<TForm2> form2_;
  QPointer<TForm3> form3_;
  QPointer<TForm4> form4_;
  QPointer<TForm5> form5_;
  QPointer<TForm8> form8_;
  bool operating_ = false;
};

}  // namespace terva::cards

#include "cards/ui/card_dialogs.h"

#include <exception>

#include "cards/ui/tform2.h"
#include "cards/ui/tform3.h"
#include "cards/ui/tform4.h"
#include "cards/ui/tform5.h"
#include "cards/ui/tform8.h"
#include "config/reader_exchange.h"
#include "protocol/results.h"
#include "protocol/session.h"

namespace terva::cards {

CardDialogs::CardDialogs(ReaderSession& session, Clock& clock, Prompts& prompts, std::function<bool()> debugMode,
                         QWidget* parent)
    : session_(session),
      clock_(clock),
      prompts_(prompts),
      debugMode_(std::move(debugMode)),
      parent_(parent) {
  connect(&session_, &ReaderSession::frameReceived, this, &CardDialogs::frameReceived);
  connect(&session_, &ReaderSession::configurationFrameReceived, this, &CardDialogs::configurationFrameReceived);
  connect(&session_, &ReaderSession::unplugging, this, &CardDialogs::unplugging);
}

CardDialogs::~CardDialogs() {
  // Dialogs without a parent window are ours to free.
  if (!parent_) {
    delete form2_.data();
    delete form3_.data();
    delete form4_.data();
    delete form5_.data();
    delete form8_.data();
  }
}

TForm2& CardDialogs::form2() {
  if (!form2_) {
    form2_ = new TForm2(clock_, prompts_, [this] { return debugMode_ && debugMode_(); }, parent_);
    form2_->setSender([this](std::string_view payload) { return send(payload); });
  }
  return *form2_;
}

TForm3& CardDialogs::form3() {
  if (!form3_) form3_ = new TForm3(clock_, prompts_, [this] { return debugMode_ && debugMode_(); }, parent_);
  return *form3_;
}

TForm4& CardDialogs::form4() {
  if (!form4_) form4_ = new TForm4(clock_, prompts_, parent_);
  return *form4_;
}

TForm5& CardDialogs::form5() {
  if (!form5_) form5_ = new TForm5(clock_, prompts_, [this] { return debugMode_ && debugMode_(); }, parent_);
  return *form5_;
}

TForm8& CardDialogs::form8() {
  if (!form8_) form8_ = new TForm8(clock_, prompts_, parent_);
  return *form8_;
}

TForm2* CardDialogs::builtForm2() const { return form2_.data(); }
TForm3* CardDialogs::builtForm3() const { return form3_.data(); }
TForm4* CardDialogs::builtForm4() const { return form4_.data(); }
TForm5* CardDialogs::builtForm5() const { return form5_.data(); }
TForm8* CardDialogs::builtForm8() const { return form8_.data(); }

void CardDialogs::clearAnswer() { session_.answer().reset(); }

ModalResult CardDialogs::runForm2(const std::string& crdtype, const std::string& config, bool optionVisible) {
  TForm2& f = form2();
  clearAnswer();
  return f.run(crdtype, config, optionVisible);
}

ModalResult CardDialogs::runForm3(const std::string& title, const std::string& instruction) {
  TForm3& f = form3();
  clearAnswer();
  return f.run(title, instruction);
}

ModalResult CardDialogs::runForm4(const std::string& title, const std::string& instruction,
                                  const std::string& button) {
  TForm4& f = form4();
  clearAnswer();
  return f.run(title, instruction, button);
}

ModalResult CardDialogs::runForm5(const std::string& title, const std::string& counterHeading,
                                  const std::string& button) {
  TForm5& f = form5();
  clearAnswer();
  return f.run(title, counterHeading, button);
}

std::string CardDialogs::runForm8() {
  TForm8& f = form8();
  clearAnswer();
  return f.run();
}

config::CardWaitResult CardDialogs::waitForObjectCodeCard() {
  switch (runForm3(std::string(config::kObjectCodeDialogTitle), std::string(config::kObjectCodeDialogText))) {
    case ModalResult::Yes: return config::CardWaitResult::Presented;
    case ModalResult::No: return config::CardWaitResult::TimedOut;
    default: return config::CardWaitResult::Closed;
  }
}

std::uint8_t CardDialogs::send(std::string_view payload) {
  try {
    return session_.SendToComPort(payload);
  } catch (const std::exception&) {
    // The write failed (the reader went away mid-command): nothing was sent.
    return kResultNotSent;
  }
}

void CardDialogs::frameReceived(const Answer& frame) {
  // Only a running dialog keeps replies; TForm8 takes its frame below.
  if (form2_) form2_->pushReply(frame);
  if (form3_) form3_->pushReply(frame);
  if (form4_) form4_->pushReply(frame);
  if (form5_) form5_->pushReply(frame);
}

void CardDialogs::configurationFrameReceived(const std::string& bodyHex) {
  if (form8_) form8_->pushReply(Answer{1, 3, bodyHex});
}

void CardDialogs::unplugging() {
  if (form2_) form2_->closeByWatch();
  if (form3_) form3_->closeByWatch();
  if (form4_) form4_->closeByWatch();
  if (form5_) form5_->closeByWatch();
}

}  // namespace terva::cards

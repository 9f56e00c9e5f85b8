#pragma once
// What the card presentation dialogs share: the queue of replies that reach a
// dialog while it runs, its timer, the plain messages it shows and how a run ends.
//
// Replies are handed over one by one as the receive handler gets them and are
// kept in order until a tick deals with them, so a reply that arrives during a
// message, or two replies within one tick, are each seen. While a message is
// open no tick runs: the dialog's timer is stopped and the replies stay queued.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "protocol/clock.h"
#include "protocol/exchange.h"
#include "protocol/operator.h"

namespace terva::cards {

// How a run ended. None while it runs (or before the first run).
enum class ModalResult { None, Yes, No, Cancel };

// Result reply with the success body "0D0100" and cmd 0 (any ver).
bool isSuccessReply(const Answer& a);
// Result reply with cmd 0, ver 1 and a 6-character body "0D01" + code other than "00".
bool isErrorReply(const Answer& a);
// The code that the last two characters of a result body spell.
std::uint8_t replyCode(const Answer& a);
// "Ошибка: " followed by the text of the code.
std::string cardErrorText(std::uint8_t code);

inline constexpr int kTickMs = 100;
inline constexpr int kTicksNormal = 150;  // 15 s
inline constexpr int kTicksDebug = 1200;  // 120 s while the diagnostic terminal is visible

class CardDialogLogic {
 public:
  // debugMode tells whether the longer time limit applies; empty means never.
  CardDialogLogic(Clock& clock, Prompts& prompts, Millis interval, std::function<bool()> debugMode);
  virtual ~CardDialogLogic();
  CardDialogLogic(const CardDialogLogic&) = delete;
  CardDialogLogic& operator=(const CardDialogLogic&) = delete;

  // Every reply the receive handler stores goes here; kept while the dialog
  // runs, ignored otherwise.
  virtual void pushReply(const Answer& reply);

  // Close box, the dialog's own close request or the disconnect watch: stops
  // the timer and ends the run with Cancel unless Yes or No was already set.
  void close();

  bool running() const { return running_; }
  bool messageOpen() const { return messageOpen_; }
  bool timerActive() const { return timer_->isActive(); }
  ModalResult result() const { return result_; }
  std::size_t pendingReplies() const { return queue_.size(); }

  // The host refreshes its controls from the state after every change.
  std::function<void()> onChanged;
  // The host hides the dialog and ends its modal loop with this result.
  std::function<void(ModalResult)> onClosed;

  // Replies kept at most; the oldest goes first when a flood exceeds it.
  static constexpr std::size_t kQueueLimit = 256;

 protected:
  // Starts a run: empty queue, no result yet. The timer is left to the dialog.
  void beginRun();
  // Ends the run once; later calls change nothing.
  void finish(ModalResult r);
  // Shows a plain message; replies arriving meanwhile stay queued.
  void showMessage(const std::string& text);
  // Stops the timer, shows "Ошибка: " + text of the code, and restarts the
  // timer afterwards when the run is still going.
  void reportError(std::uint8_t code);
  // The next queued reply, in arrival order.
  bool takeReply(Answer& out);
  void dropReplies() { queue_.clear(); }
  int startTicks() const;
  void changed();
  void startTimer() { timer_->start(interval_); }
  void stopTimer() { timer_->stop(); }

  // One timer tick; never re-entered and never run while a message is open.
  virtual void tick() = 0;

 private:
  void onTimer();

  Prompts& prompts_;
  std::unique_ptr<Timer> timer_;
  Millis interval_;
  std::function<bool()> debugMode_;
  std::deque<Answer> queue_;
  bool running_ = false;
  bool messageOpen_ = false;
  bool inTick_ = false;
  ModalResult result_ = ModalResult::None;
};

}  // namespace terva::cards

#include "ident/delivery.h"

#include <utility>

#include "ident/keyboard.h"

namespace terva::ident {

namespace {
bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }
}  // namespace

DeliveryPlan planDelivery(const std::u32string& rendered, const DeliveryOptions& opts, bool mainWindowActive) {
  DeliveryPlan plan;
  if (opts.toKeyboard && !mainWindowActive) {
    std::u32string typed;
    typed.reserve(rendered.size());
    for (char32_t c : rendered) {
      if (!isControl(c)) typed.push_back(c);
    }
    plan.keystrokes = std::move(typed);
    plan.pressEnter = opts.enterAfter;
  }
  if (opts.toClipboard) plan.clipboard = rendered;
  return plan;
}

Delivery::Delivery(KeystrokeOutput* keyboard, ClipboardOutput* clipboard)
    : keyboard_(keyboard), clipboard_(clipboard), self_(std::make_shared<Delivery*>(this)) {}

Delivery::~Delivery() = default;

Delivery::Outcome Delivery::deliver(const std::u32string& rendered, const DeliveryOptions& opts,
                                    bool mainWindowActive) {
  Outcome outcome;
  DeliveryPlan plan = planDelivery(rendered, opts, mainWindowActive);
  const bool typing = plan.keystrokes && keyboard_ != nullptr && keyboard_->available();
  outcome.keyboardUnavailable = plan.keystrokes && !typing;
  if (!typing && !plan.clipboard) return outcome;
  // Queued before typing starts: an output may report completion at once.
  pending_.push_back({std::move(plan.clipboard), typing});
  if (typing) {
    std::weak_ptr<Delivery*> self = self_;
    keyboard_->type(*plan.keystrokes, plan.pressEnter, [self] {
      if (auto d = self.lock()) (*d)->typed();
    });
  }
  run();
  return outcome;
}

void Delivery::typed() {
  // Requests are typed in order: this is the oldest step still waiting.
  for (Step& step : pending_) {
    if (step.typing) {
      step.typing = false;
      break;
    }
  }
  run();
}

void Delivery::typingAbandoned() {
  for (Step& step : pending_) step.typing = false;
  run();
}

void Delivery::run() {
  while (!pending_.empty() && !pending_.front().typing) {
    Step step = std::move(pending_.front());
    pending_.pop_front();
    if (step.clipboard && clipboard_ != nullptr) clipboard_->setText(*step.clipboard);
  }
}

}  // namespace terva::ident

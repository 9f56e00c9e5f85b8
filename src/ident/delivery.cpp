#include "ident/delivery.h"

#include <utility>

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

}  // namespace terva::ident

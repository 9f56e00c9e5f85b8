#pragma once
// What to do with an identifier once it is shown: type it into the window that
// has the keyboard focus and/or put it on the clipboard.
#include <optional>
#include <string>

namespace terva::ident {

struct DeliveryOptions {
  bool toClipboard = false;  // "Помещать идентификатор карты в буфер обмена"
  bool toKeyboard = false;   // "Имитация набора идентификатора карты на клавиатуре "
  bool enterAfter = false;   // "+ перевод строки" (only while typing)
};

// Carry out in this order: type `keystrokes` (then Enter when `pressEnter`),
// then set the clipboard.
struct DeliveryPlan {
  // Text to type, control characters removed; nothing when no typing happens.
  // May be empty text (an empty rendering) with Enter still to press.
  std::optional<std::u32string> keystrokes;
  bool pressEnter = false;
  // The rendered text exactly, "error" included; nothing when off.
  std::optional<std::u32string> clipboard;
};

// Nothing is typed while the program's main window is active (the operator
// would type into it); other windows, this program's dialogs included, get
// the keystrokes.
DeliveryPlan planDelivery(const std::u32string& rendered, const DeliveryOptions& opts, bool mainWindowActive);

}  // namespace terva::ident

namespace terva::ident {

// The clipboard, as delivery sees it: plain text.
class ClipboardOutput {
 public:
  virtual ~ClipboardOutput() = default;
  virtual void setText(const std::u32string& text) = 0;
};

}  // namespace terva::ident

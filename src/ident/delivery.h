#pragma once
// What to do with an identifier once it is shown: type it into the window that
// has the keyboard focus and/or put it on the clipboard.
#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace terva::ident {

class KeystrokeOutput;

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

// The clipboard, as plain text.
class ClipboardOutput {
 public:
  virtual ~ClipboardOutput() = default;
  // Replaces the clipboard's contents.
  virtual void setText(const std::u32string& text) = 0;
};

// Carries out the plans of the identifiers shown one after the other: the
// keystrokes first, then the clipboard once the typing of that identifier
// has finished. Typing runs in the background, so a clipboard step waits for
// the typing of its own identifier and of every earlier one: the clipboard
// always ends up holding the last identifier, after all typing.
class Delivery {
 public:
  // Either output may be null (no keystrokes here; no clipboard in tests).
  Delivery(KeystrokeOutput* keyboard, ClipboardOutput* clipboard);
  ~Delivery();
  Delivery(const Delivery&) = delete;
  Delivery& operator=(const Delivery&) = delete;

  struct Outcome {
    // Typing was asked for but the keystroke output is missing or unavailable:
    // nothing was typed (the clipboard step still happens). The page tells
    // the operator once.
    bool keyboardUnavailable = false;
  };

  // One shown identifier: `rendered` as its characters (renderedCharacters).
  Outcome deliver(const std::u32string& rendered, const DeliveryOptions& opts, bool mainWindowActive);

  // No step is waiting for typing to finish.
  bool idle() const { return pending_.empty(); }

  // The keystroke output dropped its requests (stop()): their completions
  // will never come. Clipboard steps still waiting are carried out now.
  void typingAbandoned();

 private:
  struct Step {
    std::optional<std::u32string> clipboard;
    bool typing = false;  // waits for its keystrokes to be typed
  };
  void typed();
  void run();

  KeystrokeOutput* keyboard_;
  ClipboardOutput* clipboard_;
  std::deque<Step> pending_;
  std::shared_ptr<Delivery*> self_;  // completions hold it weakly: none arrives after destruction
};

}  // namespace terva::ident

#pragma once
// Keystroke output: types text into whatever window has the keyboard focus.
#include <memory>
#include <string>

namespace terva::ident {

class KeystrokeOutput {
 public:
  virtual ~KeystrokeOutput() = default;

  // False when keystrokes cannot be delivered here at all (no X display, say).
  virtual bool available() const = 0;
  // Why not, in plain Russian words for the operator; empty when available.
  virtual std::string unavailableReason() const = 0;

  // Types the text exactly as given, one character after the other with a
  // 10 ms pause between characters, then Enter when asked. Control characters
  // (below 0x20 and 0x7F-0x9F) are never typed. Returns at once: typing runs
  // in the background, requests are typed in the order they were made.
  virtual void type(const std::u32string& text, bool enter) = 0;

  // Blocks until everything requested so far has been typed (tests, shutdown).
  virtual void flush() = 0;
};

// The backend of this operating system (X11 XTest on Linux).
std::unique_ptr<KeystrokeOutput> makeSystemKeystrokeOutput();

}  // namespace terva::ident

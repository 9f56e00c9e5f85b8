#pragma once
// Keystroke output: types text into whatever window has the keyboard focus.
#include <functional>
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

  // Runs once a request has been typed, on the thread that made it (through
  // that thread's event loop; the system backend takes requests only on the
  // thread that created it). Never runs for a request dropped by stop() or
  // by destroying the output, nor after the output is gone.
  using Done = std::function<void()>;

  // Types the text exactly as given, one character after the other with a
  // 10 ms pause between characters, then Enter when asked. Control characters
  // (below 0x20 and 0x7F-0x9F) are never typed. Returns at once: typing runs
  // in the background, requests are typed in the order they were made, and
  // `done` reports the end of this one. While unavailable nothing is typed
  // and `done` never runs.
  virtual void type(const std::u32string& text, bool enter, Done done = {}) = 0;

  // Blocks until everything requested so far has been typed (tests).
  virtual void flush() = 0;

  // Drops every request not yet typed and ends the one being typed at its
  // next key, leaving the keyboard as it was found; returns within a few
  // milliseconds. For closing the program: it must not wait for typing.
  virtual void stop() = 0;
};

// The backend of this operating system (X11 XTest on Linux).
std::unique_ptr<KeystrokeOutput> makeSystemKeystrokeOutput();

}  // namespace terva::ident

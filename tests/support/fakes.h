#pragma once
// Scripted stand-ins for what the windows use of the desktop.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/ui/services.h"
#include "ident/delivery.h"
#include "ident/keyboard.h"

namespace terva::testing {

// Records every box shown; questions are answered from a preset queue (default Yes).
class FakePrompts : public app::Prompts {
 public:
  struct Shown {
    QString kind;  // "error", "message", "question"
    QString text;
  };
  std::vector<Shown> shown;
  std::deque<bool> answers;
  std::function<void(const Shown&)> onShown;  // runs while the box would be open

  void error(const QString& text) override { record("error", text); }
  void message(const QString& text) override { record("message", text); }
  bool question(const QString& text) override {
    record("question", text);
    if (answers.empty()) return true;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  QStringList texts() const {
    QStringList out;
    for (const auto& s : shown) out << s.text;
    return out;
  }

 private:
  void record(const char* kind, const QString& text) {
    shown.push_back({kind, text});
    if (onShown) onShown(shown.back());
  }
};

class FakeClipboard : public app::Clipboard {
 public:
  std::vector<QString> texts;
  void setText(const QString& text) override { texts.push_back(text); }
};

// Records what it is asked to type. Typing finishes at once unless
// `holdTyping` is set; then finishTyping() ends the oldest request.
class FakeKeyboard : public ident::KeystrokeOutput {
 public:
  struct Typed {
    std::u32string text;
    bool enter;
  };
  bool isAvailable = true;
  bool holdTyping = false;
  std::vector<Typed> typed;
  std::deque<Done> typing;  // requests typed but not yet finished (holdTyping)
  int stops = 0;

  bool available() const override { return isAvailable; }
  std::string unavailableReason() const override { return isAvailable ? "" : "no keyboard here"; }
  void type(const std::u32string& text, bool enter, Done done) override {
    if (!isAvailable) return;
    typed.push_back({text, enter});
    if (!holdTyping) {
      if (done) done();
      return;
    }
    typing.push_back(std::move(done));
  }
  void flush() override {
    while (!typing.empty()) finishTyping();
  }
  void stop() override {
    ++stops;
    typing.clear();
  }
  // Ends the oldest request still being typed; false when there is none.
  bool finishTyping() {
    if (typing.empty()) return false;
    Done done = std::move(typing.front());
    typing.pop_front();
    if (done) done();
    return true;
  }
};

class FakeClipboardOutput : public ident::ClipboardOutput {
 public:
  std::vector<std::u32string> texts;
  void setText(const std::u32string& text) override { texts.push_back(text); }
};

// Runs the event loop until the condition holds or the timeout passes.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
  QElapsedTimer t;
  t.start();
  while (!condition()) {
    if (t.elapsed() > timeout.count()) return condition();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

}  // namespace terva::testing

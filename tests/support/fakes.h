#pragma once
// Scripted stand-ins for what the windows use of the desktop.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ident/delivery.h"
#include "ident/keyboard.h"
#include "ident/template_chooser.h"
#include "protocol/operator.h"
#include "support/wait.h"

namespace terva::testing {

// Records every box shown; questions are answered from a preset queue (default Yes).
class FakePrompts : public Prompts {
 public:
  struct Shown {
    QString kind;  // "error", "message", "question", "input"
    QString text;  // for "input": the value shown
    QString caption;  // questions asked with a caption, input boxes
    QString prompt;   // input boxes
  };
  std::vector<Shown> shown;
  std::deque<bool> answers;
  std::function<void(const Shown&)> onShown;  // runs while the box would be open

  void error(const std::string& text) override { record("error", text); }
  void message(const std::string& text) override { record("message", text); }
  bool question(const std::string& text) override { return ask({}, text); }
  bool ask(const std::string& caption, const std::string& text) override {
    record("question", text, caption);
    if (answers.empty()) return true;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  void inputBox(const std::string& caption, const std::string& prompt, const std::string& value) override {
    record("input", value, caption, prompt);
  }
  QStringList texts() const {
    QStringList out;
    for (const auto& s : shown) out << s.text;
    return out;
  }

 private:
  void record(const char* kind, const std::string& text, const std::string& caption = {},
              const std::string& prompt = {}) {
    Shown s;
    s.kind = kind;
    s.text = QString::fromStdString(text);
    s.caption = QString::fromStdString(caption);
    s.prompt = QString::fromStdString(prompt);
    shown.push_back(s);
    if (onShown) onShown(shown.back());
  }
};

// File dialogs answered from preset queues; an empty queue cancels.
class FakeFileDialogs : public FileDialogs {
 public:
  std::deque<std::string> openAnswers;
  std::deque<std::string> saveAnswers;
  std::vector<FileFilter> filtersShown;

  std::optional<std::string> openFileName(const FileFilter& filter, const std::string&) override {
    return next(filter, openAnswers);
  }
  std::optional<std::string> saveFileName(const FileFilter& filter, const std::string&, const std::string&) override {
    return next(filter, saveAnswers);
  }

 private:
  std::optional<std::string> next(const FileFilter& filter, std::deque<std::string>& q) {
    filtersShown.push_back(filter);
    if (q.empty()) return std::nullopt;
    std::string a = q.front();
    q.pop_front();
    return a;
  }
};

// The colour dialog answered from a preset queue; an empty queue cancels.
class FakeColourDialog : public ColourDialog {
 public:
  std::deque<std::uint32_t> answers;
  std::vector<std::uint32_t> initials;
  std::optional<std::uint32_t> pickColour(std::uint32_t initial) override {
    initials.push_back(initial);
    if (answers.empty()) return std::nullopt;
    const std::uint32_t a = answers.front();
    answers.pop_front();
    return a;
  }
};

class FakeClipboard : public ident::ClipboardOutput {
 public:
  std::vector<QString> texts;
  void setText(const std::u32string& text) override { texts.push_back(QString::fromStdU32String(text)); }
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

// The template editor: each showing records its sample and gives the next preset answer.
class FakeTemplateChooser : public ident::TemplateChooser {
 public:
  std::vector<std::string> samples;
  std::deque<std::optional<std::string>> answers;
  std::optional<std::string> chooseTemplate(const std::string& sample) override {
    samples.push_back(sample);
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
};


}  // namespace terva::testing
